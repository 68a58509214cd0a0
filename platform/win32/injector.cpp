// The Win32 key injector. A script is parsed whole first (a malformed one types nothing); its
// actions then become SendInput events, sent in chunks sized to the pace of the receiving
// window. A sentinel key closes every chunk: once the thread that owns the focus has taken it
// off its queue, everything before it has been handled. Two sentinels take turns, so that the
// next chunk carries the key-up of the last one instead of waiting for it. The user's CapsLock and
// held modifiers stay out of the typed text, and every modifier the script pressed is released,
// also when sending fails.
#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "platform/keyactions.h"
#include "platform/win32/extendedkeys.h"
#include "platform/win32/implementations.h"

namespace kelmo::win32 {
namespace {

using platform::KeyAction;
using platform::Modifier;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The dwExtraInfo of every event the injector sends, so that a hook can tell them apart.
constexpr std::uintptr_t InjectedKeyTag = 0x4B4C4D4F; // "KLMO"
// Keys nothing is bound to, taking turns: the key-down of one ends a chunk, and the next chunk
// begins with its key-up and ends with the other's key-down.
constexpr std::array<WORD, 2> SentinelKeys = {VK_F24, VK_F23};
// An unassigned key tapped before releasing an Alt or Windows key the user holds, so that the
// release opens neither the window's menu nor the Start menu.
constexpr WORD MenuMaskKey = 0xE8;
constexpr std::size_t FirstChunkEvents = 32;
constexpr std::size_t MinChunkEvents = 16;
constexpr std::size_t MaxChunkEvents = 1000;
// How long one chunk should keep the receiving window busy, judged by its pace so far: the
// caller is asked whether to pause at least every AskPauseEvery of typing.
constexpr milliseconds ChunkPace(80);
constexpr milliseconds AskPauseEvery(100);
// A sentinel not seen for this long is sent once more (the target may simply be busy: a
// second sentinel behind the first does no harm).
constexpr milliseconds SentinelStall(500);
constexpr UINT AnswerAtOnceMs = 20;
// Polling yields the processor for this long before it sleeps (a sleep lasts a timer tick).
constexpr milliseconds SpinTime(2);
constexpr UINT FinalSyncTimeoutMs = 1000;
// How long to wait for a window to come to the front while the activation changes.
constexpr milliseconds ForegroundWait(1000);
constexpr DWORD ForegroundPollMs = 10;

WORD modifierKey(Modifier m) {
    switch (m) {
    case Modifier::Shift:
        return VK_SHIFT;
    case Modifier::Ctrl:
        return VK_CONTROL;
    case Modifier::Alt:
        return VK_MENU;
    }
    return VK_SHIFT;
}

bool isModifierKey(WORD vk) {
    return vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU;
}

bool isSentinelKey(WORD vk) {
    return std::ranges::find(SentinelKeys, vk) != SentinelKeys.end();
}

// Whether the key is down in the calling thread's key state (shared with the target's).
bool keyStateDown(WORD vk) {
    return (GetKeyState(vk) & 0x8000) != 0;
}

KelmoError failure(HRESULT hr, const std::wstring& description) {
    return KelmoError(static_cast<std::int32_t>(hr), description);
}

// The keyboard as the events sent so far leave it.
struct KeyState {
    std::vector<WORD> keysDown; // modifiers and sentinels, in the order pressed
    bool capsOn = false;

    bool holds(WORD vk) const {
        return std::find(keysDown.begin(), keysDown.end(), vk) != keysDown.end();
    }
    void apply(const INPUT& input) {
        const KEYBDINPUT& key = input.ki;
        if (input.type != INPUT_KEYBOARD || (key.dwFlags & KEYEVENTF_UNICODE)) return;
        const bool up = (key.dwFlags & KEYEVENTF_KEYUP) != 0;
        if (isModifierKey(key.wVk) || isSentinelKey(key.wVk)) {
            std::erase(keysDown, key.wVk);
            if (!up) keysDown.push_back(key.wVk);
        } else if (key.wVk == VK_CAPITAL && !up) {
            capsOn = !capsOn;
        }
    }
};

// The events of one SendInput call, each with the real scan code of the layout; `state`
// follows them as they are added.
class EventBatch {
public:
    EventBatch(HKL layout, KeyState& state) : layout_(layout), state_(state) {
        scanCodes_.fill(UnknownScan);
    }

    void key(WORD vk, bool extended, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.wScan = scanCode(vk);
        input.ki.dwFlags = (extended ? KEYEVENTF_EXTENDEDKEY : 0) | (up ? KEYEVENTF_KEYUP : 0);
        input.ki.dwExtraInfo = InjectedKeyTag;
        add(input);
    }
    void tap(WORD vk, bool extended) {
        key(vk, extended, false);
        key(vk, extended, true);
    }
    // One UTF-16 unit as a Unicode packet, its key-down followed by its own key-up.
    void unicodeTap(WCHAR unit) {
        for (const DWORD up : {DWORD(0), DWORD(KEYEVENTF_KEYUP)}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = unit;
            input.ki.dwFlags = KEYEVENTF_UNICODE | up;
            input.ki.dwExtraInfo = InjectedKeyTag;
            add(input);
        }
    }

    std::vector<INPUT>& events() { return events_; }
    std::size_t size() const { return events_.size(); }

private:
    static constexpr WORD UnknownScan = 0xFFFF;

    void add(const INPUT& input) {
        events_.push_back(input);
        state_.apply(input);
    }
    WORD scanCode(WORD vk) {
        WORD& scan = scanCodes_[vk & 0xFF];
        if (scan == UnknownScan) scan = WORD(MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC, layout_));
        return scan;
    }

    HKL layout_;
    KeyState& state_;
    std::vector<INPUT> events_;
    std::array<WORD, 256> scanCodes_;
};

// The key and modifiers with which a keyboard layout types a character.
struct LayoutKey {
    WORD vk;
    bool shift;
    bool altGr; // Ctrl+Alt
};

std::optional<LayoutKey> layoutKeyFor(char32_t ch, HKL layout) {
    if (ch > 0xFFFF || (ch >= 0xD800 && ch <= 0xDFFF)) return std::nullopt;
    const SHORT found = VkKeyScanExW(static_cast<WCHAR>(ch), layout);
    if (found == -1) return std::nullopt;
    const BYTE vk = LOBYTE(found);
    const BYTE shiftState = HIBYTE(found);
    const bool ctrl = (shiftState & 2) != 0;
    const bool alt = (shiftState & 4) != 0;
    // Ctrl alone gives control characters and would fire shortcuts; Hankaku and the layout's
    // own shift states cannot be pressed here.
    if ((shiftState & ~7) != 0 || ctrl != alt) return std::nullopt;
    // A dead key types nothing by itself: it waits for the next key.
    if (MapVirtualKeyExW(vk, MAPVK_VK_TO_CHAR, layout) & 0x80000000u) return std::nullopt;
    return LayoutKey{vk, (shiftState & 1) != 0, ctrl};
}

// Turns the parsed actions into events, a chunk at a time; repeat counts are expanded only as
// far as a chunk reaches.
class ScriptWriter {
public:
    ScriptWriter(const std::vector<KeyAction>& actions, bool capsOn)
        : actions_(actions), wantedCaps_(capsOn) {
        planned_.capsOn = capsOn;
    }

    bool done() const { return next_ == actions_.size(); }
    KeyState& planned() { return planned_; }
    // The CapsLock state to leave behind: the user's, toggled by every {CAPSLOCK} written.
    bool wantedCaps() const { return wantedCaps_; }

    // Adds events until the batch holds at least `limit` events or the script is written.
    void write(EventBatch& batch, HKL layout, std::size_t limit) {
        while (!done() && batch.size() < limit) {
            const KeyAction& action = actions_[next_];
            switch (action.kind) {
            case KeyAction::Kind::PressModifier:
                batch.key(modifierKey(action.modifier), false, false);
                ++next_;
                break;
            case KeyAction::Kind::ReleaseModifier:
                batch.key(modifierKey(action.modifier), false, true);
                ++next_;
                break;
            case KeyAction::Kind::VirtualKey:
            case KeyAction::Kind::Character:
                writeRepetitions(batch, action, layout, limit);
                break;
            }
        }
    }

    // After the last action: the CapsLock state the user and the script want.
    void finish(EventBatch& batch) {
        if (planned_.capsOn != wantedCaps_) batch.tap(VK_CAPITAL, false);
    }

private:
    void writeRepetitions(EventBatch& batch, const KeyAction& action, HKL layout,
                          std::size_t limit) {
        const bool isCharacter = action.kind == KeyAction::Kind::Character;
        const auto layoutKey =
            isCharacter ? layoutKeyFor(action.character, layout) : std::optional<LayoutKey>();
        while (repeatsWritten_ < action.repeat && batch.size() < limit) {
            if (isCharacter)
                writeCharacter(batch, action.character, layoutKey);
            else
                writeNamedKey(batch, action);
            ++repeatsWritten_;
        }
        if (repeatsWritten_ == action.repeat) {
            repeatsWritten_ = 0;
            ++next_;
        }
    }

    void writeNamedKey(EventBatch& batch, const KeyAction& action) {
        if (action.virtualKey == VK_CAPITAL) wantedCaps_ = !wantedCaps_;
        batch.tap(action.virtualKey, action.extended);
    }

    void writeCharacter(EventBatch& batch, char32_t ch, const std::optional<LayoutKey>& key) {
        if (!key) return writeUnicode(batch, ch);
        // CapsLock would invert letters: it stays off while characters are typed.
        if (planned_.capsOn) batch.tap(VK_CAPITAL, false);
        std::array<WORD, 3> pressed{};
        std::size_t pressedCount = 0;
        auto hold = [&](WORD vk) {
            if (planned_.holds(vk)) return; // the script holds it already
            batch.key(vk, false, false);
            pressed[pressedCount++] = vk;
        };
        if (key->shift) hold(VK_SHIFT);
        if (key->altGr) {
            hold(VK_CONTROL);
            hold(VK_MENU);
        }
        batch.tap(key->vk, isExtendedKey(key->vk));
        while (pressedCount > 0)
            batch.key(pressed[--pressedCount], false, true);
    }

    static void writeUnicode(EventBatch& batch, char32_t ch) {
        if (ch > 0xFFFF) {
            const char32_t offset = ch - 0x10000;
            batch.unicodeTap(WCHAR(0xD800 + (offset >> 10)));
            batch.unicodeTap(WCHAR(0xDC00 + (offset & 0x3FF)));
        } else {
            batch.unicodeTap(WCHAR(ch));
        }
    }

    const std::vector<KeyAction>& actions_;
    std::size_t next_ = 0;
    std::uint32_t repeatsWritten_ = 0;
    KeyState planned_;
    bool wantedCaps_;
};

// Releases the modifiers the user holds down, so that they do not combine with typed keys.
// They are not pressed again afterwards: the user may have let go meanwhile, and a key held
// on repeats its key-down anyway.
void releaseUserModifiers(EventBatch& batch, const KeyState& planned) {
    struct HeldKey {
        WORD vk;
        WORD generic; // the modifier the script presses as, 0 for the Windows keys
        bool extended;
        bool opensMenu;
    };
    constexpr HeldKey HeldKeys[] = {
        {VK_LSHIFT, VK_SHIFT, false, false},
        {VK_RSHIFT, VK_SHIFT, false, false},
        {VK_LCONTROL, VK_CONTROL, false, false},
        {VK_RCONTROL, VK_CONTROL, true, false},
        {VK_LMENU, VK_MENU, false, true},
        {VK_RMENU, VK_MENU, true, true},
        {VK_LWIN, 0, true, true},
        {VK_RWIN, 0, true, true},
    };
    bool masked = false;
    for (const HeldKey& key : HeldKeys) {
        if (key.generic != 0 && planned.holds(key.generic)) continue; // pressed by the script
        if (!(GetAsyncKeyState(key.vk) & 0x8000)) continue;
        if (key.opensMenu && !masked) {
            batch.tap(MenuMaskKey, false);
            masked = true;
        }
        batch.key(key.vk, key.extended, true);
    }
}

// Sends event batches and keeps track of what they left pressed. Whatever happens, it releases
// on destruction every key still down and puts CapsLock back as wanted.
class SentKeys {
public:
    explicit SentKeys(bool capsOn) : wantedCaps_(capsOn) { state_.capsOn = capsOn; }
    SentKeys(const SentKeys&) = delete;
    SentKeys& operator=(const SentKeys&) = delete;
    ~SentKeys() { restore(); }

    // Raises an error when SendInput takes fewer events than given (another desktop, a
    // window of higher integrity, input blocked).
    void send(std::vector<INPUT>& events, bool wantedCaps, HKL layout) {
        layout_ = layout;
        if (events.empty()) return;
        SetLastError(ERROR_SUCCESS);
        const UINT count = static_cast<UINT>(events.size());
        const UINT inserted = SendInput(count, events.data(), sizeof(INPUT));
        const DWORD error = GetLastError();
        for (UINT i = 0; i < inserted && i < count; ++i)
            state_.apply(events[i]);
        if (inserted != count)
            throw failure(error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL,
                          L"Typing failed: the system took " + std::to_wstring(inserted) + L" of " +
                              std::to_wstring(count) +
                              L" key events (the window with the keyboard focus may be on "
                              L"another desktop or run with higher rights)");
        wantedCaps_ = wantedCaps;
    }

    // Lets go of every key still down and puts CapsLock back as the user had it, as before a
    // pause; returns the modifiers let go, in the order they were pressed.
    std::vector<WORD> letGo() {
        std::vector<WORD> held;
        KeyState scratch = state_;
        EventBatch batch(layout_, scratch);
        for (auto vk = state_.keysDown.rbegin(); vk != state_.keysDown.rend(); ++vk)
            batch.key(*vk, false, true);
        for (const WORD vk : state_.keysDown)
            if (!isSentinelKey(vk)) held.push_back(vk);
        if (state_.capsOn != wantedCaps_) batch.tap(VK_CAPITAL, false);
        send(batch.events(), wantedCaps_, layout_);
        return held;
    }

    // After a pause: the modifiers down again and CapsLock as the script had it.
    void pressAgain(const std::vector<WORD>& modifiers, bool capsOn, HKL layout) {
        KeyState scratch = state_;
        EventBatch batch(layout, scratch);
        if (state_.capsOn != capsOn) batch.tap(VK_CAPITAL, false);
        for (const WORD vk : modifiers)
            batch.key(vk, false, false);
        send(batch.events(), wantedCaps_, layout);
    }

private:
    void restore() noexcept {
        try {
            KeyState scratch = state_;
            EventBatch batch(layout_, scratch);
            for (auto vk = state_.keysDown.rbegin(); vk != state_.keysDown.rend(); ++vk)
                batch.key(*vk, false, true);
            if (state_.capsOn != wantedCaps_) batch.tap(VK_CAPITAL, false);
            if (batch.size() > 0)
                SendInput(static_cast<UINT>(batch.size()), batch.events().data(), sizeof(INPUT));
        } catch (...) {
            // Out of memory while cleaning up: nothing more can be done.
        }
    }

    KeyState state_;
    bool wantedCaps_;
    HKL layout_ = GetKeyboardLayout(0);
};

// The window the keys go to: the foreground window, its thread and the window in it that has
// the keyboard focus.
struct FocusTarget {
    HWND window = nullptr;
    DWORD thread = 0;
    HWND focus = nullptr;
    HKL layout = nullptr;
};

// The desktop and the shell's windows that draw it are no application: keys sent there reach
// no document but may act on the desktop (Alt+F4 offers to shut down).
bool isDesktop(HWND window) {
    if (window == GetDesktopWindow() || window == GetShellWindow()) return true;
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    return wcscmp(className, L"Progman") == 0 || wcscmp(className, L"WorkerW") == 0;
}

// Keys sent while no window is in front (or only the desktop) reach nobody: rather than report
// them typed, wait a moment for a window to come to the front, then give up with an error.
FocusTarget currentTarget() {
    const auto start = Clock::now();
    HWND window = GetForegroundWindow();
    while (!window || isDesktop(window)) {
        if (Clock::now() - start > ForegroundWait)
            throw failure(HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE),
                          L"Typing failed: no window is in front to receive the keys");
        Sleep(ForegroundPollMs);
        window = GetForegroundWindow();
    }
    FocusTarget target;
    target.window = window;
    target.thread = GetWindowThreadProcessId(window, nullptr);
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const bool known = GetGUIThreadInfo(target.thread, &info) && info.hwndFocus;
    target.focus = known ? info.hwndFocus : window;
    target.layout = GetKeyboardLayout(target.thread);
    return target;
}

// Shares the input state of the thread that owns the focus with ours while it lives, so that
// GetKeyState here follows the keys that thread has taken off its queue. On our own thread
// nothing is attached: the keys are ours to handle.
class InputAttachment {
public:
    explicit InputAttachment(DWORD thread) : self_(GetCurrentThreadId()), other_(thread) {
        if (other_ == self_) return;
        attached_ = AttachThreadInput(self_, other_, TRUE) != FALSE;
        if (!attached_) error_ = GetLastError();
    }
    InputAttachment(const InputAttachment&) = delete;
    InputAttachment& operator=(const InputAttachment&) = delete;
    ~InputAttachment() {
        if (attached_) AttachThreadInput(self_, other_, FALSE);
    }

    DWORD thread() const { return other_; }
    bool ownThread() const { return other_ == self_; }
    bool followsTarget() const { return attached_ || ownThread(); }
    // A window of a program with higher rights refuses the attachment; its input is refused
    // as well, so typing would silently go nowhere.
    void refuseIfDenied() const {
        if (error_ == ERROR_ACCESS_DENIED)
            throw failure(E_ACCESSDENIED, L"Typing failed: the window with the keyboard focus "
                                          L"belongs to a program that runs with higher rights");
    }

private:
    DWORD self_;
    DWORD other_;
    bool attached_ = false;
    DWORD error_ = ERROR_SUCCESS;
};

// Handles the key messages of our own windows while we wait for them to be handled.
void handleOwnKeyMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Waits up to `ms`, less when keys for our own windows arrive; messages other threads send to
// our windows are handled meanwhile (a target that sends to us while we wait for it would
// otherwise stall both).
void pauseHandlingSentMessages(bool ownKeys, DWORD ms = 1) {
    MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_SENDMESSAGE | (ownKeys ? QS_KEY : 0),
                                MWMO_INPUTAVAILABLE);
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

// Whether the focus window's thread handles a sent message at once, that is, waits in its
// message loop rather than being busy.
bool answersAtOnce(const FocusTarget& target) {
    const HWND window = target.focus ? target.focus : target.window;
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, AnswerAtOnceMs, &ignored) !=
           0;
}

// Where the keys go and what has been sent, while one script is typed.
struct Typing {
    Typing(const std::vector<KeyAction>& actions, bool capsOn, platform::KeyInjector::Pauses& p)
        : writer(actions, capsOn), sent(capsOn), pauses(p) {}

    FocusTarget target;
    std::optional<InputAttachment> attachment;
    ScriptWriter writer;
    SentKeys sent;
    platform::KeyInjector::Pauses& pauses;
    WORD sentinel = SentinelKeys[0]; // the one that closes the chunk under way

    // The sentinel of the next chunk: the other one.
    WORD nextSentinel() const {
        return sentinel == SentinelKeys[0] ? SentinelKeys[1] : SentinelKeys[0];
    }

    // Follows the focus to the window in front, attaching to its thread when it changed.
    // Attaching resets the shared key state, which holds the modifiers the script keeps pressed
    // across chunks: attach again only when the focus went to another thread.
    void retarget() {
        target = currentTarget();
        if (attachment && target.thread == attachment->thread()) return;
        attachment.reset();
        attachment.emplace(target.thread);
        attachment->refuseIfDenied();
    }

    // The user's pause: no key of the script is held while it lasts, and the script's
    // modifiers go down again afterwards in the window then in front.
    void pauseIfWanted() {
        if (!pauses.pauseWanted()) return;
        const std::vector<WORD> held = sent.letGo();
        attachment.reset();
        pauses.pause();
        retarget();
        sent.pressAgain(held, writer.planned().capsOn, target.layout);
    }
};

// Sends the key-down or key-up of the chunk's sentinel.
void sendSentinel(bool down, Typing& typing) {
    KeyState scratch;
    EventBatch batch(typing.target.layout, scratch);
    batch.key(typing.sentinel, false, !down);
    typing.sent.send(batch.events(), typing.writer.wantedCaps(), typing.target.layout);
}

// Waits until the chunk's sentinel key is down (or up) in the key state of the thread that owns the
// focus, which ours shares. That state changes only as the thread takes key messages off its
// queue, in order: once the sentinel's key-down is seen, every key sent before it was handled.
// However long a busy application takes, the caller is asked at least every AskPauseEvery
// whether to pause; after a pause the sentinel is sent again. A chunk expected to take a while
// is not looked at for the first `quiet` of it: each look costs the system (under Wine, its
// server) time the target needs to take its keys.
// Wine workaround: its shared key state now and then misses a sentinel the target did take
// (about one call in a hundred). Keys are taken in order, so a wait that stalls while the
// target is back in its message loop sends the sentinel once more (up, then down again):
// seeing the new one proves the same. A target still busy is left alone: sentinels sent to it
// would queue up and later pass for the next chunk's.
void waitForSentinel(bool down, Typing& typing, milliseconds quiet = milliseconds(0)) {
    const auto start = Clock::now();
    auto lastSent = start, lastAsked = start;
    for (;;) {
        if (typing.attachment->ownThread()) handleOwnKeyMessages();
        if (keyStateDown(typing.sentinel) == down) return;
        // The window closed (a key may have closed it): nothing is left to wait for.
        if (!IsWindow(typing.target.window)) return;
        auto now = Clock::now();
        if (now - lastAsked >= AskPauseEvery) {
            typing.pauseIfWanted();
            now = lastAsked = Clock::now();
            if (!typing.attachment->followsTarget()) return; // nothing to wait with any more
        }
        if (now - lastSent > SentinelStall && answersAtOnce(typing.target)) {
            if (down) sendSentinel(false, typing);
            sendSentinel(down, typing);
            lastSent = now;
        }
        if (now - start < quiet)
            pauseHandlingSentMessages(
                typing.attachment->ownThread(),
                DWORD(std::chrono::ceil<milliseconds>(quiet - (now - start)).count()));
        else if (now - start < quiet + SpinTime)
            SwitchToThread();
        else
            pauseHandlingSentMessages(typing.attachment->ownThread());
    }
}

// Sends the sentinel's key-up and waits until the thread has taken it.
void releaseSentinel(Typing& typing) {
    sendSentinel(false, typing);
    waitForSentinel(false, typing);
}

// Once the keys are handled, a message sent to the focus window returns when its thread is
// back in its message loop.
void syncWithTarget(const FocusTarget& target) {
    if (!target.focus || !IsWindow(target.focus)) return;
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(target.focus, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, FinalSyncTimeoutMs,
                        &ignored);
}

// Half the time a chunk of `events` should take at the pace of the last one, at most half a
// chunk's pace (a window that took its keys sooner than expected halves the next estimate).
milliseconds quietTime(std::size_t events, double msPerEvent) {
    const auto expectedMs = static_cast<long long>(double(events) * msPerEvent);
    return std::min(milliseconds(expectedMs / 2), ChunkPace / 2);
}

// The next chunk's size: what the window handled in ChunkPace at the pace just measured.
std::size_t nextChunkLimit(std::size_t events, Clock::duration took) {
    const double ms = std::max(1.0, std::chrono::duration<double, std::milli>(took).count());
    const double atPace = double(events) * double(ChunkPace.count()) / ms;
    return std::clamp(static_cast<std::size_t>(atPace), MinChunkEvents, MaxChunkEvents);
}

void typeActions(const std::vector<KeyAction>& actions, platform::KeyInjector::Pauses& pauses) {
    const bool capsOn = (GetKeyState(VK_CAPITAL) & 1) != 0;
    Typing typing(actions, capsOn, pauses);
    typing.retarget();
    ScriptWriter& writer = typing.writer;
    std::size_t limit = FirstChunkEvents;
    double msPerEvent = 0; // the window's pace, once a chunk has measured it
    for (;;) {
        // Without a shared key state (the attachment failed) only a message sent to the focus
        // window after each chunk paces the keys, and that returns early.
        const bool canWait = typing.attachment->followsTarget();
        const WORD lastSentinel = std::exchange(typing.sentinel, typing.nextSentinel());
        // This chunk's sentinel still down here lost its key-up to another window (or to the
        // end of an earlier typing): release it first.
        if (canWait && keyStateDown(typing.sentinel)) releaseSentinel(typing);

        EventBatch batch(typing.target.layout, writer.planned());
        // The last chunk's sentinel, seen down, goes up with this chunk, before its keys.
        if (writer.planned().holds(lastSentinel)) batch.key(lastSentinel, false, true);
        releaseUserModifiers(batch, writer.planned());
        writer.write(batch, typing.target.layout, limit);
        if (writer.done()) writer.finish(batch);
        if (canWait) batch.key(typing.sentinel, false, false);

        const auto start = Clock::now();
        typing.sent.send(batch.events(), writer.wantedCaps(), typing.target.layout);
        if (canWait) {
            waitForSentinel(true, typing, quietTime(batch.size(), msPerEvent));
            const auto took = Clock::now() - start;
            msPerEvent =
                std::chrono::duration<double, std::milli>(took).count() / double(batch.size());
            limit = nextChunkLimit(batch.size(), took);
            // After the last chunk the key-up is not waited for: the next typing releases a
            // sentinel still down before it sends anything.
            if (writer.done()) sendSentinel(false, typing);
        } else {
            syncWithTarget(typing.target);
        }
        if (writer.done()) break;
        typing.pauseIfWanted();
        typing.retarget();
    }
    // A sentinel seen in the shared key state proves every key handled; without that state
    // (the attachment failed, or was lost in a pause) the target is waited for once more.
    const bool handled = typing.attachment->followsTarget();
    typing.attachment.reset();
    if (!handled) syncWithTarget(typing.target);
}

class Win32KeyInjector final : public platform::KeyInjector {
public:
    void type(const std::vector<KeyAction>& actions, Pauses& pauses) override {
        if (!actions.empty()) typeActions(actions, pauses);
    }
};

} // namespace

std::unique_ptr<platform::KeyInjector> makeKeyInjector() {
    return std::make_unique<Win32KeyInjector>();
}

} // namespace kelmo::win32
