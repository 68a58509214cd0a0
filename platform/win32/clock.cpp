// Time on Win32: sleeps that keep the thread's windows alive, message pumping, a
// monotonic clock and random numbers.
#include <windows.h>

#include <mmsystem.h>

#include <random>

#include "platform/win32/implementations.h"
#include "platform/win32/perfcounter.h"

namespace kelmo::win32 {

namespace {

// A 1 ms system timer resolution, held only while it lives.
class FineTimerResolution {
public:
    FineTimerResolution() { timeBeginPeriod(1); }
    FineTimerResolution(const FineTimerResolution&) = delete;
    FineTimerResolution& operator=(const FineTimerResolution&) = delete;
    ~FineTimerResolution() { timeEndPeriod(1); }
};

// Processes the pending messages; true when WM_QUIT arrived (it is posted again for the
// thread's own message loop, and nothing after it is processed).
bool pumpPendingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return true;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return false;
}

class Win32Clock final : public platform::Clock {
public:
    Win32Clock() { seedRandomFromClock(); }

    // Waits for the remaining time in whole milliseconds, rounded up, at a timer resolution of
    // 1 ms, waking for every message that arrives to process it, until the deadline has passed.
    // One system call per wait: a step of the pacing waits costs little more than its wake-up.
    void sleep(std::int32_t milliseconds) override {
        if (milliseconds <= 0) {
            pumpPendingMessages();
            return;
        }
        const FineTimerResolution fineResolution;
        // Messages already queued wake the first wait at once (MWMO_INPUTAVAILABLE).
        bool quitSeen = false;
        const std::int64_t deadline = performanceCounter() + scale(milliseconds, frequency_, 1000);
        for (;;) {
            const std::int64_t remaining = deadline - performanceCounter();
            if (remaining <= 0) return;
            const auto waitMs =
                static_cast<DWORD>((scale(remaining, 1'000'000, frequency_) + 999) / 1000);
            if (quitSeen) { // WM_QUIT stays queued for the thread's own loop: sleep through
                Sleep(waitMs);
                continue;
            }
            switch (
                MsgWaitForMultipleObjectsEx(0, nullptr, waitMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE)) {
            case WAIT_OBJECT_0:
                quitSeen = pumpPendingMessages();
                break;
            case WAIT_FAILED:
                Sleep(waitMs);
                return;
            default:
                break;
            }
        }
    }

    void pumpMessages() override { pumpPendingMessages(); }

    std::int64_t monotonicMs() override { return scale(performanceCounter(), 1000, frequency_); }

    void seedRandomFromClock() override {
        auto now = static_cast<std::uint64_t>(performanceCounter());
        random_.seed(static_cast<std::uint32_t>(now ^ (now >> 32)));
    }

    // 24 random bits as a fraction: exactly representable, never 1.
    float nextRandom() override {
        return static_cast<float>(random_() >> 8) * (1.0f / 16777216.0f);
    }

private:
    std::int64_t frequency_ = performanceFrequency();
    std::mt19937 random_;
};

} // namespace

std::unique_ptr<platform::Clock> makeClock() {
    return std::make_unique<Win32Clock>();
}

} // namespace kelmo::win32
