// KeyRec.exe: a window that records every keyboard message it gets, one line each, so tests
// can check what injected keys arrive as.
// Usage: KeyRec.exe <logfile> [title] [--edit] [--stall=<ms>] [--hold-clipboard=<ms>]
//   - takes the foreground and keeps the keyboard focus (on a multi-line edit with --edit);
//   - appends "<MSG> vk=.. scan=.. ext=. up=. rep=. ch=U+XXXX|- shift=. ctrl=. alt=." lines
//     to <logfile> as the messages are handled;
//   - writes its window handle to <logfile>.hwnd and prints "READY hwnd=0x........" once it is
//     in front with the focus;
//   - ends on WM_CLOSE or when <logfile>.quit appears; with --edit it then writes the edit's
//     text to <logfile>.text.
//   - with --stall=<ms>, stops handling input for that long after its first character, as a
//     busy application does;
//   - with --edit and --hold-clipboard=<ms>, opens the clipboard right after each paste (Ctrl+V)
//     and keeps it open for that long, as a clipboard viewer or manager may.
// Alt and F10 never open a menu, so every key of a combination reaches the log.
#include "toolio.h"

#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace kelmo::testtools;

namespace {

constexpr wchar_t ClassName[] = L"KelmoKeyRecWindow";
constexpr wchar_t DefaultTitle[] = L"Kelmo KeyRec";
constexpr UINT_PTR PollTimer = 1;
constexpr UINT PollIntervalMs = 50;
constexpr UINT_PTR ClipboardTimer = 2;
constexpr WPARAM CtrlV = 0x16;
// How long we keep asking for the foreground before giving up.
constexpr ULONGLONG ForegroundTimeoutMs = 5000;
constexpr int EditId = 100;

struct Options {
    std::wstring logPath;
    std::wstring title = DefaultTitle;
    bool edit = false;
    DWORD stallMs = 0;
    DWORD holdClipboardMs = 0;
};

// <logfile> [title], with --edit anywhere.
std::optional<Options> parseOptions(const std::vector<std::wstring>& args) {
    Options options;
    std::vector<std::wstring> positional;
    for (const std::wstring& arg : args) {
        if (arg == L"--edit")
            options.edit = true;
        else if (arg.rfind(L"--stall=", 0) == 0)
            options.stallMs = static_cast<DWORD>(std::stoul(arg.substr(8)));
        else if (arg.rfind(L"--hold-clipboard=", 0) == 0)
            options.holdClipboardMs = static_cast<DWORD>(std::stoul(arg.substr(17)));
        else
            positional.push_back(arg);
    }
    if (positional.empty() || positional.size() > 2 || positional[0].empty()) return std::nullopt;
    options.logPath = positional[0];
    if (positional.size() == 2) options.title = positional[1];
    return options;
}

const char* messageName(UINT message) {
    switch (message) {
    case WM_KEYDOWN:
        return "WM_KEYDOWN";
    case WM_KEYUP:
        return "WM_KEYUP";
    case WM_SYSKEYDOWN:
        return "WM_SYSKEYDOWN";
    case WM_SYSKEYUP:
        return "WM_SYSKEYUP";
    case WM_CHAR:
        return "WM_CHAR";
    case WM_SYSCHAR:
        return "WM_SYSCHAR";
    case WM_DEADCHAR:
        return "WM_DEADCHAR";
    case WM_SYSDEADCHAR:
        return "WM_SYSDEADCHAR";
    case WM_UNICHAR:
        return "WM_UNICHAR";
    default:
        return nullptr;
    }
}

bool isCharMessage(UINT message) {
    return message == WM_CHAR || message == WM_SYSCHAR || message == WM_DEADCHAR ||
           message == WM_SYSDEADCHAR || message == WM_UNICHAR;
}

bool isSystemKeyMessage(UINT message) {
    return message == WM_SYSKEYDOWN || message == WM_SYSKEYUP || message == WM_SYSCHAR ||
           message == WM_SYSDEADCHAR;
}

bool isKeyMenuCommand(UINT message, WPARAM wParam) {
    return message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_KEYMENU;
}

int isDown(int vk) {
    return (GetKeyState(vk) & 0x8000) ? 1 : 0;
}

// One log line for a keyboard message; the modifier state is the thread's key state now.
std::string describe(UINT message, WPARAM wParam, LPARAM lParam) {
    char vk[8] = "--";
    char ch[16] = "-";
    if (isCharMessage(message)) {
        snprintf(ch, sizeof ch, "U+%04lX", static_cast<unsigned long>(wParam));
    } else {
        snprintf(vk, sizeof vk, "%02X", static_cast<unsigned>(wParam & 0xFF));
    }
    const auto bits = static_cast<unsigned long>(lParam);
    char line[160];
    snprintf(line, sizeof line,
             "%s vk=%s scan=%02lX ext=%lu up=%lu rep=%lu ch=%s shift=%d ctrl=%d alt=%d\n",
             messageName(message), vk, (bits >> 16) & 0xFF, (bits >> 24) & 1, (bits >> 31) & 1,
             bits & 0xFFFF, ch, isDown(VK_SHIFT), isDown(VK_CONTROL), isDown(VK_MENU));
    return line;
}

class Recorder {
public:
    explicit Recorder(Options options) : options_(std::move(options)) {}
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    bool openLog() {
        log_.reset(CreateFileW(options_.logPath.c_str(), FILE_APPEND_DATA,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        return bool(log_);
    }

    bool createWindow(HINSTANCE instance) {
        window_ = CreateWindowExW(0, ClassName, options_.title.c_str(), WS_OVERLAPPEDWINDOW, 100,
                                  100, 480, 320, nullptr, nullptr, instance, this);
        if (!window_) return false;
        if (options_.edit) {
            edit_ = CreateWindowExW(
                WS_EX_CLIENTEDGE, L"EDIT", L"",
                WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
                0, 0, 0, 0, window_, reinterpret_cast<HMENU>(EditId), instance, nullptr);
            if (!edit_) return false;
            SetWindowLongPtrW(edit_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            editProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
                edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Recorder::editProc)));
            fitEdit();
        }
        return writeUtf8File(options_.logPath + L".hwnd", hexHandle(window_));
    }

    void show() {
        DeleteFileW(quitPath().c_str());
        ShowWindow(window_, SW_SHOWNORMAL);
        UpdateWindow(window_);
        takeFocus();
        shownAt_ = GetTickCount64();
        SetTimer(window_, PollTimer, PollIntervalMs, nullptr);
    }

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<Recorder*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
        return self->handleWindowMessage(hwnd, message, wParam, lParam);
    }

private:
    std::wstring quitPath() const { return options_.logPath + L".quit"; }
    HWND focusTarget() const { return edit_ ? edit_ : window_; }

    void record(UINT message, WPARAM wParam, LPARAM lParam) {
        const std::string line = describe(message, wParam, lParam);
        DWORD written = 0;
        WriteFile(log_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        if (message == WM_CHAR && options_.stallMs > 0) Sleep(std::exchange(options_.stallMs, 0));
    }

    void takeFocus() {
        SetForegroundWindow(window_);
        SetFocus(focusTarget());
    }

    void fitEdit() {
        RECT client;
        GetClientRect(window_, &client);
        MoveWindow(edit_, 0, 0, client.right, client.bottom, TRUE);
    }

    // Until READY is out: keep asking for the foreground; afterwards watch for the quit file.
    void poll() {
        if (!ready_) {
            if (GetForegroundWindow() == window_ && GetFocus() == focusTarget()) {
                ready_ = true;
                printLine(L"READY hwnd=" + hexHandle(window_));
            } else if (GetTickCount64() - shownAt_ > ForegroundTimeoutMs) {
                printError(L"KeyRec: could not take the foreground and the keyboard focus");
                PostQuitMessage(2);
            } else {
                takeFocus();
            }
        }
        if (fileExists(quitPath())) finish();
    }

    void finish() {
        KillTimer(window_, PollTimer);
        if (edit_) {
            const int length = GetWindowTextLengthW(edit_);
            std::wstring text(length + 1, L'\0');
            text.resize(GetWindowTextW(edit_, text.data(), length + 1));
            writeUtf8File(options_.logPath + L".text", text);
        }
        DestroyWindow(window_);
    }

    LRESULT handleWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (messageName(message)) {
            record(message, wParam, lParam);
            // Nothing reaches DefWindowProc, which would turn Alt and F10 into menu mode.
            return message == WM_UNICHAR ? FALSE : 0;
        }
        switch (message) {
        case WM_SYSCOMMAND:
            if (isKeyMenuCommand(message, wParam)) return 0;
            break;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) SetFocus(focusTarget());
            return 0;
        case WM_SETFOCUS:
            if (edit_) SetFocus(edit_);
            return 0;
        case WM_SIZE:
            if (edit_) fitEdit();
            return 0;
        case WM_TIMER:
            if (wParam == PollTimer) poll();
            if (wParam == ClipboardTimer) {
                KillTimer(hwnd, ClipboardTimer);
                CloseClipboard();
            }
            return 0;
        case WM_CLOSE:
            finish();
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    // The edit keeps editing; its system keys are recorded and swallowed like the window's.
    static LRESULT CALLBACK editProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Recorder*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (messageName(message)) self->record(message, wParam, lParam);
        if (isSystemKeyMessage(message) || isKeyMenuCommand(message, wParam)) return 0;
        const LRESULT result = CallWindowProcW(self->editProc_, hwnd, message, wParam, lParam);
        if (message == WM_CHAR && wParam == CtrlV) self->holdClipboard();
        return result;
    }

    void holdClipboard() {
        if (options_.holdClipboardMs == 0 || !OpenClipboard(window_)) return;
        SetTimer(window_, ClipboardTimer, options_.holdClipboardMs, nullptr);
    }

    Options options_;
    kelmo::win32::Handle log_;
    HWND window_ = nullptr;
    HWND edit_ = nullptr;
    WNDPROC editProc_ = nullptr;
    ULONGLONG shownAt_ = 0;
    bool ready_ = false;
};

bool registerWindowClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Recorder::windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = ClassName;
    return RegisterClassExW(&wc) != 0;
}

int runMessageLoop() {
    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return got < 0 ? 1 : static_cast<int>(msg.wParam);
}

} // namespace

int main() {
    const auto options = parseOptions(commandLineArguments());
    if (!options) {
        printError(L"usage: KeyRec.exe <logfile> [title] [--edit] [--stall=<ms>] "
                   L"[--hold-clipboard=<ms>]");
        return 2;
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    Recorder recorder(*options);
    if (!recorder.openLog()) {
        printError(L"KeyRec: cannot open " + options->logPath);
        return 1;
    }
    if (!registerWindowClass(instance) || !recorder.createWindow(instance)) {
        printError(L"KeyRec: cannot create the window");
        return 1;
    }
    recorder.show();
    return runMessageLoop();
}
