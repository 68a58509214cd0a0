// The window base for real: an exception thrown by a message handler ends the dialog or the
// modal run and reaches whoever started it; modal runs give back their result and hand the
// owner back enabled; an object takes its window with it.
#include "base/error.h"
#include "platform/win32/dialogtemplate.h"
#include "platform/win32/window.h"

#include <gtest/gtest.h>

using namespace kelmo::win32;

namespace {

constexpr UINT ThrowNow = WM_APP + 1;
constexpr UINT EndNow = WM_APP + 2;
constexpr std::int32_t HandlerFailure = 4711;

DialogTemplate smallDialog() {
    DialogTemplate dialog({L"Kelmo_WindowTest",
                           {0, 0, 120, 60},
                           WS_POPUP | WS_CAPTION | WS_VISIBLE,
                           0,
                           DialogFont{L"MS Shell Dlg", 9, FW_NORMAL, false, DEFAULT_CHARSET},
                           {}});
    dialog.add({ControlClass::named(L"Edit"), 7, L"text", {5, 5, 100, 12}, WS_VISIBLE | WS_BORDER});
    dialog.add({ControlClass::button(), IDOK, L"OK", {5, 25, 40, 14}, WS_VISIBLE});
    return dialog;
}

// Posts itself the message its test names as soon as it is up.
class ScriptedDialog final : public Dialog {
public:
    explicit ScriptedDialog(UINT first) : next(first) {}
    UINT next;
    std::wstring editText;

private:
    INT_PTR handleMessage(UINT message, WPARAM, LPARAM) override {
        switch (message) {
        case WM_INITDIALOG:
            PostMessageW(hwnd(), next, 0, 0);
            return TRUE;
        case ThrowNow:
            throw kelmo::KelmoError(HandlerFailure, L"handler failed");
        case EndNow: {
            wchar_t text[16] = {};
            GetDlgItemTextW(hwnd(), 7, text, 16);
            editText = text;
            endDialog(42);
            return TRUE;
        }
        }
        return FALSE;
    }
};

class ScriptedWindow final : public Window {
public:
    bool throwOnCreate = false;
    UINT next = 0;

private:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_CREATE:
            if (throwOnCreate) throw kelmo::KelmoError(HandlerFailure, L"create failed");
            return 0;
        case WM_SHOWWINDOW:
            if (wParam) PostMessageW(hwnd(), next, 0, 0);
            break;
        case ThrowNow:
            throw kelmo::KelmoError(HandlerFailure, L"handler failed");
        case EndNow:
            ShowWindow(hwnd(), SW_HIDE);
            endModal(7);
            return 0;
        }
        return Window::handleMessage(message, wParam, lParam);
    }
};

const WindowClass TestClass{L"KelmoWindowTest"};
const RECT TestBounds{10, 10, 210, 110};

std::int32_t numberThrownBy(const std::function<void()>& run) {
    try {
        run();
    } catch (const kelmo::KelmoError& e) {
        return e.number();
    }
    return 0;
}

} // namespace

TEST(DialogBase, ModalRunGivesTheResultOrTheHandlersException) {
    ScriptedDialog ending(EndNow);
    EXPECT_EQ(ending.runModal(smallDialog()), 42);
    EXPECT_EQ(ending.editText, L"text") << "a control named by its class";
    EXPECT_EQ(ending.hwnd(), nullptr);

    ScriptedDialog throwing(ThrowNow);
    EXPECT_EQ(numberThrownBy([&] { throwing.runModal(smallDialog()); }), HandlerFailure);
    EXPECT_EQ(throwing.hwnd(), nullptr) << "the dialog ended";
    throwing.next = EndNow;
    EXPECT_EQ(throwing.runModal(smallDialog()), 42)
        << "the failure was handed over once, not kept for the next run";
}

TEST(DialogBase, ModelessDialogGoesWithItsObjectOrItsFailure) {
    HWND window = nullptr;
    {
        ScriptedDialog dialog(WM_NULL);
        dialog.createModeless(smallDialog());
        window = dialog.hwnd();
        ASSERT_TRUE(IsWindow(window));
    }
    EXPECT_FALSE(IsWindow(window));

    ScriptedDialog failing(ThrowNow);
    failing.createModeless(smallDialog());
    MSG message;
    while (failing.hwnd() && GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    EXPECT_EQ(numberThrownBy([&] { failing.rethrowFailure(); }), HandlerFailure);
    EXPECT_EQ(numberThrownBy([&] { failing.rethrowFailure(); }), 0) << "handed over once";
}

TEST(WindowBase, ModalRunEndsWithTheResultOrTheHandlersException) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_TRUE(owner);
    ScriptedWindow window;
    window.next = EndNow;
    window.create(TestClass, L"Kelmo_WindowTest", WS_OVERLAPPEDWINDOW, 0, TestBounds, owner);
    EXPECT_EQ(window.runModal(), 7);
    EXPECT_TRUE(IsWindow(window.hwnd())) << "ending the run keeps the window";
    EXPECT_TRUE(IsWindowEnabled(owner));

    window.next = ThrowNow;
    EXPECT_EQ(numberThrownBy([&] { window.runModal(); }), HandlerFailure);
    EXPECT_EQ(window.hwnd(), nullptr) << "the failed window is gone";
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

TEST(WindowBase, CreationFailsWithTheHandlersException) {
    ScriptedWindow window;
    window.throwOnCreate = true;
    EXPECT_EQ(numberThrownBy([&] {
                  window.create(TestClass, L"Kelmo_WindowTest", WS_OVERLAPPEDWINDOW, 0, TestBounds);
              }),
              HandlerFailure);
    EXPECT_EQ(window.hwnd(), nullptr);

    window.throwOnCreate = false;
    window.create(TestClass, L"Kelmo_WindowTest", WS_OVERLAPPEDWINDOW, 0, TestBounds);
    HWND created = window.hwnd();
    EXPECT_TRUE(IsWindow(created)) << "the class registered once serves again";
    window.destroy();
    EXPECT_FALSE(IsWindow(created));
}
