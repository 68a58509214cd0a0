// The window base for real: runs end with their result, the owner enabled again; a handler's
// exception ends the run and comes out of it once; and creation can fail.
#include "base/error.h"
#include "platform/win32/dialogtemplate.h"
#include "platform/win32/window.h"

#include <gtest/gtest.h>

#include <functional>
#include <type_traits>

using namespace kelmo::win32;

namespace {

constexpr UINT ThrowNow = WM_APP + 1, EndNow = WM_APP + 2;

// A dialog or a window that posts itself `next` once it is up: ThrowNow throws, EndNow ends
// the run (a dialog with the number in its edit, a window with 7); WM_CREATE fails a creation.
template <typename Base> class Scripted final : public Base {
public:
    UINT next = EndNow;

private:
    static constexpr bool IsDialog = std::is_same_v<Base, Dialog>;
    INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == (IsDialog ? WM_INITDIALOG : WM_SHOWWINDOW) && (IsDialog || wParam))
            PostMessageW(this->hwnd(), next, 0, 0);
        if (message == ThrowNow || (message == WM_CREATE && next == WM_CREATE))
            throw kelmo::KelmoError(4711, L"handler failed");
        if constexpr (IsDialog) {
            if (message == EndNow) this->endDialog(GetDlgItemInt(this->hwnd(), 7, nullptr, FALSE));
            return message == WM_INITDIALOG || message == EndNow;
        } else {
            if (message == EndNow) ShowWindow(this->hwnd(), SW_HIDE), this->endModal(7);
            return Base::handleMessage(message, wParam, lParam);
        }
    }
};

std::int32_t numberThrownBy(const std::function<void()>& run) try {
    return run(), 0;
} catch (const kelmo::KelmoError& e) {
    return e.number();
}

TEST(WindowBase, RunsEndWithTheirResultOrTheHandlersExceptionOnce) {
    DialogTemplate small({L"Kelmo_WindowTest", {0, 0, 120, 60}, WS_POPUP | WS_VISIBLE, 0, {}, {}});
    small.add({ControlClass::named(L"Edit"), 7, L"42", {5, 5, 100, 12}, WS_VISIBLE}); // no font
    Scripted<Dialog> dialog;
    EXPECT_EQ(dialog.runModal(small), 42);
    dialog.next = ThrowNow;
    EXPECT_EQ(numberThrownBy([&] { dialog.runModal(small); }), 4711);
    EXPECT_EQ(dialog.hwnd(), nullptr) << "the dialog ended";
    dialog.createModeless(small);
    for (MSG message; dialog.hwnd() && GetMessageW(&message, nullptr, 0, 0) > 0;)
        DispatchMessageW(&message);
    EXPECT_EQ(numberThrownBy([&] { dialog.rethrowFailure(); }), 4711);
    EXPECT_EQ(numberThrownBy([&] { dialog.rethrowFailure(); }), 0) << "handed over once";

    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 9, 9, 0, 0, 0, 0);
    Scripted<Window> window;
    const auto create = [&] {
        window.create({L"KelmoWindowTest"}, L"", WS_OVERLAPPEDWINDOW, 0, {9, 9, 99, 99}, owner);
    };
    window.next = WM_CREATE;
    EXPECT_EQ(numberThrownBy(create), 4711);
    EXPECT_EQ(window.hwnd(), nullptr);
    window.next = EndNow;
    create();
    EXPECT_EQ(window.runModal(), 7);
    EXPECT_TRUE(IsWindow(window.hwnd()) && IsWindowEnabled(owner)) << "ending keeps the window";
    window.next = ThrowNow;
    EXPECT_EQ(numberThrownBy([&] { window.runModal(); }), 4711);
    EXPECT_TRUE(!window.hwnd() && IsWindowEnabled(owner)) << "the failed window is gone";
    DestroyWindow(owner);
}

} // namespace
