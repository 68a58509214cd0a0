// Text helpers shared by the members.
#include "base/text.h"

#include "base/error.h"

#include <cmath>
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

std::int16_t toInteger(const std::wstring& text) {
    const std::wstring t = trimSpaces(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == L'+' || t[i] == L'-')) negative = t[i++] == L'-';
    double value = 0;
    bool digits = false;
    for (; i < t.size() && std::iswdigit(t[i]); ++i, digits = true)
        value = value * 10 + (t[i] - L'0');
    if (i < t.size() && t[i] == L'.') {
        double scale = 0.1;
        for (++i; i < t.size() && std::iswdigit(t[i]); ++i, digits = true, scale /= 10)
            value += (t[i] - L'0') * scale;
    }
    if (!digits || i != t.size()) errors::raise(errors::TypeMismatch, L"\"" + text + L"\"");
    value = std::nearbyint(negative ? -value : value); // half to even
    if (value < -32768 || value > 32767) errors::raise(errors::Overflow);
    return static_cast<std::int16_t>(value);
}

} // namespace kelmo::text
