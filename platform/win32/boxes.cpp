// Modal message boxes and the input box on Win32. The input box is a dialog built in memory: a
// prompt, an edit field holding the proposed text, OK and Cancel.
#include <windows.h>

#include <vector>

#include "platform/win32/com.h"
#include "platform/win32/implementations.h"

namespace kelmo::win32 {

namespace {

constexpr WORD promptId = 100;
constexpr WORD editId = 101;
constexpr WORD buttonClass = 0x0080, editClass = 0x0081, staticClass = 0x0082;

// Writes a DLGTEMPLATE with its items into WORD-sized, DWORD-aligned memory.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, short cx, short cy, const std::wstring& title, WORD pointSize,
                   const std::wstring& font) {
        addDword(style);
        addDword(0); // extended style
        itemCountAt_ = words_.size();
        words_.push_back(0);
        addRectangle(0, 0, cx, cy);
        words_.push_back(0); // no menu
        words_.push_back(0); // the standard dialog class
        addString(title);
        words_.push_back(pointSize);
        addString(font);
    }

    void addItem(WORD windowClass, DWORD style, short x, short y, short cx, short cy, WORD id,
                 const std::wstring& text) {
        if (words_.size() % 2 != 0) words_.push_back(0);
        addDword(style | WS_CHILD | WS_VISIBLE);
        addDword(0); // extended style
        addRectangle(x, y, cx, cy);
        words_.push_back(id);
        words_.push_back(0xFFFF); // a predefined class by its atom
        words_.push_back(windowClass);
        addString(text);
        words_.push_back(0); // no creation data
        ++words_[itemCountAt_];
    }

    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void addDword(DWORD value) {
        words_.push_back(LOWORD(value));
        words_.push_back(HIWORD(value));
    }
    void addRectangle(short x, short y, short cx, short cy) {
        for (short value : {x, y, cx, cy})
            words_.push_back(static_cast<WORD>(value));
    }
    void addString(const std::wstring& text) {
        words_.insert(words_.end(), text.begin(), text.end());
        words_.push_back(0);
    }

    std::vector<WORD> words_;
    std::size_t itemCountAt_ = 0;
};

DialogTemplate inputBoxTemplate(const std::wstring& title) {
    DialogTemplate dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT |
                              DS_CENTER | DS_SETFOREGROUND,
                          250, 92, title, 9, L"MS Shell Dlg");
    dialog.addItem(staticClass, SS_LEFT | SS_NOPREFIX, 7, 7, 180, 58, promptId, L"");
    dialog.addItem(buttonClass, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 193, 7, 50, 14, IDOK,
                   L"OK");
    dialog.addItem(buttonClass, BS_PUSHBUTTON | WS_TABSTOP, 193, 25, 50, 14, IDCANCEL,
                   L"\u30AD\u30E3\u30F3\u30BB\u30EB"); // "Cancel" in Japanese
    dialog.addItem(editClass, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP, 7, 71, 236, 13,
                   editId, L"");
    return dialog;
}

struct InputBoxState {
    const std::wstring& prompt;
    const std::wstring& defaultText;
    std::wstring answer;
};

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

void initialiseInputBox(HWND dialog, const InputBoxState& state) {
    SetDlgItemTextW(dialog, promptId, state.prompt.c_str());
    HWND edit = GetDlgItem(dialog, editId);
    SetWindowTextW(edit, state.defaultText.c_str());
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SetFocus(edit);
}

INT_PTR CALLBACK inputBoxProcedure(HWND dialog, UINT message, WPARAM wParam,
                                   LPARAM lParam) noexcept {
    auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        initialiseInputBox(dialog, *reinterpret_cast<InputBoxState*>(lParam));
        return FALSE; // the focus is set
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            try {
                state->answer = windowText(GetDlgItem(dialog, editId));
                EndDialog(dialog, IDOK);
            } catch (...) {
                EndDialog(dialog, IDCANCEL); // out of memory for the text
            }
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

HINSTANCE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&inputBoxProcedure), &module);
    return module;
}

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
        InputBoxState state{prompt, defaultText, L""};
        DialogTemplate dialog = inputBoxTemplate(title);
        INT_PTR result =
            DialogBoxIndirectParamW(thisModule(), dialog.get(), nullptr, inputBoxProcedure,
                                    reinterpret_cast<LPARAM>(&state));
        if (result == -1 || result == 0) throwLastError(L"InputBox");
        return result == IDOK ? state.answer : L"";
    }
};

} // namespace

std::unique_ptr<platform::Dialogs> makeDialogs() {
    return std::make_unique<Win32Dialogs>();
}

} // namespace kelmo::win32
