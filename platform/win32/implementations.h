// The factories of the Win32 platform services: one for each service of platform::Services, with
// the source file that implements it. Win32Services puts them together.
#pragma once

#include <memory>

#include "platform/services.h"

namespace kelmo::win32 {

std::unique_ptr<platform::Windows> makeWindows();             // desktop.cpp
std::unique_ptr<platform::Keyboard> makeKeyboard();           // desktop.cpp
std::unique_ptr<platform::Processes> makeProcesses();         // desktop.cpp
std::unique_ptr<platform::KeyInjector> makeKeyInjector();     // injector.cpp
std::unique_ptr<platform::System> makeSystem();               // system.cpp
std::unique_ptr<platform::Sound> makeSound();                 // sound.cpp
std::unique_ptr<platform::Clock> makeClock();                 // clock.cpp
std::unique_ptr<platform::Dialogs> makeDialogs();             // boxes.cpp
std::unique_ptr<platform::Clipboard> makeClipboard();         // clipboard.cpp
std::unique_ptr<platform::ObjectFactory> makeObjectFactory(); // objects.cpp
std::unique_ptr<platform::Collation> makeCollation();         // collation.cpp
std::unique_ptr<platform::TextFiles> makeTextFiles();         // textfiles.cpp
std::unique_ptr<platform::FolderTree> makeFolderTree();       // foldertree.cpp
std::unique_ptr<platform::DesktopLock> makeDesktopLock();     // session.cpp
std::unique_ptr<platform::Conversions> makeConversions();     // session.cpp
// The viewer of the calling thread, shared by its users and gone with the last of them.
std::shared_ptr<platform::Viewer> viewerOfThisThread(); // viewer.cpp

} // namespace kelmo::win32
