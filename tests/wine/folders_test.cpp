// The folder members on real folders and dialogs: everything happens in a temporary tree, the
// user's desktop included (redirected into the tree for the suite), and a pilot thread answers
// the boxes and the browse dialog as a user would. A member that shows a box nobody answers,
// or does not return, ends the test program with what is on the screen instead of holding it.
#include "fixture.h"
#include "pilot.h"
#include "platform/win32/owned.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>

using kelmo::test::Arg;
using kelmo::test::CallResult;
namespace pilot = kelmo::testtools;
namespace win32 = kelmo::win32;

namespace {

constexpr DWORD DialogTimeoutMs = 20000, MemberTimeoutMs = 120000;
constexpr int InputEditId = 101;
const std::wstring ErrorTitle = L"エラー発生 : ";

// --- The user: finds the dialogs and answers them ---

HWND required(HWND window) {
    if (!window) throw std::runtime_error("a dialog did not come up");
    return window;
}
HWND waitFor(const std::wstring& caption) {
    return required(pilot::waitForWindow(caption, DialogTimeoutMs));
}
HWND errorBox(DWORD timeoutMs = DialogTimeoutMs) {
    return pilot::waitForWindowWhere(
        [](HWND window) { return pilot::captionOf(window).starts_with(ErrorTitle); }, timeoutMs);
}
// The browse dialog: a dialog holding a folder tree (its caption is the platform's own).
HWND browseDialog() {
    return required(pilot::waitForWindowWhere(
        [](HWND window) {
            return pilot::classNameOf(window) == L"#32770" &&
                   FindWindowExW(window, nullptr, L"SysTreeView32", nullptr);
        },
        DialogTimeoutMs));
}
// Presses the button and waits until the dialog has gone, so that no later wait finds it.
void press(HWND dialog, int button) {
    if (!pilot::clickButton(dialog, button)) throw std::runtime_error("no such button");
    pilot::waitGone(dialog, DialogTimeoutMs);
}
void browseTo(const std::wstring& folder) {
    HWND dialog = browseDialog();
    if (!pilot::selectFolder(dialog, folder)) throw std::runtime_error("folder not selectable");
    press(dialog, IDOK);
}
// Accepts what the confirmation box `title` proposes; the proposed text.
std::wstring confirm(const std::wstring& title) {
    HWND input = waitFor(title);
    const std::wstring proposed = pilot::windowText(GetDlgItem(input, InputEditId));
    press(input, IDOK);
    return proposed;
}
// Presses OK on the error box; its caption and text.
std::wstring acknowledgeError() {
    HWND box = required(errorBox());
    const std::wstring shown = pilot::captionOf(box) + L"|" + pilot::messageBoxText(box);
    press(box, IDOK);
    return shown;
}
[[noreturn]] void giveUp(const char* why) {
    std::fprintf(stderr, "pilot: %s; on screen:\n", why);
    for (HWND window : pilot::topLevelWindows())
        if (IsWindowVisible(window))
            std::fprintf(stderr, "  %ls | %ls\n", pilot::captionOf(window).c_str(),
                         pilot::messageBoxText(window).c_str());
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    for (;;)
        Sleep(INFINITE);
}

// --- Files, links and other names of a folder ---

void writeFile(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    win32::Handle(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr));
}
bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
// The host's path for a Windows path under Wine; empty on Windows.
std::string hostPathOf(const std::wstring& path) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    const std::string result = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Another name of the same folder: under Wine through the drive that maps the host's root, on
// Windows the device form of the path.
std::wstring sameFolderElsewhere(const std::wstring& path) {
    const std::string host = hostPathOf(path);
    if (host.empty()) return L"\\\\?\\" + path;
    std::wstring result = L"Z:";
    for (const char c : host)
        result += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return result;
}

// A link at `link` to the folder `target`: a symbolic link on Windows (in developer mode or
// with administrator rights). Wine makes none but shows the host's symbolic links as links:
// there the host's ln makes one (started as Windows programs are, without telling when it has
// ended).
bool makeLink(const std::wstring& link, const std::wstring& target) {
    const auto isLink = [&] {
        return exists(link) && (GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    };
    if (CreateSymbolicLinkW(link.c_str(), target.c_str(),
                            SYMBOLIC_LINK_FLAG_DIRECTORY |
                                SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
        isLink())
        return true;
    const auto quoted = [](const std::string& path) {
        return L"\"" + std::wstring(path.begin(), path.end()) + L"\"";
    };
    std::wstring command = L"ln -s " + quoted(hostPathOf(target)) + L" " + quoted(hostPathOf(link));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (CreateProcessW(L"Z:\\bin\\ln", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &started)) {
        const win32::Handle process(started.hProcess), thread(started.hThread);
    }
    return pilot::waitUntil(isLink, 5000);
}

// --- The desktop, redirected into the suite's tree ---

// The user's desktop folder ("Desktop" under a key of the current user), saved to be put back.
// A value that still points into the tree of an earlier run that was killed is saved as the
// default, %USERPROFILE%\Desktop, so that the shell finds the desktop again afterwards.
struct SavedDesktop {
    bool save(const wchar_t* subkey) {
        if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                          key.put()) != ERROR_SUCCESS)
            return false;
        DWORD size = sizeof data - sizeof(wchar_t);
        had = RegQueryValueExW(key.get(), L"Desktop", nullptr, &type, reinterpret_cast<BYTE*>(data),
                               &size) == ERROR_SUCCESS;
        if (had && wcsstr(data, L"\\kelmo-folders-")) {
            const wchar_t* standard = L"%USERPROFILE%\\Desktop";
            if (type == REG_EXPAND_SZ)
                wcscpy(data, standard);
            else
                ExpandEnvironmentStringsW(standard, data, MAX_PATH);
        }
        return true;
    }
    void set(const std::wstring& path) const {
        RegSetValueExW(key.get(), L"Desktop", 0, REG_EXPAND_SZ,
                       reinterpret_cast<const BYTE*>(path.c_str()), DWORD((path.size() + 1) * 2));
    }
    void restore() {
        if (had)
            RegSetValueExW(key.get(), L"Desktop", 0, type, reinterpret_cast<const BYTE*>(data),
                           DWORD((wcslen(data) + 1) * 2));
        else if (key)
            RegDeleteValueW(key.get(), L"Desktop");
        key.reset();
    }
    win32::RegistryKey key;
    bool had = false;
    DWORD type = REG_EXPAND_SZ;
    wchar_t data[MAX_PATH + 1] = {};
};

class FolderTasks : public kelmo::test::ComTest {
protected:
    // One tree and one redirected desktop for the whole suite: the shell keeps the desktop
    // path it read first for the life of the process. The shell writes the path it resolved
    // under "Shell Folders"; both values are put back afterwards. The tree has a name of its
    // own: the links Wine cannot remove stay behind, and Wine gives out the same process ids.
    static void SetUpTestSuite() {
        suite_.emplace(L"folders");
        CreateDirectoryW(home().c_str(), nullptr);
        CreateDirectoryW(desktop().c_str(), nullptr);
        const wchar_t* explorer = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
        redirected_ = shellFolders_.save((explorer + std::wstring(L"Shell Folders")).c_str()) &&
                      userFolders_.save((explorer + std::wstring(L"User Shell Folders")).c_str());
        if (redirected_) userFolders_.set(desktop());
    }
    static void TearDownTestSuite() {
        userFolders_.restore();
        shellFolders_.restore();
        suite_.reset();
    }

    void SetUp() override {
        ComTest::SetUp();
        ASSERT_TRUE(redirected_) << "the desktop could not be redirected";
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = *suite_ / std::wstring(test->name(), test->name() + strlen(test->name()));
        ASSERT_TRUE(CreateDirectoryW(root_.c_str(), nullptr));
        k_ = std::make_unique<kelmo::test::LateBound>();
        kelmo::test::fastPacing(*k_);
        ASSERT_EQ(S_OK, k_->put(L"DefFld", Arg(root_.c_str())).hr);
    }
    void TearDown() override {
        k_.reset();
        ComTest::TearDown();
    }

    std::wstring at(const std::wstring& relative) const { return root_ + L"\\" + relative; }
    void makeFolders(std::initializer_list<const wchar_t*> relative) const {
        for (const wchar_t* folder : relative)
            ASSERT_TRUE(CreateDirectoryW(at(folder).c_str(), nullptr));
    }

    // Calls `member` while `user` answers its dialogs, under a watchdog.
    CallResult call(
        const wchar_t* member, std::vector<Arg> args, const std::function<void()>& user = [] {}) {
        pilot::BackgroundPilot answering([user] {
            try {
                user();
            } catch (const std::exception& e) {
                giveUp(e.what());
            }
        });
        const win32::Handle returned(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        pilot::BackgroundPilot watchdog([&returned] {
            if (WaitForSingleObject(returned.get(), MemberTimeoutMs) != WAIT_OBJECT_0)
                giveUp("the member did not return");
        });
        CallResult result = k_->call(member, std::move(args));
        SetEvent(returned.get());
        watchdog.join();
        answering.join();
        return result;
    }

    static std::wstring home() { return *suite_ / L"Home"; }
    // A long name, so that it also has a short one.
    static std::wstring desktop() { return home() + L"\\My Desktop Folder"; }

    std::unique_ptr<kelmo::test::LateBound> k_; // made once COM is initialised
    std::wstring root_;
    static inline std::optional<kelmo::test::TempFolder> suite_;
    static inline bool redirected_ = false;
    static inline SavedDesktop userFolders_, shellFolders_;
};

// FldSetD gathers onto the desktop without read-only flags; FldCopy asks before overwriting and
// copies the tree where the user chose. (object_test.js deletes a folder for real.)
TEST_F(FolderTasks, FilesAreGatheredAndCopiedWhereTheUserAnswered) {
    makeFolders({L"Src", L"Src\\sub", L"Dest", L"Parent"});
    writeFile(at(L"Src\\a.txt"), FILE_ATTRIBUTE_READONLY);
    writeFile(at(L"Src\\c.doc"));
    writeFile(at(L"Src\\sub\\b.txt"));
    std::wstring proposed;
    const auto gathered = call(L"FldSetD", {Arg(L"*.txt"), Arg(L"Work_D")}, [&] {
        browseTo(at(L"Src"));
        proposed = confirm(L"元フォルダの確認");
    });
    EXPECT_EQ(gathered.asString(), desktop() + L"\\Work_D\\");
    EXPECT_EQ(proposed, at(L"Src"));
    EXPECT_EQ(GetFileAttributesW((desktop() + L"\\Work_D\\a.txt").c_str()) &
                  FILE_ATTRIBUTE_READONLY,
              0u); // also when it is missing
    EXPECT_FALSE(exists(desktop() + L"\\Work_D\\c.doc"));

    const auto copied = call(L"FldCopy", {Arg(at(L"Src").c_str()), Arg(at(L"Dest").c_str())}, [&] {
        press(waitFor(L"上書きの確認 "), IDNO);
        browseTo(at(L"Parent"));
        proposed = confirm(L"コピー先フォルダの確認");
    });
    EXPECT_EQ(copied.asString(), at(L"Parent\\Src\\"));
    EXPECT_EQ(proposed, at(L"Parent\\Src"));
    EXPECT_TRUE(exists(at(L"Parent\\Src\\sub\\b.txt")));
    EXPECT_FALSE(exists(at(L"Dest\\a.txt")));
}

// The desktop reached under other names is never deleted, a link inside a deleted folder is
// not followed, and a copy into its own source is refused before anything is written.
TEST_F(FolderTasks, FoldersAreComparedByWhatTheyAreNotByTheirNames) {
    const std::wstring sentinel = desktop() + L"\\sentinel.txt";
    writeFile(sentinel);
    wchar_t shortName[MAX_PATH] = {};
    GetShortPathNameW(desktop().c_str(), shortName, MAX_PATH);
    ASSERT_NE(desktop(), shortName);
    ASSERT_TRUE(makeLink(at(L"deskln"), desktop()));
    ASSERT_TRUE(makeLink(home() + L"\\Music", home()));             // a profile folder linking home
    ASSERT_EQ(S_OK, k_->put(L"DefFld", Arg(desktop().c_str())).hr); // "." is the desktop
    for (const std::wstring& alias :
         {std::wstring(shortName), std::wstring(L"C:."), std::wstring(L"."), at(L"deskln"),
          home() + L"\\Music", sameFolderElsewhere(desktop())}) {
        SCOPED_TRACE(std::string(alias.begin(), alias.end()));
        std::wstring refused;
        call(L"FldDelete", {Arg(alias.c_str())}, [&] { refused = acknowledgeError(); });
        EXPECT_TRUE(refused.starts_with(ErrorTitle + L"70|フォルダの削除に失敗しました。\r\n\r\n"));
        ASSERT_TRUE(exists(sentinel));
    }

    // Where links cannot be removed as links (Wine), the deletion fails instead.
    makeFolders({L"Victim", L"Target"});
    writeFile(at(L"Target\\keep.txt"));
    ASSERT_TRUE(makeLink(at(L"Victim\\out"), at(L"Target")));
    call(L"FldDelete", {Arg(at(L"Victim").c_str())}, [] {
        if (errorBox(5000)) acknowledgeError();
    });
    EXPECT_TRUE(exists(at(L"Target\\keep.txt")));

    makeFolders({L"Src", L"Src\\sub", L"Other"});
    std::wstring refused;
    call(L"FldCopy", {Arg(at(L"Src").c_str()), Arg(at(L"Src\\sub").c_str())}, [&] {
        refused = acknowledgeError();
        browseTo(at(L"Other"));
        confirm(L"コピー元フォルダの確認");
        press(waitFor(L"上書きの確認 "), IDYES);
    });
    EXPECT_TRUE(refused.starts_with(ErrorTitle +
                                    L"70|フォルダのコピーに失敗しました。やり直してください \r\n"));
    EXPECT_FALSE(exists(at(L"Src\\sub\\sub")));
}

} // namespace
