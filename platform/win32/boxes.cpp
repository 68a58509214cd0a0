// Modal message boxes and the input box on Win32. The input box is a dialog of our own: a
// prompt that wraps over as many lines as it needs, an edit field holding the proposed text
// (selected), OK and Cancel; it comes up centred, in front of every other window.
#include <windows.h>

#include <algorithm>

#include "platform/win32/failures.h"
#include "platform/win32/owned.h"
#include "platform/win32/dialogtemplate.h"
#include "platform/win32/implementations.h"
#include "platform/win32/measures.h"
#include "platform/win32/window.h"

namespace kelmo::win32 {

namespace {

// The ids a pilot answers the box by.
constexpr int PromptId = 100;
constexpr int EditId = 101;

// A font whose Japanese glyphs every Japanese system has; the charset makes other systems
// choose one with them too.
const DialogFont JapaneseDialogFont{L"MS UI Gothic", 9, FW_NORMAL, false, SHIFTJIS_CHARSET};

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

RECT clientRectOf(HWND control) {
    RECT bounds{};
    GetWindowRect(control, &bounds);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&bounds), 2);
    return bounds;
}

int workAreaHeight(HWND window) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor.rcWork.bottom - monitor.rcWork.top;
}

void moveBy(HWND control, int dy) {
    RECT bounds = clientRectOf(control);
    SetWindowPos(control, nullptr, bounds.left, bounds.top + dy, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void growBy(HWND window, int dy) {
    RECT bounds{};
    GetWindowRect(window, &bounds);
    SetWindowPos(window, nullptr, 0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top + dy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

class InputBox final : public Dialog {
public:
    InputBox(const std::wstring& prompt, const std::wstring& defaultText)
        : prompt_(prompt), defaultText_(defaultText) {}

    // The edited text after OK, the empty string after Cancel or the close box.
    std::wstring ask(const std::wstring& title) {
        return runModal(layout(title)) == IDOK ? answer_ : std::wstring();
    }

private:
    // In dialog units; the prompt and the box grow downwards when the prompt needs more lines.
    static DialogTemplate layout(const std::wstring& title) {
        DialogTemplate dialog(
            {title,
             {0, 0, 250, 92},
             WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND,
             WS_EX_TOPMOST,
             JapaneseDialogFont,
             {}});
        dialog.add({ControlClass::label(),
                    PromptId,
                    L"",
                    {7, 7, 180, 58},
                    WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL});
        dialog.add({ControlClass::edit(),
                    EditId,
                    L"",
                    {7, 71, 236, 13},
                    WS_VISIBLE | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP});
        dialog.add({ControlClass::button(),
                    IDOK,
                    L"OK",
                    {193, 7, 50, 14},
                    WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP});
        dialog.add({ControlClass::button(),
                    IDCANCEL,
                    L"\u30AD\u30E3\u30F3\u30BB\u30EB", // "Cancel"
                    {193, 25, 50, 14},
                    WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP});
        return dialog;
    }

    INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM) override {
        switch (message) {
        case WM_INITDIALOG:
            initialise();
            return FALSE; // the focus is set
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                answer_ = windowText(item(EditId));
                endDialog(IDOK);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) { // Cancel, Esc and the close box
                endDialog(IDCANCEL);
                return TRUE;
            }
            break;
        }
        return FALSE;
    }

    void initialise() {
        SetDlgItemTextW(hwnd(), PromptId, prompt_.c_str());
        fitPrompt();
        HWND edit = item(EditId);
        SetWindowTextW(edit, defaultText_.c_str());
        SendMessageW(edit, EM_SETSEL, 0, -1);
        SetFocus(edit);
        centre(hwnd(), CentreWithin::WorkArea);
        SetForegroundWindow(hwnd());
    }

    // Makes room for every line of the wrapped prompt, as far as the work area allows.
    void fitPrompt() {
        HWND prompt = item(PromptId);
        const RECT bounds = clientRectOf(prompt);
        const int shown = bounds.bottom - bounds.top;
        const int needed = wrappedHeight(prompt, prompt_, bounds.right - bounds.left);
        RECT box{};
        GetWindowRect(hwnd(), &box);
        const int room = workAreaHeight(hwnd()) - (box.bottom - box.top);
        const int extra = std::min(needed - shown, room);
        if (extra <= 0) return;
        SetWindowPos(prompt, nullptr, 0, 0, bounds.right - bounds.left, shown + extra,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        moveBy(item(EditId), extra);
        growBy(hwnd(), extra);
    }

    const std::wstring& prompt_;
    const std::wstring& defaultText_;
    std::wstring answer_;
};

class Win32Dialogs final : public platform::Dialogs {
public:
    // Without owner: the flags in use bring the box to the front themselves.
    std::int32_t messageBox(const std::wstring& text, std::uint32_t flags,
                            const std::wstring& title) override {
        int answer = MessageBoxW(nullptr, text.c_str(), title.c_str(), flags);
        if (answer == 0) throwLastError(L"MessageBox");
        return answer;
    }

    std::wstring inputBox(const std::wstring& prompt, const std::wstring& title,
                          const std::wstring& defaultText) override {
        return InputBox(prompt, defaultText).ask(title);
    }
};

} // namespace

std::unique_ptr<platform::Dialogs> makeDialogs() {
    return std::make_unique<Win32Dialogs>();
}

} // namespace kelmo::win32
