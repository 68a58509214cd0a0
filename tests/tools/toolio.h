// Input and output for the test tools and the bench: UTF-16 command-line arguments, UTF-8 text
// on stdout and stderr, whole files, number arguments.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <cerrno>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/codepages.h"

namespace kelmo::testtools {

inline std::string toUtf8(std::wstring_view text) {
    return win32::narrowText(text, CP_UTF8);
}
inline std::wstring fromUtf8(std::string_view bytes) {
    return win32::wideText(bytes, CP_UTF8);
}
inline std::wstring fromAscii(std::string_view text) {
    return {text.begin(), text.end()};
}

// A line to STD_OUTPUT_HANDLE or STD_ERROR_HANDLE: UTF-16 into a console (whose code page would
// otherwise reinterpret the bytes), UTF-8 into a pipe or file.
inline bool writeLine(DWORD which, std::wstring_view text) {
    const HANDLE out = GetStdHandle(which);
    const std::wstring line = std::wstring(text) + L"\n";
    const std::string bytes = toUtf8(line);
    DWORD mode = 0, written = 0;
    return GetConsoleMode(out, &mode)
               ? WriteConsoleW(out, line.data(), DWORD(line.size()), &written, nullptr)
               : WriteFile(out, bytes.data(), DWORD(bytes.size()), &written, nullptr);
}
inline bool printLine(std::wstring_view text) {
    return writeLine(STD_OUTPUT_HANDLE, text);
}
inline void printError(std::wstring_view text) {
    writeLine(STD_ERROR_HANDLE, text);
}

// A whole non-negative number, decimal or 0x-prefixed hexadecimal.
inline std::optional<unsigned long> parseNumber(const std::wstring& text) {
    wchar_t* end = nullptr;
    errno = 0;
    const unsigned long value =
        wcstoul(text.c_str(), &end, text.starts_with(L"0x") || text.starts_with(L"0X") ? 16 : 10);
    if (text.empty() || !iswdigit(text[0]) || errno || *end) return std::nullopt;
    return value;
}

// The command line split the Windows way, without the program name.
inline std::vector<std::wstring> commandLineArguments() {
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> arguments;
    if (argv) arguments.assign(argv + 1, argv + count);
    LocalFree(argv);
    return arguments;
}

// Whole files: written anew, or read while others may still write them (empty if unreadable).
inline bool writeFileBytes(const std::wstring& path, std::string_view bytes) {
    return bool(std::ofstream(std::filesystem::path(path), std::ios::binary)
                << bytes << std::flush);
}
inline bool writeUtf8File(const std::wstring& path, std::wstring_view text) {
    return writeFileBytes(path, toUtf8(text));
}
inline std::string readFileBytes(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}
inline bool fileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace kelmo::testtools
