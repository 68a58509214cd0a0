// The dialog pilot: waits for windows, reads their texts, presses buttons, types into edits,
// drops files, answers folder dialogs and injects keys, also from a BackgroundPilot thread.
#pragma once

#include "toolio.h"

#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <utility>

#include "platform/win32/extendedkeys.h"
#include "platform/win32/owned.h"

namespace kelmo::testtools {

// Sends `message` and waits for the answer at most 5 s; false when the window seems hung.
inline bool sendTimed(HWND window, UINT message, WPARAM w, LPARAM l, DWORD_PTR* result) {
    return SendMessageTimeoutW(window, message, w, l, SMTO_ABORTIFHUNG, 5000, result);
}
// Text of a window without sending it a message: safe while its thread is busy.
inline std::wstring captionOf(HWND window) {
    wchar_t text[512];
    return std::wstring(text, std::max(InternalGetWindowText(window, text, 512), 0));
}
// The text of any window, also a control of another process (WM_GETTEXT is marshalled).
inline std::wstring windowText(HWND window) {
    DWORD_PTR length = 0, copied = 0;
    std::wstring text(sendTimed(window, WM_GETTEXTLENGTH, 0, 0, &length) ? length + 1 : 0, L'\0');
    if (text.empty() || !sendTimed(window, WM_GETTEXT, text.size(), LPARAM(text.data()), &copied))
        return captionOf(window);
    return text.substr(0, std::min<size_t>(copied, length));
}
// The message of a message box (#32770 with the text in Static 0xFFFF).
inline std::wstring messageBoxText(HWND box) {
    return GetDlgItem(box, 0xFFFF) ? windowText(GetDlgItem(box, 0xFFFF)) : L"";
}

inline BOOL CALLBACK collectWindow(HWND window, LPARAM handles) {
    return reinterpret_cast<std::vector<HWND>*>(handles)->push_back(window), TRUE;
}
inline std::vector<HWND> topLevelWindows() { // in Z order
    std::vector<HWND> handles;
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&handles));
    return handles;
}

inline bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    for (const ULONGLONG deadline = GetTickCount64() + timeoutMs; !condition(); Sleep(20))
        if (GetTickCount64() >= deadline) return false;
    return true;
}
// The first visible top-level window (Z order) that `wanted` accepts; null after a wait's time-out.
inline HWND findWindowWhere(const std::function<bool(HWND)>& wanted) {
    for (HWND window : topLevelWindows())
        if (IsWindowVisible(window) && wanted(window)) return window;
    return nullptr;
}
inline HWND findWindow(const std::wstring& caption) {
    return findWindowWhere([&](HWND window) { return captionOf(window) == caption; });
}
inline HWND waitForWindowWhere(const std::function<bool(HWND)>& wanted, DWORD timeoutMs) {
    HWND found = nullptr;
    waitUntil([&] { return (found = findWindowWhere(wanted)) != nullptr; }, timeoutMs);
    return found;
}
inline HWND waitForWindow(const std::wstring& caption, DWORD timeoutMs) {
    return waitForWindowWhere([&](HWND window) { return captionOf(window) == caption; }, timeoutMs);
}
inline bool waitGone(HWND window, DWORD timeoutMs) {
    return waitUntil([window] { return !IsWindowVisible(window); }, timeoutMs);
}

// Presses button `id` of `dialog` without waiting: a push button by the WM_COMMAND of a click
// (Windows may drop a BM_CLICK to an inactive dialog), others by BM_CLICK; false if disabled.
inline bool clickButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (!button || !IsWindowEnabled(button)) return false;
    const LONG type = GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
        return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(button));
    return PostMessageW(button, BM_CLICK, 0, 0);
}
inline bool setControlText(HWND dialog, int id, const std::wstring& text) {
    DWORD_PTR done = 0;
    return sendTimed(GetDlgItem(dialog, id), WM_SETTEXT, 0, LPARAM(text.c_str()), &done) && done;
}

// Injects a press of `vk` held for `holdMs` (what a polled GetAsyncKeyState sees) to the focus.
inline bool pressKey(WORD vk, DWORD holdMs) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = WORD(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = win32::isExtendedKey(vk) ? KEYEVENTF_EXTENDEDKEY : 0;
    const bool pressed = SendInput(1, &input, sizeof input) == 1;
    Sleep(holdMs);
    input.ki.dwFlags |= KEYEVENTF_KEYUP;
    return SendInput(1, &input, sizeof input) == 1 && pressed;
}

// Sends `message` with a copy of `bytes` in the window's process as wParam or lParam (the other
// TRUE); the copy is freed unless the window did not answer in time and may still read it.
inline bool sendWithMemory(HWND window, UINT message, std::string_view bytes, bool inWParam) {
    DWORD id = 0, flags = PROCESS_VM_OPERATION | PROCESS_VM_WRITE;
    GetWindowThreadProcessId(window, &id);
    const win32::Handle process(OpenProcess(flags, FALSE, id));
    void* at =
        VirtualAllocEx(process.get(), 0, bytes.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    DWORD_PTR result = 0;
    const bool written = at && WriteProcessMemory(process.get(), at, bytes.data(), bytes.size(), 0);
    const bool sent = written && sendTimed(window, message, inWParam ? UINT_PTR(at) : TRUE,
                                           inWParam ? 0 : LPARAM(at), &result);
    if (at && (sent || !written)) VirtualFreeEx(process.get(), at, 0, MEM_RELEASE);
    return sent;
}
template <typename T> std::string_view bytesOf(const T* data, std::size_t count) {
    return {reinterpret_cast<const char*>(data), count * sizeof(T)};
}
// Drops `paths` on `window` at `point` (client coordinates) as the shell does.
inline bool dropFiles(HWND window, POINT point, const std::vector<std::wstring>& paths) {
    DROPFILES header{sizeof header, point, FALSE, TRUE};
    std::string list(bytesOf(&header, 1));
    for (const std::wstring& path : paths)
        list += bytesOf(path.c_str(), path.size() + 1);
    return sendWithMemory(window, WM_DROPFILES, list.append(bytesOf(L"", 1)), true);
}
// Selects `path` in a Browse-For-Folder dialog; twice, as Wine ignores the first selection of
// a folder whose parent changed since it was last read.
inline bool selectFolder(HWND dialog, const std::wstring& path) {
    const auto bytes = bytesOf(path.c_str(), path.size() + 1);
    return sendWithMemory(dialog, BFFM_SETSELECTIONW, bytes, false) &&
           sendWithMemory(dialog, BFFM_SETSELECTIONW, bytes, false);
}

// Runs `work` on a thread, joined on destruction while this thread's windows still handle sent
// messages (no deadlock).
class BackgroundPilot {
public:
    explicit BackgroundPilot(std::function<void()> work)
        : work_(std::move(work)), thread_(CreateThread(nullptr, 0, run, this, 0, nullptr)) {
        if (!thread_) throw std::runtime_error("CreateThread failed");
    }
    ~BackgroundPilot() { join(); }
    void join() {
        const HANDLE thread = thread_.get();
        for (MSG message; MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_SENDMESSAGE, 0) ==
                          WAIT_OBJECT_0 + 1;)
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }

private:
    static DWORD WINAPI run(void* self) { return static_cast<BackgroundPilot*>(self)->work_(), 0; }

    std::function<void()> work_;
    win32::Handle thread_;
};

} // namespace kelmo::testtools
