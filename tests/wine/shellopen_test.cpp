// The launcher of systems without start.exe, in this process: a document whose folder and name
// hold what the command interpreter takes as its own (&, %NAME%, ^, blanks) opens under its own
// name, a program that does not exist raises, and the launcher's command line splits back into
// the file and its parameters by the command-line rules.
#include "fixture.h"
#include "pilot.h"

#include "base/error.h"
#include "platform/win32/shellopen.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace pilot = kelmo::testtools;
using kelmo::win32::shellOpen;
using ShellOpen = kelmo::test::ComTest;

// %CD% is a name the command interpreter knows and the environment does not: Wine's shell
// expands environment variables in the names it opens (Windows does not), so a variable of the
// environment would not open here.
TEST_F(ShellOpen, ADocumentOpensUnderItsOwnNameAndAProgramThatDoesNotExistRaises) {
    const kelmo::test::TempFolder folder(L"& %CD% ^");
    const std::wstring name = L"a & %CD% ^b c.txt", document = folder.write(name, L"Kelmo");
    const std::vector<HWND> before = pilot::topLevelWindows();
    EXPECT_NO_THROW(shellOpen(L"\"" + document + L"\"", SW_SHOWNORMAL));
    HWND opened = pilot::waitForWindowWhere(
        [&](HWND window) { return pilot::captionOf(window).find(name) != std::wstring::npos; },
        15000);
    ASSERT_NE(nullptr, opened);
    EXPECT_EQ(before.end(), std::find(before.begin(), before.end(), opened));
    DWORD process = 0;
    GetWindowThreadProcessId(opened, &process);
    const kelmo::win32::Handle program(
        OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process));
    if (program && TerminateProcess(program.get(), 0)) WaitForSingleObject(program.get(), 5000);
    try {
        shellOpen(L"\"kelmo-no-such-program\"", SW_SHOWNORMAL);
        ADD_FAILURE() << "opened a program that does not exist";
    } catch (const kelmo::KelmoError& error) {
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), error.number());
    }
}

TEST(ShellCommand, TheFirstArgumentIsReadByTheCommandLineRulesAndTheRestKeptAsItIs) {
    const std::wstring cases[][3] = {{LR"("notepad" "C:\Work\\")", L"notepad", LR"("C:\Work\\")"},
                                     {LR"("C:\Work\\"  x "y z")", LR"(C:\Work\)", LR"(x "y z")"},
                                     {LR"(C:\a\"b\\"c d)", LR"(C:\a"b\c d)", L""}};
    for (const auto& [commandLine, file, parameters] : cases) {
        const auto command = kelmo::win32::splitShellCommand(commandLine);
        EXPECT_TRUE(file == command.file && parameters == command.parameters)
            << pilot::toUtf8(commandLine);
    }
}
