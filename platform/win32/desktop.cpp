// Windows, focus, raw keyboard and processes on Win32 (user32, kernel32).
#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/win32/com.h"
#include "platform/win32/implementations.h"

namespace kelmo::win32 {

namespace {

using platform::WindowHandle;

HWND toHwnd(WindowHandle window) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window));
}

WindowHandle toHandle(HWND window) {
    return static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(window));
}

// The length of ANSI text without a lead byte cut off from its trail byte at the end.
std::size_t wholeCharactersLength(const char* text, std::size_t length) {
    std::size_t whole = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(text[i]))) {
            if (i + 1 >= length) break;
            ++i;
        }
        whole = i + 1;
    }
    return whole;
}

std::wstring fromAnsi(const char* text, std::size_t length) {
    if (length == 0) return L"";
    int count = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(count), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), result.data(), count);
    return result;
}

class Win32Windows final : public platform::Windows {
public:
    WindowHandle foreground() override { return toHandle(GetForegroundWindow()); }
    WindowHandle lastActivePopup(WindowHandle window) override {
        return toHandle(GetLastActivePopup(toHwnd(window)));
    }
    bool setForeground(WindowHandle window) override {
        return SetForegroundWindow(toHwnd(window)) != FALSE;
    }
    std::int32_t show(WindowHandle window, std::int32_t showCommand) override {
        return ShowWindow(toHwnd(window), showCommand);
    }
    // A 128-byte buffer of NULs, read up to its first NUL: no window or no caption gives "".
    std::wstring captionAnsi128(WindowHandle window) override {
        if (window == 0) return L"";
        char buffer[128] = {};
        GetWindowTextA(toHwnd(window), buffer, 128);
        std::size_t length = strnlen(buffer, sizeof buffer);
        return fromAnsi(buffer, wholeCharactersLength(buffer, length));
    }
    WindowHandle findWindowByClass(const std::wstring& className) override {
        return toHandle(FindWindowW(className.c_str(), nullptr));
    }
};

class Win32Keyboard final : public platform::Keyboard {
public:
    std::int16_t asyncKeyState(int virtualKey) override { return GetAsyncKeyState(virtualKey); }
    void rawKeyEvent(std::uint8_t virtualKey, std::uint8_t scan, std::uint32_t flags) override {
        keybd_event(virtualKey, scan, flags, 0);
    }
};

// The show command for a window style; the styles 0-4 are show commands already.
WORD showCommandOf(std::int32_t windowStyle) {
    constexpr std::int32_t minimisedWithoutFocus = 6;
    return windowStyle == minimisedWithoutFocus ? SW_SHOWMINNOACTIVE
                                                : static_cast<WORD>(windowStyle);
}

class Win32Processes final : public platform::Processes {
public:
    platform::ProcessId start(const std::wstring& commandLine, std::int32_t windowStyle) override {
        std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
        line.push_back(L'\0');
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = showCommandOf(windowStyle);
        PROCESS_INFORMATION created{};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &created))
            throwLastError(commandLine.c_str());
        Handle process(created.hProcess), thread(created.hThread);
        return created.dwProcessId;
    }

    // The standard rights, plus what WaitForInputIdle needs to wait at all.
    void waitForInputIdle(platform::ProcessId process) override {
        constexpr DWORD access = STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | PROCESS_QUERY_INFORMATION;
        Handle handle(OpenProcess(access, TRUE, process));
        if (handle) WaitForInputIdle(handle.get(), INFINITE);
    }

    [[noreturn]] void endRun() override {
        TerminateProcess(GetCurrentProcess(), 1);
        ExitProcess(1);
    }

    std::wstring currentDirectory() override {
        DWORD size = GetCurrentDirectoryW(0, nullptr);
        std::wstring path(size, L'\0');
        DWORD length = GetCurrentDirectoryW(size, path.data());
        if (length == 0 || length >= size) throwLastError(L"GetCurrentDirectory");
        path.resize(length);
        return path;
    }
};

} // namespace

std::unique_ptr<platform::Windows> makeWindows() {
    return std::make_unique<Win32Windows>();
}
std::unique_ptr<platform::Keyboard> makeKeyboard() {
    return std::make_unique<Win32Keyboard>();
}
std::unique_ptr<platform::Processes> makeProcesses() {
    return std::make_unique<Win32Processes>();
}

} // namespace kelmo::win32
