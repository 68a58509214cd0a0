// The performance counter: its reading, its ticks per second, and tick counts scaled to other
// units without overflow.
#pragma once

#include <windows.h>

#include <cstdint>

namespace kelmo::win32 {

inline std::int64_t performanceCounter() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

inline std::int64_t performanceFrequency() {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

// value * numerator / denominator without overflowing on large values.
inline std::int64_t scale(std::int64_t value, std::int64_t numerator, std::int64_t denominator) {
    return value / denominator * numerator + value % denominator * numerator / denominator;
}

} // namespace kelmo::win32
