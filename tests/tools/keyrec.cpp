// KeyRec.exe: a window that records every keyboard message it gets, so tests can check what
// injected keys arrive as.
// Usage: KeyRec.exe <logfile> [title] [--edit] [--stall=<ms>] [--hold-clipboard=<ms>]
// - writes its window handle to <logfile>.hwnd, takes the foreground and the keyboard focus and
//   then prints "READY hwnd=0x........"; with --edit the window is a multi-line edit;
// - appends "<MSG> vk=.. scan=.. ext=. ch=U+XXXX|-" to <logfile> for each keyboard message;
// - ends on WM_CLOSE or once <logfile>.quit exists, writing its text to <logfile>.text;
// - --stall=<ms>: handles nothing for that long after its first character, as a busy program;
// - --hold-clipboard=<ms>: opens the clipboard right after each paste (Ctrl+V) and keeps it
//   open that long, as a clipboard viewer or manager may.
// Alt and F10 never open a menu, so every key of a combination reaches the log.
#include "toolio.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <utility>

using namespace kelmo::testtools;

namespace {

constexpr UINT_PTR PollTimer = 101, ClipboardTimer = 102;
constexpr ULONGLONG ForegroundTimeoutMs = 5000;

// The recorder of this process.
struct Recorder {
    std::wstring log;
    DWORD stallMs = 0, holdClipboardMs = 0;
    kelmo::win32::Handle file;
    HWND window = nullptr;
    WNDPROC next = DefWindowProcW; // the edit's own procedure with --edit
    ULONGLONG shownAt = 0;
    bool ready = false;
} rec;

// Logs a keyboard message and returns its name; nothing for other messages.
const char* record(UINT message, WPARAM wParam, LPARAM lParam) {
    static const char* const names[] = {"WM_KEYDOWN",  "WM_KEYUP",      "WM_CHAR",
                                        "WM_DEADCHAR", "WM_SYSKEYDOWN", "WM_SYSKEYUP",
                                        "WM_SYSCHAR",  "WM_SYSDEADCHAR"};
    if (message < WM_KEYFIRST || message >= WM_KEYFIRST + std::size(names)) return nullptr;
    const char* name = names[message - WM_KEYFIRST];
    char vk[8] = "--", ch[16] = "-", line[96];
    if (std::strstr(name, "CHAR"))
        snprintf(ch, sizeof ch, "U+%04lX", static_cast<unsigned long>(wParam));
    else
        snprintf(vk, sizeof vk, "%02X", static_cast<unsigned>(wParam & 0xFF));
    const auto bits = static_cast<unsigned long>(lParam);
    const int length = snprintf(line, sizeof line, "%s vk=%s scan=%02lX ext=%lu ch=%s\n", name, vk,
                                (bits >> 16) & 0xFF, (bits >> 24) & 1, ch);
    DWORD written = 0;
    WriteFile(rec.file.get(), line, static_cast<DWORD>(length), &written, nullptr);
    if (message == WM_CHAR && rec.stallMs > 0) Sleep(std::exchange(rec.stallMs, 0));
    return name;
}

// Until READY is out, asks for the foreground; then watches for the quit file.
void poll() {
    const bool inFront = GetForegroundWindow() == rec.window && GetFocus() == rec.window;
    if (!rec.ready && inFront) {
        rec.ready = true;
        printLine(L"READY hwnd=" + hexHandle(rec.window));
    } else if (!rec.ready && GetTickCount64() - rec.shownAt > ForegroundTimeoutMs) {
        printError(L"KeyRec: could not take the foreground and the keyboard focus");
        PostQuitMessage(2);
    } else if (!rec.ready) {
        SetForegroundWindow(rec.window);
        SetFocus(rec.window);
    }
    if (fileExists(rec.log + L".quit")) PostMessageW(rec.window, WM_CLOSE, 0, 0);
}

// A bare window swallows every key; an edit keeps editing but for the system keys.
LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const char* key = record(message, wParam, lParam);
    const bool keyMenu = message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_KEYMENU;
    if (keyMenu || (key && (rec.next == DefWindowProcW || std::strncmp(key, "WM_SYS", 6) == 0)))
        return 0;
    if (message == WM_TIMER && wParam == PollTimer) poll();
    if (message == WM_TIMER && wParam == ClipboardTimer && KillTimer(hwnd, ClipboardTimer))
        CloseClipboard();
    if (message == WM_CLOSE && KillTimer(hwnd, PollTimer)) {
        std::wstring text(GetWindowTextLengthW(hwnd) + 1, L'\0');
        text.resize(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size())));
        writeUtf8File(rec.log + L".text", rec.next == DefWindowProcW ? L"" : text);
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    if (message == WM_TIMER && (wParam == PollTimer || wParam == ClipboardTimer)) return 0;
    const LRESULT result = CallWindowProcW(rec.next, hwnd, message, wParam, lParam);
    if (message == WM_CHAR && wParam == 0x16 && rec.holdClipboardMs > 0 && OpenClipboard(hwnd))
        SetTimer(hwnd, ClipboardTimer, rec.holdClipboardMs, nullptr); // after a paste
    return result;
}

HWND createWindow(const std::wstring& title, bool edit) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"KelmoKeyRecWindow";
    if (!edit && !RegisterClassW(&wc)) return nullptr;
    const DWORD style = WS_OVERLAPPEDWINDOW |
                        (edit ? WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN : 0);
    HWND window = CreateWindowExW(0, edit ? L"EDIT" : wc.lpszClassName, edit ? L"" : title.c_str(),
                                  style, 100, 100, 480, 320, nullptr, nullptr, instance, nullptr);
    if (window && edit)
        rec.next = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(windowProc)));
    return window;
}

} // namespace

int main() {
    std::vector<std::wstring> positional;
    bool edit = false;
    for (const std::wstring& arg : commandLineArguments()) {
        if (arg == L"--edit")
            edit = true;
        else if (arg.rfind(L"--stall=", 0) == 0)
            rec.stallMs = std::stoul(arg.substr(8));
        else if (arg.rfind(L"--hold-clipboard=", 0) == 0)
            rec.holdClipboardMs = std::stoul(arg.substr(17));
        else
            positional.push_back(arg);
    }
    if (positional.empty() || positional.size() > 2 || positional[0].empty()) {
        printError(L"usage: KeyRec.exe <logfile> [title] [--edit] [--stall=<ms>] "
                   L"[--hold-clipboard=<ms>]");
        return 2;
    }
    rec.log = positional[0];
    rec.file.reset(CreateFileW(rec.log.c_str(), FILE_APPEND_DATA,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    rec.window = createWindow(positional.size() == 2 ? positional[1] : L"Kelmo KeyRec", edit);
    if (!rec.file || !rec.window || !writeUtf8File(rec.log + L".hwnd", hexHandle(rec.window))) {
        printError(L"KeyRec: cannot open " + rec.log + L" or create the window");
        return 1;
    }
    DeleteFileW((rec.log + L".quit").c_str());
    ShowWindow(rec.window, SW_SHOWNORMAL);
    SetForegroundWindow(rec.window);
    SetFocus(rec.window);
    rec.shownAt = GetTickCount64();
    SetTimer(rec.window, PollTimer, 50, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
