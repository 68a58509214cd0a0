// The KelmoR window's description: its controls with their ids, kinds, positions in twips,
// texts and visibility at start, in tab order, and the template the dialog is created from.
// Positions become pixels for the window's DPI when the window is set up (placeControls).
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "platform/win32/dialogtemplate.h"

namespace kelmo::runner {

enum ControlId : int {
    Text1 = 101, // the key box
    Text2,       // the log of every key script sent
    cmdMark,
    cmdCtrl,
    cmdAlt,
    cmdShift,
    Combo1, // the special-key names
    Text3,  // the path box
    cmdExec,
    Label1,
    Label3,
    Label5,
    Label2,
    Label4,
};

enum class ControlKind { Button, Label, KeyBox, LogBox, PathBox, KeyList };

struct ControlLayout {
    ControlId id;
    ControlKind kind;
    int left, top, width, height; // twips
    bool shownAtStart;
    const wchar_t* text;
};

// The client area, in twips.
constexpr int ClientWidthTwips = 6975, ClientHeightTwips = 3105;

// Every control, in tab order (the labels, which take no focus, last).
extern const std::array<ControlLayout, 14> RunnerControls;
// The special-key names of Combo1, in their order.
extern const std::array<const wchar_t*, 27> SpecialKeyNames;
// The controls that appear when the runner first becomes ready (Label5 goes).
extern const std::array<ControlId, 9> ReadyControls;
// The controls that start a call into the component.
extern const std::array<ControlId, 6> CallingControls;

// The dialog template: the frame and every control at a placeholder position.
win32::DialogTemplate runnerTemplate();
// Moves every control to its place and gives the window its client size, for its DPI.
void placeControls(HWND window);
// The key box's font: "ＭＳ Ｐゴシック" 11.25 points, Japanese character set, for the DPI (the
// font mapper picks an installed Japanese font where that one is missing).
LOGFONTW keyBoxFont(UINT dpi);

} // namespace kelmo::runner
