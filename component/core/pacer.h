// Pacer: waits by processor idleness and the Pause-key guard. Every wait sleeps in steps of
// Atom ms, pumping messages between them, until the usage has stayed below Speed for the time
// asked; the guard opens the pause box when the Pause key was pressed since the last check.
// The pause box's Abort ends the run after the cleanups registered with AbortCleanup have run.
#pragma once

#include "component/core/apptable.h"
#include "component/core/tuning.h"
#include "platform/services.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kelmo {

class Pacer {
public:
    // Why the pause box opens; it names the reason in its first line.
    enum class PauseReason { BreakCalled, PauseKey };

    // Runs `cleanup` if the user aborts the run while the object exists, e.g. to give back a
    // clipboard or release held keys. Cleanups run newest first; their failures are ignored.
    class AbortCleanup {
    public:
        AbortCleanup(Pacer& pacer, std::function<void()> cleanup);
        ~AbortCleanup();
        AbortCleanup(const AbortCleanup&) = delete;
        AbortCleanup& operator=(const AbortCleanup&) = delete;

    private:
        Pacer& pacer_;
        std::function<void()> cleanup_;
    };

    // Forgets a Pause press from before the pacer existed.
    Pacer(platform::Services& services, Tuning& tuning, AppTable& apps);
    Pacer(const Pacer&) = delete;
    Pacer& operator=(const Pacer&) = delete;

    // Usage in percent since the previous sample; -1 when the system gives no statistic.
    std::int32_t readCpuUsage();
    // Sleeps in Atom steps until the idle time adds up to `requiredMs`. A wait that goes on 10 s
    // beyond its time listens to the Pause key, so a machine that never gets idle cannot hold
    // the run for ever.
    void accumulateIdle(std::int32_t requiredMs);
    void paceWait();   // Mol1 ms of idleness, between actions
    void launchWait(); // SettleMs of idleness, Repeat rounds unless ODflag
    void guardBreak(); // pump, the Pause key, one paceWait
    // Opens the pause box if the Pause key was pressed since the last query.
    bool checkPauseKey();
    // The pause box: 2 for Retry, 3 for Ignore, 0 otherwise; Abort ends the run.
    std::int16_t pauseBox(PauseReason reason, const std::wstring& text);
    static std::wstring pauseMessage(PauseReason reason, const std::wstring& text);
    // Ends the run as the pause box's Abort does: the registered cleanups, then the platform.
    [[noreturn]] void abortRun();

    void odOn();  // ODflag on, SettleMs from Mol1
    void odOff(); // ODflag off, SettleMs from Mol2
    std::int32_t settleMs() const { return settleMs_; }
    // Settles in ODOff mode until Sec seconds (RestMax for 0) have passed or, unless fWait,
    // another window came to the front.
    void rest(std::int32_t sec, bool fWait);
    // The older rest: tenths of a second with a Pause check, then one second.
    void restOld(std::int32_t sec, bool fWait);

private:
    void sleepOneStep(std::int64_t& deadline, std::int32_t step);

    platform::Services& sv_;
    Tuning& tuning_;
    AppTable& apps_;
    std::int32_t settleMs_;
    bool pausing_ = false; // inside the pause box
    std::optional<platform::System::ProcessorTimes> cpuBaseline_;
    std::int32_t lastCpuUsage_ = 0;
    std::vector<const std::function<void()>*> abortCleanups_;
};

} // namespace kelmo
