// The dialog pilot: finds and waits for windows, reads their texts, presses buttons, types into
// edits, drops files, answers Browse-For-Folder dialogs and injects keys. Header-only, so that a
// test can drive a box its own main thread opened (from a BackgroundPilot while the main thread
// sits in the modal loop).
#pragma once

#include <windows.h>

#include "platform/win32/extendedkeys.h"

#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/win32/owned.h"

namespace kelmo::testtools {

// How long a message to another window may take before we treat that window as hung.
constexpr UINT MessageTimeoutMs = 5000;
// Polling interval while waiting for a window.
constexpr DWORD PollIntervalMs = 20;
// The id of the Static control that holds a message box's text.
constexpr int MessageBoxTextId = 0xFFFF;
// BFFM_SETSELECTIONW (shlobj.h), spelled out to keep the shell headers out of the tests.
constexpr UINT BrowseSetSelectionW = WM_USER + 103;

// Text of a window without sending it a message: safe while its thread is busy.
inline std::wstring captionOf(HWND window) {
    wchar_t buffer[512];
    int length = InternalGetWindowText(window, buffer, ARRAYSIZE(buffer));
    return std::wstring(buffer, std::max(length, 0));
}

inline std::wstring classNameOf(HWND window) {
    wchar_t buffer[256];
    int length = GetClassNameW(window, buffer, ARRAYSIZE(buffer));
    return std::wstring(buffer, std::max(length, 0));
}

// The text of any window, also a control of another process (WM_GETTEXT is marshalled).
inline std::wstring windowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, MessageTimeoutMs,
                             &length))
        return captionOf(window);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, MessageTimeoutMs, &copied))
        return captionOf(window);
    text.resize(std::min<size_t>(copied, length));
    return text;
}

inline BOOL CALLBACK collectWindow(HWND window, LPARAM handles) {
    reinterpret_cast<std::vector<HWND>*>(handles)->push_back(window);
    return TRUE;
}

// All top-level windows, in Z order.
inline std::vector<HWND> topLevelWindows() {
    std::vector<HWND> handles;
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&handles));
    return handles;
}

// Polls `condition` until it holds; false when it still does not after `timeoutMs`.
inline bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() >= deadline) return false;
        Sleep(PollIntervalMs);
    }
    return true;
}

// The first visible top-level window (in Z order) that `wanted` accepts, or null.
inline HWND findWindowWhere(const std::function<bool(HWND)>& wanted) {
    for (HWND window : topLevelWindows())
        if (IsWindowVisible(window) && wanted(window)) return window;
    return nullptr;
}

// A visible top-level window whose caption is exactly `caption`, or null.
inline HWND findWindow(const std::wstring& caption) {
    return findWindowWhere([&](HWND window) { return captionOf(window) == caption; });
}

// Polls for a visible top-level window that `wanted` accepts; null after the time-out.
inline HWND waitForWindowWhere(const std::function<bool(HWND)>& wanted, DWORD timeoutMs) {
    HWND found = nullptr;
    waitUntil([&] { return (found = findWindowWhere(wanted)) != nullptr; }, timeoutMs);
    return found;
}

// Polls for a visible top-level window with that exact caption; null after the time-out.
inline HWND waitForWindow(const std::wstring& caption, DWORD timeoutMs) {
    return waitForWindowWhere([&](HWND window) { return captionOf(window) == caption; }, timeoutMs);
}

// Waits until `window` is hidden or destroyed, so that the next wait does not find it again.
inline bool waitGone(HWND window, DWORD timeoutMs) {
    return waitUntil([window] { return !IsWindowVisible(window); }, timeoutMs);
}

// The message of a message box (#32770 with the text in Static 0xFFFF).
inline std::wstring messageBoxText(HWND box) {
    HWND text = GetDlgItem(box, MessageBoxTextId);
    return text ? windowText(text) : std::wstring();
}

// Presses button `id` of `dialog` without waiting for what the press starts (a modal loop
// ending, another dialog opening). A push button gets the dialog the WM_COMMAND a click makes,
// which works whether or not the dialog is active (Windows may drop a BM_CLICK to an inactive
// dialog); other buttons (check boxes, radio buttons) get BM_CLICK so their state changes.
// False when there is no such enabled button.
inline bool clickButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (!button || !IsWindowEnabled(button)) return false;
    const LONG type = GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
        return PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                            reinterpret_cast<LPARAM>(button)) != FALSE;
    return PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
}

// Replaces the text of control `id` (an edit) of `dialog`.
inline bool setControlText(HWND dialog, int id, const std::wstring& text) {
    HWND control = GetDlgItem(dialog, id);
    DWORD_PTR result = 0;
    return control &&
           SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                               SMTO_ABORTIFHUNG, MessageTimeoutMs, &result) &&
           result;
}

using kelmo::win32::isExtendedKey;

inline INPUT keyEvent(WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (isExtendedKey(vk) ? KEYEVENTF_EXTENDEDKEY : 0) | (up ? KEYEVENTF_KEYUP : 0);
    return input;
}

// Injects a press of `vk` held for `holdMs` into the system input stream (whatever window has
// the focus gets it). A held press is what makes a polled GetAsyncKeyState see the key. False
// when the system refused the input.
inline bool pressKey(WORD vk, DWORD holdMs) {
    INPUT down = keyEvent(vk, false);
    const bool pressed = SendInput(1, &down, sizeof(INPUT)) == 1;
    Sleep(holdMs);
    INPUT up = keyEvent(vk, true);
    const bool released = SendInput(1, &up, sizeof(INPUT)) == 1;
    return pressed && released;
}

// A copy of `bytes` in the memory of a window's process (also when that is this process), for a
// message parameter that the window reads. Freed again unless the window may still read it.
class MessageMemory {
public:
    MessageMemory(HWND window, std::string_view bytes) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        process_.reset(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, processId));
        if (process_)
            address_ = VirtualAllocEx(process_.get(), nullptr, bytes.size(),
                                      MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (address_ &&
            !WriteProcessMemory(process_.get(), address_, bytes.data(), bytes.size(), nullptr))
            VirtualFreeEx(process_.get(), std::exchange(address_, nullptr), 0, MEM_RELEASE);
    }
    MessageMemory(const MessageMemory&) = delete;
    MessageMemory& operator=(const MessageMemory&) = delete;
    ~MessageMemory() {
        if (address_) VirtualFreeEx(process_.get(), address_, 0, MEM_RELEASE);
    }
    // Sends `message` with the memory's address as its wParam or its lParam; false when there
    // is no memory or the window did not answer in time (it keeps the memory then).
    bool send(HWND window, UINT message, bool inWParam) {
        const auto at = reinterpret_cast<UINT_PTR>(address_);
        DWORD_PTR result = 0;
        if (address_ &&
            SendMessageTimeoutW(window, message, inWParam ? at : TRUE, inWParam ? 0 : at,
                                SMTO_ABORTIFHUNG, MessageTimeoutMs, &result))
            return true;
        address_ = nullptr;
        return false;
    }

private:
    kelmo::win32::Handle process_;
    void* address_ = nullptr;
};

template <typename T> std::string_view bytesOf(const T* data, std::size_t count) {
    return {reinterpret_cast<const char*>(data), count * sizeof(T)};
}

// Drops `paths` on `window` at `point` (its client coordinates) as the shell does: a DROPFILES
// list in the window's process, sent with WM_DROPFILES (so it is freed only after the window
// has handled the drop). False when it could not be handed over in time.
inline bool dropFiles(HWND window, POINT point, const std::vector<std::wstring>& paths) {
    DROPFILES header{sizeof header, point, FALSE, TRUE};
    std::string list(bytesOf(&header, 1));
    for (const std::wstring& path : paths)
        list += bytesOf(path.c_str(), path.size() + 1);
    list += bytesOf(L"", 1);
    return MessageMemory(window, list).send(window, WM_DROPFILES, true);
}

// Selects `path` in a Browse-For-Folder dialog (BFFM_SETSELECTIONW, wParam TRUE, the path in the
// dialog's process). Wine ignores the first selection of a folder whose parent changed since it
// was last read, and takes it on the second try: hence the selection is sent twice.
inline bool selectFolder(HWND dialog, const std::wstring& path) {
    MessageMemory memory(dialog, bytesOf(path.c_str(), path.size() + 1));
    return memory.send(dialog, BrowseSetSelectionW, false) &&
           memory.send(dialog, BrowseSetSelectionW, false);
}

// Runs `work` on a Win32 thread and joins it on destruction. While joining, messages sent to
// this thread's windows are still handled, so the work may talk to them without a deadlock.
// An exception escaping `work` is kept as failure().
class BackgroundPilot {
public:
    explicit BackgroundPilot(std::function<void()> work)
        : work_(std::move(work)),
          thread_(CreateThread(nullptr, 0, &BackgroundPilot::run, this, 0, nullptr)) {
        if (!thread_) throw std::runtime_error("CreateThread failed");
    }
    BackgroundPilot(const BackgroundPilot&) = delete;
    BackgroundPilot& operator=(const BackgroundPilot&) = delete;
    ~BackgroundPilot() { join(); }

    // Waits until the work is done.
    void join() {
        const HANDLE thread = thread_.get();
        MSG message;
        while (MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_SENDMESSAGE, 0) ==
               WAIT_OBJECT_0 + 1)
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    // What the work threw, empty when it returned normally.
    const std::string& failure() const { return failure_; }

private:
    static DWORD WINAPI run(void* self) {
        auto* pilot = static_cast<BackgroundPilot*>(self);
        try {
            pilot->work_();
        } catch (const std::exception& e) {
            pilot->failure_ = e.what();
        } catch (...) {
            pilot->failure_ = "unknown exception";
        }
        return 0;
    }

    std::function<void()> work_;
    std::string failure_;
    kelmo::win32::Handle thread_;
};

} // namespace kelmo::testtools
