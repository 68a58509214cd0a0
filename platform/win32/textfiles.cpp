// Text files read line by line in the ANSI code page, in blocks, so that a large file is read
// only as far as its lines are wanted. Lines are cut on the bytes (CR and LF are never part of
// a double-byte character in the ANSI code pages) and converted one by one.
#include <windows.h>

#include "base/text.h"
#include "platform/win32/com.h"
#include "platform/win32/implementations.h"

namespace kelmo::win32 {

namespace {

constexpr DWORD BlockBytes = 64 * 1024;

std::wstring fromAnsi(const std::string& bytes) {
    if (bytes.empty()) return {};
    const int size = static_cast<int>(bytes.size());
    const int chars = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(chars), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, text.data(), chars);
    return text;
}

class AnsiReader final : public platform::TextReader {
public:
    explicit AnsiReader(Handle file) : file_(std::move(file)) {}

    std::optional<std::wstring> readLine() override {
        for (;;) {
            if (std::optional<std::string> line = text::cutLine(pending_, atEnd_))
                return fromAnsi(*line);
            if (atEnd_) return std::nullopt;
            readBlock();
        }
    }

private:
    void readBlock() {
        const std::size_t kept = pending_.size();
        pending_.resize(kept + BlockBytes);
        DWORD read = 0;
        if (!ReadFile(file_.get(), pending_.data() + kept, BlockBytes, &read, nullptr)) {
            pending_.resize(kept);
            throwLastError(L"ReadFile");
        }
        pending_.resize(kept + read);
        atEnd_ = read == 0;
    }

    Handle file_;
    std::string pending_; // read, not yet handed out
    bool atEnd_ = false;
};

class Win32TextFiles final : public platform::TextFiles {
public:
    std::unique_ptr<platform::TextReader> openAnsi(const std::wstring& path) override {
        Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!file) throwLastError(L"CreateFile");
        return std::make_unique<AnsiReader>(std::move(file));
    }
};

} // namespace

std::unique_ptr<platform::TextFiles> makeTextFiles() {
    return std::make_unique<Win32TextFiles>();
}

} // namespace kelmo::win32
