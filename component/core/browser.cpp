// The browser session: IE's page wait and Send's idle wait.
#include "component/core/browser.h"

namespace kelmo {

namespace {
constexpr std::int32_t SampleMs = 100;
constexpr int FirstSamples = 3;
constexpr std::int32_t NeverBusyMs = 200;
constexpr std::int64_t StuckAfterMs = 10000;
} // namespace

void BrowserSession::waitUntilIdle(const CurrentBrowser& current) {
    const std::int64_t started = clock_.monotonicMs();
    std::int32_t notBusy = 0;
    auto sample = [&] {
        notBusy = current()->busy() ? 0 : notBusy + SampleMs;
        clock_.sleep(SampleMs);
    };
    for (int k = 0; k < FirstSamples && open_; ++k)
        sample();
    if (notBusy > NeverBusyMs) return;
    while (open_ && notBusy <= idleMs_) {
        sample();
        if (clock_.monotonicMs() - started > StuckAfterMs && pacer_.checkPauseKey()) return;
    }
}

void BrowserSession::waitForPage(const CurrentBrowser& current) {
    std::int32_t quiet = 0;
    do {
        pacer_.guardBreak();
        quiet = current()->busy() ? 0 : quiet + SampleMs;
        clock_.sleep(SampleMs);
    } while (quiet <= idleMs_);
}

} // namespace kelmo
