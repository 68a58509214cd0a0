// Text between UTF-16 and the bytes of a code page (UTF-8, the system's ANSI code page): the one
// home of the conversions the product, the bench and the test tools make.
#pragma once

#include <windows.h>

#include <algorithm>
#include <climits>
#include <string>
#include <string_view>

namespace kelmo::win32 {

// The text as bytes of `codePage`; a character the code page lacks becomes its replacement.
inline std::string narrowText(std::wstring_view text, UINT codePage) {
    const int length = static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX));
    if (length == 0) return {};
    const int size =
        WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(std::max(size, 0)), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

// The bytes read in `codePage`.
inline std::wstring wideText(std::string_view bytes, UINT codePage) {
    const int length = static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX));
    if (length == 0) return {};
    const int size = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(std::max(size, 0)), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), length, text.data(), size);
    return text;
}

} // namespace kelmo::win32
