// BenchWindow.exe: the program the launch figures start. It opens one top-level window titled
// "KelmoBench target", in front, and ends when that window is closed (after a minute at the
// latest), so that its start-up is as short as a program's can be.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    const HWND window = CreateWindowExW(0, L"STATIC", L"KelmoBench target", WS_OVERLAPPEDWINDOW,
                                        100, 100, 320, 200, nullptr, nullptr, nullptr, nullptr);
    if (!window) return 1;
    ShowWindow(window, show);
    SetForegroundWindow(window);
    SetTimer(nullptr, 0, 60000, nullptr);
    MSG message;
    while (IsWindow(window) && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER) break;
        DispatchMessageW(&message);
    }
    return 0;
}
