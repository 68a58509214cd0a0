// The window/dialog base: the procedures that forward to the objects, the modal runs and class
// registration.
#include "platform/win32/window.h"

#include <utility>

#include "platform/win32/failures.h"
#include "platform/win32/module/module.h"
#include "platform/win32/dialogtemplate.h"

namespace kelmo::win32 {

namespace {

// Disables a window for as long as it lives, when it was enabled.
class DisabledWindow {
public:
    explicit DisabledWindow(HWND window)
        : window_(window && IsWindowEnabled(window) ? window : nullptr) {
        if (window_) EnableWindow(window_, FALSE);
    }
    DisabledWindow(const DisabledWindow&) = delete;
    DisabledWindow& operator=(const DisabledWindow&) = delete;
    ~DisabledWindow() {
        if (window_) EnableWindow(window_, TRUE);
    }

private:
    HWND window_;
};

} // namespace


// --- the common part -------------------------------------------------------------------------

WindowBase::~WindowBase() {
    if (!hwnd_) return;
    // The derived object is gone already: the last messages go to the default handling.
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(std::exchange(hwnd_, nullptr));
}

void WindowBase::destroy() {
    if (hwnd_) DestroyWindow(hwnd_); // WM_NCDESTROY detaches
}

WindowBase* WindowBase::objectOf(HWND window) {
    return reinterpret_cast<WindowBase*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void WindowBase::attach(HWND window) {
    hwnd_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void WindowBase::detach() {
    if (hwnd_) SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
}

void WindowBase::keepFailure() noexcept {
    if (!failure_) failure_ = std::current_exception();
    abandon();
}

void WindowBase::rethrowFailure() {
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

// --- dialogs ---------------------------------------------------------------------------------

INT_PTR Dialog::runModal(const DialogTemplate& dialogTemplate, HWND owner) {
    modal_ = true;
    startedModal_ = false;
    const INT_PTR result =
        DialogBoxIndirectParamW(thisModule(), static_cast<LPCDLGTEMPLATEW>(dialogTemplate.get()),
                                owner, procedure, reinterpret_cast<LPARAM>(this));
    const DWORD error = GetLastError();
    modal_ = false;
    rethrowFailure();
    if (!startedModal_) { // -1, or 0 for a bad owner: the dialog never came up
        SetLastError(error);
        throwLastError(L"DialogBoxIndirectParam");
    }
    return result;
}

void Dialog::createModeless(const DialogTemplate& dialogTemplate, HWND owner) {
    rethrowFailure(); // not handed over yet: it belongs to the window's earlier life
    destroy();
    modal_ = false;
    HWND created =
        CreateDialogIndirectParamW(thisModule(), static_cast<LPCDLGTEMPLATEW>(dialogTemplate.get()),
                                   owner, procedure, reinterpret_cast<LPARAM>(this));
    rethrowFailure();
    if (!created) throwLastError(L"CreateDialogIndirectParam");
}

void Dialog::endDialog(INT_PTR result) {
    if (!hwnd()) return;
    if (modal_) {
        EndDialog(hwnd(), result);
    } else {
        ShowWindow(hwnd(), SW_HIDE);
        destroy();
    }
}

void Dialog::setResult(LRESULT result) {
    SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, result);
}

INT_PTR CALLBACK Dialog::procedure(HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<Dialog*>(lParam);
        dialog->attach(window);
        dialog->startedModal_ = dialog->modal_;
    }
    auto* dialog = static_cast<Dialog*>(objectOf(window));
    if (!dialog) return FALSE; // before WM_INITDIALOG (WM_SETFONT), or while the object goes
    if (message == WM_NCDESTROY) {
        dialog->detach();
        return FALSE;
    }
    if (dialog->failed()) return FALSE; // on its way out
    try {
        return dialog->handleMessage(message, wParam, lParam);
    } catch (...) {
        dialog->keepFailure();
        return TRUE;
    }
}

void Dialog::abandon() noexcept {
    if (!hwnd()) return;
    if (modal_)
        EndDialog(hwnd(), 0);
    else
        DestroyWindow(hwnd());
}

// --- windows of our own classes -----------------------------------------------------------------

void Window::create(const WindowClass& windowClass, const std::wstring& caption, DWORD style,
                    DWORD exStyle, const RECT& bounds, HWND owner) {
    rethrowFailure(); // not handed over yet: it belongs to the window's earlier life
    registerOnce(windowClass);
    destroy();
    creating_ = true;
    HWND created =
        CreateWindowExW(exStyle, windowClass.name, caption.c_str(), style, bounds.left, bounds.top,
                        bounds.right - bounds.left, bounds.bottom - bounds.top, owner, nullptr,
                        thisModule(), static_cast<Window*>(this));
    creating_ = false;
    rethrowFailure();
    if (!created) throwLastError(L"CreateWindowEx");
}

INT_PTR Window::runModal(int showCommand) {
    if (!hwnd()) throw KelmoError(errors::InvalidCall, L"The window does not exist");
    if (inModalRun_) throw KelmoError(errors::InvalidCall, L"The window runs modally already");
    DisabledWindow owner(GetWindow(hwnd(), GW_OWNER));
    inModalRun_ = true;
    modalEnded_ = false;
    modalResult_ = 0;
    ShowWindow(hwnd(), showCommand);
    const bool quit = !pumpUntilEnded();
    inModalRun_ = false;
    if (quit) PostQuitMessage(static_cast<int>(quitCode_));
    rethrowFailure();
    return modalResult_;
}

bool Window::pumpUntilEnded() {
    MSG message;
    while (!modalEnded_ && hwnd()) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            quitCode_ = message.wParam;
            return false;
        }
        if (got == -1) return true;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

LRESULT Window::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd(), message, wParam, lParam);
}

void Window::endModal(INT_PTR result) {
    modalResult_ = result;
    modalEnded_ = true;
    PostMessageW(nullptr, WM_NULL, 0, 0); // wakes the loop when this came as a sent message
}

void Window::registerOnce(const WindowClass& windowClass) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(thisModule(), windowClass.name, &existing)) return;
    WNDCLASSEXW description{};
    description.cbSize = sizeof description;
    description.style = windowClass.style;
    description.lpfnWndProc = procedure;
    description.hInstance = thisModule();
    description.hIcon = windowClass.icon;
    description.hCursor = windowClass.cursor ? windowClass.cursor : LoadCursorW(nullptr, IDC_ARROW);
    description.hbrBackground = windowClass.background
                                    ? windowClass.background
                                    : reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    description.lpszClassName = windowClass.name;
    if (!RegisterClassExW(&description) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throwLastError(L"RegisterClassEx");
}

LRESULT CALLBACK Window::procedure(HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        static_cast<Window*>(creation->lpCreateParams)->attach(window);
    }
    auto* self = static_cast<Window*>(objectOf(window));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        self->detach();
        if (self->inModalRun_) PostMessageW(nullptr, WM_NULL, 0, 0); // the run ends with it
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (self->failed()) return DefWindowProcW(window, message, wParam, lParam);
    try {
        return self->handleMessage(message, wParam, lParam);
    } catch (...) {
        self->keepFailure();
        if (message == WM_NCCREATE) return FALSE; // creation fails
        if (message == WM_CREATE) return -1;
        return 0;
    }
}

void Window::abandon() noexcept {
    if (inModalRun_) {
        modalEnded_ = true;
        PostMessageW(nullptr, WM_NULL, 0, 0);
    }
    // During creation the failed WM_NCCREATE or WM_CREATE destroys the window itself.
    if (!creating_ && hwnd()) DestroyWindow(hwnd());
}

} // namespace kelmo::win32
