// Measures and placement on the screen: pixels per inch, twips to pixels, the height a text
// takes wrapped in a control, and centring a window on its monitor.
#pragma once

#include <windows.h>

#include <string>

namespace kelmo::win32 {

// Pixels per logical inch of the window's monitor (of the screen when the window is null).
UINT dpiOf(HWND window);
// 1440 twips to the inch.
int twipsToPixels(int twips, UINT dpi);

// The height in pixels that `text` takes in `control`'s font, wrapped at `width` pixels as an
// edit control or a label with SS_EDITCONTROL wraps it.
int wrappedHeight(HWND control, const std::wstring& text, int width);

enum class CentreWithin {
    Screen,   // the whole monitor
    WorkArea, // the monitor without the task bar
};
// Moves the window so that it sits in the middle of the monitor it is on (mostly); a window
// larger than the area keeps its top-left corner inside it.
void centre(HWND window, CentreWithin area);

} // namespace kelmo::win32
