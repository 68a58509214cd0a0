// The application table: registration, selection, look-ups and activation.
#include "component/core/apptable.h"

#include "base/checked.h"

#include <string>

namespace kelmo {

namespace {
template <typename T> T& entry(std::vector<T>& list, std::int16_t index, const wchar_t* name) {
    if (index < 0 || static_cast<std::size_t>(index) >= list.size())
        errors::raise(errors::SubscriptOutOfRange,
                      std::wstring(name) + L"(" + std::to_wstring(index) + L")");
    return list[static_cast<std::size_t>(index)];
}
} // namespace

AppTable::AppTable(platform::Windows& windows, platform::Clock& clock)
    : desktop_(windows), clock_(clock), windows_{desktop_.foreground()}, processIds_{0} {}

std::int16_t AppTable::registerApplication(Previous previous) {
    count_ = checkedAdd<std::int16_t>(count_, 1);
    if (previous == Previous::Update) previous_ = current_;
    current_ = count_;
    windows_.resize(static_cast<std::size_t>(count_) + 1, 0);
    processIds_.resize(static_cast<std::size_t>(count_) + 1, 0);
    clock_.pumpMessages();
    return count_;
}

void AppTable::select(std::int16_t index, Previous previous) {
    if (index > count_) index = count_;
    if (index != current_ && previous == Previous::Update) previous_ = current_;
    current_ = index;
}

platform::WindowHandle& AppTable::window(std::int16_t index) {
    return entry(windows_, index, L"AppWnds");
}

platform::ProcessId& AppTable::processId(std::int16_t index) {
    return entry(processIds_, index, L"AppPids");
}

void AppTable::bringToFront(platform::WindowHandle window) {
    if (window == 0) return;
    desktop_.setForeground(desktop_.lastActivePopup(window));
}

void AppTable::adoptForeground() {
    currentWindow() = desktop_.foreground();
}

} // namespace kelmo
