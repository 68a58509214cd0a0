// Small text helpers with the component's own rules: trimming removes U+0020 only, keyword
// comparisons ignore letter case.
#pragma once

#include <string>

namespace kelmo::text {

std::wstring trimSpaces(const std::wstring& text);
std::wstring lower(std::wstring text);
bool endsWithNoCase(const std::wstring& text, const std::wstring& suffix);
bool containsNoCase(const std::wstring& text, const std::wstring& part);
// The last n characters (the whole text when it is shorter).
std::wstring right(const std::wstring& text, std::size_t n);
// The first `maxChars` UTF-16 units (the whole text when it is shorter), one fewer when the
// last of them would be the first half of a surrogate pair.
std::wstring cut(const std::wstring& text, std::size_t maxChars);

} // namespace kelmo::text
