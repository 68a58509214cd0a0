// Windows, focus, raw keyboard and processes on Win32 (user32, kernel32).
#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/win32/failures.h"
#include "platform/win32/owned.h"
#include "platform/win32/implementations.h"
#include "platform/win32/shellopen.h"

namespace kelmo::win32 {

namespace {

using platform::WindowHandle;

HWND toHwnd(WindowHandle window) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window));
}

WindowHandle toHandle(HWND window) {
    return static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(window));
}

// The bytes `character` (one UTF-16 unit or a surrogate pair) takes in the ANSI code page.
std::size_t ansiBytes(const wchar_t* character, int units) {
    char bytes[8];
    const int count =
        WideCharToMultiByte(CP_ACP, 0, character, units, bytes, sizeof bytes, nullptr, nullptr);
    return count > 0 ? static_cast<std::size_t>(count) : 1;
}

// The longest prefix of whole characters that fits into `maxBytes` ANSI bytes.
std::wstring cutToAnsiBytes(const std::wstring& text, std::size_t maxBytes) {
    std::size_t used = 0, end = 0;
    while (end < text.size()) {
        const bool pair = IS_HIGH_SURROGATE(text[end]) && end + 1 < text.size() &&
                          IS_LOW_SURROGATE(text[end + 1]);
        const int units = pair ? 2 : 1;
        used += ansiBytes(&text[end], units);
        if (used > maxBytes) break;
        end += static_cast<std::size_t>(units);
    }
    return text.substr(0, end);
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
    // Read in Unicode, so that characters outside the ANSI code page arrive as they are.
    std::wstring caption(WindowHandle window, std::size_t maxAnsiBytes) override {
        if (window == 0) return L"";
        const int length = GetWindowTextLengthW(toHwnd(window));
        if (length <= 0) return L"";
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        const int read = GetWindowTextW(toHwnd(window), text.data(), length + 1);
        text.resize(static_cast<std::size_t>(std::max(read, 0)));
        return cutToAnsiBytes(text, maxAnsiBytes);
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
    constexpr std::int32_t MinimisedWithoutFocus = 6;
    return windowStyle == MinimisedWithoutFocus ? SW_SHOWMINNOACTIVE
                                                : static_cast<WORD>(windowStyle);
}

class Win32OpenedProcess final : public platform::Processes::OpenedProcess {
public:
    explicit Win32OpenedProcess(Handle handle) : handle_(std::move(handle)) {}
    bool inputIdleWithin(std::int32_t milliseconds) override {
        return WaitForInputIdle(handle_.get(), static_cast<DWORD>(std::max(milliseconds, 0))) !=
               WAIT_TIMEOUT;
    }

private:
    Handle handle_;
};

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

    // On the NT family start.exe is missing (start is a command of cmd.exe, which would take
    // %NAME%, ^, & and | in names as its own): there the shell opens the item itself, shown
    // restored and in front as start.exe shows what it opens.
    void startLauncher(const std::wstring& command, std::int32_t windowStyle) override {
        wchar_t found[MAX_PATH];
        if (SearchPathW(nullptr, L"start.exe", nullptr, MAX_PATH, found, nullptr) != 0)
            start(L"start.exe " + command, windowStyle);
        else
            shellOpen(command, SW_SHOWNORMAL);
    }

    // The standard rights, plus what WaitForInputIdle needs to wait at all.
    std::unique_ptr<OpenedProcess> open(platform::ProcessId process) override {
        constexpr DWORD Access = STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | PROCESS_QUERY_INFORMATION;
        Handle handle(OpenProcess(Access, TRUE, process));
        if (!handle) return nullptr;
        return std::make_unique<Win32OpenedProcess>(std::move(handle));
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
