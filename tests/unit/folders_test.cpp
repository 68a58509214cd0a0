// The folder members against a fake disk, browse dialog and boxes, a table of calls and what the
// user and the disk see; then what FldDelete refuses under any name and how it deletes a tree.
#include "component/core/object.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;

// clang-format off
const std::wstring Desktop = L"C:\\Users\\me\\Desktop", Keep = FakeDialogs::KeepProposed, WorkD = Desktop + L"\\Work_D";
const std::wstring Failed = L"box 16 エラー発生 : ", DeleteFailed = L"フォルダの削除に失敗しました。", DeleteBrowse = L"browse 削除するフォルダを選択してください 1";
const std::wstring Browse = L"browse フォルダを選択してください 1", Confirm = L"input フォルダの確認 ";
const std::wstring Source = L"browse 元フォルダを選択してください 1", SourceConfirm = L"input 元フォルダの確認 ";
const std::wstring CopyFrom = L"browse コピー元フォルダを選択してください 1", CopyFromConfirm = L"input コピー元フォルダの確認 ";
const std::wstring CopyFailed = L"フォルダのコピーに失敗しました。やり直してください ", GatherFailed = L"デスクトップへのコピーに失敗しました。やり直してください ";
const std::wstring Overwrite = L"box 36 上書きの確認  そのフォルダはすでに存在します。上書きコピーしますか ";
const std::wstring Unflagged = L"fs setAttributes " + WorkD + L"\\a.txt 32", Unflagged2 = L"fs setAttributes " + WorkD + L"\\b.txt 2";
using Choice = std::optional<FakeShell::Choice>;
const Choice Cancel = std::nullopt, Data = Choice{{L"Data", L"D:\\Data"}}, Src = Choice{{L"Src", L"D:\\Src"}};
constexpr std::int32_t Unspecified = -2147467259;

// A call, the dialogs' answers and the log entries that fail (with their number); then what is
// seen, in order, and what the call returns (FldDelete: CurFld).
struct Case { std::vector<std::wstring> call; std::deque<Choice> chosen; std::deque<std::wstring> typed;
              std::deque<std::int32_t> answered; std::map<std::string, std::int32_t> fail;
              std::vector<std::wstring> seen; std::wstring result; };
// clang-format on

class Folders : public ::testing::Test {
protected:
    Folders() {
        // clang-format off
        for (const std::wstring& folder : std::vector<std::wstring>{L"C:\\", L"C:\\Work", L"C:\\Work\\ Old ", L"C:\\Users",
                 L"C:\\Users\\me", Desktop, WorkD, L"D:\\", L"D:\\Data", L"D:\\Src", L"D:\\Copy", L"E:\\", L"E:\\WINDOWS"})
            disk().addFolder(folder);
        // clang-format on
        disk().addFile(WorkD + L"\\a.txt", 1 | 32);
        disk().addFile(WorkD + L"\\b.txt", 1 | 2 | 256);
    }
    FakeDisk& disk() { return fake.objects.disk; }
    std::wstring call(const std::vector<std::wstring>& call) {
        const std::vector<std::wstring> args(call.begin() + 1, call.end());
        if (call[0] == L"FldSet") return k.FldSet(args.at(0));
        if (call[0] == L"FldSetD") return k.FldSetD(args);
        if (call[0] == L"FldCopy") return k.FldCopy(args.at(0), args.at(1));
        k.FldDelete(args.empty() ? std::nullopt : std::optional(args[0]));
        return k.currentFolder();
    }
    // The dialogs shown ("browse <title> 1", "input <title> <proposed>", "box <flags> <title>
    // <text>") and what was written or removed, in order.
    void expect(const Case& c) {
        SCOPED_TRACE(narrow(c.call[0] + L" " + (c.call.size() > 1 ? c.call[1] : L"")));
        fake.log.failures.clear();
        for (const auto& [entry, number] : c.fail)
            fake.log.failures.emplace(entry, KelmoError(number, L"failed"));
        fake.objects.shell->chosen = c.chosen;
        fake.dialogs.typed = c.typed;
        fake.dialogs.answers.queued = c.answered;
        Steps seen, expected;
        fake.log.onEntry = [&](const std::string& e) {
            for (const char* shown : {"browse", "input", "remove", "fs c", "fs set"})
                if (e.starts_with(shown)) seen.push_back(e);
        };
        fake.dialogs.onBox = [&, &b = fake.dialogs.boxes] {
            seen.push_back("box " + std::to_string(b.back().flags) + " " +
                           narrow(b.back().title + L" " + b.back().text));
        };
        EXPECT_EQ(call(c.call), c.result);
        for (const std::wstring& step : c.seen)
            expected.push_back(narrow(step));
        EXPECT_EQ(seen, expected);
        EXPECT_TRUE(fake.objects.shell->chosen.empty() && fake.dialogs.typed.empty());
    }
    FakePlatform fake;
    CKelmo k{fake.services()};
};

// One object makes the calls in turn.
TEST_F(Folders, EachPassAsksReportsAndGoesOnAsItsStateTableSays) {
    // clang-format off
    const Case cases[] = {
        // Before any folder was settled on, FldDelete asks the platform for nothing.
        {.call = {L"FldDelete"}, .seen = {Failed + L"76 " + DeleteFailed}},
        {.call = {L"FldSet", L" D:\\Data "}, .result = L"D:\\Data\\"},
        // A failed look-up and creation: the user chooses (Cancel proposes the desktop). A folder
        // titled as the desktop, or whose title cannot be read, is the desktop, failures forgotten.
        {.call = {L"FldSet", L"D:\\Missing\\New"}, .chosen = {Cancel}, .typed = {Keep}, .fail = {{"fs exists D:\\Missing", 70}, {"fs create D:\\Missing", 76}},
         .seen = {L"fs create D:\\Missing\\New", Failed + L"76 フォルダのパス指定に失敗しました。手動で選択してください ", Browse, Confirm + Desktop}, .result = Desktop + L"\\"},
        {.call = {L"FldSet", L"?"}, .chosen = {Choice{{L"ﾃﾞｽｸﾄｯﾌﾟ", L""}}}, .typed = {L"  Reports "}, .fail = {{"folder path", Unspecified}},
         .seen = {Browse, Confirm + Desktop, L"fs create C:\\Work\\Reports"}, .result = L"C:\\Work\\Reports\\"},
        {.call = {L"FldSet", L"?"}, .chosen = {Data}, .typed = {Keep}, .fail = {{"folder title", Unspecified}},
         .seen = {Browse, Confirm + Desktop}, .result = Desktop + L"\\"},
        // FldSetD: the patterns into the named folder, whose files then lose their read-only flag.
        {.call = {L"FldSetD", L"*.txt", L"D:\\Data", L"*.csv", L"Work_D"},
         .seen = {L"fs copyFile D:\\Data\\*.txt " + WorkD + L"\\", L"fs copyFile D:\\Data\\*.csv " + WorkD + L"\\", Unflagged, Unflagged2},
         .result = WorkD + L"\\"},
        // A missing source (0), a failed copy: the box, then the user chooses the source.
        {.call = {L"FldSetD", L"D:\\Nowhere", L"*.doc", L"_D"}, .chosen = {Data, Src}, .typed = {Keep, Keep},
         .fail = {{"fs copyFile D:\\Data", 53}},
         .seen = {Failed + L"0 そのフォルダは存在しません。選択し直してください ", Source, SourceConfirm + L"D:\\Data",
                  L"fs create " + Desktop + L"\\_D", L"fs copyFile D:\\Data\\*.doc " + Desktop + L"\\_D\\", Failed + L"53 " + GatherFailed,
                  Source, SourceConfirm + L"D:\\Src", L"fs copyFile D:\\Src\\*.doc " + Desktop + L"\\_D\\"},
         .result = Desktop + L"\\_D\\"},
        // Only Yes overwrites; after No the user chooses the parent, the copy keeping its name.
        {.call = {L"FldCopy", L"D:\\Src", L"D:\\Copy"}, .chosen = {Data}, .typed = {L"D:\\Copy"}, .answered = {7, 6}, .seen = {Overwrite,
         L"browse コピー先の親フォルダを選択してください 1", L"input コピー先フォルダの確認 D:\\Data\\Src", Overwrite, L"fs copyFolder D:\\Src D:\\Copy"}, .result = L"D:\\Copy\\"},
        // A copy into its own source is refused before anything is written.
        {.call = {L"FldCopy", L"D:\\Src", L"D:\\Src\\Sub"}, .chosen = {Data}, .typed = {Keep},
         .seen = {Failed + L"70 " + CopyFailed + L"\r\n\r\nD:\\Src\\Sub\r\nはコピー元フォルダそのものか、その中にあるため、コピーしません。",
                  CopyFrom, CopyFromConfirm + L"D:\\Data", L"fs copyFolder D:\\Data D:\\Src\\Sub"}, .result = L"D:\\Src\\Sub\\"},
        // FldDelete: an untrimmed name in DefFld, the current folder (which stays current) and a
        // chosen one, without asking; no folder chosen is 91.
        {.call = {L"FldSet", L"D:\\Copy"}, .result = L"D:\\Copy\\"},
        {.call = {L"FldDelete", L" Old "}, .seen = {L"remove C:\\Work\\ Old "}, .result = L"D:\\Copy\\"},
        {.call = {L"FldDelete", L""}, .seen = {L"remove D:\\Copy"}, .result = L"D:\\Copy\\"},
        {.call = {L"FldDelete", L"?"}, .chosen = {Src}, .seen = {DeleteBrowse, L"remove D:\\Src"}, .result = L"D:\\Copy\\"},
        {.call = {L"FldDelete", L"Browse"}, .chosen = {Cancel}, .seen = {DeleteBrowse, Failed + L"91 " + DeleteFailed},
         .result = L"D:\\Copy\\"},
    };
    // clang-format on
    for (const Case& c : cases)
        expect(c);
    EXPECT_EQ(errorNumberOf([&] { k.DefFld(std::wstring(L"a\0b", 3)); }), errors::InvalidCall);
}

// Another name for the desktop or for a folder that holds it (a link, another drive letter, a short
// name) is refused as the desktop is; a link inside the tree, or the folder itself, is removed as
// one.
TEST_F(Folders, FldDeleteRefusesKeptFoldersAndRootsUnderEveryNameAndNeverFollowsALink) {
    const std::wstring Kept = Desktop + L"\\Keep";
    // clang-format off
    for (const auto& [link, to] : {std::pair{L"Z:\\host\\desk", Desktop}, {L"C:\\Users\\me\\Music", L"C:\\Users\\me"},
             {L"C:\\Work\\deskln", Desktop}, {L"C:\\Work\\root", L"D:\\"}, {L"D:\\Holder\\winlink", L"E:\\WINDOWS"},
             {L"C:\\Work\\keepln", Kept}, {L"C:\\Work\\tree\\sub\\out", Kept}})
        disk().addLink(link, to);
    for (const std::wstring& folder : std::vector<std::wstring>{L"D:\\Holder", L"C:\\Work\\tree", L"C:\\Work\\tree\\sub", Kept, L"\\\\server\\share", L"\\\\server\\share\\sub"})
        disk().addFolder(folder);
    disk().addFile(L"C:\\Work\\tree\\sub\\a.txt");
    for (const wchar_t* path : {L"C:\\", L"D:", L"C:.", L"C:Work", L"c:\\work\\root", L"C:\\Users\\me\\Desktop\\",
             L"c:\\users\\ME", L"C:\\Users", L"E:\\WINDOWS", L"C:\\Users\\me\\Desktop\\Keep\\..",
             L"C:\\Users\\me\\Desktop\\K*", L"Z:\\host\\desk", L"C:\\Users\\me\\Music", L"C:\\Work\\deskln"}) {
        // clang-format on
        SCOPED_TRACE(narrow(path));
        fake.dialogs.boxes.clear();
        CKelmo(fake.services()).FldDelete(path);
        ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
        EXPECT_EQ(fake.dialogs.boxes[0].title, L"エラー発生 : 70");
        EXPECT_TRUE(fake.dialogs.boxes[0].text.starts_with(DeleteFailed + L"\r\n\r\n"));
    }
    EXPECT_NE(fake.dialogs.boxes[0].text.find(L"デスクトップ"), std::wstring::npos);
    EXPECT_EQ(fake.log.count("remove"), 0u);
    for (const wchar_t* path : {L"C:\\Work\\tree", L"D:\\Holder", L"C:\\Work\\keepln"})
        k.FldDelete(path);
    EXPECT_EQ(
        fake.log.args("remove"),
        (Steps{"C:\\Work\\tree\\sub\\out", "C:\\Work\\tree\\sub\\a.txt", "C:\\Work\\tree\\sub",
               "C:\\Work\\tree", "D:\\Holder\\winlink", "D:\\Holder", "C:\\Work\\keepln"}));
    EXPECT_TRUE(disk().holds(Kept, FakeDisk::Kind::Folder));
    FolderGuard guard(disk()); // a share's root, which FldDelete reaches through the browse dialog
    for (const wchar_t* root : {L"\\\\server\\share", L"\\\\server\\share\\"})
        EXPECT_TRUE(guard.deleteFolder(root, {}).has_value()) << narrow(root);
    // A root holds its folders, a share's too; nothing lies inside a folder that is not there.
    EXPECT_TRUE(guard.liesInside(L"D:\\Copy", L"D:\\") &&
                guard.liesInside(L"\\\\server\\share\\sub", L"\\\\server\\share") &&
                !guard.liesInside(L"D:\\Data", L"Q:\\Missing"));
}

} // namespace
