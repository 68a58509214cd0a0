// Pilot.exe: presses a button of a dialog from outside the program under test, for the shell
// tests: `Pilot.exe click "<caption>" <button id> [timeout_ms]` waits for the visible window
// captioned so (10 s by default). Exit code 0 on success, 1 when there was no such window or
// button, 2 for a malformed command line; failures are explained on stderr.
#include "pilot.h"
#include "toolio.h"

using namespace kelmo::testtools;

int main() {
    const std::vector<std::wstring> args = commandLineArguments();
    const auto id = args.size() >= 3 ? parseNumber(args[2]) : std::nullopt;
    const auto timeoutMs = args.size() == 4 ? parseNumber(args[3]) : std::optional(10000ul);
    if (args.size() < 3 || args.size() > 4 || args[0] != L"click" || !id || !timeoutMs) {
        printError(L"usage: Pilot.exe click \"<caption>\" <button id> [timeout_ms]");
        return 2;
    }
    HWND window = waitForWindow(args[1], *timeoutMs);
    const bool clicked = window && clickButton(window, int(*id));
    if (!clicked) printError(window ? L"no enabled button " + args[2] : L"no window " + args[1]);
    return clicked ? 0 : 1;
}
