// The application table for real (its logic is pinned by the unit tests): Exec waits for notepad's
// window, Send types into it, Title reads Unicode captions, a program that cannot be started shows
// the launch error box and ends the script. And the launcher of systems without start.exe.
#include "fixture.h"
#include "pilot.h"

#include "base/error.h"
#include "platform/win32/shellopen.h"

#include <algorithm>

using namespace kelmo::test;
using namespace kelmo::testtools;
using kelmo::win32::shellOpen;

namespace {

using Apps = ComTest;

// Ends the process of a window another program made (no "save changes?" question) with the test.
struct EndsWithTest {
    ~EndsWithTest() {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        const kelmo::win32::Handle program(
            OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE,
                        process == GetCurrentProcessId() ? 0 : process));
        if (program && TerminateProcess(program.get(), 0)) WaitForSingleObject(program.get(), 5000);
    }
    HWND window;
};

// With fast pacing the machine settles before notepad shows its window: Exec still registers
// notepad, not the window in front before it.
TEST_F(Apps, ExecStartsNotepadRegistersItTitleIsItsCaptionAndSendTypesIntoIt) {
    LateBound k;
    fastPacing(k);
    const auto launched = k.call(L"Exec", {L"notepad"});
    EXPECT_EQ(1, launched.asLong()) << std::hex << launched.scode;
    const EndsWithTest ends{GetForegroundWindow()};
    HWND edit = FindWindowExW(ends.window, nullptr, L"Edit", nullptr);
    ASSERT_NE(nullptr, edit) << "notepad is not in front";
    Sleep(1500); // a new notepad names its document a moment after it starts
    EXPECT_EQ(captionOf(ends.window), k.get(L"Title").asString());
    ASSERT_EQ(S_OK, k.call(L"Send", {L"Kelmo~"}).hr);
    EXPECT_EQ(L"Kelmo\r\n", windowText(edit));
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
    HWND box = waitForWindow(L"エラー発生 : -2147024894", 30000); // no such file
    ASSERT_TRUE(host.started() && clickButton(box, IDOK));
    EXPECT_TRUE(host.endsWithin(30000));
    EXPECT_FALSE(fileExists(folder / L"after")) << "the script went on after the box";
}

// %CD% is a name the command interpreter knows and the environment does not (Wine's shell
// expands environment variables in the names it opens, Windows does not).
TEST_F(Apps, ShellOpenOpensADocumentUnderItsOwnNameAndRaisesForAProgramThatDoesNotExist) {
    const TempFolder folder(L"& %CD% ^");
    const std::wstring name = L"a & %CD% ^b c.txt", document = folder.write(name, L"Kelmo");
    const std::vector<HWND> before = topLevelWindows();
    EXPECT_NO_THROW(shellOpen(L"\"" + document + L"\"", SW_SHOWNORMAL));
    HWND opened = waitForWindowWhere(
        [&](HWND window) {
            return captionOf(window).find(name) != std::wstring::npos &&
                   std::find(before.begin(), before.end(), window) == before.end();
        },
        15000);
    const EndsWithTest ends{opened};
    EXPECT_NE(nullptr, opened);
    try {
        shellOpen(L"\"kelmo-no-such-program\"", SW_SHOWNORMAL);
        ADD_FAILURE() << "opened a program that does not exist";
    } catch (const kelmo::KelmoError& error) {
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), error.number());
    }
}

TEST(ShellOpen, TheCommandsFirstArgumentIsReadByTheCommandLineRulesAndTheRestKeptAsItIs) {
    const std::wstring cases[][3] = {{LR"("notepad" "C:\Work\\")", L"notepad", LR"("C:\Work\\")"},
                                     {LR"("C:\Work\\"  x "y z")", LR"(C:\Work\)", LR"(x "y z")"},
                                     {LR"(C:\a\"b\\"c d)", LR"(C:\a"b\c d)", L""}};
    for (const auto& [commandLine, file, parameters] : cases) {
        const auto command = kelmo::win32::splitShellCommand(commandLine);
        EXPECT_TRUE(file == command.file && parameters == command.parameters)
            << toUtf8(commandLine);
    }
}

} // namespace
