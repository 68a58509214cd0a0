// The pacer: usage samples, idle accumulation, PaceWait, LaunchWait, the guard, the pause box,
// the OD modes and the rests.
#include "component/core/pacer.h"

#include "base/checked.h"
#include "base/text.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace kelmo {

namespace {
constexpr int VkPause = 19;
constexpr std::uint32_t PauseBoxFlags = 0x10232; // Abort/Retry/Ignore, !, 3rd default, front
constexpr std::int32_t AnswerAbort = 3, AnswerRetry = 4, AnswerIgnore = 5;
constexpr std::int32_t RestFinalIdleMs = 1000;
constexpr std::int32_t RestOldStepMs = 100, RestOldFinalMs = 1000;
constexpr std::int64_t StuckAfterMs = 10000;
constexpr std::int64_t UsageIntervalMs = 25; // two ticks of the processor time counters
const std::wstring CrLf = L"\r\n";

std::wstring ideographicSpaces(int count) {
    return std::wstring(count, L'\u3000');
}
} // namespace

Pacer::AbortCleanup::AbortCleanup(Pacer& pacer, std::function<void()> cleanup)
    : pacer_(pacer), cleanup_(std::move(cleanup)) {
    pacer_.abortCleanups_.push_back(&cleanup_);
}

Pacer::AbortCleanup::~AbortCleanup() {
    auto& cleanups = pacer_.abortCleanups_;
    cleanups.erase(std::find(cleanups.begin(), cleanups.end(), &cleanup_));
}

Pacer::Pacer(platform::Services& services, Tuning& tuning, AppTable& apps)
    : sv_(services), tuning_(tuning), apps_(apps), settleMs_(defaults::SettleMs) {
    sv_.keyboard.asyncKeyState(VkPause);
}

// The processor time counters move in timer ticks (10-16 ms): usage is measured over intervals
// of at least UsageIntervalMs, however short Atom is, so that one busy tick does not read as
// 100 %. Samples taken before the current interval is over repeat the last figure.
std::int32_t Pacer::readCpuUsage() {
    sv_.system.queryDynDataCpuUsage(L"PerfStats\\StartStat");
    if (const auto published = sv_.system.queryDynDataCpuUsage(L"PerfStats\\StatData"))
        return static_cast<std::int32_t>(*published & 0xFF);

    const std::int64_t at = sv_.clock.monotonicMs();
    if (cpuInterval_ && at - cpuInterval_->atMs < UsageIntervalMs) return lastCpuUsage_;
    const auto now = sv_.system.processorTimes();
    if (!now) return -1;
    const auto started = std::exchange(cpuInterval_, CpuReading{at, *now});
    if (!started) return lastCpuUsage_;
    const platform::System::ProcessorTimes& base = started->times;
    const std::uint64_t total = (now->kernel - base.kernel) + (now->user - base.user);
    const std::uint64_t idle = now->idle - base.idle;
    if (total == 0) return lastCpuUsage_; // the counters have not moved since
    const std::uint64_t busy = total > idle ? total - idle : 0;
    lastCpuUsage_ = static_cast<std::int32_t>((busy * 100 + total / 2) / total);
    return lastCpuUsage_;
}

void Pacer::restartUsage() {
    cpuInterval_.reset();
    if (const auto now = sv_.system.processorTimes())
        cpuInterval_ = CpuReading{sv_.clock.monotonicMs(), *now};
}

void Pacer::accumulateIdle(std::int32_t requiredMs) {
    // An Atom of 0 or below would never accumulate anything, and a negative one would be a
    // huge sleep: such values step by 1 ms.
    const std::int32_t step = std::max<std::int32_t>(tuning_.Atom, 1);
    const std::int64_t started = sv_.clock.monotonicMs();
    std::int64_t deadline = started;
    std::int32_t accumulated = 0;
    restartUsage(); // the first sample covers the first sleep
    // The steps pump no messages of their own: the clock's sleep handles each one as it
    // arrives, and a pump of its own was a third of a step's processor time.
    do {
        sleepOneStep(deadline, step);
        if (readCpuUsage() < tuning_.Speed)
            accumulated = checkedAdd(accumulated, step);
        else
            accumulated = 0;
        if (accumulated >= requiredMs) break;
        if (sv_.clock.monotonicMs() - started >
            std::int64_t{std::max(requiredMs, 0)} + StuckAfterMs) {
            // The pause box's own waits give up instead, so that the box opens and closes on
            // a machine that stays busy.
            if (pausing_) break;
            if (checkPauseKey()) break; // the user stepped in; the wait is over
        }
    } while (true);
}

// Steps end on fixed deadlines (start + k * step), so that the lateness of single sleeps does
// not add up over a long wait: a step that begins late sleeps only what is left of it, or not
// at all (a sleep of 1 ms lasts a timer tick). A wait that fell behind by more than the usage
// interval starts afresh instead of catching up with samples in a row.
void Pacer::sleepOneStep(std::int64_t& deadline, std::int32_t step) {
    const std::int64_t now = sv_.clock.monotonicMs();
    deadline += step;
    if (deadline + UsageIntervalMs < now) deadline = now + step;
    sv_.clock.sleep(static_cast<std::int32_t>(std::max<std::int64_t>(deadline - now, 0)));
}

void Pacer::paceWait() {
    sv_.clock.pumpMessages();
    accumulateIdle(tuning_.Mol1);
    sv_.clock.pumpMessages();
}

void Pacer::launchWait() {
    sv_.clock.pumpMessages();
    const std::int32_t rounds = tuning_.Repeat;
    for (std::int32_t round = 1; round <= rounds; ++round) {
        accumulateIdle(settleMs_);
        if (tuning_.ODflag) break;
        checkPauseKey();
    }
    sv_.clock.pumpMessages();
}

bool Pacer::pausePressed() {
    return sv_.keyboard.asyncKeyState(VkPause) > 0;
}

bool Pacer::pausePressedOrReleased() {
    const std::int16_t state = sv_.keyboard.asyncKeyState(VkPause);
    if (state < 0) {
        if (state & 1) pauseHeldSeen_ = true;
        return false;
    }
    const bool heldBefore = std::exchange(pauseHeldSeen_, false);
    return state > 0 || heldBefore;
}

bool Pacer::checkPauseKey() {
    if (!pausePressed()) return false;
    pauseBox(PauseReason::PauseKey, L"");
    return true;
}

void Pacer::guardBreak() {
    sv_.clock.pumpMessages();
    checkPauseKey();
    paceWait();
}

std::wstring Pacer::pauseMessage(PauseReason reason, const std::wstring& text) {
    const std::wstring sp = ideographicSpaces(1);
    const std::wstring why = reason == PauseReason::BreakCalled
                                 ? L"Breakメソッドによって"
                                 : L"Breakキー（Stopキー）が押されたため";
    return sp + why + CrLf + L"Kelmoは一時中断されています。" + CrLf + CrLf +
           L"[中止]ボタンを押すと、実行を完全に中止します。" + CrLf + CrLf +
           L"実行を再開するには、、、" + CrLf + sp +
           L"現在のアプリで必要最小限の操作だけしてください。" + CrLf + sp +
           L"現在のアプリを最前面にした直後に" + CrLf + sp +
           L"（タスクバーの Kelmo_Break をクリックして）" + CrLf + ideographicSpaces(16) +
           L" [再試行]を押してください。" + CrLf + CrLf + text;
}

std::int16_t Pacer::pauseBox(PauseReason reason, const std::wstring& text) {
    return *showPauseBox(reason, text, OnAbort::EndRun);
}

std::optional<std::int16_t> Pacer::showPauseBox(PauseReason reason, const std::wstring& text,
                                                OnAbort onAbort) {
    struct Pausing {
        bool& flag;
        bool saved;
        ~Pausing() { flag = saved; }
    } pausing{pausing_, std::exchange(pausing_, true)};
    apps_.bringCurrentToFront();
    paceWait();
    const std::int32_t answer = sv_.dialogs.messageBox(
        text::cut(pauseMessage(reason, text), BoxTextChars), PauseBoxFlags, L"Kelmo_Break");
    if (answer == AnswerAbort) {
        if (onAbort == OnAbort::GiveUp) return std::nullopt;
        abortRun();
    }
    ++resumes_;
    paceWait();
    apps_.adoptForeground();
    const std::int16_t result = answer == AnswerRetry ? 2 : answer == AnswerIgnore ? 3 : 0;
    paceWait();
    return result;
}

bool Pacer::waitOutside(std::int64_t startedMs, std::int32_t stepMs, OnAbort onAbort,
                        const std::wstring& boxText) {
    sv_.clock.pumpMessages();
    sv_.clock.sleep(stepMs);
    if (sv_.clock.monotonicMs() - startedMs <= StuckAfterMs) return true;
    if (!pausePressedOrReleased()) return true;
    return showPauseBox(PauseReason::PauseKey, boxText, onAbort).has_value();
}

// What is under way gives back what it holds; the run ends in any case.
[[noreturn]] void Pacer::abortRun() {
    for (auto cleanup = abortCleanups_.rbegin(); cleanup != abortCleanups_.rend(); ++cleanup) {
        try {
            (**cleanup)();
        } catch (...) {
        }
    }
    sv_.processes.endRun();
    std::terminate(); // endRun does not return
}

void Pacer::odOn() {
    tuning_.ODflag = true;
    settleMs_ = tuning_.Mol1;
}

void Pacer::odOff() {
    tuning_.ODflag = false;
    settleMs_ = tuning_.Mol2;
}

void Pacer::rest(std::int32_t sec, bool fWait) {
    if (sec == 0) sec = tuning_.RestMax;
    // Elapsed time is measured on a monotonic clock, so a rest across midnight ends on time.
    const std::int64_t t0 = sv_.clock.monotonicMs();
    sv_.clock.pumpMessages();
    checkPauseKey();
    sv_.clock.pumpMessages();
    apps_.adoptForeground();
    const bool wasOn = tuning_.ODflag;
    odOff();
    while (true) {
        launchWait();
        if (sv_.windows.foreground() != apps_.currentWindow() && !fWait) break;
        const std::int64_t elapsed = sv_.clock.monotonicMs() - t0;
        if ((std::int64_t{sec} - 1) * 1000 < elapsed) break;
    }
    if (wasOn) odOn();
    accumulateIdle(RestFinalIdleMs);
    sv_.clock.pumpMessages();
    apps_.adoptForeground();
}

void Pacer::restOld(std::int32_t sec, bool fWait) {
    if (sec == 0) sec = tuning_.RestMax;
    const std::int32_t tenths = checkedMul(checkedSub(sec, 1), 10);
    for (std::int32_t i = 0; i <= tenths; ++i) {
        sv_.clock.pumpMessages();
        checkPauseKey();
        sv_.clock.sleep(RestOldStepMs);
        if (sv_.windows.foreground() != apps_.currentWindow() && !fWait) break;
    }
    sv_.clock.sleep(RestOldFinalMs);
    apps_.adoptForeground();
}

} // namespace kelmo
