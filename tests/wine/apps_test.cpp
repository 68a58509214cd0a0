// The application table for real: Exec and Run start notepad and register its window, AppCur
// and AppShow switch between windows, Title reads captions in Unicode cut to 127 ANSI bytes, a
// program that cannot be started shows the launch error box and ends the script, and IE opens
// pages in the platform's browser. The table's logic is pinned by the unit tests.
#include "fixture.h"
#include "pilot.h"
#include "platform/win32/owned.h"

#include "toolio.h"

#include <gtest/gtest.h>

#include <cstdio>

using kelmo::test::Arg;
using kelmo::test::fastPacing;
using kelmo::test::LateBound;
namespace pilot = kelmo::testtools;

namespace {

constexpr DWORD BoxTimeoutMs = 30000;

// A top-level window of this thread, in front once made.
class OwnWindow {
public:
    explicit OwnWindow(const std::wstring& caption) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"KelmoAppsTestWindow";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(0, windowClass.lpszClassName, caption.c_str(),
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 400, 200, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
        SetForegroundWindow(window_);
        pump();
    }
    OwnWindow(const OwnWindow&) = delete;
    OwnWindow& operator=(const OwnWindow&) = delete;
    ~OwnWindow() { DestroyWindow(window_); }
    HWND get() const { return window_; }
    static void pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }

private:
    HWND window_ = nullptr;
};

// Ends the process of a window another program made (no "save changes?" question) when the
// test ends.
struct EndsWithTest {
    ~EndsWithTest() {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        const kelmo::win32::Handle handle(
            process && process != GetCurrentProcessId()
                ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process)
                : nullptr);
        if (handle && TerminateProcess(handle.get(), 0)) WaitForSingleObject(handle.get(), 5000);
    }
    HWND window;
};

bool isNotepad(HWND window) {
    return window && FindWindowExW(window, nullptr, L"Edit", nullptr) != nullptr;
}

using Apps = kelmo::test::ComTest;

// With fast pacing the machine settles before notepad shows its window: Exec still registers
// notepad, not the window in front before it.
TEST_F(Apps, ExecStartsNotepadRegistersItTitleIsItsCaptionAndSendTypesIntoIt) {
    LateBound k;
    fastPacing(k);
    const ULONGLONG started = GetTickCount64();
    auto launched = k.call(L"Exec", {Arg(L"notepad")});
    std::printf("[ figures ] Exec \"notepad\" with fast pacing: %llu ms\n",
                GetTickCount64() - started);
    ASSERT_EQ(S_OK, launched.hr) << std::hex << launched.scode;
    EXPECT_EQ(1, launched.asLong());
    const HWND notepad = GetForegroundWindow();
    const EndsWithTest ends{notepad};
    ASSERT_TRUE(isNotepad(notepad));
    Sleep(1500); // a new notepad names its document a moment after it starts
    EXPECT_EQ(pilot::captionOf(notepad), k.get(L"Title").asString());
    ASSERT_EQ(S_OK, k.call(L"Send", {Arg(L"Kelmo~")}).hr);
    EXPECT_EQ(L"Kelmo\r\n", pilot::windowText(FindWindowExW(notepad, nullptr, L"Edit", nullptr)));
}

// Pacing by the clock alone (every sample idle): 300 ms between actions, time enough for X to
// hand the focus to another program's window.
TEST_F(Apps, RunStartsAProgramByItsFullPathAndAppCurAndAppShowSwitchBetweenWindows) {
    const OwnWindow own(L"Kelmo application zero");
    LateBound k; // own window in front: application 0
    k.put(L"Atom", Arg(10));
    k.put(L"Mol1", Arg(300));
    k.put(L"Speed", Arg(101));
    k.call(L"ODOn");
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    auto launched = k.call(L"Run", {Arg((std::wstring(system) + L"\\notepad.exe").c_str())});
    ASSERT_EQ(S_OK, launched.hr) << std::hex << launched.scode;
    EXPECT_EQ(1, launched.asLong());
    const HWND notepad = GetForegroundWindow();
    const EndsWithTest ends{notepad};
    ASSERT_TRUE(isNotepad(notepad));

    ASSERT_EQ(S_OK, k.put(L"AppCur", Arg(0)).hr);
    EXPECT_EQ(own.get(), GetForegroundWindow());
    ASSERT_EQ(S_OK, k.put(L"AppCur", Arg(1)).hr);
    EXPECT_EQ(notepad, GetForegroundWindow());
    // Minimising the current application makes the previous one current and active.
    EXPECT_NE(0, k.call(L"AppShow", {Arg(6)}).asLong()); // it was visible
    EXPECT_TRUE(IsIconic(notepad));
    EXPECT_EQ(0, k.get(L"AppCur").asLong());
    OwnWindow::pump();
    EXPECT_EQ(own.get(), GetForegroundWindow());
}

// Characters outside the ANSI code page arrive as they are, not as "?".
TEST_F(Apps, TitleReadsTheCaptionInUnicodeUpTo127AnsiBytes) {
    std::vector<std::pair<std::wstring, std::wstring>> cases = {
        {std::wstring(200, L'7'), std::wstring(127, L'7')},
        {L"Kelmo \U0001F600 \u00FC\u00DF \u0416", L"Kelmo \U0001F600 \u00FC\u00DF \u0416"},
    };
    if (GetACP() == 932)
        cases.push_back({std::wstring(100, L'\u3042'), std::wstring(63, L'\u3042')});
    for (const auto& [caption, title] : cases) {
        const OwnWindow own(caption);
        LateBound k;
        fastPacing(k);
        EXPECT_EQ(title, k.get(L"Title").asString());
    }
}

// In a script of its own: the box ends the run, so the host process ends with it.
TEST_F(Apps, AProgramThatCannotBeStartedShowsTheLaunchErrorBoxAndEndsTheScript) {
    const kelmo::test::TempFolder folder(L"launch");
    const std::wstring script = folder.write(
        L"run.js", L"var k = new ActiveXObject(\"Kelmo.CKelmo\");\nk.Atom = 1; k.Mol1 = 1;\n"
                   L"k.Run(\"kelmo-no-such-program.exe\");\n"
                   L"new ActiveXObject(\"Scripting.FileSystemObject\").CreateTextFile(WScript."
                   L"Arguments(0)).Close();\n");
    const kelmo::test::Process host(
        kelmo::test::cscript(script, L"\"" + (folder / L"after") + L"\""));
    ASSERT_TRUE(host.started());
    HWND box = pilot::waitForWindow(L"エラー発生 : -2147024894", BoxTimeoutMs); // no such file
    ASSERT_NE(nullptr, box);
    pilot::clickButton(box, IDOK);
    EXPECT_TRUE(host.endsWithin(BoxTimeoutMs));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((folder / L"after").c_str()))
        << "the script went on after the launch error";
}

// --- The browser ---
// Wine's browser is never busy, never raises OnQuit, cannot Quit and has no document (nor an
// address bar): the page wait of a busy browser, the quit of a browser IE opened, IEver and
// IEtab are checked against the native tests' fake browser only.

TEST_F(Apps, IEOpensALocalPageInTheBrowserReusesItAndTakesExecsFileAddresses) {
    const kelmo::test::TempFolder folder(L"page");
    const std::wstring page = folder.write(L"kelmo-page.htm", L"<title>Kelmo</title>Kelmo page");
    HWND frame = nullptr;
    {
        LateBound k;
        fastPacing(k);
        auto opened = k.call(L"IE", {Arg((L"file:///" + page).c_str())});
        ASSERT_EQ(S_OK, opened.hr) << std::hex << opened.scode;
        EXPECT_EQ(1, opened.asLong());
        frame = FindWindowW(L"IEFrame", nullptr);
        ASSERT_NE(nullptr, frame);
        EXPECT_TRUE(IsWindowVisible(frame));
        EXPECT_EQ(1, k.call(L"Exec", {Arg((L"  FILE:///" + page).c_str())}).asLong());
        EXPECT_NE(nullptr, k.get(L"oIE").value.pdispVal);
    }
    const EndsWithTest ends{frame}; // the browser outlives its last reference
}

} // namespace
