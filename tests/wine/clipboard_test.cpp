// Typing and pasting into a real application (notepad), and the user's clipboard surviving
// Pass and PassF whole: its text and a private format.
#include "fixture.h"
#include "recorder.h"
#include "toolio.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using kelmo::test::Arg;
using kelmo::test::fastPacing;
using kelmo::test::LateBound;

namespace {

const wchar_t PrivateFormatName[] = L"Kelmo Test Private Format";
const std::vector<char> PrivateBytes = {'k', 'e', 'l', 'm', 'o', '\0', '\x7f'};

class Notepad {
public:
    Notepad() {
        wchar_t command[] = L"notepad.exe";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process_))
            return;
        WaitForInputIdle(process_.hProcess, 10000);
        for (int i = 0; i < 200 && !edit_; ++i) {
            Sleep(50);
            HWND front = GetForegroundWindow();
            DWORD pid = 0;
            GetWindowThreadProcessId(front, &pid);
            if (pid == process_.dwProcessId)
                edit_ = FindWindowExW(front, nullptr, L"Edit", nullptr);
        }
    }
    Notepad(const Notepad&) = delete;
    Notepad& operator=(const Notepad&) = delete;
    ~Notepad() { close(); }
    void close() {
        if (!process_.hProcess) return;
        TerminateProcess(process_.hProcess, 0); // no "save changes?" question
        WaitForSingleObject(process_.hProcess, 5000);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = {};
        edit_ = nullptr;
    }
    bool ready() const { return edit_ != nullptr; }
    std::wstring text() const {
        std::wstring buffer(static_cast<size_t>(SendMessageW(edit_, WM_GETTEXTLENGTH, 0, 0)) + 1,
                            L'\0');
        buffer.resize(static_cast<size_t>(SendMessageW(edit_, WM_GETTEXT, buffer.size(),
                                                       reinterpret_cast<LPARAM>(buffer.data()))));
        return buffer;
    }

private:
    PROCESS_INFORMATION process_{};
    HWND edit_ = nullptr;
};

struct ClipboardContent {
    std::wstring text;
    std::vector<char> privateBytes;
    bool operator==(const ClipboardContent&) const = default;
};

bool openClipboard() {
    for (int i = 0; i < 50; ++i) {
        if (OpenClipboard(nullptr)) return true;
        Sleep(20);
    }
    return false;
}

void putOnClipboard(const ClipboardContent& content) {
    ASSERT_TRUE(openClipboard());
    EmptyClipboard();
    auto put = [](UINT format, const void* data, size_t size) {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
        std::memcpy(GlobalLock(memory), data, size);
        GlobalUnlock(memory);
        SetClipboardData(format, memory);
    };
    put(CF_UNICODETEXT, content.text.c_str(), (content.text.size() + 1) * sizeof(wchar_t));
    put(RegisterClipboardFormatW(PrivateFormatName), content.privateBytes.data(),
        content.privateBytes.size());
    CloseClipboard();
}

ClipboardContent readClipboard() {
    ClipboardContent content;
    if (!openClipboard()) return content;
    if (HANDLE text = GetClipboardData(CF_UNICODETEXT)) {
        content.text = static_cast<const wchar_t*>(GlobalLock(text));
        GlobalUnlock(text);
    }
    if (HANDLE bytes = GetClipboardData(RegisterClipboardFormatW(PrivateFormatName))) {
        const char* data = static_cast<const char*>(GlobalLock(bytes));
        content.privateBytes.assign(data, data + GlobalSize(bytes));
        GlobalUnlock(bytes);
    }
    CloseClipboard();
    return content;
}

class IntoNotepad : public kelmo::test::ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        ASSERT_TRUE(notepad_.ready());
        k_ = std::make_unique<LateBound>(); // notepad in front: application 0
        fastPacing(*k_);
        putOnClipboard(userClipboard_);
    }
    void TearDown() override {
        k_.reset();
        ComTest::TearDown();
    }
    Notepad notepad_;
    std::unique_ptr<LateBound> k_;
    const ClipboardContent userClipboard_{L"the user's own text \u3042", PrivateBytes};
};

TEST_F(IntoNotepad, TypedAndPastedTextArriveExactlyAndTheClipboardSurvives) {
    const wchar_t* typed = L"Typed by Send, line one.~And line two: 1{+}1{=}2, 1+1?";
    ASSERT_EQ(S_OK, k_->call(L"Send", {Arg(typed)}).hr);
    const std::wstring pasted =
        L"Pasted by Pass: \u65e5\u672c\u8a9e\u306e\u6587\u7ae0, tabs\tand 100% {braces} +^%~";
    ASSERT_EQ(S_OK, k_->call(L"Pass", {Arg(pasted.c_str()), Arg(1)}).hr);
    ASSERT_EQ(S_OK, k_->call(L"Pass", {Arg(L"")}).hr); // an empty text pastes nothing
    EXPECT_EQ(L"Typed by Send, line one.\r\nAnd line two: 1+1=2, 1!?" + pasted + L"\r\n",
              notepad_.text());
    EXPECT_EQ(userClipboard_, readClipboard());
}

TEST_F(IntoNotepad, PassFPastesTheQuotedFullPath) {
    ASSERT_EQ(S_OK, k_->put(L"DefFld", Arg(L"C:\\Work")).hr);
    ASSERT_EQ(S_OK, k_->call(L"PassF", {Arg(L"a.txt")}).hr);
    ASSERT_EQ(S_OK, k_->call(L"PassF", {Arg(L" \"D:\\Already quoted.txt\" "), Arg(1)}).hr);
    EXPECT_EQ(L"\"C:\\Work\\a.txt\"\"D:\\Already quoted.txt\"\r\n", notepad_.text());
    EXPECT_EQ(userClipboard_, readClipboard());
}

TEST_F(IntoNotepad, AClipboardWithoutTextEndsWithAnEmptyText) {
    ASSERT_TRUE(openClipboard());
    EmptyClipboard();
    CloseClipboard();
    ASSERT_EQ(S_OK, k_->call(L"Pass", {Arg(L"passed")}).hr);
    EXPECT_EQ(L"passed", notepad_.text());
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    EXPECT_EQ(ClipboardContent{}, readClipboard());
}

TEST_F(IntoNotepad, APasteThatFailsStillGivesTheClipboardBack) {
    notepad_.close(); // nothing left to paste into
    for (int i = 0; i < 100 && GetForegroundWindow(); ++i)
        Sleep(20);
    if (GetForegroundWindow()) GTEST_SKIP() << "another window came to the front";
    const auto failed = k_->call(L"Pass", {Arg(L"must not stay on the clipboard")});
    EXPECT_EQ(DISP_E_EXCEPTION, failed.hr);
    EXPECT_EQ(userClipboard_, readClipboard());
}

// Another program opens the clipboard right after the paste and keeps it for a while: Pass
// waits for it and then puts the user's clipboard back whole.
TEST_F(IntoNotepad, AClipboardHeldByAnotherProgramAfterThePasteIsPutBackWhenFree) {
    notepad_.close();
    for (const ULONGLONG holdMs : {1500u, 5000u}) {
        kelmo::test::KeyRecorder holder(true, L"--hold-clipboard=" + std::to_wstring(holdMs));
        ASSERT_TRUE(holder.ready());
        LateBound k; // the holder in front: application 0
        fastPacing(k);
        const ULONGLONG start = GetTickCount64();
        const auto r = k.call(L"Pass", {Arg(L"passed")});
        const ULONGLONG took = GetTickCount64() - start;
        EXPECT_EQ(S_OK, r.hr) << std::string(r.description.begin(), r.description.end());
        EXPECT_GE(took, holdMs);
        std::printf("[ figures  ] Pass with the clipboard held %llu ms took %llu ms\n", holdMs,
                    took);
        EXPECT_EQ(userClipboard_, readClipboard());
        EXPECT_EQ(L"passed", holder.stop());
    }
}

// A window that stops handling input for 12 s after its first character: the paste lands there
// with the passed text, and only then is the user's clipboard put back.
TEST_F(IntoNotepad, PassIntoAWindowBusyForTwelveSecondsPastesThePassedText) {
    notepad_.close();
    kelmo::test::KeyRecorder busy(true, L"--stall=12000");
    ASSERT_TRUE(busy.ready());
    LateBound k; // the busy window in front: application 0
    fastPacing(k);
    const ULONGLONG start = GetTickCount64();
    const auto r = k.call(L"Pass", {Arg(L"passed text")});
    EXPECT_EQ(S_OK, r.hr) << std::string(r.description.begin(), r.description.end());
    EXPECT_GE(GetTickCount64() - start, 12000u);
    EXPECT_EQ(userClipboard_, readClipboard());
    EXPECT_EQ(L"passed text", busy.stop());
}

// Two script hosts at once, each typing and pasting into its own window: every key lands in
// its own window and the user's clipboard survives.
TEST(TwoHosts, TypeAndPasteEachIntoItsOwnWindowAndLeaveTheClipboardIntact) {
    const ClipboardContent user{L"the user's own text", PrivateBytes};
    putOnClipboard(user);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = temp, script = folder + L"kelmo-host.js",
                       go = folder + L"kelmo-hosts.go";
    DeleteFileW(go.c_str());
    constexpr int Rounds = 20;
    ASSERT_TRUE(kelmo::testtools::writeUtf8File(
        script, L"var k = new ActiveXObject('Kelmo.CKelmo'); k.Atom = 1; k.Mol1 = 1;\n"
                L"var fs = new ActiveXObject('Scripting.FileSystemObject');\n"
                L"var tag = WScript.Arguments(0);\n"
                L"fs.CreateTextFile(WScript.Arguments(1) + '.' + tag).Close();\n"
                L"while (!fs.FileExists(WScript.Arguments(1))) {}\n"
                L"for (var i = 0; i < " +
                    std::to_wstring(Rounds) +
                    L"; ++i) { k.Send(tag + i + '~'); k.Pass('<' + tag + i + '>'); }\n"));
    struct Host {
        kelmo::test::KeyRecorder window{true};
        PROCESS_INFORMATION process{};
        std::wstring expected;
        ~Host() {
            if (!process.hProcess) return;
            TerminateProcess(process.hProcess, 1);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
    };
    std::vector<std::unique_ptr<Host>> hosts;
    for (const wchar_t* tag : {L"a", L"b"}) {
        auto& host = *hosts.emplace_back(std::make_unique<Host>());
        ASSERT_TRUE(host.window.ready());
        std::wstring command =
            L"cscript.exe //nologo \"" + script + L"\" " + tag + L" \"" + go + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &host.process));
        const std::wstring ready = go + L"." + tag; // its object took its window as application 0
        for (int i = 0; i < 1000 && !kelmo::testtools::fileExists(ready); ++i)
            Sleep(20);
        ASSERT_TRUE(kelmo::testtools::fileExists(ready));
        DeleteFileW(ready.c_str());
        for (int i = 0; i < Rounds; ++i)
            host.expected += tag + std::to_wstring(i) + L"\r\n<" + tag + std::to_wstring(i) + L">";
    }
    ASSERT_TRUE(kelmo::testtools::writeUtf8File(go, L"go"));
    for (auto& host : hosts)
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(host->process.hProcess, 180'000));
    for (auto& host : hosts)
        EXPECT_EQ(host->expected, host->window.stop());
    EXPECT_EQ(user, readClipboard());
    DeleteFileW(go.c_str());
    DeleteFileW(script.c_str());
}

} // namespace
