// Factories for the Win32 implementations of the platform services, one per service. Each
// implementation lives in its own source file; Win32Services puts them together.
#pragma once

#include <memory>

#include "platform/services.h"

namespace kelmo::win32 {

std::unique_ptr<platform::Windows> makeWindows();             // desktop.cpp
std::unique_ptr<platform::Keyboard> makeKeyboard();           // desktop.cpp
std::unique_ptr<platform::Processes> makeProcesses();         // desktop.cpp
std::unique_ptr<platform::System> makeSystem();               // system.cpp
std::unique_ptr<platform::Sound> makeSound();                 // sound.cpp
std::unique_ptr<platform::Clock> makeClock();                 // clock.cpp
std::unique_ptr<platform::Dialogs> makeDialogs();             // boxes.cpp
std::unique_ptr<platform::Clipboard> makeClipboard();         // clipboard.cpp
std::unique_ptr<platform::ObjectFactory> makeObjectFactory(); // objects.cpp
std::unique_ptr<platform::Collation> makeCollation();         // collation.cpp
std::unique_ptr<platform::TextFiles> makeTextFiles();         // textfiles.cpp
std::unique_ptr<platform::FolderTree> makeFolderTree();       // foldertree.cpp
// The viewer of the calling thread, shared by its users and gone with the last of them.
std::shared_ptr<platform::Viewer> viewerOfThisThread(); // viewer.cpp
// Window classes outlive the DLL that registered them: this module unregisters its own when it
// is unloaded, so that a later load never meets a class whose procedure has gone.
void unregisterWindowClasses(); // viewer.cpp
std::unique_ptr<platform::DesktopLock> makeDesktopLock();     // session.cpp
std::unique_ptr<platform::Conversions> makeConversions();     // session.cpp

} // namespace kelmo::win32
