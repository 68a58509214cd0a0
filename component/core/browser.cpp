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

void BrowserSession::waitUntilIdle(
    const std::function<std::shared_ptr<platform::Browser>()>& current) {
    const std::int64_t started = clock_.monotonicMs();
    std::int32_t notBusy = 0;
    auto sample = [&] {
        const std::shared_ptr<platform::Browser> browser = current();
        if (!browser) errors::raise(errors::ObjectNotSet, L"IEC");
        notBusy = browser->busy() ? 0 : notBusy + SampleMs;
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

} // namespace kelmo
