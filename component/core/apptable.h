// AppTable: the numbered table of the application windows a script works with. Entry 0 is the
// window in front when the table is made; every registration adds one entry, which becomes
// current. Entries are never removed, so an index handed to a script stays valid. Indices are
// 16-bit: the 32768th registration fails with the overflow error.
#pragma once

#include "platform/services.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace kelmo {

class AppTable {
public:
    // What a registration or selection does with the previously current index.
    enum class Previous { Update, Keep };

    AppTable(platform::Windows& windows, platform::Clock& clock);

    std::int16_t count() const { return count_; } // the highest valid index (AppNum)
    std::int16_t current() const { return current_; }
    std::int16_t previous() const { return previous_; }
    const std::vector<platform::WindowHandle>& windows() const { return windows_; }
    const std::vector<platform::ProcessId>& processIds() const { return processIds_; }

    // A new entry at count() + 1, window and process 0, made current; pumps messages.
    std::int16_t registerApplication(Previous previous = Previous::Update);
    // Makes `index` current, at most count(); the previous index changes only when the current
    // one does and `previous` says so. No lower bound: a later look-up of a negative current
    // index fails instead.
    void select(std::int16_t index, Previous previous = Previous::Update);
    // The previous entry becomes current again, and the current one previous.
    void returnToPrevious() { std::swap(current_, previous_); }

    // The entries, with the subscript error for an index outside 0..count().
    platform::WindowHandle& window(std::int16_t index);
    platform::ProcessId& processId(std::int16_t index);
    platform::WindowHandle& currentWindow() { return window(current_); }

    // Activates the window's last active pop-up (nothing for handle 0); results ignored.
    void bringToFront(platform::WindowHandle window);
    void bringCurrentToFront() { bringToFront(currentWindow()); }
    // The window in front becomes the current entry's window.
    void adoptForeground();

private:
    platform::Windows& desktop_;
    platform::Clock& clock_;
    std::int16_t count_ = 0;
    std::int16_t current_ = 0;
    std::int16_t previous_ = 0;
    std::vector<platform::WindowHandle> windows_;
    std::vector<platform::ProcessId> processIds_;
};

} // namespace kelmo
