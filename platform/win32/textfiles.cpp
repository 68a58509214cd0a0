// Text files read in blocks of bytes, and ANSI code page bytes made text. Cutting the bytes
// into lines is the component's.
#include <windows.h>

#include <algorithm>
#include <utility>

#include "platform/win32/codepages.h"
#include "platform/win32/failures.h"
#include "platform/win32/owned.h"
#include "platform/win32/implementations.h"

namespace kelmo::win32 {

namespace {

constexpr std::size_t LargestReadBytes = 1 << 30; // what one ReadFile is asked for at most

class FileReader final : public platform::TextReader {
public:
    explicit FileReader(Handle file) : file_(std::move(file)) {}

    std::string read(std::size_t maxBytes) override {
        std::string bytes(std::min(maxBytes, LargestReadBytes), '\0');
        DWORD read = 0;
        if (!ReadFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
            throwLastError(L"ReadFile");
        bytes.resize(read);
        return bytes;
    }

private:
    Handle file_;
};

class Win32TextFiles final : public platform::TextFiles {
public:
    std::unique_ptr<platform::TextReader> open(const std::wstring& path) override {
        Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!file) throwLastError(L"CreateFile");
        return std::make_unique<FileReader>(std::move(file));
    }

    std::wstring fromAnsi(const std::string& bytes) override { return wideText(bytes, CP_ACP); }
};

} // namespace

std::unique_ptr<platform::TextFiles> makeTextFiles() {
    return std::make_unique<Win32TextFiles>();
}

} // namespace kelmo::win32
