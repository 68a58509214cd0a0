// The application table for real: Exec starts notepad, waits until its window is in front and
// Send types into it, Title reads captions in Unicode cut to 127 ANSI bytes, a program that
// cannot be started shows the launch error box and ends the script, and IE opens pages in the
// platform's browser. The table's logic is pinned by the unit tests.
#include "fixture.h"
#include "pilot.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace kelmo::test;
namespace pilot = kelmo::testtools;

namespace {

// Ends the process of a window another program made (no "save changes?" question) with the test.
struct EndsWithTest {
    ~EndsWithTest() {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        const kelmo::win32::Handle program(
            process && process != GetCurrentProcessId()
                ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process)
                : nullptr);
        if (program && TerminateProcess(program.get(), 0)) WaitForSingleObject(program.get(), 5000);
    }
    HWND window;
};

using Apps = ComTest;

// With fast pacing the machine settles before notepad shows its window: Exec still registers
// notepad, not the window in front before it.
TEST_F(Apps, ExecStartsNotepadRegistersItTitleIsItsCaptionAndSendTypesIntoIt) {
    LateBound k;
    fastPacing(k);
    const ULONGLONG started = GetTickCount64();
    const auto launched = k.call(L"Exec", {L"notepad"});
    std::printf("[ figures ] Exec \"notepad\" with fast pacing: %llu ms\n",
                GetTickCount64() - started);
    EXPECT_EQ(1, launched.asLong()) << std::hex << launched.scode;
    const EndsWithTest ends{GetForegroundWindow()};
    HWND edit = FindWindowExW(ends.window, nullptr, L"Edit", nullptr);
    ASSERT_NE(nullptr, edit) << "notepad is not in front";
    Sleep(1500); // a new notepad names its document a moment after it starts
    EXPECT_EQ(pilot::captionOf(ends.window), k.get(L"Title").asString());
    ASSERT_EQ(S_OK, k.call(L"Send", {L"Kelmo~"}).hr);
    EXPECT_EQ(L"Kelmo\r\n", pilot::windowText(edit));
}

// Characters outside the ANSI code page arrive as they are, not as "?".
TEST_F(Apps, TitleReadsTheCaptionInUnicodeUpTo127AnsiBytes) {
    std::vector<std::pair<std::wstring, std::wstring>> cases = {
        {std::wstring(200, L'7'), std::wstring(127, L'7')},
        {L"Kelmo \U0001F600 \u00FC\u00DF \u0416", L"Kelmo \U0001F600 \u00FC\u00DF \u0416"}};
    if (GetACP() == 932)
        cases.push_back({std::wstring(100, L'\u3042'), std::wstring(63, L'\u3042')});
    for (const auto& [caption, title] : cases) {
        const kelmo::win32::Owned<HWND, DestroyWindow> own(
            CreateWindowExW(0, L"STATIC", caption.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50,
                            400, 200, nullptr, nullptr, nullptr, nullptr));
        SetForegroundWindow(own.get());
        for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);)
            DispatchMessageW(&m);
        LateBound k; // own window in front: application 0
        fastPacing(k);
        EXPECT_EQ(title, k.get(L"Title").asString());
    }
}

// In a script of its own: the box ends the run, so the host process ends with it.
TEST_F(Apps, AProgramThatCannotBeStartedShowsTheLaunchErrorBoxAndEndsTheScript) {
    const TempFolder folder(L"launch");
    const Process host(scriptEndingAt(folder, L"k.Run('kelmo-no-such-program.exe')"));
    ASSERT_TRUE(host.started());
    HWND box = pilot::waitForWindow(L"エラー発生 : -2147024894", 30000); // no such file
    ASSERT_NE(nullptr, box);
    pilot::clickButton(box, IDOK);
    EXPECT_TRUE(host.endsWithin(30000));
    EXPECT_FALSE(pilot::fileExists(folder / L"after")) << "the script went on after the box";
}

// Wine's browser is never busy, never raises OnQuit, cannot Quit and has no document: the rest
// of the browser members are checked against the native tests' fake browser only.
TEST_F(Apps, IEOpensALocalPageInTheBrowserAndExecHandsItFileAddresses) {
    const TempFolder folder(L"page");
    const std::wstring page = L"file:///" + folder.write(L"page.htm", L"<title>Kelmo</title>");
    EndsWithTest ends{nullptr}; // the browser outlives the object's references
    LateBound k;
    fastPacing(k);
    EXPECT_EQ(1, k.call(L"IE", {page.c_str()}).asLong());
    ends.window = FindWindowW(L"IEFrame", nullptr);
    EXPECT_TRUE(IsWindowVisible(ends.window));
    EXPECT_EQ(1, k.call(L"Exec", {(L"  FILE:///" + page.substr(8)).c_str()}).asLong());
    EXPECT_NE(nullptr, k.get(L"oIE").value.pdispVal);
}

} // namespace
