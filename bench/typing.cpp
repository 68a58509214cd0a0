// The typing figures, through the platform's key injector directly: the test text, typing it
// with the injector (which waits until every key is handled), the target's own limit (one bare
// SendInput burst, no waiting, timed until the recorder has logged every character), watching
// the recorder while another program types, and checking what arrived.
#include "common.h"
#include "recorder_log.h"

#include "base/error.h"
#include "platform/win32/implementations.h"

#include <random>
#include <string_view>

namespace kelmo::bench {

namespace {

// A recorder that stops receiving for this long has received all it will.
constexpr std::int64_t StallMs = 10000;

// Printable ASCII, the same for every run: letters and digits, space and every punctuation
// mark, the key-script syntax characters among them.
std::wstring testText(std::size_t length) {
    constexpr unsigned First = 0x20, Count = 0x7F - 0x20;
    std::minstd_rand random(20240601); // the generator's numbers are fixed by the standard
    std::wstring text;
    for (std::size_t i = 0; i < length; ++i)
        text += wchar_t(First + random() % Count);
    return text;
}

// The text as key actions: one character each (the test texts hold no line breaks).
std::vector<platform::KeyAction> keyActionsFor(const std::wstring& text) {
    std::vector<platform::KeyAction> actions;
    for (const wchar_t c : text)
        actions.push_back(platform::KeyAction::text(c));
    return actions;
}

INPUT keyEvent(WORD vk, WORD scan, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = scan;
    input.ki.dwFlags = flags;
    return input;
}

// The key events the injector sends for the text, without its sentinel: the layout's key for
// each character, with Shift where the layout needs it, else a Unicode packet (also for the
// characters a layout types with AltGr, which no layout here has).
std::vector<INPUT> burstEvents(const std::wstring& text, HKL layout) {
    std::vector<INPUT> events;
    const WORD shiftScan = WORD(MapVirtualKeyExW(VK_SHIFT, MAPVK_VK_TO_VSC, layout));
    for (const wchar_t c : text) {
        const SHORT found = VkKeyScanExW(c, layout);
        const BYTE shiftState = HIBYTE(found);
        if (found == -1 || (shiftState & ~1) != 0) {
            events.push_back(keyEvent(0, c, KEYEVENTF_UNICODE));
            events.push_back(keyEvent(0, c, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP));
            continue;
        }
        const WORD vk = LOBYTE(found);
        const WORD scan = WORD(MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC, layout));
        const bool shift = (shiftState & 1) != 0;
        if (shift) events.push_back(keyEvent(VK_SHIFT, shiftScan, 0));
        events.push_back(keyEvent(vk, scan, 0));
        events.push_back(keyEvent(vk, scan, KEYEVENTF_KEYUP));
        if (shift) events.push_back(keyEvent(VK_SHIFT, shiftScan, KEYEVENTF_KEYUP));
    }
    return events;
}

HKL layoutOf(HWND window) {
    return GetKeyboardLayout(GetWindowThreadProcessId(window, nullptr));
}

void emitResult(double ms, std::size_t characters) {
    emit(L"RESULT ms=" + fixed(ms, 1) + L" chars=" + std::to_wstring(characters));
}

} // namespace

// maketext <file> <length>: the test text, as UTF-8 (for xdotool and the checks).
int makeText(const Arguments& args) {
    const std::wstring path = requiredArgument(args, 1, L"maketext <file> <length>");
    const long length = numberArgument(args, 2, 10000);
    if (!writeUtf8(path, testText(std::size_t(length))))
        throw KelmoError(errors::InvalidCall, L"cannot write " + path);
    return 0;
}

// type <text file> <log>: the text through the key injector, timed from the call to its return
// (it returns once the recorder has handled every key).
int typeWithInjector(const Arguments& args) {
    const std::wstring text = readUtf8File(requiredArgument(args, 1, L"type <text> <log>"));
    const std::wstring log = requiredArgument(args, 2, L"type <text> <log>");
    const std::vector<platform::KeyAction> actions = keyActionsFor(text);
    waitForRecorderInFront(log);
    const auto injector = win32::makeKeyInjector();
    struct NoPauses final : platform::KeyInjector::Pauses {
        bool pauseWanted() override { return false; }
        void pause() override {}
    } noPauses;
    const Stopwatch watch;
    injector->type(actions, noPauses);
    emitResult(watch.elapsedMs(), text.size());
    return 0;
}

// burst <text file> <log>: the same keys in one SendInput call, timed until the recorder has
// logged the last character: the pace of the target itself.
int sendBurst(const Arguments& args) {
    const std::wstring text = readUtf8File(requiredArgument(args, 1, L"burst <text> <log>"));
    const std::wstring log = requiredArgument(args, 2, L"burst <text> <log>");
    const HWND recorder = waitForRecorderInFront(log);
    std::vector<INPUT> events = burstEvents(text, layoutOf(recorder));
    CharacterLog received(log);
    received.poll();
    const std::int64_t start = unixMicroseconds();
    const UINT sent = SendInput(UINT(events.size()), events.data(), sizeof(INPUT));
    if (sent != events.size())
        throw KelmoError(errors::InvalidCall, L"SendInput took " + std::to_wstring(sent) + L" of " +
                                                  std::to_wstring(events.size()) + L" events");
    const std::int64_t last = watchUntilReceived(received, text.size(), StallMs);
    emitResult(double(last - start) / 1000.0, received.characters().size());
    return 0;
}

// watch <log> <count>: prints WATCHING, then waits for the characters another program types;
// prints the Unix time of the last one, for the caller to compare with its own start time.
int watchRecorder(const Arguments& args) {
    const std::wstring log = requiredArgument(args, 1, L"watch <log> <count>");
    const long expected = numberArgument(args, 2, 10000);
    CharacterLog received(log);
    received.poll();
    emit(L"WATCHING");
    const std::int64_t last = watchUntilReceived(received, std::size_t(expected), StallMs);
    emit(L"RESULT last_us=" + std::to_wstring(last) + L" chars=" +
         std::to_wstring(received.characters().size()));
    return 0;
}

// verify <text file> <log> [--edit]: what the recorder received (its edit control's text with
// --edit, else the characters it logged) against the text.
int verifyReceived(const Arguments& args) {
    const std::wstring expected = readUtf8File(requiredArgument(args, 1, L"verify <text> <log>"));
    const std::wstring log = requiredArgument(args, 2, L"verify <text> <log>");
    const std::wstring received =
        hasFlag(args, L"--edit") ? readUtf8File(log + L".text") : loggedCharacters(log);
    const Comparison c = compareCharacters(expected, received);
    if (c.exact) {
        emit(L"VERIFY exact chars=" + std::to_wstring(received.size()));
        return 0;
    }
    emit(L"VERIFY differs expected=" + std::to_wstring(expected.size()) + L" received=" +
         std::to_wstring(received.size()) + L" lost=" + std::to_wstring(c.lost) + L" extra=" +
         std::to_wstring(c.extra) + L" first-difference-at=" + std::to_wstring(c.firstDifference));
    return 1;
}

} // namespace kelmo::bench
