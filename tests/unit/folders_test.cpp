// The folder members against a fake disk, browse dialog and boxes: the passes of FldSet,
// FldSetD and FldCopy (which box follows which failure, what the next pass asks), the desktop
// substitution, FldSetD's argument classes, and what FldDelete deletes and refuses to delete.
// DefFld is C:\Work\, WinDrv E:\, the desktop C:\Users\me\Desktop.
#include "component/core/object.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;

const std::wstring Desktop = L"C:\\Users\\me\\Desktop";
const std::wstring ErrorTitle = L"エラー発生 : ";

class Folders : public ::testing::Test {
protected:
    Folders() : k(fake.services()) {
        for (const wchar_t* folder : {L"C:\\", L"C:\\Work", L"C:\\Users", L"C:\\Users\\me",
                                      L"C:\\Users\\me\\Desktop", L"D:\\", L"E:\\", L"E:\\WINDOWS"})
            disk().addFolder(folder);
        fake.log.clear();
    }
    FakeDisk& disk() { return fake.objects.disk; }
    void choose(const std::wstring& title, const std::wstring& path) {
        fake.objects.shell->chosen.push_back(FakeShell::Choice{title, path});
    }
    void cancelBrowsing() { fake.objects.shell->chosen.push_back(std::nullopt); }
    void type(std::initializer_list<std::wstring> answers) {
        fake.dialogs.typed.insert(fake.dialogs.typed.end(), answers);
    }
    // The dialogs in order: "browse <title> 1", "input <title> <proposed>", "box <title>".
    Steps dialogs() const { return fake.log.only({"browse", "input", "box"}); }
    std::wstring boxText(std::size_t i) const { return fake.dialogs.boxes.at(i).text; }

    FakePlatform fake;
    CKelmo k;
};

using Classified = std::tuple<std::wstring, std::wstring, std::vector<std::wstring>>;

Classified classified(const std::vector<std::wstring>& arguments) {
    FakeCollation collation;
    const GatherArguments a =
        classifyGatherArguments(arguments, [&](const std::wstring& x, const std::wstring& y) {
            return collation.sameText(x, y);
        });
    return {a.source, a.gatherName, a.patterns};
}

TEST(GatherArguments, ADotMakesAPatternAnEndingInUnderscoreDTheGatherNameTheRestTheSource) {
    using V = std::vector<std::wstring>;
    EXPECT_EQ(classified({}), Classified(L"?", L"", V{}));
    EXPECT_EQ(classified({L"*.txt", L"Work_D", L"*.csv"}),
              Classified(L"?", L"Work_D", V{L"*.txt", L"*.csv"}));
    EXPECT_EQ(classified({L"C:\\Data", L"work_d"}), Classified(L"C:\\Data", L"work_d", V{}));
    // A folder name with a dot is a pattern; a lone asterisk is a source; the last one wins.
    EXPECT_EQ(classified({L"C:\\v1.2", L"*", L"Browse"}),
              Classified(L"Browse", L"", V{L"C:\\v1.2"}));
    EXPECT_EQ(classified({L"a_D", L"b_D", L"_D"}), Classified(L"?", L"_D", V{}));
    EXPECT_EQ(classified({L"D", L""}), Classified(L"", L"", V{}));
}

TEST_F(Folders, FldSetReportsAFailedCreationWithItsNumberThenLetsTheUserChoose) {
    disk().addFile(L"C:\\Work", L"notes");
    cancelBrowsing();
    type({FakeDialogs::KeepProposed});
    EXPECT_EQ(k.FldSet(L"D:\\Missing\\New"), Desktop + L"\\");
    EXPECT_EQ(dialogs(), (Steps{"box " + narrow(ErrorTitle) + "76",
                                "browse " + narrow(L"フォルダを選択してください") + " 1",
                                "input " + narrow(L"フォルダの確認") + " " + narrow(Desktop)}));
    EXPECT_EQ(boxText(0), L"フォルダのパス指定に失敗しました。手動で選択してください ");
    EXPECT_EQ(fake.dialogs.boxes[0].flags, 16u);
    EXPECT_EQ(fake.dialogs.prompts.at(0), L"正しいフォルダならそのまま [ OK ]\r\n\r\n      "
                                          L"または修正・追加して [ OK ]\r\n\r\nやり直すなら [ "
                                          L"ｷｬﾝｾﾙ ] を押してください");

    // A file of that name: error 58 from the creation.
    fake.log.clear();
    fake.dialogs.boxes.clear();
    cancelBrowsing();
    type({L"D:\\"});
    EXPECT_EQ(k.FldSet(L"notes"), L"D:\\");
    EXPECT_EQ(fake.dialogs.boxes.at(0).title, ErrorTitle + L"58");
}

TEST_F(Folders, AskFolderRestartsOnAnEmptyAnswerAndSubstitutesTheDesktopByTitle) {
    disk().addFolder(L"D:\\Elsewhere");
    disk().addFolder(L"D:\\Chosen");
    choose(L"Chosen", L"D:\\Chosen");
    choose(L"DESKTOP", L"D:\\Elsewhere"); // titled as the desktop, wherever it lies
    type({L"", FakeDialogs::KeepProposed});
    EXPECT_EQ(k.FldSet(L"browse"), Desktop + L"\\");
    EXPECT_EQ(fake.log.args("input").at(0), narrow(L"フォルダの確認") + " D:\\Chosen");
    EXPECT_EQ(fake.log.args("input").at(1), narrow(L"フォルダの確認") + " " + narrow(Desktop));

    // A folder whose path cannot be read: the failure is forgotten when the title is the
    // desktop's, and kept (shown after the pass) when it is not.
    fake.log.clear();
    fake.log.failures.emplace("folder path", KelmoError(-2147467259, L"path"));
    choose(L"ﾃﾞｽｸﾄｯﾌﾟ", L"");
    type({L"  Reports "});
    EXPECT_EQ(k.FldSet(L"?"), L"C:\\Work\\Reports\\");
    EXPECT_TRUE(fake.dialogs.boxes.empty());
    choose(L"Chosen", L"");
    cancelBrowsing();
    type({L"Reports", L"Reports"});
    EXPECT_EQ(k.FldSet(L"?"), L"C:\\Work\\Reports\\");
    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes[0].title, ErrorTitle + L"-2147467259");
}

TEST_F(Folders, FldSetDCopiesTheMatchingFilesIntoTheDesktopFolderAndClearsReadOnly) {
    disk().addFolder(L"D:\\Data");
    disk().addFile(L"D:\\Data", L"a.txt", 1 | 32);
    disk().addFile(L"D:\\Data", L"b.TXT", 1 | 2 | 256);
    disk().addFile(L"D:\\Data", L"c.csv");
    EXPECT_EQ(k.FldSetD({L"*.txt", L"D:\\Data", L"Work_D"}), Desktop + L"\\Work_D\\");
    EXPECT_EQ(disk().filesIn(Desktop + L"\\Work_D"),
              (std::vector<std::wstring>{L"a.txt", L"b.TXT"}));
    EXPECT_EQ(disk().files.at(FakeDisk::key(Desktop + L"\\Work_D\\a.txt")).attributes, 32);
    EXPECT_EQ(disk().files.at(FakeDisk::key(Desktop + L"\\Work_D\\b.TXT")).attributes, 2);
    EXPECT_EQ(disk().files.at(FakeDisk::key(L"D:\\Data\\a.txt")).attributes, 33); // source kept
    EXPECT_EQ(k.currentFolder(), Desktop + L"\\Work_D\\");

    // No pattern: every file, into the source's name with "_D".
    EXPECT_EQ(k.FldSetD({L"D:\\Data"}), Desktop + L"\\Data_D\\");
    EXPECT_EQ(disk().filesIn(Desktop + L"\\Data_D").size(), 3u);
    EXPECT_EQ(dialogs(), Steps{});
}

TEST_F(Folders, FldSetDShowsEachFailureThenAsksForTheSourceAndKeepsTheGatheringFolder) {
    disk().addFolder(L"D:\\Data");
    disk().addFile(L"D:\\Data", L"a.txt");
    // A missing source (number 0), then a pattern that matches nothing (53), then success.
    choose(L"Data", L"D:\\Data");
    choose(L"Data", L"D:\\Data");
    type({FakeDialogs::KeepProposed, FakeDialogs::KeepProposed});
    fake.log.onEntry = [&](const std::string& entry) {
        if (entry.rfind("box", 0) == 0 && fake.dialogs.boxes.size() == 2)
            disk().addFile(L"D:\\Data", L"b.doc");
    };
    EXPECT_EQ(k.FldSetD({L"D:\\Nowhere", L"*.doc", L"Out_D"}), Desktop + L"\\Out_D\\");
    const std::string browse = "browse " + narrow(L"元フォルダを選択してください") + " 1";
    const std::string confirm = "input " + narrow(L"元フォルダの確認") + " D:\\Data";
    EXPECT_EQ(dialogs(), (Steps{"box " + narrow(ErrorTitle) + "0", browse, confirm,
                                "box " + narrow(ErrorTitle) + "53", browse, confirm}));
    EXPECT_EQ(boxText(0), L"そのフォルダは存在しません。選択し直してください ");
    EXPECT_EQ(boxText(1), L"デスクトップへのコピーに失敗しました。やり直してください ");
    EXPECT_EQ(fake.log.args("fs create").size(),
              1u); // the gathering folder stayed for the second pass
    EXPECT_EQ(disk().filesIn(Desktop + L"\\Out_D"), std::vector<std::wstring>{L"b.doc"});
}

TEST_F(Folders, FldCopyAsksBeforeOverwritingAndNoLeadsToTheDestinationBrowseDialog) {
    disk().addFolder(L"D:\\Src");
    disk().addFolder(L"D:\\Src\\Sub");
    disk().addFile(L"D:\\Src\\Sub", L"x.txt");
    disk().addFolder(L"D:\\Copy");
    disk().addFolder(L"E:\\Backup");
    fake.dialogs.answers.queued = {7}; // No
    choose(L"Backup", L"E:\\Backup");
    type({FakeDialogs::KeepProposed});
    EXPECT_EQ(k.FldCopy(L"D:\\Src", L"D:\\Copy"), L"E:\\Backup\\Src\\");
    EXPECT_EQ(dialogs(),
              (Steps{"box " + narrow(L"上書きの確認 "),
                     "browse " + narrow(L"コピー先の親フォルダを選択してください") + " 1",
                     "input " + narrow(L"コピー先フォルダの確認") + " E:\\Backup\\Src"}));
    EXPECT_EQ(fake.dialogs.boxes[0].flags, 36u);
    EXPECT_EQ(boxText(0), L"そのフォルダはすでに存在します。上書きコピーしますか ");
    EXPECT_TRUE(disk().hasFile(L"E:\\Backup\\Src\\Sub\\x.txt"));
    EXPECT_TRUE(disk().filesIn(L"D:\\Copy").empty());
    EXPECT_EQ(k.currentFolder(), L"E:\\Backup\\Src\\");
    // Only a Yes overwrites.
    fake.dialogs.answers.queued = {6};
    EXPECT_EQ(k.FldCopy(L"D:\\Src", L"D:\\Copy\\"), L"D:\\Copy\\");
    EXPECT_TRUE(disk().hasFile(L"D:\\Copy\\Src\\Sub\\x.txt"));
}

TEST_F(Folders, AFailedCopyAsksForTheSourceAgainAndKeepsTheGivenDestination) {
    disk().addFolder(L"D:\\Src");
    disk().addFolder(L"D:\\Other");
    choose(L"Other", L"D:\\Other");
    type({FakeDialogs::KeepProposed});
    fake.log.failures.emplace("fs copyFolder D:\\Src", KelmoError(70, L"denied"));
    EXPECT_EQ(k.FldCopy(L"Q:\\Missing", L"D:\\Dest"), L"D:\\Dest\\");
    EXPECT_EQ(fake.log.only({"box", "browse", "fs"}),
              (Steps{"fs exists Q:\\Missing", "box " + narrow(ErrorTitle) + "0",
                     "browse " + narrow(L"コピー元フォルダを選択してください") + " 1",
                     "fs exists D:\\Other", "fs exists D:\\Dest",
                     "fs copyFolder D:\\Other D:\\Dest", "fs create D:\\Dest"}));
    EXPECT_EQ(boxText(0), L"そのフォルダは存在しません。コピー元フォルダを選択し直してください ");

    fake.log.clear();
    fake.dialogs.boxes.clear();
    choose(L"Other", L"D:\\Other");
    type({FakeDialogs::KeepProposed});
    EXPECT_EQ(k.FldCopy(L"D:\\Src", L"D:\\Dest2"), L"D:\\Dest2\\");
    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes[0].title, ErrorTitle + L"70");
    EXPECT_EQ(boxText(0), L"フォルダのコピーに失敗しました。やり直してください ");
    EXPECT_EQ(fake.log.args("fs copyFolder").back(), "D:\\Other D:\\Dest2");
}

TEST_F(Folders, FldDeleteDeletesWhatItIsGivenWithoutAskingAndReportsFailuresOnce) {
    disk().addFolder(L"C:\\Work\\ Old ");
    disk().addFolder(L"D:\\Cur");
    disk().addFile(L"D:\\Cur", L"a.txt");
    k.FldDelete(std::nullopt); // no CurFld yet
    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(boxText(0), L"フォルダの削除に失敗しました。");
    EXPECT_EQ(fake.log.count("remove"), 0u);

    k.FldDelete(L" Old ");
    EXPECT_FALSE(disk().hasFolder(L"C:\\Work\\ Old "));
    k.FldSet(L"D:\\Cur");
    k.FldDelete(L"");
    EXPECT_FALSE(disk().hasFolder(L"D:\\Cur"));
    EXPECT_FALSE(disk().hasFile(L"D:\\Cur\\a.txt"));
    EXPECT_EQ(k.currentFolder(), L"D:\\Cur\\");
    k.FldDelete(L"D:\\Cur");
    EXPECT_EQ(fake.dialogs.boxes.back().title, ErrorTitle + L"76");

    // No folder chosen: 91, whether the user cancelled or the dialog itself failed.
    cancelBrowsing();
    k.FldDelete(L"?");
    EXPECT_EQ(fake.dialogs.boxes.back().title, ErrorTitle + L"91");
    const std::string browse = "browse " + narrow(L"削除するフォルダを選択してください");
    fake.log.failures.emplace(browse, KelmoError(-2147467259, L"browse"));
    k.FldDelete(L"?");
    EXPECT_EQ(fake.dialogs.boxes.back().title, ErrorTitle + L"91");
    EXPECT_EQ(fake.dialogs.boxes.size(), 4u);
    EXPECT_EQ(fake.log.args("browse").back(), narrow(L"削除するフォルダを選択してください") + " 1");
}

// Kept folders are known by what they are: another name for the desktop or for a folder
// that holds it (a link, another drive letter, a short name) is refused like the desktop.
TEST_F(Folders, FldDeleteRefusesKeptFoldersAndRootsUnderEveryNameAndNeverFollowsALink) {
    auto& links = fake.folderTree.links;
    links[L"z:\\host\\desk"] = L"c:\\users\\me\\desktop"; // another drive for the same place
    links[L"c:\\users\\me\\music"] = L"c:\\users\\me";    // a profile folder linking home
    links[L"c:\\work\\deskln"] = L"c:\\users\\me\\desktop";
    links[L"c:\\work\\root"] = L"d:\\";
    disk().addFolder(L"C:\\Users\\me\\Desktop\\Keep");
    disk().addFolder(L"C:\\Users\\me\\Desktop\\Keep\\Deep");
    disk().addFolder(L"D:\\Holder");
    links[L"d:\\holder\\winlink"] = L"e:\\windows"; // only a link inside: deletable
    disk().addFolder(L"C:\\Work\\Tree");
    disk().addFolder(L"C:\\Work\\Tree\\Sub");
    disk().addFile(L"C:\\Work\\Tree\\Sub", L"a.txt");
    links[L"c:\\work\\tree\\sub\\out"] = L"c:\\users\\me\\desktop\\keep";
    links[L"e:\\boxed\\inner"] = L"c:\\users\\me\\desktop"; // a real folder on another name

    const std::wstring refused[] = {
        L"C:\\",
        L"D:",
        L"C:.",
        L"C:Work",
        L"c:\\work\\root",
        L"C:\\Users\\me\\Desktop\\",
        L"c:\\users\\ME",
        L"C:\\Users",
        L"E:\\WINDOWS",
        L"C:\\Users\\me\\Desktop\\Keep\\..",
        L"C:\\Users\\me\\Desktop\\K*",
        L"Z:\\host\\desk",
        L"C:\\Users\\me\\Music",
        L"C:\\Work\\deskln",
    };
    for (const std::wstring& path : refused) {
        SCOPED_TRACE(narrow(path));
        fake.dialogs.boxes.clear();
        k.FldDelete(path);
        ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
        EXPECT_EQ(fake.dialogs.boxes[0].title, ErrorTitle + L"70");
        EXPECT_EQ(boxText(0).rfind(L"フォルダの削除に失敗しました。\r\n\r\n", 0), 0u);
    }
    EXPECT_EQ(fake.log.count("remove"), 0u);
    EXPECT_NE(boxText(0).find(L"デスクトップ"), std::wstring::npos);

    // A link inside the tree, or the target itself, is removed as a link.
    k.FldDelete(L"C:\\Work\\Tree");
    EXPECT_FALSE(disk().hasFolder(L"C:\\Work\\Tree"));
    EXPECT_TRUE(disk().hasFolder(L"C:\\Users\\me\\Desktop\\Keep\\Deep"));
    EXPECT_EQ(fake.log.args("remove"),
              (Steps{"C:\\Work\\Tree\\Sub\\a.txt", "C:\\Work\\Tree\\Sub\\out",
                     "C:\\Work\\Tree\\Sub", "C:\\Work\\Tree"}));
    k.FldDelete(L"D:\\Holder");
    EXPECT_TRUE(disk().hasFolder(L"E:\\WINDOWS"));
    EXPECT_FALSE(disk().hasFolder(L"D:\\Holder"));
    k.FldDelete(L"C:\\Users\\me\\Desktop\\Keep");
    EXPECT_FALSE(disk().hasFolder(L"C:\\Users\\me\\Desktop\\Keep"));
}

// A copy that would land in its own source (and fill the disk copying itself) is refused
// before anything is written, and the source is asked for again; the source may be reached
// under another name.
TEST_F(Folders, FldCopyIntoItsOwnSourceIsRefusedBeforeAnythingIsWritten) {
    disk().addFolder(L"D:\\Src");
    disk().addFolder(L"D:\\Other");
    choose(L"Other", L"D:\\Other");
    type({FakeDialogs::KeepProposed});
    EXPECT_EQ(k.FldCopy(L"D:\\Src", L"D:\\Src\\Sub"), L"D:\\Src\\Sub\\");
    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes[0].title, ErrorTitle + L"70");
    EXPECT_EQ(boxText(0).rfind(L"フォルダのコピーに失敗しました。やり直してください \r\n\r\n", 0),
              0u);
    EXPECT_EQ(fake.log.args("fs copyFolder"), (Steps{"D:\\Other D:\\Src\\Sub"}));
    fake.folderTree.links[L"z:\\d"] = L"d:\\";
    FolderGuard guard(fake.folderTree);
    EXPECT_TRUE(guard.liesInside(L"Z:\\d\\Src\\New\\Deeper", L"D:\\Src"));
    EXPECT_TRUE(guard.liesInside(L"D:\\Src", L"Z:\\d\\Src"));
    EXPECT_FALSE(guard.liesInside(L"D:\\Other", L"Z:\\d\\Src"));

    // Gathering into the source folder itself is refused as well.
    fake.dialogs.boxes.clear();
    disk().addFolder(Desktop + L"\\Work_D");
    disk().addFile(L"D:\\Other", L"a.txt");
    choose(L"Work_D", Desktop + L"\\Work_D");
    choose(L"Other", L"D:\\Other");
    type({FakeDialogs::KeepProposed, FakeDialogs::KeepProposed});
    EXPECT_EQ(k.FldSetD({L"Work_D"}), Desktop + L"\\Work_D\\");
    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(fake.log.args("fs copyFile").size(), 1u);
}

} // namespace
