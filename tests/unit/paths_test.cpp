// Completing and quoting the paths scripts give, with the default folder C:\Work\ and the
// system drive root E:\ so that the two completions are told apart.
#include "component/core/paths.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;

using Cases = std::vector<std::pair<std::wstring, std::wstring>>;

class Paths : public ::testing::Test {
protected:
    Paths() {
        paths.setDefaultFolder(L"C:\\Work");
        paths.setSystemDriveRoot(L"E:\\");
        fake.log.clear();
    }

    std::wstring fullPath(const std::wstring& p) { return paths.fullPath(p); }
    std::wstring quotedPath(const std::wstring& p) { return paths.quotedPath(p); }
    std::wstring quotedProgram(const std::wstring& p) { return paths.quotedProgram(p); }
    std::wstring quotedCommand(const std::wstring& p, std::int16_t separator) {
        return paths.quotedCommand(p, separator);
    }

    FakePlatform fake;
    Tuning tuning;
    AppTable apps{fake.windows, fake.clock};
    Pacer pacer{fake.services(), tuning, apps};
    PathCompleter paths{pacer};
};

TEST_F(Paths, FullPathTakesABareNameFromDefFldAPathWithABackslashFromWinDrv) {
    const Cases cases = {
        {L"a.txt", L"C:\\Work\\a.txt"},
        {L"  a.txt  ", L"C:\\Work\\a.txt"},
        {L"\\tools\\a.exe", L"E:\\\\tools\\a.exe"}, // two backslashes after the colon
        {L"tools\\a.exe", L"E:\\tools\\a.exe"},
        {L"", L"C:\\Work\\"},
        {L"c:a.txt", L"c:a.txt"},
        {L"  c:a.txt ", L"c:a.txt"},
        {L"D:\\x\\a.txt", L"D:\\x\\a.txt"},
        {L"http://host/a.txt", L"http://host/a.txt"},
        // A network path is full already: the system drive in front would make it local.
        {L"\\\\server\\share\\a.txt", L"\\\\server\\share\\a.txt"},
        // A quoted name is completed inside its quotes.
        {L"\"a b.txt\"", L"\"C:\\Work\\a b.txt\""},
        {L"  \"a.txt\"  ", L"\"C:\\Work\\a.txt\""},
        {L"\"\\tools\\a.exe\"", L"\"E:\\\\tools\\a.exe\""},
        {L"\"C:\\a b.txt\"", L"\"C:\\a b.txt\""},
        {L"\" a.txt \"", L"\"C:\\Work\\ a.txt \""}, // what the quotes hold is kept
        // Only plain spaces are trimmed.
        {L"\ta.txt", L"C:\\Work\\\ta.txt"},
        {L"a.txt\r\n", L"C:\\Work\\a.txt\r\n"},
        {L"\u3000a.txt\u3000", L"C:\\Work\\\u3000a.txt\u3000"},
        {L"\u00A0a.txt", L"C:\\Work\\\u00A0a.txt"},
    };
    for (const auto& [path, full] : cases) {
        SCOPED_TRACE(narrow(path));
        EXPECT_EQ(fullPath(path), full);
    }
    paths.setDefaultFolder(L"  D:\\Data  ");
    EXPECT_EQ(fullPath(L"a.txt"), L"D:\\Data\\a.txt");
}

TEST_F(Paths, QuotedPathAddsOnlyTheQuotesThatAreMissingThenPaces) {
    const Cases cases = {
        {L"a.txt", L"\"C:\\Work\\a.txt\""},
        {L"\"a b.txt\"", L"\"C:\\Work\\a b.txt\""},
        {L"\"C:\\My Files\\a.txt\"", L"\"C:\\My Files\\a.txt\""},
        {L"  \"C:\\x.txt\" ", L"\"C:\\x.txt\""},
        {L"\"C:\\x.txt", L"\"C:\\x.txt\""},
        {L"C:\\x.txt\"", L"\"C:\\x.txt\""},
    };
    for (const auto& [path, quoted] : cases) {
        SCOPED_TRACE(narrow(path));
        fake.log.clear();
        EXPECT_EQ(quotedPath(path), quoted);
        EXPECT_EQ(fake.log.count("sleep"), 4u); // one PaceWait
    }
}

TEST_F(Paths, QuotedProgramCompletesOnlyANameWithADot) {
    const Cases cases = {
        {L"notepad", L"\"notepad\""},
        {L"  notepad ", L"\"notepad\""},
        {L"\"notepad\"", L"\"notepad\""},
        {L"\\bin\\tool", L"\"\\bin\\tool\""},
        {L"memo.txt", L"\"C:\\Work\\memo.txt\""},
        {L"\\bin\\tool.exe", L"\"E:\\\\bin\\tool.exe\""},
        {L"C:\\Tools\\x.exe", L"\"C:\\Tools\\x.exe\""},
        {L"", L"\"\""}, // an empty pair of quotes, never a lone one
    };
    for (const auto& [program, quoted] : cases) {
        SCOPED_TRACE(narrow(program));
        EXPECT_EQ(quotedProgram(program), quoted);
    }
}

TEST_F(Paths, QuotedCommandDropsTheSeparatorAndJoinsWithExactlyOneBlank) {
    const std::tuple<std::wstring, std::int16_t, std::wstring> cases[] = {
        {L"notepad memo.txt", 8, L"\"notepad\" \"C:\\Work\\memo.txt\""},
        {L"notepad   memo.txt", 8, L"\"notepad\" \"C:\\Work\\memo.txt\""},
        {L"notepad,memo.txt", 8, L"\"notepad\" \"C:\\Work\\memo.txt\""},
        {L"  notepad memo.txt", 10, L"\"notepad\" \"C:\\Work\\memo.txt\""},
        {L"calc.exe x.txt", 9, L"\"C:\\Work\\calc.exe\" \"C:\\Work\\x.txt\""},
        {L"\"C:\\Program Files\\x.exe\" \\docs\\a.txt", 25,
         L"\"C:\\Program Files\\x.exe\" \"E:\\\\docs\\a.txt\""},
        {L"notepad \"D:\\a b.txt\"", 8, L"\"notepad\" \"D:\\a b.txt\""},
    };
    for (const auto& [command, separator, result] : cases) {
        SCOPED_TRACE(narrow(command));
        EXPECT_EQ(quotedCommand(command, separator), result);
    }
}

TEST_F(Paths, FolderPathsKeepADriveTakeBareNamesFromDefFldAndTheRestFromWinDrv) {
    const Cases folderCases = {
        {L"", L"C:\\Work\\"},
        {L"Reports", L"C:\\Work\\Reports"},
        {L"Reports\\", L"C:\\Work\\Reports"},
        {L"\\Reports", L"E:\\Reports"},
        {L"\\Reports\\2026\\", L"E:\\Reports\\2026"},
        {L"Reports\\2026", L"E:\\Reports\\2026"},
        {L"\\\\server\\share", L"E:\\\\server\\share"}, // two leading backslashes lose one
        {L"D:\\Reports", L"D:\\Reports"},
        {L"D:\\Reports\\", L"D:\\Reports\\"},
        {L"D:", L"D:"},
    };
    for (const auto& [path, completed] : folderCases) {
        SCOPED_TRACE(narrow(path));
        EXPECT_EQ(paths.folderPath(path), completed);
    }
    // FldDelete's own form: untrimmed, and one trailing backslash goes also after a drive.
    const Cases deletionCases = {
        {L"D:\\Reports\\", L"D:\\Reports"},
        {L" Old ", L"C:\\Work\\ Old "},
        {L"\\Old\\", L"E:\\Old"},
        {L"Old\\\\", L"E:\\Old\\"},
    };
    for (const auto& [path, completed] : deletionCases) {
        SCOPED_TRACE(narrow(path));
        EXPECT_EQ(paths.deletionPath(path), completed);
    }
}

} // namespace
