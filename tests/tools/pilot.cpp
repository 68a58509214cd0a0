// Pilot.exe click "<caption>" <button id> [timeout_ms]: presses a button of the visible window
// captioned so, from outside the program under test, once it is there (within 10 s by default).
// Exits with 0 on success, 1 when there was no such window or button, 2 for a bad command line.
#include "pilot.h"

using namespace kelmo::testtools;

int main() {
    const std::vector<std::wstring> args = commandLineArguments();
    const auto id = args.size() >= 3 ? parseNumber(args[2]) : std::nullopt;
    if (args.size() < 3 || args.size() > 4 || args[0] != L"click" || !id)
        return printError(L"usage: Pilot.exe click \"<caption>\" <button id> [timeout_ms]"), 2;
    HWND window = waitForWindow(args[1], args.size() == 4 ? wcstoul(args[3].c_str(), 0, 0) : 10000);
    if (window && clickButton(window, int(*id))) return 0;
    printError(window ? L"no enabled button " + args[2] : L"no window " + args[1]);
    return 1;
}
