// Keys for real: Send's scripts arriving in the key recorder's window with their scan codes and
// flags, the desktop refused; Pass and PassF giving the user's clipboard back byte for byte; the
// pause box opened by Break and the Pause key.
#include "recorder.h"

#include <cstring>
#include <functional>

using namespace kelmo::test;
using namespace kelmo::testtools;

namespace {

using Keys = ComTest;

TEST_F(Keys, ScriptsArriveAsTheirKeysAndCharacters) {
    // The script, the run-time error it ends with (0: none), then the keys (with scan codes when
    // they hold a ":") or else the characters.
    const std::tuple<const wchar_t*, SCODE, const char*, const wchar_t*> rows[] = {
        {L"+(a^(b))c", 0, "v10 v41 ^41 v11 v42 ^42 ^11 ^10 v43 ^43", nullptr},
        {L"a\r\n{LEFT}{F4}", 0, "v41:1E ^41:1E v0D:1C ^0D:1C v25:4Be ^25:4Be v73:3E ^73:3E",
         nullptr},
        {L"%+{TAB}^{esc}{esc 2}+%^{tab}+{tab &H2}{tab 0}{PRTSC}%{PRTSC}", 0,
         "v12:00 v10:00 v09:00 ^09:00 ^10:00 ^12:00 v11:00 v1B:00 ^1B:00 ^11:00 v1B:01 ^1B:01 "
         "v1B:01 ^1B:01 v12:00 v11:00 v09:00 ^09:00 ^11:00 ^12:00 v10:00 v09:00 ^09:00 ^10:00 "
         "v10:00 v09:00 ^09:00 ^10:00 v2C:01 v2C:00",
         nullptr}, // Print Screen: key downs alone
        {L"{x 3}{+}{^}{%}{~}{(}{)}{{}{}}{[}{]}{} 3}+(a{)}b)\u65e5\u672c\u8a9e", 0, nullptr,
         L"xxx+^%~(){}[]}}}A)B\u65e5\u672c\u8a9e"},
        {L"a{tab x}", SCODE(0x800A000D), "v41 ^41", nullptr}};
    for (const auto& [script, error, keys, text] : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(script)));
        KeyRecorder recorder;
        ASSERT_TRUE(recorder.ready());
        LateBound k; // created with the recorder in front: it is application 0
        fastPacing(k);
        const auto sent = k.call(L"Send", {script});
        recorder.settle();
        EXPECT_EQ(sent.hr == S_OK ? 0 : sent.scode, error);
        if (keys)
            EXPECT_EQ(recorder.keys(std::string_view(keys).find(":") != std::string_view::npos),
                      keys);
        else
            EXPECT_EQ(recorder.text(), text);
    }
}

// The desktop is no application: with only the desktop in front, Send types nothing.
TEST_F(Keys, WithOnlyTheDesktopInFrontSendFailsInsteadOfTypingIntoIt) {
    SetForegroundWindow(GetDesktopWindow());
    LateBound k; // the desktop is application 0
    fastPacing(k);
    EXPECT_NE(std::wstring::npos,
              k.call(L"Send", {L"%{F4}"}).description.find(L"no window is in front"));
}

// The message is pinned by the unit tests: here its first line and its end.
TEST_F(Keys, BreakAndAPausePressOpenTheBoxWithTheirReasonAndTheAnswerComesBack) {
    GetAsyncKeyState(VK_PAUSE); // no press left over from an earlier test
    LateBound k;
    fastPacing(k);
    const std::wstring byBreak = L"\u3000Breakメソッドによって\r\n",
                       byKey = L"\u3000Breakキー（Stopキー）が押されたため\r\n";
    const std::tuple<std::function<long()>, int, long, std::wstring, std::wstring> rows[] = {
        {[&] { return k.call(L"Break").asLong(); }, IDRETRY, 2, byBreak, L""},
        {[&] { return k.call(L"Break", {L"x"}).asLong(); }, IDIGNORE, 3, byBreak, L"。\r\n\r\nx"},
        {[&] { return pressKey(VK_PAUSE, 80) ? k.get(L"AppNum").asLong() : -1; }, IDIGNORE, 0,
         byKey, L""}};
    for (const auto& [member, button, result, starts, ends] : rows) {
        std::wstring text;
        BackgroundPilot pilot([&] {
            if (HWND box = waitForWindow(L"Kelmo_Break", 15000))
                text = messageBoxText(box), clickButton(box, button);
        });
        EXPECT_EQ(member(), result);
        pilot.join();
        EXPECT_TRUE(text.starts_with(starts) && text.ends_with(ends)) << toUtf8(text);
    }
    k.get(L"AppCur"); // the press was consumed: no box
    EXPECT_EQ(nullptr, findWindow(L"Kelmo_Break"));
}

// A script host typing one piece that would take days: Abort ends it at once.
TEST_F(Keys, APausePressInsideOneLongPieceOpensTheBoxAndAbortEndsTheHostWithNoKeyHeld) {
    KeyRecorder recorder;
    ASSERT_TRUE(recorder.ready());
    const TempFolder folder(L"pause");
    const Process host(scriptEndingAt(folder, L"k.Send('+{x 99999999}')"));
    ASSERT_TRUE(waitUntil([&] { return recorder.keys().find("v58") != std::string::npos; }, 10000))
        << "the host typed nothing";
    ASSERT_TRUE(pressKey(VK_PAUSE, 80));
    ASSERT_TRUE(clickButton(waitForWindow(L"Kelmo_Break", 15000), IDABORT));
    EXPECT_TRUE(host.endsWithin(15000));
    EXPECT_FALSE(fileExists(folder / L"after"));
    recorder.settle();
    const std::string keys = recorder.keys();
    EXPECT_GT(keys.rfind("^10"), keys.rfind("v10")) << "Shift was left down";
    EXPECT_EQ(0, GetAsyncKeyState(VK_SHIFT) & 0x8000);
}

using Clipboard = std::pair<std::wstring, std::string>; // the text, a private format's bytes
const UINT Private = RegisterClipboardFormatW(L"Kelmo Test Private Format");

bool openClipboard() {
    return waitUntil([] { return OpenClipboard(nullptr) != 0; }, 1000);
}

// Puts `content` on the clipboard; empty content leaves it without any format.
void put(const Clipboard& content) {
    ASSERT_TRUE(openClipboard());
    EmptyClipboard();
    const std::string text(bytesOf(content.first.c_str(), content.first.size() + 1));
    for (const auto& [format, bytes] :
         {std::pair{UINT(CF_UNICODETEXT), text}, std::pair{Private, content.second}}) {
        if (content == Clipboard{}) break;
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
    if (HANDLE text = GetClipboardData(CF_UNICODETEXT))
        content.first = static_cast<const wchar_t*>(GlobalLock(text)), GlobalUnlock(text);
    if (HANDLE bytes = GetClipboardData(Private))
        content.second.assign(static_cast<const char*>(GlobalLock(bytes)), GlobalSize(bytes)),
            GlobalUnlock(bytes);
    CloseClipboard();
    return content;
}

TEST_F(Keys, PastedAndTypedTextArriveExactlyAndTheUsersClipboardComesBackWhole) {
    const Clipboard user{L"the user's own text \u3042", std::string("kelmo\0\x7f", 7)};
    const std::wstring pasted = L"Pasted: \u65e5\u672c\u8a9e\u306e\u6587, tab\tand 100% {x} +^%~";
    for (const auto& [options, atLeastMs] :
         {std::pair{L"", 0ull}, std::pair{L"--hold-clipboard=1500", 1500ull},
          std::pair{L"--stall=12000", 12000ull}}) {
        put(user);
        KeyRecorder edit(true, options);
        ASSERT_TRUE(edit.ready());
        LateBound k; // the edit in front: application 0
        fastPacing(k);
        const ULONGLONG started = GetTickCount64();
        EXPECT_EQ(S_OK, k.call(L"Pass", {pasted.c_str(), 1}).hr);
        EXPECT_GE(GetTickCount64() - started, atLeastMs) << "returned too early";
        EXPECT_EQ(read(), user) << "put back only after the paste";
        EXPECT_EQ(S_OK, k.call(L"Send", {L"Typed 1{+}1{=}2~"}).hr);
        EXPECT_EQ(S_OK, k.put(L"DefFld", L"C:\\Work").hr);
        EXPECT_EQ(S_OK, k.call(L"PassF", {L"a.txt"}).hr);
        EXPECT_EQ(read(), user);
        put({}); // a clipboard without text gets an empty one back
        EXPECT_EQ(S_OK, k.call(L"Pass", {L"x"}).hr);
        EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT) && read() == Clipboard{});
        EXPECT_EQ(edit.stop(), pasted + L"\r\nTyped 1+1=2\r\n\"C:\\Work\\a.txt\"x");
    }
}

} // namespace
