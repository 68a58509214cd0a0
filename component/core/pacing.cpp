// Pacing by processor idleness, the Pause-key guard, the pause box, Break, Rest and the OD
// modes: ReadCpuUsage, PaceWait, LaunchWait, GuardBreak, PauseBox, Break, Rest, RestOld,
// ODOn, ODOff.
#include "component/core/object.h"

#include "base/checked.h"

#include <algorithm>
#include <utility>

namespace kelmo {

namespace {
constexpr int VkPause = 19;
constexpr std::uint32_t PauseBoxFlags = 0x10232; // Abort/Retry/Ignore, !, 3rd default, front
constexpr std::int32_t AnswerAbort = 3, AnswerRetry = 4, AnswerIgnore = 5;
constexpr std::int32_t RestFinalIdleMs = 1000;
// An idle accumulation that has gone on this much longer than it needs on an idle machine
// starts listening to the Pause key, so that a machine that never gets idle cannot hold a
// run for ever.
constexpr std::int64_t StuckAfterMs = 10000;

std::wstring ideographicSpaces(int count) {
    return std::wstring(count, L'\u3000');
}
} // namespace

// Usage in percent from the system's counters, over the time since the previous sample.
std::int32_t CKelmo::ReadCpuUsage() {
    sv_.system.queryDynDataCpuUsage(L"PerfStats\\StartStat");
    if (const auto published = sv_.system.queryDynDataCpuUsage(L"PerfStats\\StatData"))
        return static_cast<std::int32_t>(*published & 0xFF);

    const auto now = sv_.system.processorTimes();
    if (!now) return -1;
    if (!cpuBaseline_) {
        cpuBaseline_ = now;
        return lastCpuUsage_;
    }
    const std::uint64_t total =
        (now->kernel - cpuBaseline_->kernel) + (now->user - cpuBaseline_->user);
    const std::uint64_t idle = now->idle - cpuBaseline_->idle;
    if (total == 0) return lastCpuUsage_; // the counters have not moved since the last sample
    const std::uint64_t busy = total > idle ? total - idle : 0;
    lastCpuUsage_ = static_cast<std::int32_t>((busy * 100 + total / 2) / total);
    cpuBaseline_ = now;
    return lastCpuUsage_;
}

void CKelmo::accumulateIdle(std::int32_t required) {
    // An Atom of 0 or below would never accumulate anything, and a negative one would be a
    // huge sleep: such values step by 1 ms.
    const std::int32_t step = std::max<std::int32_t>(Atom, 1);
    const std::int64_t started = sv_.clock.monotonicMs();
    std::int64_t deadline = started;
    std::int32_t accumulated = 0;
    cpuBaseline_ = sv_.system.processorTimes(); // the first sample covers the first sleep
    do {
        sv_.clock.pumpMessages();
        sleepOneStep(deadline, step);
        if (ReadCpuUsage() < Speed)
            accumulated = checkedAdd(accumulated, step);
        else
            accumulated = 0;
        if (accumulated >= required) break;
        if (sv_.clock.monotonicMs() - started >
            std::int64_t{std::max(required, 0)} + StuckAfterMs) {
            // The pause box's own waits give up instead, so that the box opens and closes on
            // a machine that stays busy.
            if (pausing_) break;
            if (checkPauseKey()) break; // the user stepped in; the wait is over
        }
    } while (true);
}

// Steps end on fixed deadlines (start + k * step), so that the lateness of single sleeps does
// not add up over a long wait; a wait that fell behind by more than a step starts afresh.
void CKelmo::sleepOneStep(std::int64_t& deadline, std::int32_t step) {
    const std::int64_t now = sv_.clock.monotonicMs();
    deadline += step;
    if (deadline < now) deadline = now + step;
    sv_.clock.sleep(static_cast<std::int32_t>(deadline - now));
}

void CKelmo::PaceWait() {
    sv_.clock.pumpMessages();
    accumulateIdle(Mol1);
    sv_.clock.pumpMessages();
}

void CKelmo::LaunchWait() {
    sv_.clock.pumpMessages();
    const std::int32_t rounds = Repeat;
    for (std::int32_t round = 1; round <= rounds; ++round) {
        accumulateIdle(SettleMs);
        if (ODflag) break;
        checkPauseKey();
    }
    sv_.clock.pumpMessages();
}

bool CKelmo::checkPauseKey() {
    if (sv_.keyboard.asyncKeyState(VkPause) <= 0) return false;
    BreakWhy = 1;
    PauseBox(L"");
    return true;
}

void CKelmo::GuardBreak() {
    sv_.clock.pumpMessages();
    checkPauseKey();
    PaceWait();
}

std::wstring CKelmo::pauseMessage(const std::wstring& strText) const {
    const std::wstring sp = ideographicSpaces(1);
    return sp + BreakWhyText[static_cast<std::size_t>(BreakWhy)] + CrLf +
           L"Kelmoは一時中断されています。" + CrLf + CrLf +
           L"[中止]ボタンを押すと、実行を完全に中止します。" + CrLf + CrLf +
           L"実行を再開するには、、、" + CrLf + sp +
           L"現在のアプリで必要最小限の操作だけしてください。" + CrLf + sp +
           L"現在のアプリを最前面にした直後に" + CrLf + sp +
           L"（タスクバーの Kelmo_Break をクリックして）" + CrLf + ideographicSpaces(16) +
           L" [再試行]を押してください。" + CrLf + CrLf + strText;
}

std::int16_t CKelmo::PauseBox(const std::wstring& strText) {
    struct Pausing {
        bool& flag;
        bool saved;
        ~Pausing() { flag = saved; }
    } pausing{pausing_, std::exchange(pausing_, true)};
    BringToFront(currentAppWindow());
    PaceWait();
    const std::int32_t answer =
        sv_.dialogs.messageBox(pauseMessage(strText), PauseBoxFlags, L"Kelmo_Break");
    if (answer == AnswerAbort) {
        // A paste under way must not take the user's clipboard along; the run ends in any case.
        try {
            restorePendingClipboard();
        } catch (...) {
        }
        sv_.processes.endRun();
    }
    PaceWait();
    currentAppWindow() = sv_.windows.foreground();
    const std::int16_t result = answer == AnswerRetry ? 2 : answer == AnswerIgnore ? 3 : 0;
    PaceWait();
    return result;
}

std::int16_t CKelmo::Break(const std::wstring& strText) {
    BreakWhy = 0;
    return PauseBox(strText);
}

void CKelmo::ODOn() {
    ODflag = true;
    SettleMs = Mol1;
}

void CKelmo::ODOff() {
    ODflag = false;
    SettleMs = Mol2;
}

void CKelmo::Rest(std::int32_t Sec, bool fWait) {
    if (Sec == 0) Sec = RestMax;
    // Elapsed time is measured on a monotonic clock, so a rest across midnight ends on time.
    const std::int64_t t0 = sv_.clock.monotonicMs();
    sv_.clock.pumpMessages();
    checkPauseKey();
    sv_.clock.pumpMessages();
    currentAppWindow() = sv_.windows.foreground();
    const bool wasOn = ODflag;
    ODOff();
    while (true) {
        LaunchWait();
        if (sv_.windows.foreground() != currentAppWindow() && !fWait) break;
        const std::int64_t elapsed = sv_.clock.monotonicMs() - t0;
        if ((std::int64_t{Sec} - 1) * 1000 < elapsed) break;
    }
    if (wasOn) ODOn();
    accumulateIdle(RestFinalIdleMs);
    sv_.clock.pumpMessages();
    currentAppWindow() = sv_.windows.foreground();
}

void CKelmo::RestOld(std::int32_t Sec, bool fWait) {
    if (Sec == 0) Sec = RestMax;
    const std::int32_t k = checkedMul(checkedSub(Sec, 1), 10);
    for (std::int32_t i = 0; i <= k; ++i) {
        sv_.clock.pumpMessages();
        checkPauseKey();
        sv_.clock.sleep(100);
        if (sv_.windows.foreground() != currentAppWindow() && !fWait) break;
    }
    sv_.clock.sleep(1000);
    currentAppWindow() = sv_.windows.foreground();
}

} // namespace kelmo
