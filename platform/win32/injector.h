// The Win32 key injector: types key scripts with SendInput into the window that has the
// keyboard focus and returns once that window's thread has handled every key.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/services.h"

namespace kelmo::win32 {

// The dwExtraInfo of every event the injector sends, so hooks of our own can tell them apart.
inline constexpr std::uintptr_t kInjectedKeyTag = 0x4B4C4D4F; // "KLMO"

std::unique_ptr<platform::KeyInjector> makeKeyInjector();

} // namespace kelmo::win32
