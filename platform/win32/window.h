// The base of every window Kelmo owns (the input box, the viewer, the runner): the window
// procedure forwards each message to a C++ object, which owns its HWND and destroys it with
// itself. Dialog runs a dialog from an in-memory template, modal or modeless; Window is a
// window of a class of our own, with a modal loop of its own. An exception thrown while a
// message is handled never crosses the window procedure: it is kept, the dialog or modal loop
// ends, and the exception is thrown again to whoever started it. Window classes are registered
// once per module, on first use.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

namespace kelmo::win32 {

class DialogTemplate;


// --- the common part -------------------------------------------------------------------------

class WindowBase {
public:
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;
    virtual ~WindowBase();

    HWND hwnd() const { return hwnd_; }
    // Destroys the window now; the object stays and may create another.
    void destroy();
    // Throws, once, what a message handler threw, if anything. Modal runs do this themselves;
    // the message loop of a modeless window calls it after each message it dispatched.
    void rethrowFailure();

protected:
    WindowBase() = default;

    // The object behind a window of ours, null before it is attached.
    static WindowBase* objectOf(HWND window);
    void attach(HWND window);
    bool attached() const { return hwnd_ != nullptr; }
    // WM_NCDESTROY: the window is gone.
    void detach();

    // Keeps the exception in flight (the first one wins) and ends the window's modal run.
    void keepFailure() noexcept;
    bool failed() const { return static_cast<bool>(failure_); }
    // Ends whatever modal run shows this window after a failure.
    virtual void abandon() noexcept = 0;

private:
    HWND hwnd_ = nullptr;
    std::exception_ptr failure_;
};

// --- dialogs ---------------------------------------------------------------------------------

class Dialog : public WindowBase {
public:
    // Runs the dialog modally and returns the value given to endDialog(); throws what a
    // message handler threw, or KelmoError when the dialog could not be created.
    INT_PTR runModal(const DialogTemplate& dialogTemplate, HWND owner = nullptr);
    // Creates the dialog modeless; the caller's message loop must pass its messages through
    // IsDialogMessage. Throws what WM_INITDIALOG threw.
    void createModeless(const DialogTemplate& dialogTemplate, HWND owner = nullptr);

protected:
    // Handles a message after WM_INITDIALOG (which comes here too): TRUE when handled, with
    // the result, if any, set by setResult(); FALSE leaves it to the dialog manager.
    virtual INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // Ends a modal run with `result`; hides and destroys a modeless dialog.
    void endDialog(INT_PTR result);
    HWND item(int id) const { return GetDlgItem(hwnd(), id); }
    // The result of a message that returns a value (DWLP_MSGRESULT).
    void setResult(LRESULT result);

private:
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wParam,
                                      LPARAM lParam) noexcept;
    void abandon() noexcept override;

    bool modal_ = false;
    bool startedModal_ = false; // WM_INITDIALOG came during runModal()
};

// --- windows of our own classes -----------------------------------------------------------------

// What a window class needs beside its procedure; registered once per module on first use.
struct WindowClass {
    const wchar_t* name;
    UINT style = CS_DBLCLKS;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;    // null: the arrow
    HBRUSH background = nullptr; // null: the button face colour
};

class Window : public WindowBase {
public:
    // Creates the window (hidden unless `style` has WS_VISIBLE); throws what WM_NCCREATE or
    // WM_CREATE threw, or KelmoError when creation failed.
    void create(const WindowClass& windowClass, const std::wstring& caption, DWORD style,
                DWORD exStyle, const RECT& bounds, HWND owner = nullptr);

    // Shows the window and disables its owner, then handles the thread's messages until
    // endModal() or the window's destruction; gives back the value given to endModal().
    // A WM_QUIT ends the run and is posted again for the outer loop. Throws what a message
    // handler threw meanwhile.
    INT_PTR runModal(int showCommand = SW_SHOW);

protected:
    // Handles a message; the default is DefWindowProc.
    virtual LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Ends the modal run with `result` (the window stays; hide it first if it should go).
    void endModal(INT_PTR result);

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam,
                                      LPARAM lParam) noexcept;
    static void registerOnce(const WindowClass& windowClass);
    void abandon() noexcept override;
    // Handles messages until the run ends; false when WM_QUIT came.
    bool pumpUntilEnded();

    bool creating_ = false;
    bool inModalRun_ = false;
    bool modalEnded_ = false;
    INT_PTR modalResult_ = 0;
    WPARAM quitCode_ = 0;
};

} // namespace kelmo::win32
