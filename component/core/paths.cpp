// Path completion and quoting.
#include "component/core/paths.h"

#include "base/checked.h"
#include "base/error.h"
#include "base/text.h"

#include <algorithm>

namespace kelmo {

namespace {
std::wstring quoted(std::wstring text) {
    if (text.empty() || text.front() != L'"') text.insert(text.begin(), L'"');
    if (text.size() < 2 || text.back() != L'"') text.push_back(L'"');
    return text;
}

bool isNetworkPath(const std::wstring& path) {
    return path.rfind(L"\\\\", 0) == 0;
}
} // namespace

std::wstring commandLineArgument(const std::wstring& quoted) {
    if (quoted.size() < 2 || quoted.back() != L'"') return quoted;
    const std::size_t content = quoted.find_last_not_of(L'\\', quoted.size() - 2) + 1;
    const std::size_t backslashes = quoted.size() - 1 - content;
    return quoted.substr(0, quoted.size() - 1) + std::wstring(backslashes, L'\\') + L'"';
}

void PathCompleter::setDefaultFolder(const std::wstring& folder) {
    defaultFolder_ = text::trimSpaces(folder);
    if (defaultFolder_.empty() || defaultFolder_.back() != L'\\') defaultFolder_ += L'\\';
}

// The folder goes in front of the name, inside every pair of quotes around it; what the quotes
// hold is kept as it is, blanks included.
std::wstring PathCompleter::fullPath(const std::wstring& path) const {
    const std::wstring p = text::trimSpaces(path);
    if (p.find(L':') != std::wstring::npos) return p;
    std::size_t quotes = 0;
    while (p.size() >= 2 * quotes + 2 && p[quotes] == L'"' && p[p.size() - 1 - quotes] == L'"')
        ++quotes;
    const std::wstring name = p.substr(quotes, p.size() - 2 * quotes);
    if (isNetworkPath(name)) return p;
    const std::wstring& folder =
        name.find(L'\\') != std::wstring::npos ? systemDriveRoot_ : defaultFolder_;
    return p.substr(0, quotes) + folder + p.substr(quotes);
}

std::wstring PathCompleter::folderPath(const std::wstring& path) const {
    if (path.find(L':') != std::wstring::npos) return path;
    std::wstring p = path;
    if (!p.empty() && p.back() == L'\\') p.pop_back();
    return completedFolder(p);
}

std::wstring PathCompleter::deletionPath(const std::wstring& path) const {
    std::wstring p = path;
    if (!p.empty() && p.back() == L'\\') p.pop_back();
    if (p.find(L':') != std::wstring::npos) return p;
    return completedFolder(p);
}

// A path without a drive and without its trailing backslash, put under DefFld or WinDrv.
std::wstring PathCompleter::completedFolder(std::wstring p) const {
    if (p.find(L'\\') == std::wstring::npos) return defaultFolder_ + p;
    if (p.front() == L'\\') p.erase(0, 1);
    return systemDriveRoot_ + p;
}

std::wstring PathCompleter::quotedPath(const std::wstring& path) {
    std::wstring p = quoted(fullPath(path));
    pacer_.paceWait();
    return p;
}

std::wstring PathCompleter::quotedProgram(const std::wstring& program) {
    const std::wstring p = text::trimSpaces(program);
    if (p.find(L'.') != std::wstring::npos) return quotedPath(p);
    return quoted(p);
}

std::wstring PathCompleter::quotedCommand(const std::wstring& command, std::int16_t separator) {
    if (separator < 0) errors::raise(errors::InvalidCall, L"QuotedCommand");
    const auto k = static_cast<std::size_t>(separator);
    const std::wstring program = command.substr(0, k == 0 ? 0 : std::min(k - 1, command.size()));
    const std::wstring argument = k < command.size() ? command.substr(k) : std::wstring();
    return commandLineArgument(quotedProgram(program)) + L' ' +
           commandLineArgument(quotedPath(argument));
}

// A blank before a drive letter also splits before an opening quote: "notepad "c:\a b.txt"".
std::wstring PathCompleter::launcherCommand(const std::wstring& text) {
    const auto position = [](std::size_t index) { return checkedNarrow<std::int16_t>(index + 1); };
    if (const std::size_t bar = text.find(L'|'); bar != std::wstring::npos)
        return quotedCommand(text, position(bar));
    const std::size_t colon = text.rfind(L':');
    if (colon != std::wstring::npos && colon >= 4) {
        for (const std::size_t before : {colon - 3, colon - 2})
            if (text[before] == L' ') return quotedCommand(text, position(before));
    }
    return commandLineArgument(quotedProgram(text));
}

} // namespace kelmo
