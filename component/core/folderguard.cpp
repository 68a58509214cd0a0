// The folder guard: kept folders compared by identity along their whole chain of parents, and a
// deletion that lists the tree first (refusing before anything is removed) and then removes it
// deepest first.
#include "component/core/folderguard.h"

#include "base/error.h"

#include <algorithm>

namespace kelmo {

namespace {

using Kind = platform::FolderTree::Kind;

const std::wstring CrLf = L"\r\n";
const std::wstring HeldToo = L"（またはそれを含むフォルダ）";

std::wstring refusal(const std::wstring& path, const std::wstring& what) {
    return path + CrLf + L"は" + what + L"のため削除しません。";
}

// "C:", "C:." or "C:name": relative to the current folder that drive happens to have.
bool isDriveRelative(const std::wstring& path) {
    return path.size() >= 2 && path[1] == L':' && (path.size() == 2 || path[2] != L'\\');
}

// A drive root ("C:\") or a share root ("\\server\share", with or without its last backslash).
bool isRootText(const std::wstring& path) {
    if (path.size() <= 3 && path.find(L':') != std::wstring::npos) return true;
    if (!path.starts_with(L"\\\\")) return false;
    const auto share = path.find(L'\\', 2);
    return share == std::wstring::npos || path.find(L'\\', share + 1) >= path.size() - 1;
}

// The folder above a full path; nothing above a root.
std::wstring parentOf(std::wstring path) {
    if (isRootText(path)) return {};
    if (path.back() == L'\\') path.pop_back();
    const auto slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) return {};
    std::wstring parent = path.substr(0, slash);
    if (parent.size() == 2 && parent[1] == L':') parent += L'\\';
    return parent;
}

std::wstring joined(const std::wstring& folder, const std::wstring& name) {
    return folder.back() == L'\\' ? folder + name : folder + L'\\' + name;
}

} // namespace

std::optional<std::wstring> FolderGuard::deleteFolder(const std::wstring& path,
                                                      const std::vector<KeptFolder>& kept) {
    if (path.find_first_of(L"*?") != std::wstring::npos)
        return refusal(path, L"ワイルドカードを含むパス");
    if (isDriveRelative(path)) return refusal(path, L"ドライブ相対のパス");
    const std::wstring full = tree_.fullPath(path);
    const auto target = tree_.reach(full);
    if (target.volumeRoot || isRootText(full)) return refusal(full, L"ドライブのルート");

    std::vector<Known> known;
    for (const KeptFolder& folder : kept) {
        if (folder.path.empty() || folder.path.find(L'%') != std::wstring::npos) continue;
        for (const Identity& identity : chainOf(folder.path))
            known.push_back({identity, folder.what});
    }
    for (const Known& k : known)
        if (k.identity == target.identity) return refusal(full, k.what + HeldToo);

    if (target.link) {
        tree_.remove(full, Kind::Link);
        return std::nullopt;
    }
    std::vector<Listed> found;
    if (auto lost = listTree(full, known, found)) return refusal(full, *lost + HeldToo);
    for (auto entry = found.rbegin(); entry != found.rend(); ++entry)
        tree_.remove(entry->path, entry->kind);
    tree_.remove(full, Kind::Folder);
    return std::nullopt;
}

// Walks the real folders only: a link is listed, never entered.
std::optional<std::wstring> FolderGuard::listTree(const std::wstring& folder,
                                                  const std::vector<Known>& kept,
                                                  std::vector<Listed>& found) {
    std::vector<std::wstring> pending{folder};
    while (!pending.empty()) {
        const std::wstring current = std::move(pending.back());
        pending.pop_back();
        for (const auto& entry : tree_.entries(current)) {
            const std::wstring path = joined(current, entry.name);
            if (entry.kind == Kind::Folder) {
                const Identity identity = tree_.reach(path).identity;
                for (const Known& k : kept)
                    if (k.identity == identity) return k.what;
                pending.push_back(path);
            }
            found.push_back({path, entry.kind});
        }
    }
    return std::nullopt;
}

bool FolderGuard::liesInside(const std::wstring& inner, const std::wstring& folder) {
    const auto reached = tryReach(folder);
    if (!reached) return false;
    const auto chain = chainOf(inner);
    return std::find(chain.begin(), chain.end(), reached->identity) != chain.end();
}

bool FolderGuard::sameFolder(const std::wstring& a, const std::wstring& b) {
    const auto first = tryReach(a), second = tryReach(b);
    return first && second && first->identity == second->identity;
}

std::vector<FolderGuard::Identity> FolderGuard::chainOf(const std::wstring& path) {
    std::vector<Identity> chain;
    std::wstring full;
    try {
        full = tree_.fullPath(path);
    } catch (const KelmoError&) {
        return chain;
    }
    std::optional<platform::FolderTree::Reached> reached;
    for (std::wstring p = full; !p.empty() && !(reached = tryReach(p)); p = parentOf(p)) {
    }
    if (!reached) return chain;
    for (std::wstring p = reached->finalPath; !p.empty(); p = parentOf(p))
        if (const auto above = tryReach(p)) chain.push_back(above->identity);
    return chain;
}

std::optional<platform::FolderTree::Reached> FolderGuard::tryReach(const std::wstring& path) {
    try {
        return tree_.reach(tree_.fullPath(path));
    } catch (const KelmoError&) {
        return std::nullopt;
    }
}

} // namespace kelmo
