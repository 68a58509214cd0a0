// Pass and PassF into a real edit: the paste arrives, also in a window busy for 12 s, and the
// user's clipboard comes back byte for byte (its text and a private format), also when another
// program holds the clipboard open after the paste; two script hosts at once never mix keys.
#include "pilot.h"
#include "recorder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

using namespace kelmo::test;

// The clipboard's text and the bytes of a private format.
using Clipboard = std::pair<std::wstring, std::string>;
const Clipboard User{L"the user's own text \u3042", std::string("kelmo\0\x7f", 7)};
const UINT Private = RegisterClipboardFormatW(L"Kelmo Test Private Format");

bool openClipboard() {
    return kelmo::testtools::waitUntil([] { return OpenClipboard(nullptr) != 0; }, 1000);
}

void put(const Clipboard& content) {
    ASSERT_TRUE(openClipboard());
    EmptyClipboard();
    const auto* text = reinterpret_cast<const char*>(content.first.c_str());
    for (const auto& [format, bytes] :
         {std::pair{UINT(CF_UNICODETEXT), std::string_view(text, 2 * content.first.size() + 2)},
          std::pair{Private, std::string_view(content.second)}}) {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
        GlobalUnlock(memory);
        SetClipboardData(format, memory);
    }
    CloseClipboard();
}

Clipboard read() {
    Clipboard content;
    if (!openClipboard()) return content;
    if (HANDLE text = GetClipboardData(CF_UNICODETEXT)) {
        content.first = static_cast<const wchar_t*>(GlobalLock(text));
        GlobalUnlock(text);
    }
    if (HANDLE bytes = GetClipboardData(Private)) {
        content.second.assign(static_cast<const char*>(GlobalLock(bytes)), GlobalSize(bytes));
        GlobalUnlock(bytes);
    }
    CloseClipboard();
    return content;
}

// The user's clipboard, a recorder's edit in front, and an object that took it as application 0.
class Paste : public ComTest {
protected:
    void start(const std::wstring& options = L"") {
        put(User);
        ASSERT_TRUE(edit_.emplace(true, options).ready());
        fastPacing(k_.emplace());
    }
    std::optional<KeyRecorder> edit_;
    std::optional<LateBound> k_;
};

TEST_F(Paste, TypedAndPastedTextArriveExactlyAndTheClipboardComesBackWhole) {
    start();
    const std::wstring pasted = L"Pasted: \u65e5\u672c\u8a9e\u306e\u6587, tab\tand 100% {x} +^%~";
    EXPECT_EQ(S_OK, k_->call(L"Send", {Arg(L"Typed 1{+}1{=}2~")}).hr);
    EXPECT_EQ(S_OK, k_->call(L"Pass", {Arg(pasted.c_str()), Arg(1)}).hr);
    EXPECT_EQ(S_OK, k_->put(L"DefFld", Arg(L"C:\\Work")).hr);
    EXPECT_EQ(S_OK, k_->call(L"PassF", {Arg(L"a.txt")}).hr);
    EXPECT_EQ(read(), User);
    ASSERT_TRUE(openClipboard()); // a clipboard without text gets an empty one
    EmptyClipboard();
    CloseClipboard();
    EXPECT_EQ(S_OK, k_->call(L"Pass", {Arg(L"x")}).hr);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    EXPECT_EQ(read(), Clipboard{});
    EXPECT_EQ(edit_->stop(), L"Typed 1+1=2\r\n" + pasted + L"\r\n\"C:\\Work\\a.txt\"x");
}

// A program that opens the clipboard right after the paste and keeps it: Pass waits for it. A
// window that handles nothing for 12 s after its first character: the paste lands there with
// the passed text, and only then is the user's clipboard put back.
TEST_F(Paste, AHeldClipboardOrAWindowBusyForTwelveSecondsStillGetsThePassedTextAndTheUsersBack) {
    for (const auto& [options, atLeastMs] :
         {std::pair{L"--hold-clipboard=1500", 1500ull}, std::pair{L"--stall=12000", 12000ull}}) {
        start(options);
        const ULONGLONG started = GetTickCount64();
        EXPECT_EQ(S_OK, k_->call(L"Pass", {Arg(L"passed text")}).hr);
        const ULONGLONG took = GetTickCount64() - started;
        EXPECT_GE(took, atLeastMs);
        std::printf("[ figures  ] Pass with %ls took %llu ms\n", options, took);
        EXPECT_EQ(read(), User);
        EXPECT_EQ(edit_->stop(), L"passed text");
    }
}

// Each host's object takes its own window as application 0, then both type and paste at once.
TEST_F(Paste, TwoHostsTypeAndPasteEachIntoItsOwnWindowAndLeaveTheClipboardIntact) {
    put(User);
    const TempFolder folder(L"hosts");
    const std::wstring go = folder / L"go", host = LR"(
var fs = new ActiveXObject('Scripting.FileSystemObject'), tag = WScript.Arguments(0);
fs.CreateTextFile(WScript.Arguments(1) + '.' + tag).Close();
while (!fs.FileExists(WScript.Arguments(1))) {}
for (var i = 0; i < 20; ++i) { k.Send(tag + i + '~'); k.Pass('<' + tag + i + '>'); })";
    const std::wstring script =
        folder.write(L"host.js", L"var k = new ActiveXObject('Kelmo.CKelmo');\n" +
                                     std::wstring(FastPacingJs) + host);
    std::optional<KeyRecorder> windows[2];
    std::optional<Process> hosts[2];
    const std::wstring tags[] = {L"a", L"b"};
    for (int h = 0; h < 2; ++h) {
        ASSERT_TRUE(windows[h].emplace(true).ready());
        hosts[h].emplace(cscript(script, tags[h] + L" \"" + go + L"\""));
        ASSERT_TRUE(kelmo::testtools::waitUntil(
            [&] { return DeleteFileW((go + L"." + tags[h]).c_str()) != 0; }, 20'000));
    }
    folder.write(L"go", std::string_view("go"));
    for (int h = 0; h < 2; ++h) {
        EXPECT_TRUE(hosts[h]->endsWithin(180'000));
        std::wstring expected;
        for (int i = 0; i < 20; ++i)
            expected +=
                tags[h] + std::to_wstring(i) + L"\r\n<" + tags[h] + std::to_wstring(i) + L">";
        EXPECT_EQ(windows[h]->stop(), expected);
    }
    EXPECT_EQ(read(), User);
}

} // namespace
