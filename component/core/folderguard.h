// FolderGuard: what the folder members must never destroy or fill, told by what the folders
// are on the file system rather than by the names that reach them (another drive letter, a
// link, a short name, "." or ".."). It deletes a tree only when that loses no kept folder
// (the desktop, the Windows folder, the profile ...) and no drive, share or volume root, and
// it never follows a link inside the tree; it also tells whether a copy would land inside its
// own source.
#pragma once

#include "platform/services.h"

#include <optional>
#include <string>
#include <vector>

namespace kelmo {

// A folder no deletion may take with it, and how a refusal names it.
struct KeptFolder {
    std::wstring path; // empty, or holding an unexpanded "%", when there is none
    std::wstring what;
};

class FolderGuard {
public:
    explicit FolderGuard(platform::FolderTree& tree) : tree_(tree) {}

    // Deletes the folder `path` names with everything in it, a link inside it (or the folder
    // itself, when it is a link) removed as a link, exactly as checked; or deletes nothing and
    // says why: a path with wildcards or relative to a drive's current folder, a root, a kept
    // folder or one that holds a kept folder. Failures of the file system raise KelmoError,
    // the first one ending the deletion.
    std::optional<std::wstring> deleteFolder(const std::wstring& path,
                                             const std::vector<KeptFolder>& kept);

    // True when `inner` (which need not exist yet) is the folder `folder` reaches or lies
    // inside it; false also when either cannot be told.
    bool liesInside(const std::wstring& inner, const std::wstring& folder);
    // True when both paths reach the same existing folder.
    bool sameFolder(const std::wstring& a, const std::wstring& b);

private:
    using Identity = platform::FolderTree::Identity;
    struct Known {
        Identity identity;
        std::wstring what;
    };
    // The folder `path` reaches, or its nearest existing parent, and every folder above it.
    std::vector<Identity> chainOf(const std::wstring& path);
    std::optional<platform::FolderTree::Reached> tryReach(const std::wstring& path);
    // Every entry below `folder`, parents before what they hold; the kept folder it would lose
    // instead, when there is one.
    struct Listed {
        std::wstring path;
        platform::FolderTree::Kind kind;
    };
    std::optional<std::wstring> listTree(const std::wstring& folder, const std::vector<Known>& kept,
                                         std::vector<Listed>& found);

    platform::FolderTree& tree_;
};

} // namespace kelmo
