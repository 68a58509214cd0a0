// Win32Services: puts the Win32 implementation of each platform service together.
#include "platform/win32/win32services.h"

#include "platform/win32/implementations.h"

namespace kelmo::win32 {

Win32Services::Win32Services()
    : windows_(makeWindows()), keyboard_(makeKeyboard()), keys_(makeKeyInjector()),
      processes_(makeProcesses()), clock_(makeClock()), system_(makeSystem()), sound_(makeSound()),
      dialogs_(makeDialogs()), clipboard_(makeClipboard()), objects_(makeObjectFactory()),
      collation_(makeCollation()), textFiles_(makeTextFiles()), viewer_(viewerOfThisThread()),
      desktopLock_(makeDesktopLock()), conversions_(makeConversions()),
      folderTree_(makeFolderTree()), services_{
                                         *windows_,     *keyboard_,    *keys_,      *processes_,
                                         *clock_,       *system_,      *sound_,     *dialogs_,
                                         *clipboard_,   *objects_,     *textFiles_, *viewer_,
                                         *desktopLock_, *conversions_, *collation_, *folderTree_} {}

Win32Services::~Win32Services() = default;

} // namespace kelmo::win32
