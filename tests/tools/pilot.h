// The dialog pilot: finds top-level windows by caption, reads their controls, presses buttons,
// types into edits, answers Browse-For-Folder dialogs and injects keys. Header-only so a test
// can drive a box that its own main thread opened (from a BackgroundPilot while the main thread
// sits in the modal loop); Pilot.exe offers the same operations on the command line.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace kelmo::testtools {

// How long a message to another window may take before we treat that window as hung.
constexpr UINT kMessageTimeoutMs = 5000;
// Polling interval while waiting for a window.
constexpr DWORD kPollIntervalMs = 20;
// The id of the Static control that holds a message box's text.
constexpr int kMessageBoxTextId = 0xFFFF;
// BFFM_SETSELECTIONW (shlobj.h), spelled out to keep the shell headers out of the tests.
constexpr UINT kBrowseSetSelectionW = WM_USER + 103;

struct ChildControl {
    HWND hwnd = nullptr;
    int id = 0;
    std::wstring className;
    std::wstring text;
    bool visible = false;
    bool enabled = false;
};

// Owns a kernel handle.
class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE h = nullptr) : h_(h) {}
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() {
        if (h_ && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ && h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

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
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                             &length))
        return captionOf(window);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied))
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
        Sleep(kPollIntervalMs);
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

// Every descendant control of `parent`, in Z order.
inline std::vector<ChildControl> children(HWND parent) {
    std::vector<HWND> handles;
    EnumChildWindows(parent, collectWindow, reinterpret_cast<LPARAM>(&handles));
    std::vector<ChildControl> controls;
    for (HWND child : handles) {
        controls.push_back({child, GetDlgCtrlID(child), classNameOf(child), windowText(child),
                            IsWindowVisible(child) != FALSE, IsWindowEnabled(child) != FALSE});
    }
    return controls;
}

// The message of a message box (#32770 with the text in Static 0xFFFF).
inline std::wstring messageBoxText(HWND box) {
    HWND text = GetDlgItem(box, kMessageBoxTextId);
    return text ? windowText(text) : std::wstring();
}

// A button text as read on screen: "&Retry" reads "Retry", and the "(&R)" that Japanese
// texts append ("再試行(&R)") reads as nothing.
inline std::wstring withoutMnemonics(const std::wstring& text) {
    std::wstring plain = text;
    const size_t suffix = plain.size() >= 4 ? plain.size() - 4 : std::wstring::npos;
    if (suffix != std::wstring::npos && plain.compare(suffix, 2, L"(&") == 0 &&
        plain.back() == L')')
        plain.erase(suffix);
    std::wstring result;
    for (size_t i = 0; i < plain.size(); ++i) {
        if (plain[i] == L'&' && i + 1 < plain.size()) ++i;
        result += plain[i];
    }
    return result;
}

// The id of the Button whose text is `text`, exactly or as read on screen; -1 when none is.
inline int buttonIdByText(HWND dialog, const std::wstring& text) {
    for (const ChildControl& control : children(dialog)) {
        if (_wcsicmp(control.className.c_str(), L"Button") != 0) continue;
        if (control.text == text || withoutMnemonics(control.text) == text) return control.id;
    }
    return -1;
}

inline bool isPushButton(HWND button) {
    const LONG type = GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

// Presses button `id` of `dialog` without waiting for what the press starts (a modal loop
// ending, another dialog opening). A push button gets the dialog the WM_COMMAND a click makes,
// which works whether or not the dialog is active (Windows may drop a BM_CLICK to an inactive
// dialog); other buttons (check boxes, radio buttons) get BM_CLICK so their state changes.
// False when there is no such enabled button.
inline bool clickButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (!button || !IsWindowEnabled(button)) return false;
    if (isPushButton(button))
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
                               SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result) &&
           result;
}

inline bool isExtendedKey(WORD vk) {
    switch (vk) {
    case VK_CANCEL:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_END:
    case VK_HOME:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
    case VK_SNAPSHOT:
    case VK_INSERT:
    case VK_DELETE:
    case VK_LWIN:
    case VK_RWIN:
    case VK_APPS:
    case VK_DIVIDE:
    case VK_NUMLOCK:
    case VK_RCONTROL:
    case VK_RMENU:
        return true;
    default:
        return false;
    }
}

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

// Memory in a window's process (also when that is this process) for a message parameter the
// window reads or fills. Freed again unless abandoned.
class MessageMemory {
public:
    MessageMemory(HWND window, size_t bytes)
        : bytes_(bytes), process_(OpenProcess(kAccess, FALSE, processOf(window))) {
        if (process_)
            address_ = VirtualAllocEx(process_.get(), nullptr, bytes, MEM_COMMIT | MEM_RESERVE,
                                      PAGE_READWRITE);
    }
    MessageMemory(const MessageMemory&) = delete;
    MessageMemory& operator=(const MessageMemory&) = delete;
    ~MessageMemory() {
        if (address_) VirtualFreeEx(process_.get(), address_, 0, MEM_RELEASE);
    }

    explicit operator bool() const { return address_ != nullptr; }
    // The address as the window's process sees it.
    void* address() const { return address_; }
    void* at(size_t offset) const { return static_cast<char*>(address_) + offset; }

    bool write(size_t offset, const void* data, size_t size) {
        return address_ && offset + size <= bytes_ &&
               WriteProcessMemory(process_.get(), at(offset), data, size, nullptr);
    }
    bool read(size_t offset, void* data, size_t size) const {
        return address_ && offset + size <= bytes_ &&
               ReadProcessMemory(process_.get(), at(offset), data, size, nullptr);
    }
    // For a message that timed out: the window may still use the memory later.
    void abandon() { address_ = nullptr; }

private:
    static constexpr DWORD kAccess = PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE;
    static DWORD processOf(HWND window) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        return processId;
    }

    size_t bytes_;
    OwnedHandle process_;
    void* address_ = nullptr;
};

// Sends a message whose parameter points into `memory`; abandons the memory when the window
// did not answer in time.
inline bool sendWithMemory(HWND window, UINT message, WPARAM wParam, MessageMemory& memory) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window, message, wParam, reinterpret_cast<LPARAM>(memory.address()),
                            SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result))
        return true;
    memory.abandon();
    return false;
}

// Drops `paths` on `window` at `point` (its client coordinates) as the shell does: a DROPFILES
// list in the window's process, handed over with WM_DROPFILES. Sent rather than posted, so the
// list is freed only after the window has handled the drop. False when it could not be handed
// over or the window did not answer in time.
inline bool dropFiles(HWND window, POINT point, const std::vector<std::wstring>& paths) {
    std::vector<wchar_t> list;
    for (const std::wstring& path : paths)
        list.insert(list.end(), path.c_str(), path.c_str() + path.size() + 1);
    list.push_back(L'\0');
    DROPFILES header{};
    header.pFiles = sizeof header;
    header.pt = point;
    header.fWide = TRUE;
    MessageMemory memory(window, sizeof header + list.size() * sizeof(wchar_t));
    DWORD_PTR result = 0;
    if (!memory || !memory.write(0, &header, sizeof header) ||
        !memory.write(sizeof header, list.data(), list.size() * sizeof(wchar_t)))
        return false;
    if (SendMessageTimeoutW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory.address()), 0,
                            SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result))
        return true;
    memory.abandon();
    return false;
}

// The selected item of a tree view (null when none is), as an opaque value.
inline LRESULT selectedTreeItem(HWND tree) {
    DWORD_PTR item = 0;
    SendMessageTimeoutW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                        &item);
    return static_cast<LRESULT>(item);
}

// The text of a tree item; the tree's process must be 32-bit like ours (TVITEMW holds a pointer).
inline std::wstring treeItemText(HWND tree, LRESULT item) {
    constexpr size_t kMaxChars = MAX_PATH;
    MessageMemory memory(tree, sizeof(TVITEMW) + kMaxChars * sizeof(wchar_t));
    if (!memory) return {};
    TVITEMW request{};
    request.mask = TVIF_TEXT;
    request.hItem = reinterpret_cast<HTREEITEM>(item);
    request.pszText = reinterpret_cast<wchar_t*>(memory.at(sizeof(TVITEMW)));
    request.cchTextMax = kMaxChars;
    const wchar_t empty = L'\0';
    wchar_t text[kMaxChars + 1] = {};
    if (!memory.write(0, &request, sizeof request) ||
        !memory.write(sizeof(TVITEMW), &empty, sizeof empty) ||
        !sendWithMemory(tree, TVM_GETITEMW, 0, memory) ||
        !memory.read(sizeof(TVITEMW), text, kMaxChars * sizeof(wchar_t)))
        return {};
    return text;
}

// Whether a tree item's text names the folder `path` ends in ("Windows" for C:\Windows, a text
// with "(C:)" for C:\).
inline bool itemNamesFolder(const std::wstring& itemText, std::wstring path) {
    while (path.size() > 1 && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    const size_t separator = path.find_last_of(L"\\/");
    const std::wstring name = separator == std::wstring::npos ? path : path.substr(separator + 1);
    if (name.size() == 2 && name[1] == L':')
        return itemText.find(L"(" + name + L")") != std::wstring::npos;
    return _wcsicmp(itemText.c_str(), name.c_str()) == 0;
}

// Selects `path` in a Browse-For-Folder dialog (BFFM_SETSELECTIONW with the path string placed
// in the dialog's process). True when the tree selection moved, or already was on that folder.
// Wine ignores the first selection of a folder whose parent changed since it was last read, and
// takes it on the second try: hence the repetition while the selection stays where it was.
inline bool selectFolder(HWND dialog, const std::wstring& path) {
    constexpr int kAttempts = 3;
    HWND tree = FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr);
    MessageMemory memory(dialog, (path.size() + 1) * sizeof(wchar_t));
    if (!tree || !memory || !memory.write(0, path.c_str(), (path.size() + 1) * sizeof(wchar_t)))
        return false;
    const LRESULT before = selectedTreeItem(tree);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (!sendWithMemory(dialog, kBrowseSetSelectionW, TRUE, memory)) return false;
        if (selectedTreeItem(tree) != before) return true;
    }
    return before && itemNamesFolder(treeItemText(tree, before), path);
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

    // Waits until the work is done; false on time-out.
    bool join(DWORD timeoutMs = INFINITE) {
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        const HANDLE thread = thread_.get();
        for (;;) {
            DWORD wait = INFINITE;
            if (timeoutMs != INFINITE) {
                const ULONGLONG now = GetTickCount64();
                wait = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
            }
            const DWORD signalled =
                MsgWaitForMultipleObjectsEx(1, &thread, wait, QS_SENDMESSAGE, 0);
            if (signalled == WAIT_OBJECT_0) return true;
            if (signalled != WAIT_OBJECT_0 + 1) return false;
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
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
    OwnedHandle thread_;
};

} // namespace kelmo::testtools
