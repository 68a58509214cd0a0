// The processor usage figure over 1-second windows, from the platform's whole-system processor
// times (what the pace waits read), aligned on whole seconds of the wall clock so that another
// program sampling the operating system's own counters at the same seconds sees the same
// windows.
#include "common.h"

#include "platform/win32/implementations.h"

namespace kelmo::bench {

namespace {

constexpr std::int64_t SecondUs = 1'000'000;

// Sleeps until just past the next whole second; returns that second.
std::int64_t sleepToNextSecond() {
    const std::int64_t now = unixMicroseconds();
    const std::int64_t next = now / SecondUs + 1;
    Sleep(DWORD((next * SecondUs - now) / 1000 + 1));
    return next;
}

// Busy share in percent, as the pace waits compute it: kernel time includes idle time.
double usagePercent(const platform::System::ProcessorTimes& from,
                    const platform::System::ProcessorTimes& to) {
    const double total = double((to.kernel - from.kernel) + (to.user - from.user));
    const double idle = double(to.idle - from.idle);
    return total > 0 ? (total - idle) * 100.0 / total : 0.0;
}

} // namespace

// usage <windows>: one "WINDOW <unix second> <percent>" line per window, the window running
// from that second to the next.
int usageWindows(const Arguments& args) {
    const long windows = numberArgument(args, 1, 8);
    const auto system = win32::makeSystem();
    std::int64_t second = sleepToNextSecond();
    auto previous = system->processorTimes();
    for (long i = 0; i < windows && previous; ++i) {
        const std::int64_t next = sleepToNextSecond();
        const auto now = system->processorTimes();
        if (!now) break;
        emit(L"WINDOW " + std::to_wstring(second) + L" " + fixed(usagePercent(*previous, *now), 2));
        second = next;
        previous = now;
    }
    return previous ? 0 : 1;
}

} // namespace kelmo::bench
