// The folder members on real folders and dialogs: everything happens in a temporary tree, the
// user's desktop included (redirected into the tree for the suite), and a pilot thread answers
// the boxes and the browse dialog as a user would. A member that shows a box nobody answers,
// or does not return, ends the test program with what is on the screen instead of holding it.
#include "fixture.h"
#include "pilot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <tuple>

using namespace kelmo::test;
namespace pilot = kelmo::testtools;
using pilot::fileExists;

namespace {

constexpr DWORD DialogTimeoutMs = 20000, MemberTimeoutMs = 120000;
const std::wstring ErrorTitle = L"エラー発生 : ";

// --- The user: finds the dialogs and answers them ---

void giveUp(const char* why) {
    std::fprintf(stderr, "pilot: %s; on screen:\n", why);
    for (HWND window : pilot::topLevelWindows())
        if (IsWindowVisible(window))
            std::fprintf(stderr, "  %ls | %ls\n", pilot::captionOf(window).c_str(),
                         pilot::messageBoxText(window).c_str());
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
}
HWND titled(const std::wstring& caption) {
    return pilot::waitForWindow(caption, DialogTimeoutMs);
}
// Presses `button` and waits until the dialog has gone, so that no later wait finds it; gives
// what it showed: "caption|message|proposed text".
std::wstring press(HWND dialog, int button) {
    if (!dialog) throw std::runtime_error("a dialog did not come up");
    const std::wstring shown = pilot::captionOf(dialog) + L"|" + pilot::messageBoxText(dialog) +
                               L"|" + pilot::windowText(GetDlgItem(dialog, 101));
    if (!pilot::clickButton(dialog, button)) throw std::runtime_error("no such button");
    pilot::waitGone(dialog, DialogTimeoutMs);
    return shown;
}
// Presses OK on the error box when one comes up; what it showed, or nothing.
std::wstring acknowledgeError(DWORD timeoutMs = DialogTimeoutMs) {
    HWND box = pilot::waitForWindowWhere(
        [](HWND box) { return pilot::captionOf(box).starts_with(ErrorTitle); }, timeoutMs);
    return box ? press(box, IDOK) : L"";
}
// The browse dialog, a dialog holding a folder tree (its caption is the platform's own).
void browseTo(const std::wstring& folder) {
    HWND dialog = pilot::waitForWindowWhere(
        [](HWND window) { return FindWindowExW(window, nullptr, L"SysTreeView32", nullptr); },
        DialogTimeoutMs);
    if (!pilot::selectFolder(dialog, folder)) throw std::runtime_error("folder not selectable");
    press(dialog, IDOK);
}

// --- Other names of a folder ---

// The host's path for a Windows path under Wine; empty on Windows.
std::wstring hostPathOf(const std::wstring& path) {
    const auto unixName = reinterpret_cast<char*(CDECL*)(LPCWSTR)>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    const std::wstring result = pilot::fromAscii(name ? name : "");
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}
// Another name of the same folder: under Wine through the drive that maps the host's root, on
// Windows the device form of the path.
std::wstring sameFolderElsewhere(const std::wstring& path) {
    std::wstring host = hostPathOf(path);
    std::replace(host.begin(), host.end(), L'/', L'\\');
    return host.empty() ? L"\\\\?\\" + path : L"Z:" + host;
}
// A link at `link` to the folder `target`: a symbolic link on Windows (in developer mode or
// with administrator rights). Wine makes none (and says it did) but shows the host's symbolic links
// as links: there the host's ln makes one (started as Windows programs are, without telling when it
// has ended).
bool makeLink(const std::wstring& link, const std::wstring& target) {
    const auto isLink = [&] {
        const DWORD attributes = GetFileAttributesW(link.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    };
    std::wstring command = L"ln -s \"" + hostPathOf(target) + L"\" \"" + hostPathOf(link) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    CreateSymbolicLinkW(link.c_str(), target.c_str(),
                        SYMBOLIC_LINK_FLAG_DIRECTORY |
                            SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    if (!isLink() && CreateProcessW(L"Z:\\bin\\ln", command.data(), nullptr, nullptr, FALSE, 0,
                                    nullptr, nullptr, &startup, &started))
        CloseHandle(started.hProcess), CloseHandle(started.hThread);
    return pilot::waitUntil(isLink, 5000);
}

// The value "Desktop" under a key of the user's Explorer settings, saved to be put back; one
// still pointing into the tree of an earlier run that was killed is dropped, so that the shell
// finds the standard desktop again afterwards.
struct SavedDesktop {
    std::wstring key;
    DWORD type = 0, size = sizeof data;
    wchar_t data[MAX_PATH + 1] = {};
    bool had = false;
    void save() {
        had = RegGetValueW(HKEY_CURRENT_USER, key.c_str(), L"Desktop",
                           RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &type, data,
                           &size) == ERROR_SUCCESS &&
              !wcsstr(data, L"\\kelmo-folders-");
    }
    void restore() const {
        if (had)
            RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Desktop", type, data, size);
        else
            RegDeleteKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Desktop");
    }
};

class FolderTasks : public ComTest {
protected:
    // One tree and one redirected desktop for the whole suite: the shell keeps the desktop
    // path it read first for the life of the process. The shell writes the path it resolved
    // under "Shell Folders"; both values are put back afterwards. The tree has a name of its
    // own: the links Wine cannot remove stay behind, and Wine gives out the same process ids.
    static void SetUpTestSuite() {
        suite_.emplace(L"folders");
        CreateDirectoryW(home().c_str(), nullptr);
        CreateDirectoryW(desktop().c_str(), nullptr);
        for (SavedDesktop& saved : saved_)
            saved.save();
        redirected_ =
            RegSetKeyValueW(HKEY_CURRENT_USER, saved_[0].key.c_str(), L"Desktop", REG_EXPAND_SZ,
                            desktop().c_str(), DWORD(desktop().size() * 2 + 2)) == ERROR_SUCCESS;
    }
    static void TearDownTestSuite() {
        for (const SavedDesktop& saved : saved_)
            saved.restore();
        suite_.reset();
    }
    void SetUp() override {
        ComTest::SetUp();
        ASSERT_TRUE(redirected_) << "the desktop could not be redirected";
        root_ = *suite_ /
                pilot::fromAscii(testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(CreateDirectoryW(root_.c_str(), nullptr));
        fastPacing(k_.emplace());
        ASSERT_EQ(S_OK, k_->put(L"DefFld", Arg(root_.c_str())).hr);
    }

    std::wstring at(const std::wstring& relative) const { return root_ + L"\\" + relative; }
    void makeFolders(std::initializer_list<const wchar_t*> relative) const {
        for (const wchar_t* folder : relative)
            ASSERT_TRUE(CreateDirectoryW(at(folder).c_str(), nullptr));
    }
    // Calls `member` while `user` answers its dialogs; a dialog that does not come up or a
    // member that does not return ends the test program.
    CallResult call(const wchar_t* member, std::vector<Arg> args,
                    const std::function<void()>& user) {
        const kelmo::win32::Handle returned(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        pilot::BackgroundPilot answering([&] {
            try {
                user();
            } catch (const std::exception& e) {
                giveUp(e.what());
            }
            if (WaitForSingleObject(returned.get(), MemberTimeoutMs) != WAIT_OBJECT_0)
                giveUp("the member did not return");
        });
        CallResult result = k_->call(member, std::move(args));
        SetEvent(returned.get());
        return result;
    }

    static std::wstring home() { return *suite_ / L"Home"; }
    // A long name, so that it also has a short one.
    static std::wstring desktop() { return home() + L"\\My Desktop Folder"; }

    std::optional<LateBound> k_; // made once COM is initialised
    std::wstring root_;
    static inline std::optional<TempFolder> suite_;
    static inline bool redirected_ = false;
    static inline SavedDesktop saved_[] = {
        {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders"},
        {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"}};
};

// FldSetD gathers onto the desktop without read-only flags; FldCopy asks before overwriting and
// copies the tree where the user chose.
TEST_F(FolderTasks, FilesAreGatheredAndCopiedWhereTheUserAnswered) {
    makeFolders({L"Src", L"Src\\sub", L"Dest", L"Parent"});
    for (const wchar_t* file : {L"Src\\a.txt", L"Src\\c.doc", L"Src\\sub\\b.txt"})
        pilot::writeFileBytes(at(file), "");
    SetFileAttributesW(at(L"Src\\a.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    std::wstring proposed;
    const auto gathered = call(L"FldSetD", {L"*.txt", L"Work_D"}, [&] {
        browseTo(at(L"Src"));
        proposed = press(titled(L"元フォルダの確認"), IDOK);
    });
    EXPECT_EQ(gathered.asString(), desktop() + L"\\Work_D\\");
    EXPECT_EQ(proposed, L"元フォルダの確認||" + at(L"Src"));
    const DWORD copy = GetFileAttributesW((desktop() + L"\\Work_D\\a.txt").c_str());
    EXPECT_EQ(copy & FILE_ATTRIBUTE_READONLY, 0u) << "read-only or missing";
    EXPECT_FALSE(fileExists(desktop() + L"\\Work_D\\c.doc"));
    const auto copied = call(L"FldCopy", {at(L"Src").c_str(), at(L"Dest").c_str()}, [&] {
        press(titled(L"上書きの確認 "), IDNO);
        browseTo(at(L"Parent"));
        proposed = press(titled(L"コピー先フォルダの確認"), IDOK);
    });
    EXPECT_EQ(copied.asString(), at(L"Parent\\Src\\"));
    EXPECT_EQ(proposed, L"コピー先フォルダの確認||" + at(L"Parent\\Src"));
    EXPECT_TRUE(fileExists(at(L"Parent\\Src\\sub\\b.txt")) && !fileExists(at(L"Dest\\a.txt")));
}

// The desktop reached under other names is never deleted, a link inside a deleted folder is
// not followed (where links cannot be removed as links, Wine, the deletion fails instead), and
// a copy into its own source is refused before anything is written.
TEST_F(FolderTasks, FoldersAreComparedByWhatTheyAreNotByTheirNames) {
    const std::wstring sentinel = desktop() + L"\\sentinel.txt";
    pilot::writeFileBytes(sentinel, "");
    wchar_t shortName[MAX_PATH] = {};
    GetShortPathNameW(desktop().c_str(), shortName, MAX_PATH);
    ASSERT_NE(desktop(), shortName);
    ASSERT_TRUE(makeLink(at(L"deskln"), desktop()));
    ASSERT_TRUE(makeLink(home() + L"\\Music", home())); // a profile folder linking home
    makeFolders({L"Victim", L"Target", L"Src", L"Src\\sub", L"Other"});
    pilot::writeFileBytes(at(L"Target\\keep.txt"), "");
    ASSERT_TRUE(makeLink(at(L"Victim\\out"), at(L"Target")));
    ASSERT_EQ(S_OK, k_->put(L"DefFld", Arg(desktop().c_str())).hr); // "." is the desktop
    const auto refusal = [] { return acknowledgeError(); };
    const std::wstring deleting = ErrorTitle + L"70|フォルダの削除に失敗しました。\r\n\r\n";
    // The member, its arguments, the user's answers, the start of the refusal they saw.
    const std::tuple<const wchar_t*, std::vector<Arg>, std::function<std::wstring()>, std::wstring>
        rows[] = {
            {L"FldDelete", {shortName}, refusal, deleting},
            {L"FldDelete", {L"C:."}, refusal, deleting},
            {L"FldDelete", {L"."}, refusal, deleting},
            {L"FldDelete", {at(L"deskln").c_str()}, refusal, deleting},
            {L"FldDelete", {(home() + L"\\Music").c_str()}, refusal, deleting},
            {L"FldDelete", {sameFolderElsewhere(desktop()).c_str()}, refusal, deleting},
            {L"FldDelete", {at(L"Victim").c_str()}, [] { return acknowledgeError(5000); }, L""},
            {L"FldCopy",
             {at(L"Src").c_str(), at(L"Src\\sub").c_str()},
             [&] {
                 const std::wstring shown = acknowledgeError();
                 browseTo(at(L"Other"));
                 press(titled(L"コピー元フォルダの確認"), IDOK);
                 press(titled(L"上書きの確認 "), IDYES);
                 return shown;
             },
             ErrorTitle + L"70|フォルダのコピーに失敗しました。やり直してください \r\n"}};
    for (const auto& [member, args, user, refusal] : rows) {
        std::wstring shown;
        call(member, args, [&] { shown = user(); });
        EXPECT_TRUE(shown.starts_with(refusal)) << pilot::toUtf8(shown);
        ASSERT_TRUE(fileExists(sentinel) && fileExists(at(L"Target\\keep.txt")) &&
                    !fileExists(at(L"Src\\sub\\sub")));
    }
}

} // namespace
