// Reading the key recorder's window handle and log: waiting for it in front, following the
// characters it logs, comparing them with what was typed.
#include "recorder_log.h"

#include "common.h"

#include "base/error.h"

#include <algorithm>
#include <array>
#include <vector>

namespace kelmo::bench {

namespace {

constexpr DWORD InFrontTimeoutMs = 10000;
constexpr DWORD PollMs = 5;
// A run with no character at all gives up after this long.
constexpr std::int64_t NothingArrivedMs = 20000;

HWND recorderWindow(const std::wstring& log) {
    const std::string text = readFileBytes(log + L".hwnd");
    if (text.empty()) return nullptr;
    return reinterpret_cast<HWND>(std::stoul(text, nullptr, 16));
}

} // namespace

HWND waitForRecorderInFront(const std::wstring& log) {
    const Stopwatch watch;
    for (;;) {
        const HWND window = recorderWindow(log);
        if (window && GetForegroundWindow() == window) return window;
        if (watch.elapsedMs() > InFrontTimeoutMs)
            throw KelmoError(errors::InvalidCall,
                             L"the key recorder of " + log + L" did not come to the front");
        Sleep(20);
    }
}

CharacterLog::CharacterLog(std::wstring path) : path_(std::move(path)) {}

CharacterLog::~CharacterLog() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
}

std::size_t CharacterLog::poll() {
    if (file_ == INVALID_HANDLE_VALUE) {
        file_ = CreateFileW(path_.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
        if (file_ == INVALID_HANDLE_VALUE) return 0;
    }
    std::array<char, 65536> buffer;
    DWORD read = 0;
    while (ReadFile(file_, buffer.data(), DWORD(buffer.size()), &read, nullptr) && read > 0) {
        partialLine_.append(buffer.data(), read);
        std::size_t start = 0;
        for (std::size_t end; (end = partialLine_.find('\n', start)) != std::string::npos;
             start = end + 1)
            takeLine(partialLine_.substr(start, end - start));
        partialLine_.erase(0, start);
    }
    return characters_.size();
}

// "WM_CHAR vk=-- scan=.. ext=. up=. rep=. ch=U+0041 ...": one character per line.
void CharacterLog::takeLine(const std::string& line) {
    if (line.rfind("WM_CHAR ", 0) != 0) return;
    const std::size_t at = line.find(" ch=U+");
    if (at == std::string::npos) return;
    characters_ += wchar_t(std::stoul(line.substr(at + 6, 4), nullptr, 16));
}

std::wstring loggedCharacters(const std::wstring& log) {
    CharacterLog reader(log);
    reader.poll();
    return reader.characters();
}

Comparison compareCharacters(const std::wstring& expected, const std::wstring& received) {
    Comparison result;
    result.exact = expected == received;
    const auto mismatch =
        std::mismatch(expected.begin(), expected.end(), received.begin(), received.end());
    result.firstDifference = std::size_t(mismatch.first - expected.begin());
    // Counted per character value: what is missing and what is too much.
    std::vector<long> balance(65536, 0);
    for (const wchar_t c : expected)
        ++balance[c];
    for (const wchar_t c : received)
        --balance[c];
    for (const long b : balance) {
        if (b > 0) result.lost += std::size_t(b);
        if (b < 0) result.extra += std::size_t(-b);
    }
    return result;
}

std::int64_t watchUntilReceived(CharacterLog& log, std::size_t expected, std::int64_t stallMs) {
    const std::int64_t started = unixMicroseconds();
    std::int64_t lastArrival = started;
    std::size_t seen = log.poll();
    while (seen < expected) {
        Sleep(PollMs);
        const std::size_t now = log.poll();
        const std::int64_t time = unixMicroseconds();
        if (now != seen) {
            seen = now;
            lastArrival = time;
            continue;
        }
        const std::int64_t quietMs = (time - lastArrival) / 1000;
        if (seen > 0 ? quietMs > stallMs : quietMs > NothingArrivedMs) break;
    }
    return lastArrival;
}

} // namespace kelmo::bench
