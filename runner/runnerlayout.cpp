// The KelmoR window's controls and their placement.
#include "runner/runnerlayout.h"

#include "platform/win32/measures.h"

namespace kelmo::runner {

namespace {

using win32::ControlClass;
using win32::DialogControl;

constexpr DWORD FrameStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr int KeyBoxPointsX100 = 1125;
// How many special-key names the opened list shows at once.
constexpr int ListRowsShown = 16;
constexpr wchar_t IdeographicSpace = L'\u3000';
constexpr int Label4LeadingSpaces = 51;

// The dialog's font, which the controls other than the key box keep.
const win32::DialogFont RunnerFont{L"ＭＳ Ｐゴシック", 9, FW_NORMAL, false, SHIFTJIS_CHARSET};

std::wstring label4Text() {
    return std::wstring(Label4LeadingSpaces, IdeographicSpace) + L"  " +
           L"ショートカットアイコンをこの上にドラッグ＆ドロップすると、リンク先のパスが表示されます"
           L"。"
           L"Kelmoから起動（Exec）したいアプリのフルパスを知るのに便利です。";
}

ControlClass classOf(ControlKind kind) {
    switch (kind) {
    case ControlKind::Button:
        return ControlClass::button();
    case ControlKind::Label:
        return ControlClass::label();
    case ControlKind::KeyList:
        return ControlClass::comboBox();
    default:
        return ControlClass::edit();
    }
}

// Siblings overlap (Label4 lies under Text3 and cmdExec): each clips those above it.
DWORD styleOf(ControlKind kind) {
    constexpr DWORD Common = WS_CLIPSIBLINGS;
    switch (kind) {
    case ControlKind::Button:
        return Common | WS_TABSTOP | BS_PUSHBUTTON;
    case ControlKind::Label:
        return Common | SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL;
    case ControlKind::LogBox:
        return Common | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
    case ControlKind::KeyList:
        return Common | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
    default:
        return Common | WS_TABSTOP | ES_AUTOHSCROLL;
    }
}

bool isTextBox(ControlKind kind) {
    return kind == ControlKind::KeyBox || kind == ControlKind::LogBox ||
           kind == ControlKind::PathBox;
}

RECT pixelsOf(const ControlLayout& control, UINT dpi) {
    const int left = win32::twipsToPixels(control.left, dpi);
    const int top = win32::twipsToPixels(control.top, dpi);
    return {left, top, left + win32::twipsToPixels(control.width, dpi),
            top + win32::twipsToPixels(control.height, dpi)};
}

int heightOf(HWND window) {
    RECT bounds{};
    GetWindowRect(window, &bounds);
    return bounds.bottom - bounds.top;
}

// A drop-down list is as high as its selection field, which follows its item height: the field
// is made as high as the table says, and the height given to the window is the opened list's.
// The item height is corrected by what the field measures, as systems add different paddings
// to what is asked for (Wine adds two pixels to the requested height).
void placeKeyList(HWND list, const RECT& field) {
    constexpr int Attempts = 3;
    const int fieldHeight = field.bottom - field.top;
    MoveWindow(list, field.left, field.top, field.right - field.left,
               fieldHeight * (ListRowsShown + 1), FALSE);
    auto requested = SendMessageW(list, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    for (int attempt = 0; attempt < Attempts && heightOf(list) != fieldHeight; ++attempt) {
        requested += fieldHeight - heightOf(list);
        if (requested <= 0) break;
        SendMessageW(list, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), requested);
    }
}

void resizeClientArea(HWND window, UINT dpi) {
    RECT bounds{0, 0, win32::twipsToPixels(ClientWidthTwips, dpi),
                win32::twipsToPixels(ClientHeightTwips, dpi)};
    AdjustWindowRectEx(&bounds, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    SetWindowPos(window, nullptr, 0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

const std::array<ControlLayout, 14> RunnerControls{{
    {Text1, ControlKind::KeyBox, 960, 360, 3135, 375, false, L""},
    {Text2, ControlKind::LogBox, 480, 1080, 6375, 975, false, L""},
    {cmdMark, ControlKind::Button, 120, 120, 615, 375, true, L"Mark"},
    {cmdCtrl, ControlKind::Button, 4320, 0, 735, 225, false, L"Ctrl +"},
    {cmdAlt, ControlKind::Button, 4320, 360, 735, 225, false, L"Alt +"},
    {cmdShift, ControlKind::Button, 4320, 720, 735, 225, false, L"Shift +"},
    {Combo1, ControlKind::KeyList, 5280, 360, 1335, 300, false, L""},
    {Text3, ControlKind::PathBox, 120, 2265, 6015, 270, true, L""},
    {cmdExec, ControlKind::Button, 6240, 2280, 615, 375, true, L"Exec"},
    {Label1, ControlKind::Label, 960, 0, 3255, 375, false,
     L"ここにキー入力し、エンターキーを押すと、ExecまたはMarkしたアプリに送られます"},
    {Label3, ControlKind::Label, 5280, 0, 1575, 375, false, L"特殊キーは下から選んでクリック！"},
    {Label5, ControlKind::Label, 960, 960, 5415, 495, true,
     L"最初に、コントロールするアプリを指定するために、Execで起動するか、"
     L"または手動で起動してからMarkするかしてください。"},
    {Label2, ControlKind::Label, 120, 1080, 255, 1335, false, L"送られた命令"},
    {Label4, ControlKind::Label, 120, 2520, 6135, 615, true, nullptr}, // label4Text()
}};

const std::array<const wchar_t*, 27> SpecialKeyNames{
    L"{BkSp}", L"{Del}",  L"{Down}", L"{End}",  L"{Enter}", L"{Esc}",   L"{Home}",
    L"{Ins}",  L"{Left}", L"{PgDn}", L"{PgUp}", L"{PrtSc}", L"{Right}", L"{Tab}",
    L"{Up}",   L"{F1}",   L"{F2}",   L"{F3}",   L"{F4}",    L"{F5}",    L"{F6}",
    L"{F7}",   L"{F8}",   L"{F9}",   L"{F10}",  L"{F11}",   L"{F12}"};

const std::array<ControlId, 9> ReadyControls{Text1,  Text2,  cmdAlt, cmdCtrl, cmdShift,
                                             Label1, Label2, Label3, Combo1};

const std::array<ControlId, 6> CallingControls{cmdMark, cmdExec, cmdCtrl, cmdAlt, cmdShift, Combo1};

win32::DialogTemplate runnerTemplate() {
    win32::DialogTemplate dialog({L"KelmoR", {0, 0, 0, 0}, FrameStyle, 0, RunnerFont, {}});
    bool first = true;
    for (const ControlLayout& control : RunnerControls) {
        DWORD style = styleOf(control.kind) | (control.shownAtStart ? WS_VISIBLE : 0);
        if (first) style |= WS_GROUP;
        first = false;
        dialog.add({classOf(control.kind),
                    static_cast<std::uint32_t>(control.id),
                    control.text ? control.text : label4Text(),
                    {},
                    style,
                    isTextBox(control.kind) ? static_cast<DWORD>(WS_EX_CLIENTEDGE) : 0u});
    }
    return dialog;
}

void placeControls(HWND window) {
    const UINT dpi = win32::dpiOf(window);
    for (const ControlLayout& control : RunnerControls) {
        HWND item = GetDlgItem(window, control.id);
        const RECT bounds = pixelsOf(control, dpi);
        if (control.kind == ControlKind::KeyList)
            placeKeyList(item, bounds);
        else
            MoveWindow(item, bounds.left, bounds.top, bounds.right - bounds.left,
                       bounds.bottom - bounds.top, FALSE);
    }
    resizeClientArea(window, dpi);
}

LOGFONTW keyBoxFont(UINT dpi) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(KeyBoxPointsX100, static_cast<int>(dpi), 72 * 100);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = SHIFTJIS_CHARSET;
    wcscpy_s(font.lfFaceName, L"ＭＳ Ｐゴシック");
    return font;
}

} // namespace kelmo::runner
