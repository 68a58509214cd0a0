// The key recorder (tests/tools KeyRec.exe) as the figures see it: its window from
// <log>.hwnd, the characters its log has received so far, read as the log grows, and what it
// received in the end.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace kelmo::bench {

// The recorder's window once it is in front; throws KelmoError when it does not get there.
HWND waitForRecorderInFront(const std::wstring& log);

// The WM_CHAR characters of a recorder log, read incrementally.
class CharacterLog {
public:
    explicit CharacterLog(std::wstring path);
    CharacterLog(const CharacterLog&) = delete;
    CharacterLog& operator=(const CharacterLog&) = delete;
    ~CharacterLog();

    // Reads what was appended since the last call; the number of characters so far.
    std::size_t poll();
    const std::wstring& characters() const { return characters_; }

private:
    void takeLine(const std::string& line);

    std::wstring path_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    std::string partialLine_;
    std::wstring characters_;
};

// Every character a recorder log holds.
std::wstring loggedCharacters(const std::wstring& log);

// How the received characters differ from the expected ones.
struct Comparison {
    bool exact = false;
    std::size_t lost = 0;  // expected characters missing from what arrived
    std::size_t extra = 0; // characters that arrived beyond the expected ones (doubled, foreign)
    std::size_t firstDifference = 0;
};
Comparison compareCharacters(const std::wstring& expected, const std::wstring& received);

// Waits until `log` has `expected` characters, or until none came for `stallMs`; the Unix time
// in microseconds at which the last character was seen.
std::int64_t watchUntilReceived(CharacterLog& log, std::size_t expected, std::int64_t stallMs);

} // namespace kelmo::bench
