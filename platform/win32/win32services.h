// Win32Services: the real Win32 and COM implementation of every platform service, as the one
// bundle the component works with.
#pragma once

#include <memory>

#include "platform/services.h"
#include "platform/win32/owned.h"

namespace kelmo::win32 {

// Owns one implementation of each service for as long as it lives. Create and use it on the
// thread of the component (an initialised COM apartment).
class Win32Services {
public:
    Win32Services();
    ~Win32Services();
    Win32Services(const Win32Services&) = delete;
    Win32Services& operator=(const Win32Services&) = delete;

    platform::Services& services() { return services_; }

private:
    std::unique_ptr<platform::Windows> windows_;
    std::unique_ptr<platform::Keyboard> keyboard_;
    std::unique_ptr<platform::KeyInjector> keys_;
    std::unique_ptr<platform::Processes> processes_;
    std::unique_ptr<platform::Clock> clock_;
    std::unique_ptr<platform::System> system_;
    std::unique_ptr<platform::Sound> sound_;
    std::unique_ptr<platform::Dialogs> dialogs_;
    std::unique_ptr<platform::Clipboard> clipboard_;
    std::unique_ptr<platform::ObjectFactory> objects_;
    std::unique_ptr<platform::Collation> collation_;
    std::unique_ptr<platform::TextFiles> textFiles_;
    std::shared_ptr<platform::Viewer> viewer_; // one for the thread
    std::unique_ptr<platform::DesktopLock> desktopLock_;
    std::unique_ptr<platform::Conversions> conversions_;
    std::unique_ptr<platform::FolderTree> folderTree_;
    platform::Services services_;
};

} // namespace kelmo::win32
