// The launcher of systems without start.exe, in this process: a document whose folder and name
// hold what the command interpreter takes as its own (&, %NAME%, ^, blanks) opens under its own
// name, a program that does not exist raises, and the launcher's command line splits back into
// the file and its parameters by the command-line rules.
#include "fixture.h"
#include "pilot.h"

#include "base/error.h"
#include "platform/win32/shellopen.h"

#include "toolio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using kelmo::win32::shellOpen;
using kelmo::win32::splitShellCommand;

namespace {

constexpr DWORD WindowTimeoutMs = 15000;

// Ends the processes of the top-level windows that came up while it lived.
class EndsNewWindows {
public:
    EndsNewWindows() : before_(kelmo::testtools::topLevelWindows()) {}
    EndsNewWindows(const EndsNewWindows&) = delete;
    EndsNewWindows& operator=(const EndsNewWindows&) = delete;
    ~EndsNewWindows() {
        for (HWND window : kelmo::testtools::topLevelWindows()) {
            if (std::find(before_.begin(), before_.end(), window) != before_.end()) continue;
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == 0 || process == GetCurrentProcessId()) continue;
            const kelmo::win32::Handle handle(
                OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process));
            if (!handle) continue;
            TerminateProcess(handle.get(), 0);
            WaitForSingleObject(handle.get(), 5000);
        }
    }

private:
    std::vector<HWND> before_;
};

HWND waitForCaptionContaining(const std::wstring& text) {
    const ULONGLONG deadline = GetTickCount64() + WindowTimeoutMs;
    do {
        for (HWND window : kelmo::testtools::topLevelWindows()) {
            if (IsWindowVisible(window) &&
                kelmo::testtools::captionOf(window).find(text) != std::wstring::npos)
                return window;
        }
        Sleep(kelmo::testtools::PollIntervalMs);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

using ShellOpen = kelmo::test::ComTest;

} // namespace

// %CD% is a name the command interpreter knows and the environment does not: Wine's shell
// expands environment variables in the names it opens (Windows does not), so a variable of the
// environment would not open here.
TEST_F(ShellOpen, ADocumentOpensUnderItsOwnNameThatTheCommandInterpreterWouldRewrite) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::filesystem::path folder =
        std::wstring(temp) + L"kelmo & %CD% ^ " + std::to_wstring(GetCurrentProcessId());
    const std::wstring name = L"a & %CD% ^b c.txt";
    std::filesystem::create_directory(folder);
    ASSERT_TRUE(kelmo::testtools::writeUtf8File((folder / name).wstring(), L"Kelmo"));
    {
        const EndsNewWindows ends;
        try {
            shellOpen(L"\"" + (folder / name).wstring() + L"\"", SW_SHOWNORMAL);
        } catch (const kelmo::KelmoError& error) {
            ADD_FAILURE() << kelmo::testtools::toUtf8(error.description());
        }
        EXPECT_NE(nullptr, waitForCaptionContaining(name));
    }
    std::filesystem::remove_all(folder);
}

TEST_F(ShellOpen, AProgramThatDoesNotExistRaisesTheSystemsError) {
    try {
        shellOpen(L"\"kelmo-no-such-program\"", SW_SHOWNORMAL);
        ADD_FAILURE() << "opened a program that does not exist";
    } catch (const kelmo::KelmoError& error) {
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), error.number());
    }
}

TEST_F(ShellOpen, TheFirstArgumentIsReadByTheCommandLineRulesAndTheRestKeptAsItIs) {
    struct Case {
        std::wstring commandLine, file, parameters;
    };
    const Case cases[] = {
        {LR"("notepad" "C:\Work\\")", L"notepad", LR"("C:\Work\\")"},
        {LR"("C:\Work\\"  x "y z")", LR"(C:\Work\)", LR"(x "y z")"},
        {LR"(C:\a\"b\\"c d)", LR"(C:\a"b\c d)", L""},
    };
    for (const Case& c : cases) {
        const auto command = splitShellCommand(c.commandLine);
        EXPECT_EQ(c.file, command.file) << c.commandLine;
        EXPECT_EQ(c.parameters, command.parameters) << c.commandLine;
    }
}
