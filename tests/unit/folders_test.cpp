// The folder members against a fake disk, browse dialog and boxes. One row a call: what the
// user answers and which platform calls fail, then what the user and the disk see, in order,
// and what the call returns. Then what FldDelete refuses to delete under any name, how it
// deletes a tree, and FldSetD's argument classes. DefFld is C:\Work\, WinDrv E:\.
#include "component/core/object.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;

const std::wstring Desktop = L"C:\\Users\\me\\Desktop", Keep = FakeDialogs::KeepProposed;
const std::wstring Failed = L"box 16 エラー発生 : ";
const std::wstring PathFailed = L"フォルダのパス指定に失敗しました。手動で選択してください ";
const std::wstring Browse = L"browse フォルダを選択してください 1";
const std::wstring Confirm = L"input フォルダの確認 ";
const std::wstring SourceBrowse = L"browse 元フォルダを選択してください 1";
const std::wstring SourceConfirm = L"input 元フォルダの確認 ";
const std::wstring CopyFrom = L"browse コピー元フォルダを選択してください 1";
const std::wstring CopyFromConfirm = L"input コピー元フォルダの確認 ";
const std::wstring CopyFailed = L"フォルダのコピーに失敗しました。やり直してください ";
const std::wstring GatherFailed = L"デスクトップへのコピーに失敗しました。やり直してください ";
const std::wstring DeleteFailed = L"フォルダの削除に失敗しました。";
const std::wstring DeleteBrowse = L"browse 削除するフォルダを選択してください 1";
const std::wstring CopySourceMissing =
    L"そのフォルダは存在しません。コピー元フォルダを選択し直してください ";
const std::wstring Overwrite =
    L"box 36 上書きの確認  そのフォルダはすでに存在します。上書きコピーしますか ";
const std::wstring WorkD = Desktop + L"\\Work_D";
using Choice = std::optional<FakeShell::Choice>;
const Choice Cancel = std::nullopt, Data = FakeShell::Choice{L"Data", L"D:\\Data"},
             Src = FakeShell::Choice{L"Src", L"D:\\Src"};
constexpr std::int32_t Unspecified = -2147467259;

struct Case {
    const char* what;
    std::function<std::wstring(CKelmo&)> call;
    std::vector<Choice> chosen;               // the browse dialogs' answers in turn
    std::vector<std::wstring> typed;          // the confirmation boxes' answers in turn
    std::vector<std::int32_t> answered;       // the message boxes' answers in turn
    std::map<std::string, std::int32_t> fail; // log entries that fail, with their number
    std::vector<std::wstring> seen;
    std::wstring result;
};

std::wstring deleting(CKelmo& k, std::optional<std::wstring> path) {
    k.FldDelete(path);
    return L"";
}

class Folders : public ::testing::Test {
protected:
    Folders() {
        for (const std::wstring& folder :
             std::vector<std::wstring>{L"C:\\", L"C:\\Work", L"C:\\Work\\ Old ", L"C:\\Users",
                                       L"C:\\Users\\me", Desktop, L"D:\\", L"D:\\Data", L"D:\\Src",
                                       L"D:\\Copy", L"E:\\", L"E:\\Backup", L"E:\\WINDOWS"})
            disk().addFolder(folder);
        disk().addFolder(WorkD);
        disk().addFile(WorkD + L"\\a.txt", 1 | 32);
        disk().addFile(WorkD + L"\\b.txt", 1 | 2 | 256);
    }
    FakeDisk& disk() { return fake.objects.disk; }

    // A new object makes the call; the dialogs it shows ("browse <title> 1", "input <title>
    // <proposed>", "box <flags> <title> <text>") and what it writes or removes, in order.
    void expect(const Case& c) {
        SCOPED_TRACE(c.what);
        CKelmo k(fake.services());
        fake.log.clear();
        fake.log.failures.clear();
        for (const auto& [entry, number] : c.fail)
            fake.log.failures.emplace(entry, KelmoError(number, L"failed"));
        fake.objects.shell->chosen.assign(c.chosen.begin(), c.chosen.end());
        fake.dialogs.typed.assign(c.typed.begin(), c.typed.end());
        fake.dialogs.answers.queued.assign(c.answered.begin(), c.answered.end());
        fake.dialogs.boxes.clear();
        EXPECT_EQ(c.call(k), c.result);
        Steps seen, expected;
        std::size_t box = 0;
        for (const std::string& e : fake.log.entries) {
            if (e.starts_with("box ")) {
                const auto& shown = fake.dialogs.boxes.at(box++);
                seen.push_back("box " + std::to_string(shown.flags) + " " +
                               narrow(shown.title + L" " + shown.text));
            } else if (e.starts_with("browse") || e.starts_with("input") ||
                       e.starts_with("remove") || e.starts_with("fs c") ||
                       e.starts_with("fs set")) {
                seen.push_back(e);
            }
        }
        for (const std::wstring& step : c.seen)
            expected.push_back(narrow(step));
        EXPECT_EQ(seen, expected);
        EXPECT_TRUE(fake.objects.shell->chosen.empty() && fake.dialogs.typed.empty());
    }

    FakePlatform fake;
};

TEST_F(Folders, EachPassAsksReportsAndGoesOnAsItsStateTableSays) {
    // clang-format off
    const Case cases[] = {
        {"FldSet: a given folder, trimmed", [](CKelmo& k) { return k.FldSet(L" D:\\Data "); },
         {}, {}, {}, {}, {}, L"D:\\Data\\"},
        {"FldSet: \"\" is DefFld", [](CKelmo& k) { return k.FldSet(L""); },
         {}, {}, {}, {}, {}, L"C:\\Work\\"},
        {"FldSet: a missing folder is created", [](CKelmo& k) { return k.FldSet(L"New\\"); },
         {}, {}, {}, {}, {L"fs create C:\\Work\\New"}, L"C:\\Work\\New\\"},
        {"FldSet: a failed creation, then the user chooses; Cancel is the desktop",
         [](CKelmo& k) { return k.FldSet(L"D:\\Missing\\New"); },
         {Cancel}, {Keep}, {}, {{"fs create D:\\Missing", 76}},
         {L"fs create D:\\Missing\\New", Failed + L"76 " + PathFailed, Browse, Confirm + Desktop},
         Desktop + L"\\"},
        {"FldSet: an empty answer asks again; a folder titled as the desktop is the desktop",
         [](CKelmo& k) { return k.FldSet(L"browse"); },
         {Data, FakeShell::Choice{L"DESKTOP", L"D:\\Elsewhere"}}, {L"", Keep}, {}, {},
         {Browse, Confirm + L"D:\\Data", Browse, Confirm + Desktop}, Desktop + L"\\"},
        {"FldSet: a failure reading the choice is forgotten for the desktop",
         [](CKelmo& k) { return k.FldSet(L"?"); },
         {FakeShell::Choice{L"ﾃﾞｽｸﾄｯﾌﾟ", L""}}, {L"  Reports "}, {}, {{"folder path", Unspecified}},
         {Browse, Confirm + Desktop, L"fs create C:\\Work\\Reports"}, L"C:\\Work\\Reports\\"},
        {"FldSet: ... and reported after the pass otherwise", [](CKelmo& k) { return k.FldSet(L"?"); },
         {FakeShell::Choice{L"x", L""}, Cancel}, {L"Other", L"Other"}, {}, {{"folder path", Unspecified}},
         {Browse, Confirm, L"fs create C:\\Work\\Other", Failed + L"-2147467259 " + PathFailed,
          Browse, Confirm + Desktop}, L"C:\\Work\\Other\\"},
        {"FldSetD: patterns into the named folder, whose files lose their read-only flag",
         [](CKelmo& k) { return k.FldSetD({L"*.txt", L"D:\\Data", L"*.csv", L"Work_D"}); },
         {}, {}, {}, {},
         {L"fs copyFile D:\\Data\\*.txt " + WorkD + L"\\", L"fs copyFile D:\\Data\\*.csv " + WorkD + L"\\",
          L"fs setAttributes " + WorkD + L"\\a.txt 32", L"fs setAttributes " + WorkD + L"\\b.txt 2"},
         WorkD + L"\\"},
        {"FldSetD: without patterns every file, into the source's name and _D",
         [](CKelmo& k) { return k.FldSetD({L"D:\\Data"}); }, {}, {}, {}, {},
         {L"fs create " + Desktop + L"\\Data_D", L"fs copyFile D:\\Data\\*.* " + Desktop + L"\\Data_D\\"},
         Desktop + L"\\Data_D\\"},
        {"FldSetD: a missing source (0), a failed copy: the box, then the user chooses the source",
         [](CKelmo& k) { return k.FldSetD({L"D:\\Nowhere", L"*.doc", L"Out_D"}); },
         {Data, Src}, {Keep, Keep}, {}, {{"fs copyFile D:\\Data", 53}},
         {Failed + L"0 そのフォルダは存在しません。選択し直してください ", SourceBrowse,
          SourceConfirm + L"D:\\Data", L"fs create " + Desktop + L"\\Out_D",
          L"fs copyFile D:\\Data\\*.doc " + Desktop + L"\\Out_D\\", Failed + L"53 " + GatherFailed,
          SourceBrowse, SourceConfirm + L"D:\\Src", L"fs copyFile D:\\Src\\*.doc " + Desktop + L"\\Out_D\\"},
         Desktop + L"\\Out_D\\"},
        {"FldSetD: the gathering folder as the source is refused",
         [](CKelmo& k) { return k.FldSetD({L"Work_D", L"*.csv"}); },
         {FakeShell::Choice{L"Work_D", WorkD}, Data}, {Keep, Keep}, {}, {},
         {SourceBrowse, SourceConfirm + WorkD,
          Failed + L"70 " + GatherFailed + L"\r\n\r\n" + WorkD + L"\r\nは元フォルダそのもののため、コピーしません。",
          SourceBrowse, SourceConfirm + L"D:\\Data", L"fs copyFile D:\\Data\\*.csv " + WorkD + L"\\",
          L"fs setAttributes " + WorkD + L"\\a.txt 32", L"fs setAttributes " + WorkD + L"\\b.txt 2"},
         WorkD + L"\\"},
        {"FldCopy: No to overwriting lets the user choose the parent; the copy keeps its name",
         [](CKelmo& k) { return k.FldCopy(L"D:\\Src", L"D:\\Copy"); },
         {FakeShell::Choice{L"Backup", L"E:\\Backup"}}, {Keep}, {7}, {},
         {Overwrite, L"browse コピー先の親フォルダを選択してください 1",
          L"input コピー先フォルダの確認 E:\\Backup\\Src", L"fs copyFolder D:\\Src E:\\Backup\\Src"},
         L"E:\\Backup\\Src\\"},
        {"FldCopy: only Yes overwrites", [](CKelmo& k) { return k.FldCopy(L"D:\\Src", L"D:\\Copy\\"); },
         {}, {}, {6}, {}, {Overwrite, L"fs copyFolder D:\\Src D:\\Copy\\"}, L"D:\\Copy\\"},
        {"FldCopy: a missing source (0), a failed copy: the user chooses the source, not the destination",
         [](CKelmo& k) { return k.FldCopy(L"Q:\\Missing", L"D:\\Dest"); },
         {Src, Data}, {Keep, Keep}, {}, {{"fs copyFolder D:\\Src", 70}},
         {Failed + L"0 " + CopySourceMissing, CopyFrom, CopyFromConfirm + L"D:\\Src",
          L"fs copyFolder D:\\Src D:\\Dest", Failed + L"70 " + CopyFailed, CopyFrom,
          CopyFromConfirm + L"D:\\Data", L"fs copyFolder D:\\Data D:\\Dest"},
         L"D:\\Dest\\"},
        {"FldCopy: a source that cannot be looked up counts as missing",
         [](CKelmo& k) { return k.FldCopy(L"D:\\Data", L"E:\\Out"); },
         {Src}, {Keep}, {}, {{"fs exists D:\\Data", 70}},
         {Failed + L"70 " + CopySourceMissing, CopyFrom, CopyFromConfirm + L"D:\\Src",
          L"fs copyFolder D:\\Src E:\\Out"}, L"E:\\Out\\"},
        {"FldCopy: a source that exists after a failure", [](CKelmo& k) { return k.FldCopy(L"?", L"E:\\Out"); },
         {Src, FakeShell::Choice{L"Desktop", L""}}, {L"D:\\Src", L"D:\\Src"}, {}, {{"folder path", Unspecified}},
         {CopyFrom, CopyFromConfirm,
          Failed + L"-2147467259 コピー元フォルダのパス指定に失敗しました。手動で選択してください ",
          CopyFrom, CopyFromConfirm + Desktop, L"fs copyFolder D:\\Src E:\\Out"}, L"E:\\Out\\"},
        {"FldCopy: a copy into its own source is refused before anything is written",
         [](CKelmo& k) { return k.FldCopy(L"D:\\Src", L"D:\\Src\\Sub"); }, {Data}, {Keep}, {}, {},
         {Failed + L"70 " + CopyFailed + L"\r\n\r\nD:\\Src\\Sub\r\nはコピー元フォルダそのものか、その中にあるため、コピーしません。",
          CopyFrom, CopyFromConfirm + L"D:\\Data", L"fs copyFolder D:\\Data D:\\Src\\Sub"},
         L"D:\\Src\\Sub\\"},
        {"FldDelete before any folder was settled on: 76", [](CKelmo& k) { return deleting(k, std::nullopt); },
         {}, {}, {}, {}, {Failed + L"76 " + DeleteFailed}, L""},
        {"FldDelete: an untrimmed name in DefFld, without asking", [](CKelmo& k) { return deleting(k, L" Old "); },
         {}, {}, {}, {}, {L"remove C:\\Work\\ Old "}, L""},
        {"FldDelete(\"\"): the current folder, which stays current",
         [](CKelmo& k) { return k.FldSet(L"D:\\Copy") + deleting(k, L"") + k.currentFolder(); },
         {}, {}, {}, {}, {L"remove D:\\Copy"}, L"D:\\Copy\\D:\\Copy\\"},
        {"FldDelete: the chosen folder, at once", [](CKelmo& k) { return deleting(k, L"?"); },
         {Src}, {}, {}, {}, {DeleteBrowse, L"remove D:\\Src"}, L""},
        {"FldDelete: no folder chosen is 91", [](CKelmo& k) { return deleting(k, L"Browse"); },
         {Cancel}, {}, {}, {}, {DeleteBrowse, Failed + L"91 " + DeleteFailed}, L""},
        {"FldDelete: ... also when the dialog failed", [](CKelmo& k) { return deleting(k, L"?"); },
         {}, {}, {}, {{"browse", Unspecified}}, {DeleteBrowse, Failed + L"91 " + DeleteFailed}, L""},
    };
    // clang-format on
    for (const Case& c : cases)
        expect(c);
    EXPECT_EQ(fake.dialogs.prompts.at(0), L"正しいフォルダならそのまま [ OK ]\r\n\r\n      "
                                          L"または修正・追加して [ OK ]\r\n\r\nやり直すなら [ "
                                          L"ｷｬﾝｾﾙ ] を押してください");
}

// Kept folders are known by what they are: another name for the desktop or for a folder that
// holds it (a link, another drive letter, a short name) is refused as the desktop is.
TEST_F(Folders, FldDeleteRefusesKeptFoldersAndRootsUnderEveryNameAndNeverFollowsALink) {
    disk().addLink(L"Z:\\host\\desk", Desktop);                // another drive for the same place
    disk().addLink(L"C:\\Users\\me\\Music", L"C:\\Users\\me"); // a profile folder linking home
    disk().addLink(L"C:\\Work\\deskln", Desktop);
    disk().addLink(L"C:\\Work\\root", L"D:\\");
    disk().addFolder(Desktop + L"\\Keep");
    disk().addFolder(L"D:\\Holder");
    disk().addLink(L"D:\\Holder\\winlink", L"E:\\WINDOWS"); // only a link inside: deletable
    for (const wchar_t* path :
         {L"C:\\", L"D:", L"C:.", L"C:Work", L"c:\\work\\root", L"C:\\Users\\me\\Desktop\\",
          L"c:\\users\\ME", L"C:\\Users", L"E:\\WINDOWS", L"C:\\Users\\me\\Desktop\\Keep\\..",
          L"C:\\Users\\me\\Desktop\\K*", L"Z:\\host\\desk", L"C:\\Users\\me\\Music",
          L"C:\\Work\\deskln"}) {
        SCOPED_TRACE(narrow(path));
        CKelmo k(fake.services());
        fake.dialogs.boxes.clear();
        k.FldDelete(path);
        ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
        EXPECT_EQ(fake.dialogs.boxes[0].title, L"エラー発生 : 70");
        EXPECT_TRUE(fake.dialogs.boxes[0].text.starts_with(DeleteFailed + L"\r\n\r\n"));
    }
    EXPECT_EQ(fake.log.count("remove"), 0u);
    EXPECT_NE(fake.dialogs.boxes[0].text.find(L"デスクトップ"), std::wstring::npos);

    // A link inside the tree, or the folder itself when it is one, is removed as a link.
    disk().addFolder(L"C:\\Work\\tree");
    disk().addFolder(L"C:\\Work\\tree\\sub");
    disk().addFile(L"C:\\Work\\tree\\sub\\a.txt");
    disk().addLink(L"C:\\Work\\tree\\sub\\out", Desktop + L"\\Keep");
    disk().addLink(L"C:\\Work\\keepln", Desktop + L"\\Keep");
    fake.log.clear();
    CKelmo k(fake.services());
    for (const wchar_t* path : {L"C:\\Work\\tree", L"D:\\Holder", L"C:\\Work\\keepln"})
        k.FldDelete(path);
    EXPECT_EQ(
        fake.log.args("remove"),
        (Steps{"C:\\Work\\tree\\sub\\out", "C:\\Work\\tree\\sub\\a.txt", "C:\\Work\\tree\\sub",
               "C:\\Work\\tree", "D:\\Holder\\winlink", "D:\\Holder", "C:\\Work\\keepln"}));
    EXPECT_TRUE(disk().holds(Desktop + L"\\Keep", FakeDisk::Kind::Folder));
}

TEST_F(Folders, TheGuardTellsFoldersByWhatTheyAre) {
    disk().addLink(L"Z:\\s", L"D:\\Src");
    FolderGuard guard(disk());
    EXPECT_TRUE(guard.liesInside(L"Z:\\s\\New\\Deeper", L"D:\\Src"));
    EXPECT_TRUE(guard.liesInside(L"D:\\Src", L"Z:\\s"));
    EXPECT_FALSE(guard.liesInside(L"D:\\Data", L"Z:\\s"));
    EXPECT_FALSE(guard.liesInside(L"D:\\Data", L"Q:\\Missing"));
    EXPECT_TRUE(guard.sameFolder(L"Z:\\s", L"D:\\SRC"));
    EXPECT_FALSE(guard.sameFolder(L"Q:\\Missing", L"Q:\\Missing"));
    // A share's root, which FldDelete reaches through the browse dialog.
    disk().addFolder(L"\\\\server\\share");
    for (const wchar_t* root : {L"\\\\server\\share", L"\\\\server\\share\\"})
        EXPECT_TRUE(guard.deleteFolder(root, {}).has_value()) << narrow(root);
    EXPECT_EQ(fake.log.count("remove"), 0u);
}

TEST(GatherArguments, ADotMakesAPatternAnEndingInUnderscoreDTheGatherNameTheRestTheSource) {
    FakeCollation collation;
    const auto classified = [&](const std::vector<std::wstring>& arguments) {
        const GatherArguments a = classifyGatherArguments(
            arguments, [&](const auto& x, const auto& y) { return collation.sameText(x, y); });
        const std::wstring source = a.source.asksUser() ? L"<ask>" : a.source.path();
        return std::tuple(source, a.gatherName, a.patterns);
    };
    using V = std::vector<std::wstring>;
    EXPECT_EQ(classified({}), std::tuple(L"<ask>", L"", V{}));
    EXPECT_EQ(classified({L"*.txt", L"Work_D", L" C:\\Data ", L"*.csv"}),
              std::tuple(L"C:\\Data", L"Work_D", V{L"*.txt", L"*.csv"}));
    // A folder name with a dot is a pattern; a lone asterisk is a source; the last one wins.
    EXPECT_EQ(classified({L"C:\\v1.2", L"*", L" bRowse ", L"work_d", L"_D"}),
              std::tuple(L"<ask>", L"_D", V{L"C:\\v1.2"}));
    EXPECT_EQ(classified({L"D", L""}), std::tuple(L"", L"", V{}));
}

} // namespace
