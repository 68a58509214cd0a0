// FolderTree on Win32: a folder is known by its volume serial number and file index and by the
// final path the system gives for an open handle, whatever name reached it; entries are listed
// and removed one by one without following a link. Paths too long for the classic limit take
// the "\\?\" form.
#include <windows.h>

#include "platform/win32/failures.h"
#include "platform/win32/owned.h"
#include "platform/win32/implementations.h"

namespace kelmo::win32 {

namespace {

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr std::size_t ClassicPathLimit = MAX_PATH - 12; // what a folder path may take unprefixed
// Folders whose reparse point stands for their own content (cloud placeholders): not links.
constexpr DWORD CloudTagMask = 0xFFFF0FFF, CloudTag = 0x9000001A;

// The number a script knows for the system's refusal: path not found, permission denied, or
// the system's own error.
[[noreturn]] void raiseFor(DWORD error, const std::wstring& path) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DIRECTORY:
        errors::raise(errors::PathNotFound, path);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        errors::raise(errors::PermissionDenied, path);
    default:
        SetLastError(error);
        throwLastError(path.c_str());
    }
}

// A full path in the form that lifts the classic length limit, when it needs it.
std::wstring extended(const std::wstring& path) {
    if (path.size() < ClassicPathLimit || path.rfind(L"\\\\?\\", 0) == 0) return path;
    if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
    return L"\\\\?\\" + path;
}

// "\\?\C:\a" is "C:\a", "\\?\UNC\server\share" is "\\server\share".
std::wstring withoutPrefix(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

// Asks `fill(buffer, size)` for a text, growing the buffer until the text fits; 0 is failure.
template <typename Fill> std::wstring grownText(Fill fill, const std::wstring& path) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) raiseFor(GetLastError(), path);
        if (length < buffer.size()) return buffer.substr(0, length);
        buffer.resize(length + 1);
    }
}

bool sameTextOrdinal(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool isVolumeRoot(const std::wstring& finalPath) {
    std::wstring volume(finalPath.size() + 2, L'\0');
    if (!GetVolumePathNameW(finalPath.c_str(), volume.data(), static_cast<DWORD>(volume.size())))
        return false;
    volume.resize(wcslen(volume.c_str()));
    std::wstring folder = finalPath;
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    return sameTextOrdinal(volume, folder);
}

// A reparse point with this tag makes a folder a link (symbolic link, junction, mounted volume).
// Wine reports its symbolic links with no tag at all.
bool isLinkTag(DWORD reparseTag) {
    return (reparseTag & CloudTagMask) != CloudTag;
}

// The reparse tag of a folder that is a reparse point (0 when the system names none).
DWORD reparseTagOf(const std::wstring& path) {
    WIN32_FIND_DATAW found{};
    const Search search(
        FindFirstFileExW(path.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
    return search ? found.dwReserved0 : 0;
}

platform::FolderTree::Kind kindOf(const WIN32_FIND_DATAW& found) {
    using Kind = platform::FolderTree::Kind;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return Kind::File;
    const bool link =
        (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && isLinkTag(found.dwReserved0);
    return link ? Kind::Link : Kind::Folder;
}

class Win32FolderTree final : public platform::FolderTree {
public:
    std::wstring fullPath(const std::wstring& path) override {
        return grownText(
            [&](wchar_t* buffer, DWORD size) {
                return GetFullPathNameW(path.c_str(), size, buffer, nullptr);
            },
            path);
    }

    Reached reach(const std::wstring& path) override {
        const std::wstring named = extended(path);
        const DWORD attributes = GetFileAttributesW(named.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) raiseFor(GetLastError(), path);
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) raiseFor(ERROR_DIRECTORY, path);
        const Handle folder(CreateFileW(named.c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!folder) raiseFor(GetLastError(), path);
        BY_HANDLE_FILE_INFORMATION information{};
        if (!GetFileInformationByHandle(folder.get(), &information)) raiseFor(GetLastError(), path);
        Reached reached;
        reached.identity = {information.dwVolumeSerialNumber,
                            (std::uint64_t{information.nFileIndexHigh} << 32) |
                                information.nFileIndexLow};
        reached.finalPath = withoutPrefix(grownText(
            [&](wchar_t* buffer, DWORD size) {
                return GetFinalPathNameByHandleW(folder.get(), buffer, size,
                                                 FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
            },
            path));
        reached.volumeRoot = isVolumeRoot(reached.finalPath);
        reached.link =
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && isLinkTag(reparseTagOf(named));
        return reached;
    }

    std::vector<Entry> entries(const std::wstring& folder) override {
        WIN32_FIND_DATAW found{};
        const Search search(FindFirstFileExW(extended(folder + L"\\*").c_str(), FindExInfoBasic,
                                             &found, FindExSearchNameMatch, nullptr, 0));
        if (!search) raiseFor(GetLastError(), folder);
        std::vector<Entry> result;
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") result.push_back({name, kindOf(found)});
        } while (FindNextFileW(search.get(), &found));
        if (GetLastError() != ERROR_NO_MORE_FILES) raiseFor(GetLastError(), folder);
        return result;
    }

    void remove(const std::wstring& path, Kind kind) override {
        const std::wstring named = extended(path);
        const BOOL removed =
            kind == Kind::File ? DeleteFileW(named.c_str()) : RemoveDirectoryW(named.c_str());
        if (!removed) raiseFor(GetLastError(), path);
    }
};

} // namespace

std::unique_ptr<platform::FolderTree> makeFolderTree() {
    return std::make_unique<Win32FolderTree>();
}

} // namespace kelmo::win32
