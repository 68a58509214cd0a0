// Completing and quoting the paths scripts give: FullPath, QuotedPath, QuotedProgram,
// QuotedCommand. A path without a drive is taken from WinDrv when it has a backslash, from
// DefFld when it is a bare name.
#include "component/core/object.h"
#include "base/text.h"

namespace kelmo {

namespace {
bool isQuoted(const std::wstring& text) {
    return text.size() >= 2 && text.front() == L'"' && text.back() == L'"';
}

std::wstring quoted(std::wstring text) {
    if (text.empty() || text.front() != L'"') text.insert(text.begin(), L'"');
    if (text.size() < 2 || text.back() != L'"') text.push_back(L'"');
    return text;
}
} // namespace

std::wstring CKelmo::FullPath(const std::wstring& path) const {
    std::wstring p = text::trimSpaces(path);
    // A path with a drive, or a network path (\\server\share), is complete as it is.
    if (p.find(L':') != std::wstring::npos || p.rfind(L"\\\\", 0) == 0) return p;
    // A quoted name is completed inside its quotes: the folder goes in front of the name, not
    // in front of the opening quote.
    if (isQuoted(p)) return L'"' + FullPath(p.substr(1, p.size() - 2)) + L'"';
    return (p.find(L'\\') != std::wstring::npos ? WinDrv_ : DefFld_) + p;
}

std::wstring CKelmo::QuotedPath(const std::wstring& path) {
    std::wstring p = quoted(FullPath(path));
    PaceWait();
    return p;
}

std::wstring CKelmo::QuotedProgram(const std::wstring& program) {
    const std::wstring p = text::trimSpaces(program);
    if (p.find(L'.') != std::wstring::npos) return QuotedPath(p);
    return quoted(p);
}

std::wstring CKelmo::QuotedCommand(const std::wstring& command, std::int16_t separator) {
    if (separator < 0) errors::raise(errors::InvalidCall, L"QuotedCommand");
    const auto k = static_cast<std::size_t>(separator);
    const std::wstring program = command.substr(0, k == 0 ? 0 : std::min(k - 1, command.size()));
    const std::wstring argument = k < command.size() ? command.substr(k) : std::wstring();
    return QuotedProgram(program) + L' ' + QuotedPath(argument);
}

} // namespace kelmo
