// RunnerWindow: the KelmoR window. It owns the component ("Kelmo.CKelmo", called late-bound by
// member name) and a script shell of its own (to read dropped shortcuts), and wires the
// window's events to the component's members. Entry 0 of the component's application table is
// the runner's own window; the entry the last Exec or Mark returned is the target.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "platform/services.h"
#include "platform/win32/owned.h"
#include "platform/win32/window.h"

namespace kelmo::runner {

class RunnerWindow final : public win32::Dialog {
public:
    RunnerWindow();
    ~RunnerWindow() override;

    // Creates the objects, sets up the taskbar entry, shows the start-up popup, then shows the
    // window until it is closed. Throws KelmoError when the component cannot be created or a
    // call into it fails (the window is gone by then).
    void run();

private:
    class ComponentCall;

    INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void setUp();
    void command(int id, int notification);
    void close();

    // The events.
    enum class Activation { Exec, Mark };
    void activate(Activation how);
    void insertIntoKeyBox(const std::wstring& keys);
    void sendKeyBox();
    void dropped(HDROP files);

    void showReadyState();
    void focusKeyBox();
    void takeOwnEntry();
    void putAppCur(const win32::Variant& entry);
    std::wstring textOf(int id) const;
    void setText(int id, const std::wstring& text);
    std::wstring chosenSpecialKey() const;
    bool liesOnDropTarget(POINT point) const;

    win32::ComPtr<IDispatch> kelmo_;
    std::shared_ptr<platform::ScriptShell> shell_;
    win32::Variant target_; // empty until the first Exec or Mark
    win32::Font keyBoxFont_;
    bool calling_ = false;     // a call into the component is running
    bool closeWanted_ = false; // the window was closed during that call
    HWND owner_ = nullptr;     // hidden: keeps the window off the taskbar
};

} // namespace kelmo::runner
