// Pilot.exe: `Pilot.exe click "<caption>" <button id> [timeout_ms]` presses a button of a box
// from outside the program under test, for the shell tests, once the visible window captioned
// so is there (within 10 s by default). Exits with 0 on success, 1 when there was no such
// window or button, 2 for a malformed command line.
#include "pilot.h"
#include "toolio.h"

using namespace kelmo::testtools;

int main() {
    const std::vector<std::wstring> args = commandLineArguments();
    wchar_t* end = nullptr;
    const int id = args.size() >= 3 ? int(wcstol(args[2].c_str(), &end, 0)) : 0;
    if (args.size() < 3 || args.size() > 4 || args[0] != L"click" || !end || *end)
        return printError(L"usage: Pilot.exe click \"<caption>\" <button id> [timeout_ms]"), 2;
    HWND window = waitForWindow(args[1], args.size() == 4 ? wcstoul(args[3].c_str(), 0, 0) : 10000);
    if (window && clickButton(window, id)) return 0;
    printError(window ? L"no enabled button " + args[2] : L"no window " + args[1]);
    return 1;
}
