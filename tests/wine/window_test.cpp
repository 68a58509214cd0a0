// The window base for real: an exception thrown by a message handler ends the dialog or the
// modal run and reaches whoever started it, once; modal runs give back their result and hand
// the owner back enabled; an object takes its window with it. The dialog comes from a template
// without a font (the other dialogs of the project have one).
#include "base/error.h"
#include "platform/win32/dialogtemplate.h"
#include "platform/win32/window.h"

#include <gtest/gtest.h>

#include <functional>

using namespace kelmo::win32;

namespace {

constexpr UINT ThrowNow = WM_APP + 1, EndNow = WM_APP + 2;
constexpr std::int32_t HandlerFailure = 4711;

DialogTemplate smallDialog() {
    DialogTemplate dialog({L"Kelmo_WindowTest", {0, 0, 120, 60}, WS_POPUP | WS_VISIBLE, 0, {}, {}});
    dialog.add({ControlClass::named(L"Edit"), 7, L"odd", {5, 5, 100, 12}, WS_VISIBLE});
    dialog.add({ControlClass::button(), IDOK, L"OK", {5, 25, 40, 14}, WS_VISIBLE});
    return dialog;
}

// Posts itself `next` as soon as it is up; on EndNow ends with the edit's text read.
class ScriptedDialog final : public Dialog {
public:
    explicit ScriptedDialog(UINT first) : next(first) {}
    UINT next;
    std::wstring editText;

private:
    INT_PTR handleMessage(UINT message, WPARAM, LPARAM) override {
        if (message == WM_INITDIALOG) PostMessageW(hwnd(), next, 0, 0);
        if (message == ThrowNow) throw kelmo::KelmoError(HandlerFailure, L"handler failed");
        if (message != EndNow) return message == WM_INITDIALOG;
        wchar_t text[16] = {};
        GetDlgItemTextW(hwnd(), 7, text, 16);
        editText = text;
        endDialog(42);
        return TRUE;
    }
};

class ScriptedWindow final : public Window {
public:
    bool throwOnCreate = false;
    UINT next = 0;

private:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_CREATE && throwOnCreate) throw kelmo::KelmoError(HandlerFailure, L"");
        if (message == WM_SHOWWINDOW && wParam) PostMessageW(hwnd(), next, 0, 0);
        if (message == ThrowNow) throw kelmo::KelmoError(HandlerFailure, L"handler failed");
        if (message == EndNow) ShowWindow(hwnd(), SW_HIDE), endModal(7);
        return Window::handleMessage(message, wParam, lParam);
    }
};

std::int32_t numberThrownBy(const std::function<void()>& run) {
    try {
        run();
    } catch (const kelmo::KelmoError& e) {
        return e.number();
    }
    return 0;
}

const RECT Bounds{10, 10, 210, 110};

TEST(DialogBase, RunsModalOrModelessUntilItEndsOrAHandlerThrows) {
    ScriptedDialog dialog(EndNow);
    EXPECT_EQ(dialog.runModal(smallDialog()), 42);
    EXPECT_EQ(dialog.editText, L"odd") << "a control named by its class";
    dialog.next = ThrowNow;
    EXPECT_EQ(numberThrownBy([&] { dialog.runModal(smallDialog()); }), HandlerFailure);
    EXPECT_EQ(dialog.hwnd(), nullptr) << "the dialog ended";
    dialog.next = EndNow;
    EXPECT_EQ(dialog.runModal(smallDialog()), 42) << "the failure was handed over once";

    HWND modeless = nullptr;
    {
        ScriptedDialog kept(WM_NULL);
        kept.createModeless(smallDialog());
        modeless = kept.hwnd();
        ASSERT_TRUE(IsWindow(modeless));
    }
    EXPECT_FALSE(IsWindow(modeless)) << "gone with its object";
    ScriptedDialog failing(ThrowNow);
    failing.createModeless(smallDialog());
    MSG message;
    while (failing.hwnd() && GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    EXPECT_EQ(numberThrownBy([&] { failing.rethrowFailure(); }), HandlerFailure);
    EXPECT_EQ(numberThrownBy([&] { failing.rethrowFailure(); }), 0) << "handed over once";
}

TEST(WindowBase, ModalRunEndsWithTheResultOrTheHandlersExceptionAndCreationCanFail) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 9, 9, 0, 0, 0, 0);
    ScriptedWindow window;
    window.throwOnCreate = true;
    const WindowClass windowClass{L"KelmoWindowTest"};
    EXPECT_EQ(numberThrownBy([&] {
                  window.create(windowClass, L"Kelmo_WindowTest", WS_OVERLAPPEDWINDOW, 0, Bounds);
              }),
              HandlerFailure);
    EXPECT_EQ(window.hwnd(), nullptr);
    window.throwOnCreate = false;
    window.next = EndNow;
    window.create(windowClass, L"Kelmo_WindowTest", WS_OVERLAPPEDWINDOW, 0, Bounds, owner);
    EXPECT_EQ(window.runModal(), 7);
    EXPECT_TRUE(IsWindow(window.hwnd())) << "ending the run keeps the window";
    EXPECT_TRUE(IsWindowEnabled(owner));
    window.next = ThrowNow;
    EXPECT_EQ(numberThrownBy([&] { window.runModal(); }), HandlerFailure);
    EXPECT_EQ(window.hwnd(), nullptr) << "the failed window is gone";
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

} // namespace
