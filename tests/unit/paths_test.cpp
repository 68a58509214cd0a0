// Completing and quoting the paths scripts give, one row a case, with the default folder
// C:\Work\ and the system drive root E:\ so that the two completions are told apart.
#include "component/core/paths.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;

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
        {'F', L"\"\"", L"\"C:\\Work\\\""},
        {'Q', L"\"C:\\x.txt", L"\"C:\\x.txt\""},
        {'Q', L"C:\\x.txt\"", L"\"C:\\x.txt\""},
        {'P', L"\\bin\\tool.exe", L"\"E:\\\\bin\\tool.exe\""},
        {'P', L"\"", L"\"\""}, // an empty pair of quotes, never a lone one
        {'D', L"\\Reports\\2026\\", L"E:\\Reports\\2026"},
        {'X', L"D:\\Reports\\", L"D:\\Reports"}, // untrimmed, one backslash off also after a drive
        {'C', L"notepad,memo.txt", L"\"notepad\" \"C:\\Work\\memo.txt\""},
        {'C', L"x.txt", L"\"\" \"C:\\Work\\x.txt\""},
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
