// Pass and PassF into a real edit: pasted and typed text arrive exactly and the user's clipboard
// comes back byte for byte (its text and a private format), also when another program holds the
// clipboard open after the paste or the window handles nothing for 12 s after its first key.
#include "pilot.h"
#include "recorder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

using namespace kelmo::test;

using Clipboard = std::pair<std::wstring, std::string>; // the text, a private format's bytes
const UINT Private = RegisterClipboardFormatW(L"Kelmo Test Private Format");

bool openClipboard() {
    return kelmo::testtools::waitUntil([] { return OpenClipboard(nullptr) != 0; }, 1000);
}

// Puts `content` on the clipboard; empty content leaves it without any format.
void put(const Clipboard& content) {
    ASSERT_TRUE(openClipboard());
    EmptyClipboard();
    const std::string text(
        kelmo::testtools::bytesOf(content.first.c_str(), content.first.size() + 1));
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

using Paste = ComTest;

TEST_F(Paste, PastedAndTypedTextArriveExactlyAndTheUsersClipboardComesBackWhole) {
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
        EXPECT_EQ(S_OK, k.call(L"Pass", {Arg(pasted.c_str()), Arg(1)}).hr);
        const ULONGLONG took = GetTickCount64() - started;
        std::printf("[ figures  ] Pass with \"%ls\" took %llu ms\n", options, took);
        EXPECT_GE(took, atLeastMs);
        EXPECT_EQ(read(), user) << "put back only after the paste";
        EXPECT_EQ(S_OK, k.call(L"Send", {Arg(L"Typed 1{+}1{=}2~")}).hr);
        EXPECT_EQ(S_OK, k.put(L"DefFld", Arg(L"C:\\Work")).hr);
        EXPECT_EQ(S_OK, k.call(L"PassF", {Arg(L"a.txt")}).hr);
        EXPECT_EQ(read(), user);
        put({}); // a clipboard without text gets an empty one back
        EXPECT_EQ(S_OK, k.call(L"Pass", {Arg(L"x")}).hr);
        EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
        EXPECT_EQ(read(), Clipboard{});
        EXPECT_EQ(edit.stop(), pasted + L"\r\nTyped 1+1=2\r\n\"C:\\Work\\a.txt\"x");
    }
}

} // namespace
