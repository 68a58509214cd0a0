// Launching and the application table: the command lines Exec and Run start, their waits, the
// styles, AppShow's table arithmetic; the completing and quoting of the paths scripts give.
#include "component/core/object.h"
#include "component/core/paths.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;

class AppMembers : public ::testing::Test {
protected:
    AppMembers() : k(fake.services()) { fake.log.clear(), k.Mol1 = 25; }
    // Registers applications 1..n through Exec, entry i with window 0x200 + i in front; then
    // makes `current` the current one and `previous` the previous one.
    void launch(int n, std::int16_t current = 0, std::int16_t previous = 0) {
        for (int i = 1; i <= n; ++i)
            fake.windows.front = 0x200 + WindowHandle(i), k.Exec(L"app", 8);
        k.AppCur(previous), k.AppCur(current), fake.log.clear();
    }
    FakePlatform fake;
    CKelmo k;
};

// With fast pacing the machine settles long before a program shows its window: the launch
// goes on waiting for a new window in front, for at most RestMax seconds, then takes the one in
// front and shows it as told. Web addresses, in any case, go to the browser.
TEST_F(AppMembers, ExecRegistersTheNewWindowAlsoWhenItComesUpAfterTheMachineSettled) {
    k.Atom = 5, k.Mol1 = 10;
    fake.windows.bringUpAt(3000, 0x777);
    EXPECT_EQ(k.Exec(L"  notepad|memo.txt ", 8), 1);
    EXPECT_EQ(fake.log.args("start"), Steps{R"(start.exe "notepad" "C:\Work\memo.txt" 2)"});
    EXPECT_EQ(k.apps().windows()[1], 0x777u);
    EXPECT_LT(fake.time.now(), 3200);
    k.RestMax = 2;
    fake.log.clear();
    EXPECT_EQ(k.Exec(L"notepad", 3), 2);
    const Steps slept = fake.log.args("sleep");
    EXPECT_EQ(std::count(slept.begin(), slept.end(), "10"), 200); // 2 s of polls, not one more
    EXPECT_EQ(fake.log.args("show"), Steps{"1911 3"}); // AppShow(3, 0): the new application
    EXPECT_EQ(std::pair(k.AppCur(), k.apps().previous()),
              std::pair(std::int16_t(2), std::int16_t(1)));
    for (const wchar_t* address : {L"HTTP://host/", L"  FILE:///C:/a.htm", L"http:/host"})
        k.Exec(address, 8);
    EXPECT_EQ(fake.log.args("navigate"), (Steps{"HTTP://host/", "file://C:/a.htm"}));
}

// Run keeps the process id and waits, pumping messages, until the process takes input. One that
// never gets ready holds Run until a Pause press after 10 s opens the pause box.
TEST_F(AppMembers, RunStartsThePathWithItsStyleAndWaitsForInputIdle) {
    fake.processes.nextProcessId = 4242;
    fake.windows.bringUpAt(500, 0x4242);
    k.Atom = 30;
    EXPECT_EQ(k.Run(L"calc", 3), 1);
    EXPECT_EQ(fake.log.args("start"), Steps{R"("C:\Work\calc" 3)"});
    EXPECT_EQ(k.apps().processIds(), (std::vector<platform::ProcessId>{0, 4242}));
    const auto opened = fake.log.entries.begin() + std::ptrdiff_t(fake.log.find("open 4242"));
    EXPECT_EQ(Steps(opened, opened + 5),
              (Steps{"open 4242", "pump", "sleep 30", "inputidle 4242", "close 4242"}));

    k.Atom = k.Mol1 = 1;
    fake.processes.nextProcessId = 8;
    fake.processes.readyAtMs = INT64_MAX;
    fake.keyboard.pressPauseAt(fake.time.now() + 15000);
    EXPECT_EQ(k.Run(L"stuck.exe", 4), 2);
    EXPECT_EQ(fake.log.args("box"), Steps{"Kelmo_Break"});
    EXPECT_LT(fake.time.now(), 16000); // then no wait for a window: style 4 takes no focus
}

// A style other than 0 to 6 shows the launch error box and ends the run.
TEST_F(AppMembers, RunTakesTheStylesFrom0To6) {
    for (const std::int16_t style : {0, 6}) // hidden; minimised without focus
        EXPECT_NO_THROW(k.Run(L"calc", style));
    for (const std::int16_t style : {-1, 5, 7})
        EXPECT_THROW(k.Run(L"calc", style), RunEnded);
    EXPECT_EQ(fake.dialogs.boxes.at(2).title, L"エラー発生 : 5");
}

TEST_F(AppMembers, AppShowActsOnTheEntryAndMovesTheCurrentIndexAsItsCommandSays) {
    // nCmdShow, AppWnd, the ShowWindow call, then AppCur, the previous and the activations; before
    // each, application 3 is current and 1 previous, and entry i holds window 0x200 + i.
    using Index = std::int16_t;
    const std::tuple<std::int32_t, Index, std::string, Index, Index, Steps> cases[] = {
        // clang-format off
        {6, 0, "515 6", 1, 3, {"513"}}, // minimising the current one returns to the previous
        {6, 2, "514 6", 3, 1, {"515"}}, // another one: the current one is activated again
        {11, 0, "515 1", 3, 1, {}},     // above 10 is 1
        {10, 2, "514 10", 2, 3, {}},    // the largest command is kept
        {9, 99, "515 9", 3, 1, {}},     // clamped to AppNum
        {0, 3, "515 0", 1, 3, {"513"}}, {-1, 2, "514 -1", 2, 3, {}}, {4, 2, "514 4", 3, 1, {}},
        {7, 1, "513 7", 3, 1, {}},      {8, 2, "514 8", 3, 1, {}},
        // clang-format on
    };
    launch(3, 3, 1);
    for (const auto& [nCmdShow, AppWnd, shown, cur, prev, activated] : cases) {
        k.AppShow(nCmdShow, AppWnd);
        EXPECT_EQ(fake.log.args("show"), Steps{shown});
        EXPECT_EQ(std::pair(k.AppCur(), k.apps().previous()), std::pair(cur, prev)) << shown;
        EXPECT_EQ(fake.log.args("activate"), activated) << shown;
        launch(0, 3, 1);
    }
}

// With the default folder C:\Work\ and the system drive root E:\ the two completions differ.
TEST(Paths, CompletionAndQuotingFollowTheirRules) {
    FakePlatform fake;
    Tuning tuning;
    AppTable apps{fake.windows, fake.clock};
    Pacer pacer{fake.services(), tuning, apps};
    PathCompleter paths{pacer};
    paths.setDefaultFolder(L"  C:\\Work  "), paths.setSystemDriveRoot(L"E:\\");
    const auto complete = [&](char r, const std::wstring& p) { // C: split at the first comma
        return r == 'F'   ? paths.fullPath(p)
               : r == 'Q' ? paths.quotedPath(p)
               : r == 'P' ? paths.quotedProgram(p)
               : r == 'D' ? paths.folderPath(p)
               : r == 'X' ? paths.deletionPath(p)
               : r == 'L' ? paths.launcherCommand(p)
                          : paths.quotedCommand(p, std::int16_t(p.find(L',') + 1));
    };
    const std::tuple<char, std::wstring, std::wstring> cases[] = {
        {'F', L"  a.txt  ", L"C:\\Work\\a.txt"},
        {'F', L"\\tools\\a.exe", L"E:\\\\tools\\a.exe"}, // two backslashes after the colon
        {'F', L"\"\\\\server\\a\"", L"\"\\\\server\\a\""},
        {'F', L"\"a b.txt\"", L"\"C:\\Work\\a b.txt\""}, // inside the quotes, as they hold it
        {'Q', L"\"C:\\x.txt", L"\"C:\\x.txt\""},
        {'P', L"\\bin\\tool.exe", L"\"E:\\\\bin\\tool.exe\""},
        {'P', L"\"", L"\"\""}, // an empty pair of quotes, never a lone one
        {'D', L"\\Reports\\2026\\", L"E:\\Reports\\2026"},
        {'X', L"D:\\Reports\\", L"D:\\Reports"}, // untrimmed, one backslash off also after a drive
        {'C', L"notepad,memo.txt", L"\"notepad\" \"C:\\Work\\memo.txt\""},
        // Exec's command: split at the first bar, else at a blank before a drive letter further
        // right than the start; backslashes before a closing quote doubled.
        {'L', L"a|b|c", L"\"a\" \"C:\\Work\\b|c\""},
        {'L', L"notepad \"c:\\a b.txt\"", L"\"notepad\" \"c:\\a b.txt\""},
        {'L', L"abc:def", L"\"abc:def\""},
        {'L', L"ab c:def", L"\"ab\" \"c:def\""},
        {'L', L"\"C:\\My Tools\\\\\"", L"\"C:\\My Tools\\\\\\\\\""},
    };
    for (const auto& [routine, path, expected] : cases)
        EXPECT_EQ(complete(routine, path), expected) << routine << " " << narrow(path);
    EXPECT_EQ(errorNumberOf([&] { paths.launcherCommand(std::wstring(32767, L'x') + L"|y"); }),
              errors::Overflow);
}

} // namespace
