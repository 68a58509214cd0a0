// KeyRec.exe <log> [title] [--edit] [--stall=<ms>] [--hold-clipboard=<ms>]: a window (an edit
// with --edit) logging the key messages it gets: "WM_KEYDOWN v41:1E" (virtual key, scan code),
// "WM_SYSKEYUP ^12:38e" (up, extended), "WM_CHAR ch=U+3042". In front with the focus, it writes
// its handle to <log>.hwnd and prints "READY hwnd=0x..."; on WM_CLOSE or <log>.quit it ends,
// leaving the edit's text in <log>.text (UTF-8). It stalls once after its first character, and
// holds the clipboard after each paste, as busy programs and clipboard viewers may.
#include "toolio.h"

#include "platform/win32/owned.h"

#include <cstdio>
#include <cstring>
#include <utility>

using namespace kelmo::testtools;

namespace {

constexpr UINT_PTR PollTimer = 101, ClipboardTimer = 102;

struct Recorder {
    std::wstring log;
    DWORD stallMs = 0, holdClipboardMs = 0;
    kelmo::win32::Handle file;
    HWND window = nullptr;
    WNDPROC next = nullptr; // the procedure of the window's class: a static text or an edit
    bool edit = false, ready = false;
} rec;

void record(UINT message, WPARAM wParam, LPARAM lParam) {
    static const char* const names[] = {"WM_KEYDOWN",  "WM_KEYUP",      "WM_CHAR",
                                        "WM_DEADCHAR", "WM_SYSKEYDOWN", "WM_SYSKEYUP",
                                        "WM_SYSCHAR",  "WM_SYSDEADCHAR"};
    const char* name = names[message - WM_KEYFIRST];
    char line[64];
    const int length = std::strstr(name, "CHAR")
                           ? snprintf(line, sizeof line, "%s ch=U+%04X\n", name, unsigned(wParam))
                           : snprintf(line, sizeof line, "%s %c%02X:%02X%s\n", name,
                                      std::strstr(name, "UP") ? '^' : 'v', unsigned(wParam & 0xFF),
                                      unsigned(lParam >> 16) & 0xFF, (lParam >> 24) & 1 ? "e" : "");
    DWORD written = 0;
    WriteFile(rec.file.get(), line, DWORD(length), &written, nullptr);
    if (message == WM_CHAR && rec.stallMs > 0) Sleep(std::exchange(rec.stallMs, 0));
}

// Until it is in front with the focus, asks for that, then tells its handle; ends on <log>.quit.
void poll() {
    char hwnd[24];
    snprintf(hwnd, sizeof hwnd, "0x%08lX", static_cast<unsigned long>(UINT_PTR(rec.window)));
    if (!rec.ready && GetForegroundWindow() == rec.window && GetFocus() == rec.window) {
        rec.ready = writeFileBytes(rec.log + L".hwnd", hwnd);
        std::printf("READY hwnd=%s\n", hwnd), std::fflush(stdout);
    } else if (!rec.ready) {
        SetForegroundWindow(rec.window), SetFocus(rec.window);
    }
    if (fileExists(rec.log + L".quit")) PostMessageW(rec.window, WM_CLOSE, 0, 0);
}

// The static text swallows every key; the edit keeps editing but for the system keys.
LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool key = message >= WM_KEYFIRST && message <= WM_SYSDEADCHAR;
    if (key) record(message, wParam, lParam);
    if ((key && (!rec.edit || message >= WM_SYSKEYDOWN)) ||
        (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_KEYMENU))
        return 0;
    if (message == WM_TIMER && wParam == PollTimer) {
        poll();
        return 0;
    }
    if (message == WM_TIMER && wParam == ClipboardTimer) {
        if (KillTimer(hwnd, ClipboardTimer)) CloseClipboard(); // at the first tick only
        return 0;
    }
    if (message == WM_CLOSE && KillTimer(hwnd, PollTimer)) {
        std::wstring text(GetWindowTextLengthW(hwnd) + 1, L'\0');
        text.resize(GetWindowTextW(hwnd, text.data(), int(text.size())));
        writeUtf8File(rec.log + L".text", rec.edit ? text : L"");
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    const LRESULT result = CallWindowProcW(rec.next, hwnd, message, wParam, lParam);
    if (message == WM_CHAR && wParam == 0x16 && rec.holdClipboardMs > 0 && OpenClipboard(hwnd))
        SetTimer(hwnd, ClipboardTimer, rec.holdClipboardMs, nullptr); // after a paste
    return result;
}

} // namespace

int main() {
    std::vector<std::wstring> positional;
    for (const std::wstring& arg : commandLineArguments()) {
        rec.edit |= arg == L"--edit";
        if (arg.starts_with(L"--stall=")) rec.stallMs = std::stoul(arg.substr(8));
        if (arg.starts_with(L"--hold-clipboard=")) rec.holdClipboardMs = std::stoul(arg.substr(17));
        if (!arg.starts_with(L"--")) positional.push_back(arg);
    }
    if (positional.empty() || positional.size() > 2)
        return printError(L"usage: KeyRec.exe <log> [title] [options]"), 2;
    rec.log = positional[0];
    rec.file.reset(CreateFileW(rec.log.c_str(), FILE_APPEND_DATA,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_ALWAYS, 0, nullptr));
    const DWORD editStyle = WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
    rec.window = CreateWindowExW(0, rec.edit ? L"EDIT" : L"STATIC",
                                 rec.edit                 ? L""
                                 : positional.size() == 2 ? positional[1].c_str()
                                                          : L"Kelmo KeyRec",
                                 WS_OVERLAPPEDWINDOW | (rec.edit ? editStyle : 0), 100, 100, 480,
                                 320, nullptr, nullptr, nullptr, nullptr);
    if (!rec.file || !rec.window) return printError(L"KeyRec: cannot start on " + rec.log), 1;
    rec.next = WNDPROC(SetWindowLongPtrW(rec.window, GWLP_WNDPROC, LONG_PTR(windowProc)));
    ShowWindow(rec.window, SW_SHOWNORMAL);
    SetTimer(rec.window, PollTimer, 50, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        TranslateMessage(&msg), DispatchMessageW(&msg);
    return int(msg.wParam);
}
