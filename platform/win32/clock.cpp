// Time on Win32: precise sleeps that keep the thread's windows alive, message pumping, a
// monotonic clock and random numbers.
#include <windows.h>

#include <mmsystem.h>

#include <optional>
#include <random>

#include "platform/win32/owned.h"
#include "platform/win32/implementations.h"
#include "platform/win32/perfcounter.h"

namespace kelmo::win32 {

namespace {

// CreateWaitableTimerExW flag (Windows 10 1803 and later) for a timer not bound to the 15.6 ms
// system tick.
constexpr DWORD HighResolutionTimerFlag = 0x00000002;

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

// The timer the sleeps wait on: a high-resolution one where the system has them.
struct SleepTimer {
    Handle handle;
    bool highResolution;
};

SleepTimer createSleepTimer() {
    if (HANDLE precise =
            CreateWaitableTimerExW(nullptr, nullptr, HighResolutionTimerFlag, TIMER_ALL_ACCESS))
        return {Handle(precise), true};
    return {Handle(CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS)), false};
}

class Win32Clock final : public platform::Clock {
public:
    Win32Clock() { seedRandomFromClock(); }

    // Waits on a waitable timer set to the remaining time, waking for every message that
    // arrives to process it, until the deadline has passed.
    void sleep(std::int32_t milliseconds) override {
        if (milliseconds <= 0) {
            pumpPendingMessages();
            return;
        }
        // Messages already queued wake the first wait at once (MWMO_INPUTAVAILABLE).
        bool quitSeen = false;
        const std::int64_t deadline = performanceCounter() + scale(milliseconds, frequency_, 1000);
        std::optional<FineTimerResolution> fineResolution;
        if (!timer_.highResolution) fineResolution.emplace();
        for (;;) {
            std::int64_t remaining = deadline - performanceCounter();
            if (remaining <= 0) return;
            switch (waitAtMost(remaining, !quitSeen)) {
            case WAIT_OBJECT_0 + 1:
                quitSeen = pumpPendingMessages();
                break;
            case WAIT_FAILED:
                Sleep(static_cast<DWORD>(scale(remaining, 1000, frequency_)));
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
    // One wait: WAIT_OBJECT_0 when the time is up, WAIT_OBJECT_0 + 1 when a message arrived.
    DWORD waitAtMost(std::int64_t counterTicks, bool wakeForMessages) {
        LARGE_INTEGER due{};
        due.QuadPart = -scale(counterTicks, 10'000'000, frequency_); // relative, 100 ns units
        HANDLE timer = timer_.handle.get();
        if (!SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) return WAIT_FAILED;
        if (!wakeForMessages) return WaitForSingleObject(timer, INFINITE);
        return MsgWaitForMultipleObjectsEx(1, &timer, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }

    SleepTimer timer_ = createSleepTimer();
    std::int64_t frequency_ = performanceFrequency();
    std::mt19937 random_;
};

} // namespace

std::unique_ptr<platform::Clock> makeClock() {
    return std::make_unique<Win32Clock>();
}

} // namespace kelmo::win32
