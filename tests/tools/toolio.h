// Input and output for the test tools: UTF-16 command-line arguments, UTF-8 text on stdout and
// stderr (UTF-16 when they are a console), UTF-8 files, and number arguments.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <cerrno>
#include <cwchar>
#include <cwctype>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/owned.h"

namespace kelmo::testtools {

inline std::string toUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

inline std::wstring fromAscii(std::string_view text) {
    return {text.begin(), text.end()};
}

// Writes to STD_OUTPUT_HANDLE or STD_ERROR_HANDLE: UTF-8 bytes into a pipe or file, UTF-16 into
// a console (whose code page would otherwise reinterpret the bytes).
inline bool writeStd(DWORD which, std::wstring_view text) {
    HANDLE out = GetStdHandle(which);
    if (!out || out == INVALID_HANDLE_VALUE) return false;
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(out, &mode))
        return WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    const std::string bytes = toUtf8(text);
    return WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

inline bool printLine(std::wstring_view text) {
    return writeStd(STD_OUTPUT_HANDLE, std::wstring(text) + L"\n");
}

inline void printError(std::wstring_view text) {
    writeStd(STD_ERROR_HANDLE, std::wstring(text) + L"\n");
}

// The command line split the Windows way, without the program name.
inline std::vector<std::wstring> commandLineArguments() {
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> arguments;
    for (int i = 1; argv && i < count; ++i)
        arguments.emplace_back(argv[i]);
    LocalFree(argv);
    return arguments;
}

// A whole non-negative number, decimal or 0x-prefixed hexadecimal.
inline std::optional<unsigned long> parseNumber(const std::wstring& text) {
    if (text.empty() || text[0] == L'-' || text[0] == L'+' || iswspace(text[0]))
        return std::nullopt;
    const bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
    wchar_t* end = nullptr;
    errno = 0;
    const unsigned long value = wcstoul(text.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
    if (errno || !end || *end) return std::nullopt;
    return value;
}

// "0x" and eight upper-case hexadecimal digits.
inline std::wstring hexHandle(const void* handle) {
    wchar_t buffer[16];
    swprintf(buffer, ARRAYSIZE(buffer), L"0x%08lX",
             static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(handle)));
    return buffer;
}

// Replaces `path` with these bytes (text: as UTF-8).
inline bool writeFileBytes(const std::wstring& path, std::string_view bytes) {
    const win32::Handle file(CreateFileW(path.c_str(), GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                         CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}
inline bool writeUtf8File(const std::wstring& path, std::wstring_view text) {
    return writeFileBytes(path, toUtf8(text));
}

// The whole file's bytes, read while others may still write it; empty when it cannot be read.
inline std::string readFileBytes(const std::wstring& path) {
    const win32::Handle file(CreateFileW(path.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         0, nullptr));
    std::string content;
    char buffer[65536];
    DWORD read = 0;
    while (file && ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
        content.append(buffer, read);
    return content;
}

inline bool fileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace kelmo::testtools
