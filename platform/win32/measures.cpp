// Measures and placement on the screen.
#include "platform/win32/measures.h"

#include <algorithm>

#include "platform/win32/owned.h"

namespace kelmo::win32 {

namespace {

constexpr int TwipsPerInch = 1440;
constexpr UINT DefaultDpi = 96;

// GetDpiForWindow exists from Windows 10 1607 on; earlier systems have one DPI for all.
UINT perMonitorDpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    FARPROC found = user32 ? GetProcAddress(user32, "GetDpiForWindow") : nullptr;
    if (!found) return 0;
    auto getDpiForWindow =
        reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void (*)()>(found));
    return getDpiForWindow(window);
}

} // namespace

UINT dpiOf(HWND window) {
    if (window) {
        if (UINT dpi = perMonitorDpi(window)) return dpi;
    }
    const ScreenDc screen(GetDC(nullptr));
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSX) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : DefaultDpi;
}

int twipsToPixels(int twips, UINT dpi) {
    return MulDiv(twips, static_cast<int>(dpi), TwipsPerInch);
}

int wrappedHeight(HWND control, const std::wstring& text, int width) {
    const ScreenDc screen(GetDC(nullptr));
    if (!screen) return 0;
    const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    const HGDIOBJ previous = font ? SelectObject(screen.get(), font) : nullptr;
    RECT measure{0, 0, width, 0};
    DrawTextW(screen.get(), text.c_str(), static_cast<int>(text.size()), &measure,
              DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_EXPANDTABS | DT_NOPREFIX);
    if (previous) SelectObject(screen.get(), previous);
    return measure.bottom - measure.top;
}

void centre(HWND window, CentreWithin area) {
    RECT bounds{};
    if (!GetWindowRect(window, &bounds)) return;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) return;
    const RECT& within = area == CentreWithin::Screen ? monitor.rcMonitor : monitor.rcWork;
    const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    const int x = within.left + std::max(0L, (within.right - within.left - width) / 2);
    const int y = within.top + std::max(0L, (within.bottom - within.top - height) / 2);
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace kelmo::win32
