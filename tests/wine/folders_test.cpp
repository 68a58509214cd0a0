// The folder members on real folders and dialogs, in a temporary tree (the user's desktop included,
// redirected there), answered by a pilot thread as a user would. A member that does not return
// ends the test program with what is on the screen instead of holding it.
#include "fixture.h"
#include "pilot.h"

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace kelmo::test;
using namespace kelmo::testtools;

namespace {

const std::wstring ErrorTitle = L"エラー発生 : ";

void giveUp(const char* why) {
    std::fprintf(stderr, "pilot: %s; on screen:\n", why);
    for (HWND window : topLevelWindows())
        if (IsWindowVisible(window)) std::fprintf(stderr, "  %ls\n", captionOf(window).c_str());
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
}
// Waits for a dialog `wanted` accepts, presses `button` and waits until the dialog has gone (no
// later wait finds it); gives what it showed, "caption|message|proposed text", or nothing.
std::wstring answer(const std::function<bool(HWND)>& wanted, int button, DWORD timeoutMs = 20000) {
    HWND dialog = waitForWindowWhere(wanted, timeoutMs);
    if (!dialog) return L"";
    const std::wstring shown = captionOf(dialog) + L"|" + messageBoxText(dialog) + L"|" +
                               windowText(GetDlgItem(dialog, 101));
    if (!clickButton(dialog, button) || !waitGone(dialog, 20000)) giveUp("a dialog stayed");
    return shown;
}
std::function<bool(HWND)> titled(std::wstring caption) {
    return [=](HWND window) { return captionOf(window) == caption; };
}
bool isError(HWND box) {
    return captionOf(box).starts_with(ErrorTitle);
}
bool isBrowser(HWND dialog) {
    return FindWindowExW(dialog, nullptr, L"SysTreeView32", nullptr);
}
void browseTo(const std::wstring& folder) { // the platform's dialog, holding a folder tree
    if (!selectFolder(waitForWindowWhere(isBrowser, 20000), folder)) giveUp("no folder dialog");
    answer(isBrowser, IDOK);
}

// The host's path for a Windows path under Wine; empty on Windows.
std::wstring hostPathOf(const std::wstring& path) {
    const auto unixName = reinterpret_cast<char*(CDECL*)(LPCWSTR)>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    const std::wstring result = fromAscii(name ? name : "");
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}
// A link at `link` to the folder `target`: a symbolic link on Windows (in developer mode or with
// administrator rights). Wine makes none (and says it did) but shows the host's symbolic links as
// links: there the host's ln makes one.
bool makeLink(const std::wstring& link, const std::wstring& target) {
    const auto isLink = [&] {
        const DWORD attributes = GetFileAttributesW(link.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    };
    CreateSymbolicLinkW(link.c_str(), target.c_str(),
                        SYMBOLIC_LINK_FLAG_DIRECTORY |
                            SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    std::optional<Process> ln;
    if (!isLink())
        ln.emplace(L"Z:\\bin\\ln -s \"" + hostPathOf(target) + L"\" \"" + hostPathOf(link) + L"\"");
    return waitUntil(isLink, 5000);
}

// The value "Desktop" under a key of the user's Explorer settings, saved to be put back; one
// still pointing into the tree of an earlier run that was killed is dropped.
struct SavedDesktop {
    std::wstring key;
    DWORD type = 0, size = sizeof data;
    wchar_t data[MAX_PATH + 1] = {};
    bool had = false;
};

class FolderTasks : public ComTest {
protected:
    // One desktop for the suite, as the shell keeps the path it read first; it writes the path it
    // resolved under "Shell Folders": both values are put back afterwards.
    static void SetUpTestSuite() {
        suite_.emplace(L"folders");
        CreateDirectoryW(home().c_str(), nullptr);    // not through the shell: it would keep the
        CreateDirectoryW(desktop().c_str(), nullptr); // desktop it sees before the redirection
        for (SavedDesktop& saved : saved_)
            saved.had = RegGetValueW(HKEY_CURRENT_USER, saved.key.c_str(), L"Desktop",
                                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                                     &saved.type, saved.data, &saved.size) == ERROR_SUCCESS &&
                        !wcsstr(saved.data, L"\\kelmo-folders-");
        redirected_ =
            RegSetKeyValueW(HKEY_CURRENT_USER, saved_[0].key.c_str(), L"Desktop", REG_EXPAND_SZ,
                            desktop().c_str(), DWORD(desktop().size() * 2 + 2)) == ERROR_SUCCESS;
    }
    static void TearDownTestSuite() {
        for (const SavedDesktop& saved : saved_)
            saved.had ? RegSetKeyValueW(HKEY_CURRENT_USER, saved.key.c_str(), L"Desktop",
                                        saved.type, saved.data, saved.size)
                      : RegDeleteKeyValueW(HKEY_CURRENT_USER, saved.key.c_str(), L"Desktop");
        suite_.reset();
    }
    void SetUp() override {
        ComTest::SetUp();
        ASSERT_TRUE(redirected_) << "the desktop could not be redirected";
        fastPacing(k_);
        ASSERT_EQ(S_OK, k_.put(L"DefFld", Arg(root_.path().c_str())).hr);
    }

    std::wstring at(const std::wstring& relative) const { return root_ / relative; }
    // Makes each folder (a name ending in "\\") and each empty file, in this order.
    void make(std::initializer_list<std::wstring> names) const {
        for (const std::wstring& name : names)
            ASSERT_TRUE(name.ends_with(L"\\") ? CreateDirectoryW(at(name).c_str(), nullptr)
                                              : writeFileBytes(at(name), ""));
    }
    // Calls `member` while `user` answers its dialogs on a pilot thread.
    CallResult call(const wchar_t* member, std::vector<Arg> args,
                    const std::function<void()>& user) {
        const kelmo::win32::Handle returned(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        BackgroundPilot answering([&] {
            user();
            if (WaitForSingleObject(returned.get(), 120000) != WAIT_OBJECT_0)
                giveUp("the member did not return");
        });
        CallResult result = k_.call(member, std::move(args));
        SetEvent(returned.get());
        return result;
    }

    static std::wstring home() { return *suite_ / L"Home"; }
    // A long name, so that it also has a short one.
    static std::wstring desktop() { return home() + L"\\My Desktop Folder"; }

    LateBound k_;
    TempFolder root_{L"folder-task"};
    static inline std::optional<TempFolder> suite_; // links Wine cannot remove may stay behind
    static inline bool redirected_ = false;
    static inline SavedDesktop saved_[] = {
        {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders"},
        {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"}};
};

// FldSetD gathers onto the desktop without read-only flags; FldCopy asks before overwriting, asks
// again when the input box is cancelled, and copies the tree where the user chose.
TEST_F(FolderTasks, FilesAreGatheredAndCopiedWhereTheUserAnswered) {
    make({L"Src\\", L"Src\\sub\\", L"Dest\\", L"Parent\\", L"Src\\a.txt", L"Src\\c.doc",
          L"Src\\sub\\b.txt"});
    SetFileAttributesW(at(L"Src\\a.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    std::wstring proposed;
    const auto gathered = call(L"FldSetD", {L"*.txt", L"Work_D"}, [&] {
        browseTo(at(L"Src"));
        proposed = answer(titled(L"元フォルダの確認"), IDOK);
    });
    EXPECT_EQ(gathered.asString(), desktop() + L"\\Work_D\\");
    EXPECT_EQ(proposed, L"元フォルダの確認||" + at(L"Src"));
    const DWORD copy = GetFileAttributesW((desktop() + L"\\Work_D\\a.txt").c_str());
    EXPECT_EQ(copy & FILE_ATTRIBUTE_READONLY, 0u) << "read-only or missing";
    EXPECT_FALSE(fileExists(desktop() + L"\\Work_D\\c.doc"));
    const auto copied = call(L"FldCopy", {at(L"Src").c_str(), at(L"Dest").c_str()}, [&] {
        answer(titled(L"上書きの確認 "), IDNO);
        browseTo(at(L"Parent"));
        answer(titled(L"コピー先フォルダの確認"), IDCANCEL); // no answer: asked again
        browseTo(at(L"Parent"));
        proposed = answer(titled(L"コピー先フォルダの確認"), IDOK);
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
    writeFileBytes(sentinel, "");
    wchar_t shortName[MAX_PATH] = {};
    GetShortPathNameW(desktop().c_str(), shortName, MAX_PATH);
    ASSERT_NE(desktop(), shortName);
    // Another name of the desktop: under Wine through the drive that maps the host's root, on
    // Windows the device form of the path.
    std::wstring elsewhere = hostPathOf(desktop());
    std::replace(elsewhere.begin(), elsewhere.end(), L'/', L'\\');
    elsewhere = elsewhere.empty() ? L"\\\\?\\" + desktop() : L"Z:" + elsewhere;
    make({L"Victim\\", L"Target\\", L"Src\\", L"Src\\sub\\", L"Other\\", L"Target\\keep.txt"});
    ASSERT_TRUE(makeLink(at(L"deskln"), desktop()) && makeLink(at(L"Victim\\out"), at(L"Target")) &&
                makeLink(home() + L"\\Music", home()));            // a profile folder linking home
    ASSERT_EQ(S_OK, k_.put(L"DefFld", Arg(desktop().c_str())).hr); // "." is the desktop
    // Every other name of the desktop is refused.
    const std::wstring names[] = {shortName,           L"C:.",   L".", at(L"deskln"),
                                  home() + L"\\Music", elsewhere};
    for (const std::wstring& folder : names) {
        std::wstring shown;
        call(L"FldDelete", {folder.c_str()}, [&] { shown = answer(isError, IDOK); });
        EXPECT_TRUE(shown.starts_with(ErrorTitle + L"70|フォルダの削除に失敗しました。\r\n\r\n"))
            << toUtf8(folder) << ": " << toUtf8(shown);
        ASSERT_TRUE(fileExists(sentinel));
    }
    call(L"FldDelete", {at(L"Victim").c_str()},
         [] { answer(isError, IDOK, 5000); }); // Wine: refused
    std::wstring shown;
    call(L"FldCopy", {at(L"Src").c_str(), at(L"Src\\sub").c_str()}, [&] {
        shown = answer(isError, IDOK);
        browseTo(at(L"Other"));
        answer(titled(L"コピー元フォルダの確認"), IDOK);
        answer(titled(L"上書きの確認 "), IDYES);
    });
    EXPECT_TRUE(shown.starts_with(ErrorTitle +
                                  L"70|フォルダのコピーに失敗しました。やり直してください \r\n"))
        << toUtf8(shown);
    EXPECT_TRUE(fileExists(sentinel) && fileExists(at(L"Target\\keep.txt")) &&
                !fileExists(at(L"Src\\sub\\sub")));
}

} // namespace
