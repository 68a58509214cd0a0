// The browser session and its idle wait.
#include "component/core/browser.h"

#include "base/error.h"

namespace kelmo {

namespace {
constexpr std::int32_t SampleMs = 100;
constexpr int FirstSamples = 3;
constexpr std::int32_t NeverBusyMs = 200;
constexpr std::int64_t StuckAfterMs = 10000;
} // namespace

void BrowserSession::waitUntilIdle(platform::Browser* browser) {
    if (!browser) errors::raise(errors::ObjectNotSet, L"IEC");
    const std::int64_t started = clock_.monotonicMs();
    std::int32_t notBusy = 0;
    auto sample = [&] {
        notBusy = browser->busy() ? 0 : notBusy + SampleMs;
        clock_.sleep(SampleMs);
    };
    for (int k = 0; k < FirstSamples; ++k)
        sample();
    if (notBusy > NeverBusyMs) return;
    while (notBusy <= idleMs_) {
        sample();
        if (clock_.monotonicMs() - started > StuckAfterMs && pacer_.checkPauseKey()) return;
    }
}

} // namespace kelmo
