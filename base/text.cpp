// Text helpers shared by the members.
#include "base/text.h"

#include <cwctype>

namespace kelmo::text {

std::wstring trimSpaces(const std::wstring& text) {
    const auto first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos) return {};
    const auto last = text.find_last_not_of(L' ');
    return text.substr(first, last - first + 1);
}

std::wstring lower(std::wstring text) {
    for (auto& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

bool endsWithNoCase(const std::wstring& text, const std::wstring& suffix) {
    return text.size() >= suffix.size() && lower(right(text, suffix.size())) == lower(suffix);
}

bool containsNoCase(const std::wstring& text, const std::wstring& part) {
    return lower(text).find(lower(part)) != std::wstring::npos;
}

std::wstring right(const std::wstring& text, std::size_t n) {
    return n >= text.size() ? text : text.substr(text.size() - n);
}

std::wstring cut(const std::wstring& text, std::size_t maxChars) {
    if (text.size() <= maxChars) return text;
    const bool splitsPair =
        maxChars > 0 && text[maxChars - 1] >= 0xD800 && text[maxChars - 1] <= 0xDBFF;
    return text.substr(0, splitsPair ? maxChars - 1 : maxChars);
}

} // namespace kelmo::text
