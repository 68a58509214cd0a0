// The folder members on real folders: everything happens in a temporary tree, the user's desktop
// included (redirected into the tree for the test), and a pilot thread answers the boxes and the
// browse dialog as a user would.
#include "fixture.h"
#include "pilot.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using kelmo::test::Arg;
using kelmo::test::fastPacing;
using kelmo::test::LateBound;
using kelmo::testtools::BackgroundPilot;
namespace pilot = kelmo::testtools;

namespace {

constexpr DWORD DialogTimeoutMs = 20000;
constexpr DWORD MemberTimeoutMs = 120000;
constexpr int InputEditId = 101, InputPromptId = 100;
const std::wstring ErrorTitle = L"エラー発生 : ";
const wchar_t* const UserShellFolders =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const wchar_t* const ShellFolders =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

bool folderExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void writeFile(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "kelmo", 5, &written, nullptr);
    CloseHandle(file);
}

// Deletes `path` and everything below it (read-only files too).
void removeTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring inner = path + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(inner);
            } else {
                SetFileAttributesW(inner.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(inner.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

// A visible top-level window whose caption starts with `prefix`, polled for.
HWND waitForCaptionStart(const std::wstring& prefix) {
    const ULONGLONG deadline = GetTickCount64() + DialogTimeoutMs;
    while (GetTickCount64() < deadline) {
        for (HWND window : pilot::topLevelWindows())
            if (IsWindowVisible(window) && pilot::captionOf(window).rfind(prefix, 0) == 0)
                return window;
        Sleep(pilot::PollIntervalMs);
    }
    throw std::runtime_error("no window captioned " + std::to_string(prefix.size()));
}

// The browse dialog: a dialog holding a folder tree (its caption is the platform's own).
HWND waitForBrowseDialog() {
    const ULONGLONG deadline = GetTickCount64() + DialogTimeoutMs;
    while (GetTickCount64() < deadline) {
        for (HWND window : pilot::topLevelWindows())
            if (IsWindowVisible(window) && pilot::classNameOf(window) == L"#32770" &&
                FindWindowExW(window, nullptr, L"SysTreeView32", nullptr))
                return window;
        Sleep(pilot::PollIntervalMs);
    }
    throw std::runtime_error("no browse dialog");
}

HWND waitFor(const std::wstring& caption) {
    HWND window = pilot::waitForWindow(caption, DialogTimeoutMs);
    if (!window) throw std::runtime_error("a dialog did not come up");
    return window;
}

// Waits until `window` has gone, so that the next wait does not find it again.
void waitGone(HWND window) {
    for (int i = 0; i < 500 && IsWindow(window) && IsWindowVisible(window); ++i)
        Sleep(pilot::PollIntervalMs);
}

void press(HWND dialog, int button) {
    if (!pilot::clickButton(dialog, button)) throw std::runtime_error("no such button");
    waitGone(dialog);
}

// Chooses `folder` in the browse dialog.
void browseTo(const std::wstring& folder) {
    HWND dialog = waitForBrowseDialog();
    if (!pilot::selectFolder(dialog, folder)) throw std::runtime_error("folder not selectable");
    press(dialog, IDOK);
}

// Answers the confirmation box titled `title` with `answer` (nothing: as proposed); returns
// the proposed text.
std::wstring confirm(const std::wstring& title, const std::wstring* answer = nullptr) {
    HWND box = waitFor(title);
    const std::wstring proposed = pilot::windowText(GetDlgItem(box, InputEditId));
    if (answer) pilot::setControlText(box, InputEditId, *answer);
    press(box, IDOK);
    return proposed;
}

// Reports what is on the screen and ends the program.
[[noreturn]] void giveUp(const char* why) {
    std::fprintf(stderr, "pilot: %s; on screen:\n", why);
    for (HWND window : pilot::topLevelWindows())
        if (IsWindowVisible(window)) {
            std::wstring line = pilot::captionOf(window) + L" | " + pilot::messageBoxText(window);
            std::fprintf(stderr, "  %ls\n", line.c_str());
        }
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    for (;;)
        Sleep(INFINITE);
}

std::wstring shortNameOf(const std::wstring& path) {
    wchar_t shortName[MAX_PATH] = {};
    GetShortPathNameW(path.c_str(), shortName, MAX_PATH);
    return shortName;
}

// The host's path for a Windows path under Wine; empty on Windows.
std::string hostPathOf(const std::wstring& path) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    if (!name) return {};
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Wine names every host folder also through the drive that maps the host's root; on Windows
// the device form of the path stands in for another name of the same folder.
std::wstring sameFolderElsewhere(const std::wstring& path) {
    const std::string host = hostPathOf(path);
    if (host.empty()) return L"\\\\?\\" + path;
    std::wstring result = L"Z:";
    for (const char c : host)
        result += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return result;
}

// Makes the empty folder `link` a junction to `target`.
bool makeJunction(const std::wstring& link, const std::wstring& target) {
    kelmo::win32::Handle folder(
        CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (folder.get() == INVALID_HANDLE_VALUE) return false;
    const std::wstring substitute = L"\\??\\" + target;
    const WORD substituteBytes = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
    const WORD printBytes = static_cast<WORD>(target.size() * sizeof(wchar_t));
    // REPARSE_DATA_BUFFER of a mount point: tag, data length, reserved, then four offsets and
    // lengths, then both names, each followed by a NUL.
    std::vector<BYTE> buffer(8 + 8 + substituteBytes + 2 + printBytes + 2, 0);
    const auto at = [&](std::size_t offset) { return buffer.data() + offset; };
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    const WORD header[] = {static_cast<WORD>(buffer.size() - 8),   0,         0, substituteBytes,
                           static_cast<WORD>(substituteBytes + 2), printBytes};
    memcpy(at(0), &tag, 4);
    memcpy(at(4), header, sizeof header);
    memcpy(at(16), substitute.data(), substituteBytes);
    memcpy(at(16 + substituteBytes + 2), target.data(), printBytes);
    DWORD returned = 0;
    return DeviceIoControl(folder.get(), FSCTL_SET_REPARSE_POINT, buffer.data(),
                           static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr);
}

// The host's own /bin/ln -s, which Wine starts as it starts Windows programs (but without
// telling when it has ended).
void hostSymbolicLink(const std::wstring& link, const std::wstring& target) {
    const auto quoted = [](const std::string& path) {
        return L"\"" + std::wstring(path.begin(), path.end()) + L"\"";
    };
    std::wstring command = L"ln -s " + quoted(hostPathOf(target)) + L" " + quoted(hostPathOf(link));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(L"Z:\\bin\\ln", command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

// A link at `link` to the folder `target`, as the system can make it: a junction on Windows.
// Wine makes neither junctions nor symbolic links, but shows the host's symbolic links as
// links: there the host's ln makes one.
bool makeLink(const std::wstring& link, const std::wstring& target) {
    const auto isLink = [&] {
        const DWORD attributes = GetFileAttributesW(link.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    };
    if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
    if (makeJunction(link, target) && isLink()) return true;
    RemoveDirectoryW(link.c_str());
    hostSymbolicLink(link, target);
    for (int i = 0; i < 100 && !isLink(); ++i)
        Sleep(50);
    return isLink();
}

// Presses OK on an error box that comes up within a few seconds, if one does.
void answerErrorBoxIfAny() {
    const ULONGLONG deadline = GetTickCount64() + 5000;
    while (GetTickCount64() < deadline) {
        for (HWND window : pilot::topLevelWindows())
            if (IsWindowVisible(window) && pilot::captionOf(window).rfind(ErrorTitle, 0) == 0) {
                press(window, IDOK);
                return;
            }
        Sleep(pilot::PollIntervalMs);
    }
}

// One registry value ("Desktop" under a key of the current user) as it was.
struct SavedValue {
    bool save(const wchar_t* subkey) {
        if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) !=
            ERROR_SUCCESS)
            return false;
        size = sizeof data;
        had = RegQueryValueExW(key, L"Desktop", nullptr, &type, reinterpret_cast<BYTE*>(data),
                               &size) == ERROR_SUCCESS;
        return true;
    }
    void restore() {
        if (!key) return;
        if (had)
            RegSetValueExW(key, L"Desktop", 0, type, reinterpret_cast<const BYTE*>(data), size);
        else
            RegDeleteValueW(key, L"Desktop");
        RegCloseKey(key);
        key = nullptr;
    }
    HKEY key = nullptr;
    bool had = false;
    DWORD type = REG_EXPAND_SZ, size = 0;
    wchar_t data[MAX_PATH * 2] = {};
};

class FolderTasks : public kelmo::test::ComTest {
protected:
    // One tree and one redirected desktop for the whole suite: the shell keeps the desktop
    // path it read first for the life of the process.
    static void SetUpTestSuite() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        suiteRoot_ = std::wstring(temp) + L"kelmo-folders-" +
                     std::to_wstring(GetCurrentProcessId()) + L"-" +
                     std::to_wstring(GetTickCount64());
        CreateDirectoryW(suiteRoot_.c_str(), nullptr);
        CreateDirectoryW(home().c_str(), nullptr);
        CreateDirectoryW(desktop().c_str(), nullptr);
        redirectDesktop(desktop());
    }
    static void TearDownTestSuite() {
        restoreDesktop();
        removeTree(suiteRoot_);
    }

    void SetUp() override {
        ComTest::SetUp();
        ASSERT_TRUE(folders_) << "the desktop could not be redirected";
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ =
            suiteRoot_ + L"\\" + std::wstring(test->name(), test->name() + strlen(test->name()));
        ASSERT_TRUE(CreateDirectoryW(root_.c_str(), nullptr));
        desktop_ = desktop();
        kelmo_ = std::make_unique<LateBound>();
        ASSERT_EQ(S_OK, kelmo_->created());
        fastPacing(k_());
        ASSERT_EQ(S_OK, k_().put(L"DefFld", Arg(root_.c_str())).hr);
    }
    void TearDown() override {
        kelmo_.reset();
        ComTest::TearDown();
    }

    std::wstring at(const std::wstring& relative) const { return root_ + L"\\" + relative; }
    void makeFolder(const std::wstring& relative) const {
        ASSERT_TRUE(CreateDirectoryW(at(relative).c_str(), nullptr));
    }

    // Runs the member while `user` answers its dialogs. A user who finds no dialog to answer,
    // or a member that does not return, ends the test program instead of waiting for ever.
    template <typename User>
    kelmo::test::CallResult withUser(User user, const wchar_t* member, std::vector<Arg> args) {
        BackgroundPilot pilot([user] {
            try {
                user();
            } catch (const std::exception& e) {
                giveUp(e.what());
            }
        });
        kelmo::win32::Handle returned(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        BackgroundPilot watchdog([&returned] {
            if (WaitForSingleObject(returned.get(), MemberTimeoutMs) != WAIT_OBJECT_0)
                giveUp("the member did not return");
        });
        kelmo::test::CallResult result = k_().call(member, std::move(args));
        SetEvent(returned.get());
        watchdog.join();
        pilot.join();
        EXPECT_EQ(pilot.failure(), "") << "while " << std::string(member, member + wcslen(member));
        return result;
    }

    const LateBound& k_() const { return *kelmo_; }
    // The home folder that holds the desktop; the desktop has a long name, so that it also has
    // a short one.
    static std::wstring home() { return suiteRoot_ + L"\\Home"; }
    static std::wstring desktop() { return home() + L"\\My Desktop Folder"; }

    std::unique_ptr<LateBound> kelmo_; // made once COM is initialised
    std::wstring root_, desktop_;

private:
    // The desktop as the script shell finds it: the user's shell folder, pointed into the tree.
    // The shell writes the path it resolved under "Shell Folders"; both are put back afterwards.
    static void redirectDesktop(const std::wstring& desktop) {
        if (!userFolders_.save(UserShellFolders) || !resolvedFolders_.save(ShellFolders)) return;
        RegSetValueExW(userFolders_.key, L"Desktop", 0, REG_EXPAND_SZ,
                       reinterpret_cast<const BYTE*>(desktop.c_str()),
                       static_cast<DWORD>((desktop.size() + 1) * sizeof(wchar_t)));
        folders_ = userFolders_.key;
    }
    static void restoreDesktop() {
        userFolders_.restore();
        resolvedFolders_.restore();
        folders_ = nullptr;
    }

    static inline std::wstring suiteRoot_;
    static inline HKEY folders_ = nullptr;
    static inline SavedValue userFolders_, resolvedFolders_;
};

TEST_F(FolderTasks, FldSetCreatesWhatItIsGivenAndAfterAFailureOffersTheDesktop) {
    EXPECT_EQ(k_().call(L"FldSet", {Arg(L"")}).asString(), root_ + L"\\");
    EXPECT_EQ(k_().call(L"FldSet", {Arg(L"New")}).asString(), at(L"New\\"));
    EXPECT_TRUE(folderExists(at(L"New")));

    std::wstring errorCaption, errorText, proposed, prompt;
    const std::wstring chosen = at(L"Chosen");
    auto result = withUser(
        [&] {
            HWND box = waitForCaptionStart(ErrorTitle);
            errorCaption = pilot::captionOf(box);
            errorText = pilot::messageBoxText(box);
            press(box, IDOK);
            press(waitForBrowseDialog(), IDCANCEL);
            HWND input = waitFor(L"フォルダの確認");
            prompt = pilot::windowText(GetDlgItem(input, InputPromptId));
            proposed = pilot::windowText(GetDlgItem(input, InputEditId));
            pilot::setControlText(input, InputEditId, chosen);
            press(input, IDOK);
        },
        L"FldSet", {Arg(at(L"Missing\\Deep").c_str())});
    EXPECT_EQ(result.asString(), chosen + L"\\");
    EXPECT_TRUE(folderExists(chosen));
    EXPECT_FALSE(folderExists(at(L"Missing")));
    EXPECT_EQ(errorText, L"フォルダのパス指定に失敗しました。手動で選択してください ");
    EXPECT_GT(errorCaption.size(), ErrorTitle.size());
    EXPECT_NE(errorCaption, ErrorTitle + L"0");
    EXPECT_EQ(proposed, desktop_);
    EXPECT_EQ(prompt, L"正しいフォルダならそのまま [ OK ]\r\n\r\n      または修正・追加して [ OK ]"
                      L"\r\n\r\nやり直すなら [ ｷｬﾝｾﾙ ] を押してください");
}

TEST_F(FolderTasks, FldSetDGathersTheMatchingFilesOnTheDesktopWithoutReadOnlyFlags) {
    makeFolder(L"Src");
    writeFile(at(L"Src\\a.txt"), FILE_ATTRIBUTE_READONLY);
    writeFile(at(L"Src\\b.txt"));
    writeFile(at(L"Src\\c.doc"));
    std::wstring proposed;
    auto result = withUser(
        [&] {
            browseTo(at(L"Src"));
            proposed = confirm(L"元フォルダの確認");
        },
        L"FldSetD", {Arg(L"*.txt"), Arg(L"Work_D")});
    const std::wstring gathered = desktop_ + L"\\Work_D\\";
    EXPECT_EQ(result.asString(), gathered);
    EXPECT_EQ(proposed, at(L"Src"));
    EXPECT_EQ(GetFileAttributesW((gathered + L"a.txt").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_NE(GetFileAttributesW((gathered + L"b.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW((gathered + L"c.doc").c_str()), INVALID_FILE_ATTRIBUTES);

    // A pattern that matches nothing: the failure box, the gathering folder already made.
    bool gatheringKept = false;
    std::wstring errorCaption;
    auto again = withUser(
        [&] {
            HWND box = waitForCaptionStart(ErrorTitle);
            errorCaption = pilot::captionOf(box);
            gatheringKept = folderExists(desktop_ + L"\\None_D");
            writeFile(at(L"Src\\d.xls"));
            press(box, IDOK);
            browseTo(at(L"Src"));
            confirm(L"元フォルダの確認");
        },
        L"FldSetD", {Arg(at(L"Src").c_str()), Arg(L"*.xls"), Arg(L"None_D")});
    EXPECT_EQ(again.asString(), desktop_ + L"\\None_D\\");
    EXPECT_TRUE(gatheringKept);
    EXPECT_NE(errorCaption, ErrorTitle + L"0");
}

TEST_F(FolderTasks, FldCopyAsksBeforeOverwritingAndFldFilesListsTheCopy) {
    makeFolder(L"Src");
    writeFile(at(L"Src\\a.txt"));
    writeFile(at(L"Src\\b.txt"));
    makeFolder(L"Dest");
    writeFile(at(L"Dest\\keep.txt"));
    makeFolder(L"Parent");
    std::wstring question, proposed;
    auto result = withUser(
        [&] {
            HWND box = waitFor(L"上書きの確認 ");
            question = pilot::messageBoxText(box);
            press(box, IDNO);
            browseTo(at(L"Parent"));
            proposed = confirm(L"コピー先フォルダの確認");
        },
        L"FldCopy", {Arg(at(L"Src").c_str()), Arg(at(L"Dest").c_str())});
    EXPECT_EQ(result.asString(), at(L"Parent\\Src\\"));
    EXPECT_EQ(question, L"そのフォルダはすでに存在します。上書きコピーしますか ");
    EXPECT_EQ(proposed, at(L"Parent\\Src"));
    EXPECT_EQ(GetFileAttributesW(at(L"Dest\\a.txt").c_str()), INVALID_FILE_ATTRIBUTES);

    auto files = k_().get(L"FldFiles");
    ASSERT_EQ(S_OK, files.hr);
    ASSERT_EQ(VT_DISPATCH, files.value.vt);
    DISPPARAMS none{};
    VARIANT count;
    VariantInit(&count);
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR name = const_cast<LPOLESTR>(L"Count");
    ASSERT_EQ(S_OK, files.value.pdispVal->GetIDsOfNames(IID_NULL, &name, 1, 0, &id));
    ASSERT_EQ(S_OK, files.value.pdispVal->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                                                 &count, nullptr, nullptr));
    EXPECT_EQ(VT_I4, count.vt);
    EXPECT_EQ(2, count.lVal);
}

TEST_F(FolderTasks, FldDeleteDeletesTheCurrentFolderAndReportsACancelledDialogAs91) {
    makeFolder(L"Gone");
    writeFile(at(L"Gone\\a.txt"));
    EXPECT_EQ(k_().call(L"FldSet", {Arg(L"Gone")}).asString(), at(L"Gone\\"));
    EXPECT_EQ(S_OK, k_().call(L"FldDelete", {Arg::omitted()}).hr);
    EXPECT_FALSE(folderExists(at(L"Gone")));

    std::wstring cancelled;
    withUser(
        [&] {
            press(waitForBrowseDialog(), IDCANCEL);
            HWND box = waitForCaptionStart(ErrorTitle);
            cancelled = pilot::captionOf(box);
            press(box, IDOK);
        },
        L"FldDelete", {Arg(L"?")});
    EXPECT_EQ(cancelled, ErrorTitle + L"91");
}

// The desktop reached under other names is never deleted, a link inside a deleted folder is
// not followed, and a copy into its own source is refused before anything is written.
TEST_F(FolderTasks, FoldersAreComparedByWhatTheyAreNotByTheirNames) {
    const std::wstring sentinel = desktop_ + L"\\sentinel.txt";
    writeFile(sentinel);
    std::vector<std::wstring> aliases = {shortNameOf(desktop_), L"C:.", L"."};
    ASSERT_NE(aliases[0], desktop_);
    ASSERT_TRUE(makeLink(at(L"deskln"), desktop_));
    ASSERT_TRUE(makeLink(home() + L"\\Music", home())); // a profile folder linking home
    aliases.insert(aliases.end(),
                   {at(L"deskln"), home() + L"\\Music", sameFolderElsewhere(desktop_)});
    ASSERT_EQ(S_OK, k_().put(L"DefFld", Arg(desktop_.c_str())).hr); // "." is the desktop
    for (const std::wstring& alias : aliases) {
        SCOPED_TRACE(std::string(alias.begin(), alias.end()));
        std::wstring title, text;
        withUser(
            [&] {
                HWND box = waitForCaptionStart(ErrorTitle);
                title = pilot::captionOf(box);
                text = pilot::messageBoxText(box);
                press(box, IDOK);
            },
            L"FldDelete", {Arg(alias.c_str())});
        EXPECT_EQ(title, ErrorTitle + L"70");
        EXPECT_EQ(text.rfind(L"フォルダの削除に失敗しました。\r\n\r\n", 0), 0u);
        ASSERT_NE(GetFileAttributesW(sentinel.c_str()), INVALID_FILE_ATTRIBUTES);
    }

    // Where links cannot be removed as links (Wine), the deletion fails instead.
    makeFolder(L"Victim");
    makeFolder(L"Target");
    writeFile(at(L"Target\\keep.txt"));
    ASSERT_TRUE(makeLink(at(L"Victim\\out"), at(L"Target")));
    withUser([] { answerErrorBoxIfAny(); }, L"FldDelete", {Arg(at(L"Victim").c_str())});
    EXPECT_NE(GetFileAttributesW(at(L"Target\\keep.txt").c_str()), INVALID_FILE_ATTRIBUTES);

    makeFolder(L"Src");
    makeFolder(L"Src\\sub");
    writeFile(at(L"Src\\a.txt"));
    makeFolder(L"Other");
    std::wstring copyFailure;
    withUser(
        [&] {
            HWND box = waitForCaptionStart(ErrorTitle);
            copyFailure = pilot::messageBoxText(box);
            press(box, IDOK);
            browseTo(at(L"Other"));
            confirm(L"コピー元フォルダの確認");
            press(waitFor(L"上書きの確認 "), IDYES);
        },
        L"FldCopy", {Arg(at(L"Src").c_str()), Arg(at(L"Src\\sub").c_str())});
    EXPECT_EQ(copyFailure.rfind(L"フォルダのコピーに失敗しました。やり直してください \r\n", 0), 0u);
    EXPECT_FALSE(folderExists(at(L"Src\\sub\\sub")));
}

} // namespace
