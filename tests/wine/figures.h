// What this process holds, for the leak figures: counted directly, since not every system fills
// the process counters (Wine gives 0 for USER and GDI objects).
#pragma once

#include "pilot.h"

namespace kelmo::test {

struct Figures {
    unsigned long handles = 0, windows = 0, user = 0, gdi = 0, privateKiB = 0;
};

// Open handles by probing, the process's windows, committed private pages.
inline Figures measure() {
    Figures f{0, 0, GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS),
              GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), 0};
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        f.handles += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    }
    for (HWND window : testtools::topLevelWindows()) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        std::vector<HWND> inside;
        EnumChildWindows(window, testtools::collectWindow, reinterpret_cast<LPARAM>(&inside));
        if (process == GetCurrentProcessId()) f.windows += 1 + inside.size();
    }
    MEMORY_BASIC_INFORMATION region{};
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            f.privateKiB += region.RegionSize / 1024;
        if (static_cast<const char*>(region.BaseAddress) + region.RegionSize < at) break;
    }
    return f;
}

} // namespace kelmo::test
