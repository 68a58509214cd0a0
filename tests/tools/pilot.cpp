// Pilot.exe: drives dialogs and keys for tests from outside the program under test (see the
// usage text below). Exit code 0 on success, 1 when the operation failed or timed out, 2 for a
// malformed command line; failures are explained on stderr.
#include "pilot.h"
#include "toolio.h"

#include <optional>
#include <string>
#include <vector>

using namespace kelmo::testtools;

namespace {

constexpr DWORD kDefaultTimeoutMs = 10000;
constexpr DWORD kDefaultHoldMs = 80;
constexpr int kSucceeded = 0;
constexpr int kFailed = 1;
constexpr int kUsageError = 2;

constexpr wchar_t kUsage[] =
    L"usage:\n"
    L"  Pilot.exe wait \"<caption>\" [timeout_ms]\n"
    L"  Pilot.exe click \"<caption>\" <button id | button text> [timeout_ms]\n"
    L"  Pilot.exe type \"<caption>\" <edit id> \"<text>\" [timeout_ms]\n"
    L"  Pilot.exe key <pause|enter|esc|tab|space|backspace|delete|insert|home|end|left|right|up|"
    L"down|f1..f24|0xNN> [hold_ms]\n"
    L"  Pilot.exe foreground\n"
    L"  Pilot.exe browse \"<caption>\" \"<folder path>\" [timeout_ms]\n"
    L"Ids are decimal or 0x-hexadecimal; the default time-out is 10000 ms, the default hold 80 ms.";

using Arguments = std::vector<std::wstring>;

int usageError(const std::wstring& problem) {
    printError(problem);
    printError(kUsage);
    return kUsageError;
}

int failure(const std::wstring& problem) {
    printError(problem);
    return kFailed;
}

// The optional number at `index`, `fallback` when absent; nullopt when present but malformed.
std::optional<unsigned long> optionalNumber(const Arguments& args, size_t index,
                                            unsigned long fallback) {
    return index < args.size() ? parseNumber(args[index]) : std::optional(fallback);
}

// Control texts go on one line: line breaks and tabs are written as \r \n \t.
std::wstring oneLine(const std::wstring& text) {
    std::wstring line;
    for (wchar_t c : text) {
        if (c == L'\r')
            line += L"\\r";
        else if (c == L'\n')
            line += L"\\n";
        else if (c == L'\t')
            line += L"\\t";
        else
            line += c;
    }
    return line;
}

HWND waitOrReport(const std::wstring& caption, DWORD timeoutMs) {
    HWND window = waitForWindow(caption, timeoutMs);
    if (!window)
        printError(L"no visible window \"" + caption + L"\" within " + std::to_wstring(timeoutMs) +
                   L" ms");
    return window;
}

// wait "<caption>" [timeout_ms]: the window's class, then "id class "text"" per control.
int waitCommand(const Arguments& args) {
    if (args.size() < 2 || args.size() > 3) return usageError(L"wait: wrong number of arguments");
    const auto timeout = optionalNumber(args, 2, kDefaultTimeoutMs);
    if (!timeout) return usageError(L"wait: bad time-out " + args[2]);
    HWND window = waitOrReport(args[1], *timeout);
    if (!window) return kFailed;
    std::wstring listing = classNameOf(window) + L"\n";
    for (const ChildControl& control : children(window)) {
        listing += std::to_wstring(control.id) + L" " + control.className + L" \"" +
                   oneLine(control.text) + L"\"" + (control.visible ? L"" : L" hidden") + L"\n";
    }
    return writeStd(STD_OUTPUT_HANDLE, listing) ? kSucceeded : kFailed;
}

// click "<caption>" <id or text> [timeout_ms]
int clickCommand(const Arguments& args) {
    if (args.size() < 3 || args.size() > 4) return usageError(L"click: wrong number of arguments");
    const auto timeout = optionalNumber(args, 3, kDefaultTimeoutMs);
    if (!timeout) return usageError(L"click: bad time-out " + args[3]);
    HWND window = waitOrReport(args[1], *timeout);
    if (!window) return kFailed;
    const auto number = parseNumber(args[2]);
    const int id = number ? static_cast<int>(*number) : buttonIdByText(window, args[2]);
    if (id < 0) return failure(L"click: no button \"" + args[2] + L"\"");
    if (!clickButton(window, id))
        return failure(L"click: no enabled button with id " + std::to_wstring(id));
    return kSucceeded;
}

// type "<caption>" <edit id> "<text>" [timeout_ms]
int typeCommand(const Arguments& args) {
    if (args.size() < 4 || args.size() > 5) return usageError(L"type: wrong number of arguments");
    const auto id = parseNumber(args[2]);
    if (!id) return usageError(L"type: bad control id " + args[2]);
    const auto timeout = optionalNumber(args, 4, kDefaultTimeoutMs);
    if (!timeout) return usageError(L"type: bad time-out " + args[4]);
    HWND window = waitOrReport(args[1], *timeout);
    if (!window) return kFailed;
    if (!setControlText(window, static_cast<int>(*id), args[3]))
        return failure(L"type: could not set the text of control " + args[2]);
    return kSucceeded;
}

std::optional<WORD> virtualKeyNamed(const std::wstring& name) {
    struct Named {
        const wchar_t* name;
        WORD vk;
    };
    static constexpr Named kNames[] = {
        {L"pause", VK_PAUSE},    {L"enter", VK_RETURN},  {L"esc", VK_ESCAPE},
        {L"escape", VK_ESCAPE},  {L"tab", VK_TAB},       {L"space", VK_SPACE},
        {L"backspace", VK_BACK}, {L"delete", VK_DELETE}, {L"insert", VK_INSERT},
        {L"home", VK_HOME},      {L"end", VK_END},       {L"left", VK_LEFT},
        {L"right", VK_RIGHT},    {L"up", VK_UP},         {L"down", VK_DOWN},
    };
    for (const Named& named : kNames) {
        if (_wcsicmp(named.name, name.c_str()) == 0) return named.vk;
    }
    if (name.size() >= 2 && (name[0] == L'f' || name[0] == L'F')) {
        const auto n = parseNumber(name.substr(1));
        if (n && *n >= 1 && *n <= 24) return static_cast<WORD>(VK_F1 + *n - 1);
    }
    const bool hex = name.size() > 2 && name[0] == L'0' && (name[1] == L'x' || name[1] == L'X');
    const auto vk = hex ? parseNumber(name) : std::nullopt;
    if (vk && *vk >= 1 && *vk <= 0xFE) return static_cast<WORD>(*vk);
    return std::nullopt;
}

// key <name> [hold_ms]
int keyCommand(const Arguments& args) {
    if (args.size() < 2 || args.size() > 3) return usageError(L"key: wrong number of arguments");
    const auto vk = virtualKeyNamed(args[1]);
    if (!vk) return usageError(L"key: unknown key " + args[1]);
    const auto hold = optionalNumber(args, 2, kDefaultHoldMs);
    if (!hold) return usageError(L"key: bad hold time " + args[2]);
    if (!pressKey(*vk, *hold)) return failure(L"key: SendInput refused the key");
    return kSucceeded;
}

// foreground: "<handle> "<caption>"", or "0x00000000 """ when no window is in front.
int foregroundCommand(const Arguments& args) {
    if (args.size() != 1) return usageError(L"foreground: no arguments expected");
    HWND window = GetForegroundWindow();
    const std::wstring caption = window ? captionOf(window) : std::wstring();
    return printLine(hexHandle(window) + L" \"" + oneLine(caption) + L"\"") ? kSucceeded : kFailed;
}

// browse "<caption>" "<folder path>" [timeout_ms]
int browseCommand(const Arguments& args) {
    if (args.size() < 3 || args.size() > 4) return usageError(L"browse: wrong number of arguments");
    const auto timeout = optionalNumber(args, 3, kDefaultTimeoutMs);
    if (!timeout) return usageError(L"browse: bad time-out " + args[3]);
    HWND window = waitOrReport(args[1], *timeout);
    if (!window) return kFailed;
    if (!selectFolder(window, args[2])) return failure(L"browse: could not select " + args[2]);
    if (!clickButton(window, IDOK)) return failure(L"browse: no enabled OK button");
    return kSucceeded;
}

} // namespace

int main() {
    const Arguments args = commandLineArguments();
    if (args.empty()) return usageError(L"no command");
    struct Command {
        const wchar_t* name;
        int (*run)(const Arguments&);
    };
    static constexpr Command kCommands[] = {
        {L"wait", waitCommand}, {L"click", clickCommand},           {L"type", typeCommand},
        {L"key", keyCommand},   {L"foreground", foregroundCommand}, {L"browse", browseCommand},
    };
    for (const Command& command : kCommands) {
        if (_wcsicmp(command.name, args[0].c_str()) == 0) return command.run(args);
    }
    return usageError(L"unknown command " + args[0]);
}
