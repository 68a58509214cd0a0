// Which virtual keys are extended keys: their scan code has the E0 prefix, so every event for
// them carries KEYEVENTF_EXTENDEDKEY (without it Left arrives as keypad 4). The injector and
// the test tools that inject keys share this table.
#pragma once

#include <windows.h>

namespace kelmo::win32 {

inline bool isExtendedKey(WORD vk) {
    switch (vk) {
    case VK_CANCEL:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_END:
    case VK_HOME:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
    case VK_SNAPSHOT:
    case VK_INSERT:
    case VK_DELETE:
    case VK_DIVIDE:
    case VK_NUMLOCK:
    case VK_RCONTROL:
    case VK_RMENU:
    case VK_LWIN:
    case VK_RWIN:
    case VK_APPS:
        return true;
    default:
        return false;
    }
}

} // namespace kelmo::win32
