// BrowserSession: whether the browser that IE opened is alive (its OnQuit event ends the
// session), IE's wait for the page it opened, and the wait until the browser is no longer busy
// that Send makes while the session lasts.
#pragma once

#include "component/core/pacer.h"
#include "component/core/tuning.h"
#include "platform/services.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace kelmo {

class BrowserSession {
public:
    BrowserSession(platform::Clock& clock, Pacer& pacer) : clock_(clock), pacer_(pacer) {}

    bool isOpen() const { return open_; }
    void opened() { open_ = true; }
    void quit() { open_ = false; }

    // Until the browser has not been busy for IEIdleMs (three samples suffice when it was never
    // busy). A browser that stays busy for long listens to the Pause key, so the user can end
    // the wait. The browser is asked for anew at every sample (the script or the browser's
    // quit may change it meanwhile); the wait ends when the session has ended. `current` raises
    // the object-not-set error when there is no browser.
    using CurrentBrowser = std::function<std::shared_ptr<platform::Browser>()>;
    void waitUntilIdle(const CurrentBrowser& current);

    // IE's page wait: a sample every 100 ms, each after GuardBreak, until the browser has not
    // been busy for more than IEIdleMs. Asks for the browser anew at every sample.
    void waitForPage(const CurrentBrowser& current);

private:
    platform::Clock& clock_;
    Pacer& pacer_;
    bool open_ = false;
    std::int16_t idleMs_ = defaults::IEIdleMs;
};

} // namespace kelmo
