// Fakes of every platform service for the native tests: a clock with virtual time, a scripted
// processor-usage statistic, a keyboard with GetAsyncKeyState semantics, windows, dialogs,
// processes, clipboard, key injection and the platform automation objects (file system on an
// in-memory disk, script shell, shell, browser). Every fake writes what it is asked to one
// EventLog, so a test can check the order in which the component used them. FakeServices owns
// a complete set and hands it out as platform::Services.
//
// Log entries start with one word naming the kind: "sleep 25", "pump", "sample 95",
// "sample none", "stat PerfStats\StartStat", "key 19 1", "rawkey 44 0 2", "foreground 7",
// "front 7" (the test brought a window up), "popup 7", "activate 7", "show 7 1", "box <title>",
// "inputbox <title>", "type <script>", "start <command line>", "idle <pid>", "endRun",
// "curdir", "seedRandom", "clipboard save|set|restore", "create <object>", "fs <method> <arg>",
// "popupbox <title>", "browse <title>", "browser <method> <arg>", "sound <path>", "beep".
#pragma once

#include "component/error.h"
#include "platform/services.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cwctype>
#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kelmo::fakes {

using platform::ProcessId;
using platform::WindowHandle;

// Thrown by FakeProcesses::endRun: the hosting process would be gone at this point.
struct RunEnded {};

// Thrown by FakeClock when virtual time or the number of sleeps passes its limit: the code under
// test kept waiting.
struct VirtualTimeExceeded {
    std::int64_t atMs;
};

inline std::string utf8(std::wstring_view text) {
    std::string out;
    for (const wchar_t wc : text) {
        const auto c = static_cast<std::uint32_t>(wc);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// What the component did to the platform, in order.
class EventLog {
public:
    void add(std::string entry) { entries_.push_back(std::move(entry)); }
    void clear() { entries_.clear(); }
    std::size_t size() const { return entries_.size(); }
    const std::vector<std::string> &entries() const { return entries_; }

    static std::string_view kindOf(std::string_view entry) {
        return entry.substr(0, entry.find(' '));
    }
    // The entries of the given kinds, in order, from index `from` on.
    std::vector<std::string> only(std::initializer_list<std::string_view> kinds,
                                  std::size_t from = 0) const {
        std::vector<std::string> result;
        for (std::size_t i = from; i < entries_.size(); ++i)
            if (std::find(kinds.begin(), kinds.end(), kindOf(entries_[i])) != kinds.end())
                result.push_back(entries_[i]);
        return result;
    }
    std::size_t count(std::string_view kind, std::size_t from = 0) const {
        return only({kind}, from).size();
    }
    // Index of the first entry equal to `entry` at or after `from`, or size() when there is none.
    std::size_t find(std::string_view entry, std::size_t from = 0) const {
        for (std::size_t i = from; i < entries_.size(); ++i)
            if (entries_[i] == entry) return i;
        return entries_.size();
    }

private:
    std::vector<std::string> entries_;
};

// Virtual time in ms from 0. Sleeping advances it and runs the actions scheduled up to the end
// of the sleep (an action due exactly at the end of a sleep runs within that sleep).
class FakeClock : public platform::Clock {
public:
    explicit FakeClock(EventLog &log) : log_(log) {}

    void sleep(std::int32_t milliseconds) override {
        if (sleeps.size() >= maxSleeps) throw VirtualTimeExceeded{now_};
        sleeps.push_back(milliseconds);
        log_.add("sleep " + std::to_string(milliseconds));
        // Sleep takes an unsigned duration: a negative value is a very long sleep.
        advance(static_cast<std::uint32_t>(milliseconds));
    }
    void pumpMessages() override {
        ++pumps;
        if (logPumps) log_.add("pump");
        if (onPump) onPump();
    }
    float secondsSinceMidnight() override {
        const std::int64_t ms = (dayOffsetMs_ + now_) % DayMs;
        return static_cast<float>(static_cast<double>(ms) / 1000.0);
    }
    std::int64_t monotonicMs() override { return now_; }
    void seedRandomFromClock() override {
        ++seeds;
        log_.add("seedRandom");
    }
    float nextRandom() override {
        if (randoms.empty()) return 0.0f;
        const float r = randoms.front();
        randoms.pop_front();
        return r;
    }

    std::int64_t now() const { return now_; }
    // Moves virtual time on without a sleep (the user took this long in a box, say).
    void advance(std::int64_t milliseconds) {
        const std::int64_t target = now_ + milliseconds;
        if (target > limitMs) {
            now_ = limitMs;
            throw VirtualTimeExceeded{target};
        }
        while (!scheduled_.empty() && scheduled_.begin()->first <= target) {
            const auto next = scheduled_.begin();
            now_ = std::max(now_, next->first);
            auto action = std::move(next->second);
            scheduled_.erase(next);
            action();
        }
        now_ = target;
    }
    // Runs `action` when virtual time reaches `timeMs`; at once when that time has passed.
    void at(std::int64_t timeMs, std::function<void()> action) {
        if (timeMs <= now_)
            action();
        else
            scheduled_.emplace(timeMs, std::move(action));
    }
    // The time of day, in seconds since midnight, at the current virtual moment.
    void setTimeOfDay(double seconds) {
        const auto wanted = static_cast<std::int64_t>(std::llround(seconds * 1000.0));
        dayOffsetMs_ = ((wanted - now_) % DayMs + DayMs) % DayMs;
    }

    std::vector<std::int32_t> sleeps;
    int pumps = 0;
    int seeds = 0;
    std::deque<float> randoms;
    bool logPumps = false;
    std::function<void()> onPump;
    // Beyond these the code under test is taken to be waiting for ever.
    std::int64_t limitMs = 10 * 60 * 1000;
    std::size_t maxSleeps = 200'000;

private:
    static constexpr std::int64_t DayMs = 86'400'000;
    EventLog &log_;
    std::int64_t now_ = 0;
    std::int64_t dayOffsetMs_ = 9 * 3'600'000; // 09:00 at virtual time 0
    std::multimap<std::int64_t, std::function<void()>> scheduled_;
};

// The processor-usage statistic and sound. `samples` holds the usage in percent of successive
// samples; when it runs out, `restingUsage` applies. Where the statistic comes from:
//  - None: neither the registry statistic nor the processor times answer;
//  - Registry: "PerfStats\StatData" answers each query with the next sample (or, first, with
//    the next raw 32-bit value of `rawStatData`);
//  - ProcessorTimes: the counters advance with virtual time; each read of them after time has
//    passed closes one sample interval, during which the machine was busy the next sample's
//    percentage of the time.
class FakeSystem : public platform::System {
public:
    enum class Statistic { None, Registry, ProcessorTimes };

    FakeSystem(EventLog &log, FakeClock &clock) : log_(log), clock_(clock) {}

    std::optional<std::uint32_t> queryDynDataCpuUsage(const std::wstring &key) override {
        log_.add("stat " + utf8(key));
        if (key == L"PerfStats\\StartStat")
            return statistic == Statistic::Registry ? std::optional<std::uint32_t>(0)
                                                    : std::nullopt;
        if (key != L"PerfStats\\StatData") return std::nullopt;
        if (statistic == Statistic::None) log_.add("sample none");
        if (statistic != Statistic::Registry) return std::nullopt;
        std::uint32_t value = 0;
        if (!rawStatData.empty()) {
            value = rawStatData.front();
            rawStatData.pop_front();
        } else {
            value = static_cast<std::uint32_t>(nextSample());
        }
        log_.add("sample " + std::to_string(value));
        return value;
    }
    std::optional<ProcessorTimes> processorTimes() override {
        if (statistic != Statistic::ProcessorTimes) return std::nullopt;
        const std::int64_t now = clock_.now();
        if (now > countedUntil_) {
            const int percent = std::clamp(nextSample(), 0, 100);
            log_.add("sample " + std::to_string(percent));
            const auto elapsed = static_cast<std::uint64_t>(now - countedUntil_) * 10'000;
            const std::uint64_t busy = elapsed * static_cast<std::uint64_t>(percent) / 100;
            times_.user += busy;
            times_.kernel += elapsed - busy; // kernel time includes idle time
            times_.idle += elapsed - busy;
            countedUntil_ = now;
        }
        return times_;
    }
    bool playSound(const std::wstring &path, std::uint32_t flags) override {
        sounds.push_back({path, flags});
        log_.add("sound " + utf8(path));
        return soundPlays;
    }
    void beep() override {
        ++beeps;
        log_.add("beep");
    }

    Statistic statistic = Statistic::None;
    std::deque<int> samples;
    std::deque<std::uint32_t> rawStatData;
    int restingUsage = 0;
    struct SoundCall {
        std::wstring path;
        std::uint32_t flags;
    };
    std::vector<SoundCall> sounds;
    bool soundPlays = true;
    int beeps = 0;

private:
    int nextSample() {
        if (samples.empty()) return restingUsage;
        const int value = samples.front();
        samples.pop_front();
        return value;
    }

    EventLog &log_;
    FakeClock &clock_;
    std::int64_t countedUntil_ = 0;
    ProcessorTimes times_;
};

// Keys with GetAsyncKeyState semantics: the top bit while the key is down, the low bit when it
// was pressed since the previous query; every query clears the pressed-since flag. A key held
// down auto-repeats, which sets the flag again. `scripted` answers override the model.
class FakeKeyboard : public platform::Keyboard {
public:
    static constexpr int Pause = 19;

    explicit FakeKeyboard(EventLog &log) : log_(log) {}

    std::int16_t asyncKeyState(int virtualKey) override {
        Key &key = keys_[virtualKey];
        std::int16_t state = 0;
        if (!key.scripted.empty()) {
            state = key.scripted.front();
            key.scripted.pop_front();
        } else {
            state = static_cast<std::int16_t>((key.down ? 0x8000 : 0) | (key.pressedSince ? 1 : 0));
            key.pressedSince = key.down && autoRepeat;
        }
        ++key.queries;
        log_.add("key " + std::to_string(virtualKey) + " " + std::to_string(state));
        if (onQuery) onQuery(virtualKey, state);
        return state;
    }
    void rawKeyEvent(std::uint8_t virtualKey, std::uint8_t scan, std::uint32_t flags) override {
        rawEvents.push_back({virtualKey, scan, flags});
        log_.add("rawkey " + std::to_string(virtualKey) + " " + std::to_string(scan) + " " +
                 std::to_string(flags));
    }

    // Pressed and released again before the next query.
    void press(int virtualKey = Pause) { keys_[virtualKey].pressedSince = true; }
    void keyDown(int virtualKey = Pause) {
        keys_[virtualKey].down = true;
        keys_[virtualKey].pressedSince = true;
    }
    void keyUp(int virtualKey = Pause) { keys_[virtualKey].down = false; }
    void script(int virtualKey, std::initializer_list<std::int16_t> states) {
        auto &queue = keys_[virtualKey].scripted;
        queue.insert(queue.end(), states);
    }
    int queries(int virtualKey = Pause) const {
        const auto key = keys_.find(virtualKey);
        return key == keys_.end() ? 0 : key->second.queries;
    }

    struct RawEvent {
        std::uint8_t virtualKey, scan;
        std::uint32_t flags;
    };
    std::vector<RawEvent> rawEvents;
    bool autoRepeat = true;
    std::function<void(int virtualKey, std::int16_t state)> onQuery;

private:
    struct Key {
        bool down = false, pressedSince = false;
        int queries = 0;
        std::deque<std::int16_t> scripted;
    };
    EventLog &log_;
    std::map<int, Key> keys_;
};

// The desktop's windows: which one is in front, pop-ups, activation and showing.
class FakeWindows : public platform::Windows {
public:
    explicit FakeWindows(EventLog &log) : log_(log) {}

    WindowHandle foreground() override {
        log_.add("foreground " + std::to_string(front));
        return front;
    }
    WindowHandle lastActivePopup(WindowHandle window) override {
        log_.add("popup " + std::to_string(window));
        const auto popup = popups.find(window);
        return popup == popups.end() ? window : popup->second;
    }
    bool setForeground(WindowHandle window) override {
        activations.push_back(window);
        log_.add("activate " + std::to_string(window));
        if (activationSucceeds) front = window;
        return activationSucceeds;
    }
    std::int32_t show(WindowHandle window, std::int32_t showCommand) override {
        shows.push_back({window, showCommand});
        log_.add("show " + std::to_string(window) + " " + std::to_string(showCommand));
        const bool wasVisible = hidden.count(window) == 0;
        if (showCommand == 0)
            hidden.insert(window);
        else
            hidden.erase(window);
        return wasVisible ? 24 : 0;
    }
    std::wstring captionAnsi128(WindowHandle window) override {
        const auto caption = captions.find(window);
        return caption == captions.end() ? std::wstring() : caption->second.substr(0, 127);
    }
    WindowHandle findWindowByClass(const std::wstring &className) override {
        const auto found = byClass.find(className);
        return found == byClass.end() ? 0 : found->second;
    }

    // Another program or the user brings `window` to the front.
    void bringUp(WindowHandle window) {
        front = window;
        log_.add("front " + std::to_string(window));
    }

    WindowHandle front = 0;
    std::map<WindowHandle, WindowHandle> popups;
    std::vector<WindowHandle> activations;
    bool activationSucceeds = true;
    struct ShowCall {
        WindowHandle window;
        std::int32_t command;
    };
    std::vector<ShowCall> shows;
    std::set<WindowHandle> hidden;
    std::map<WindowHandle, std::wstring> captions;
    std::map<std::wstring, WindowHandle> byClass;

private:
    EventLog &log_;
};

// Modal boxes answered from queues. The hooks run while the box is open, before it answers;
// they may change the answer.
class FakeDialogs : public platform::Dialogs {
public:
    static constexpr std::int32_t Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6,
                                  No = 7;
    struct BoxCall {
        std::wstring text;
        std::uint32_t flags;
        std::wstring title;
        std::int32_t answer;
        std::int64_t atMs;
    };
    struct InputCall {
        std::wstring prompt, title, defaultText, answer;
    };

    FakeDialogs(EventLog &log, FakeClock &clock) : log_(log), clock_(clock) {}

    std::int32_t messageBox(const std::wstring &text, std::uint32_t flags,
                            const std::wstring &title) override {
        BoxCall call{text, flags, title, defaultAnswer, clock_.now()};
        if (!answers.empty()) {
            call.answer = answers.front();
            answers.pop_front();
        }
        log_.add("box " + utf8(title));
        if (onMessageBox) onMessageBox(call);
        boxes.push_back(call);
        return call.answer;
    }
    std::wstring inputBox(const std::wstring &prompt, const std::wstring &title,
                          const std::wstring &defaultText) override {
        InputCall call{prompt, title, defaultText, defaultText};
        if (!inputAnswers.empty()) {
            call.answer = inputAnswers.front();
            inputAnswers.pop_front();
        }
        log_.add("inputbox " + utf8(title));
        if (onInputBox) onInputBox(call);
        inputs.push_back(call);
        return call.answer;
    }

    std::deque<std::int32_t> answers;
    std::int32_t defaultAnswer = Ok;
    std::vector<BoxCall> boxes;
    std::function<void(BoxCall &)> onMessageBox;
    std::deque<std::wstring> inputAnswers; // when empty, OK with the default text
    std::vector<InputCall> inputs;
    std::function<void(InputCall &)> onInputBox;

private:
    EventLog &log_;
    FakeClock &clock_;
};

// Starting programs and ending the run.
class FakeProcesses : public platform::Processes {
public:
    struct StartCall {
        std::wstring commandLine;
        std::int32_t windowStyle;
    };

    explicit FakeProcesses(EventLog &log) : log_(log) {}

    ProcessId start(const std::wstring &commandLine, std::int32_t windowStyle) override {
        log_.add("start " + utf8(commandLine));
        starts.push_back({commandLine, windowStyle});
        if (startFailure) throw *startFailure;
        if (onStart) onStart(starts.back());
        return nextPid++;
    }
    void waitForInputIdle(ProcessId process) override {
        idleWaits.push_back(process);
        log_.add("idle " + std::to_string(process));
    }
    [[noreturn]] void endRun() override {
        ++runsEnded;
        log_.add("endRun");
        throw RunEnded{};
    }
    std::wstring currentDirectory() override {
        log_.add("curdir");
        return directory;
    }

    std::wstring directory = L"C:\\Users\\kelmo\\Documents";
    std::vector<StartCall> starts;
    std::optional<KelmoError> startFailure;
    std::function<void(const StartCall &)> onStart;
    ProcessId nextPid = 1000;
    std::vector<ProcessId> idleWaits;
    int runsEnded = 0;

private:
    EventLog &log_;
};

// The clipboard as a map of format name to content.
class FakeClipboard : public platform::Clipboard {
public:
    static inline const std::wstring Text = L"CF_UNICODETEXT";

    explicit FakeClipboard(EventLog &log) : log_(log) {}

    std::unique_ptr<Snapshot> save() override {
        log_.add("clipboard save");
        return std::make_unique<Saved>(formats);
    }
    void setText(const std::wstring &text) override {
        log_.add("clipboard set " + utf8(text));
        if (setTextFailure) throw *setTextFailure;
        texts.push_back(text);
        formats = {{Text, text}};
        if (onSetText) onSetText(text);
    }
    void restore(const Snapshot &snapshot) override {
        log_.add("clipboard restore");
        if (restoreFailure) throw *restoreFailure;
        formats = dynamic_cast<const Saved &>(snapshot).formats;
    }

    std::map<std::wstring, std::wstring> formats;
    std::vector<std::wstring> texts; // every text set, in order
    std::optional<KelmoError> setTextFailure, restoreFailure;
    std::function<void(const std::wstring &)> onSetText; // runs once the text is on it

private:
    struct Saved : Snapshot {
        explicit Saved(std::map<std::wstring, std::wstring> saved) : formats(std::move(saved)) {}
        std::wstring text() const override {
            const auto text = formats.find(Text);
            return text == formats.end() ? std::wstring() : text->second;
        }
        std::map<std::wstring, std::wstring> formats;
    };
    EventLog &log_;
};

// Typing key scripts: records every script it is asked to type (also one it then fails on).
class FakeKeyInjector : public platform::KeyInjector {
public:
    explicit FakeKeyInjector(EventLog &log) : log_(log) {}

    void typeScript(const std::wstring &script) override {
        log_.add("type " + utf8(script));
        scripts.push_back(script);
        if (failure) throw *failure;
        if (onType) onType(script);
    }

    std::vector<std::wstring> scripts;
    std::optional<KelmoError> failure;
    std::function<void(const std::wstring &)> onType;

private:
    EventLog &log_;
};

// File-system errors as the file-system object reports them (HRESULTs).
namespace hresults {
inline constexpr auto FileNotFound = static_cast<std::int32_t>(0x800A0035u);
inline constexpr auto FileExists = static_cast<std::int32_t>(0x800A003Au);
inline constexpr auto PathNotFound = static_cast<std::int32_t>(0x800A004Cu);
inline constexpr auto ClassNotRegistered = static_cast<std::int32_t>(0x80040154u);
} // namespace hresults

struct CaseInsensitiveLess {
    bool operator()(const std::wstring &a, const std::wstring &b) const {
        return std::lexicographical_compare(
            a.begin(), a.end(), b.begin(), b.end(),
            [](wchar_t x, wchar_t y) { return std::towlower(x) < std::towlower(y); });
    }
};

inline bool sameNoCase(const std::wstring &a, const std::wstring &b) {
    return !CaseInsensitiveLess{}(a, b) && !CaseInsensitiveLess{}(b, a);
}

// The machine's folders and files, shared by every file-system object the fake factory makes.
// Paths are absolute and compared without letter case; drive roots ("C:") always exist.
struct FakeDisk {
    std::map<std::int32_t, std::wstring> specialFolders{
        {0, L"C:\\WINDOWS"}, {1, L"C:\\WINDOWS\\system32"}, {2, L"C:\\Users\\kelmo\\Temp"}};
    std::set<std::wstring, CaseInsensitiveLess> folders;
    std::map<std::wstring, std::int32_t, CaseInsensitiveLess> files; // path -> attributes
    // A method named here raises the error on every call.
    std::map<std::string, KelmoError> failures;

    static std::wstring normal(std::wstring path) {
        while (path.size() > 2 && path.back() == L'\\')
            path.pop_back();
        return path;
    }
    static std::wstring parentOf(const std::wstring &path) {
        const std::wstring p = normal(path);
        const auto cut = p.find_last_of(L'\\');
        return cut == std::wstring::npos ? std::wstring() : p.substr(0, cut);
    }
    static std::wstring lastPart(const std::wstring &path) {
        const std::wstring p = normal(path);
        const auto cut = p.find_last_of(L'\\');
        return cut == std::wstring::npos ? p : p.substr(cut + 1);
    }
    static bool under(const std::wstring &path, const std::wstring &folder) {
        const std::wstring prefix = normal(folder) + L"\\";
        return path.size() > prefix.size() && sameNoCase(path.substr(0, prefix.size()), prefix);
    }
    bool folderExists(const std::wstring &path) const {
        const std::wstring p = normal(path);
        return (p.size() == 2 && p[1] == L':') || folders.count(p) != 0;
    }
    void addFile(const std::wstring &path, std::int32_t attributes = 0x20) {
        files[normal(path)] = attributes;
    }
};

class FakeFileSystem : public platform::FileSystem {
public:
    FakeFileSystem(EventLog &log, FakeDisk &disk) : log_(log), disk_(disk) {}

    std::wstring specialFolderPath(std::int32_t which) override {
        enter("specialFolderPath", std::to_wstring(which));
        const auto folder = disk_.specialFolders.find(which);
        if (folder == disk_.specialFolders.end()) errors::raise(errors::InvalidCall);
        return folder->second;
    }
    bool folderExists(const std::wstring &path) override {
        enter("folderExists", path);
        return disk_.folderExists(path);
    }
    void createFolder(const std::wstring &path) override {
        enter("createFolder", path);
        if (disk_.folderExists(path))
            throw KelmoError(hresults::FileExists, L"File already exists");
        if (!disk_.folderExists(FakeDisk::parentOf(path)))
            throw KelmoError(hresults::PathNotFound, L"Path not found");
        disk_.folders.insert(FakeDisk::normal(path));
    }
    std::wstring folderName(const std::wstring &path) override {
        enter("folderName", path);
        return FakeDisk::lastPart(path);
    }
    std::vector<std::wstring> folderFileNames(const std::wstring &path) override {
        enter("folderFileNames", path);
        requireFolder(path);
        std::vector<std::wstring> names;
        for (const auto &[file, attributes] : disk_.files)
            if (sameNoCase(FakeDisk::parentOf(file), FakeDisk::normal(path)))
                names.push_back(FakeDisk::lastPart(file));
        return names;
    }
    std::shared_ptr<platform::AutomationObject> folderFiles(const std::wstring &path) override {
        auto files = std::make_shared<FileCollection>();
        files->folder = path;
        files->names = folderFileNames(path);
        return files;
    }
    std::int32_t fileAttributes(const std::wstring &path) override {
        enter("fileAttributes", path);
        return fileAt(path);
    }
    void setFileAttributes(const std::wstring &path, std::int32_t attributes) override {
        enter("setFileAttributes", path);
        fileAt(path) = attributes;
    }
    void copyFile(const std::wstring &source, const std::wstring &destination) override {
        enter("copyFile", source + L" -> " + destination);
        const std::int32_t attributes = fileAt(source);
        const std::wstring target = !destination.empty() && destination.back() == L'\\'
                                        ? destination + FakeDisk::lastPart(source)
                                        : destination;
        requireFolder(FakeDisk::parentOf(target));
        disk_.addFile(target, attributes);
    }
    void copyFolder(const std::wstring &source, const std::wstring &destination) override {
        enter("copyFolder", source + L" -> " + destination);
        requireFolder(source);
        const std::wstring from = FakeDisk::normal(source), to = FakeDisk::normal(destination);
        disk_.folders.insert(to);
        for (const auto &folder : std::vector(disk_.folders.begin(), disk_.folders.end()))
            if (FakeDisk::under(folder, from))
                disk_.folders.insert(to + folder.substr(from.size()));
        for (const auto &[file, attributes] : std::map(disk_.files))
            if (FakeDisk::under(file, from))
                disk_.files[to + file.substr(from.size())] = attributes;
    }
    void deleteFolder(const std::wstring &path) override {
        enter("deleteFolder", path);
        requireFolder(path);
        const std::wstring folder = FakeDisk::normal(path);
        std::erase_if(disk_.folders, [&](const auto &f) { return FakeDisk::under(f, folder); });
        std::erase_if(disk_.files, [&](const auto &f) { return FakeDisk::under(f.first, folder); });
        disk_.folders.erase(folder);
    }
    std::wstring fileName(const std::wstring &path) override { return FakeDisk::lastPart(path); }
    std::wstring extensionName(const std::wstring &path) override {
        const std::wstring name = FakeDisk::lastPart(path);
        const auto dot = name.find_last_of(L'.');
        return dot == std::wstring::npos ? std::wstring() : name.substr(dot + 1);
    }

    // What folderFiles hands out: the names of the files directly in the folder.
    struct FileCollection : platform::AutomationObject {
        std::wstring folder;
        std::vector<std::wstring> names;
    };

private:
    void enter(const char *method, const std::wstring &argument) {
        log_.add(std::string("fs ") + method + " " + utf8(argument));
        if (const auto failure = disk_.failures.find(method); failure != disk_.failures.end())
            throw failure->second;
    }
    void requireFolder(const std::wstring &path) {
        if (!disk_.folderExists(path)) throw KelmoError(hresults::PathNotFound, L"Path not found");
    }
    std::int32_t &fileAt(const std::wstring &path) {
        const auto file = disk_.files.find(FakeDisk::normal(path));
        if (file == disk_.files.end()) throw KelmoError(hresults::FileNotFound, L"File not found");
        return file->second;
    }

    EventLog &log_;
    FakeDisk &disk_;
};

// What every WScript.Shell object the factory makes answers. Popup answers: -1 is a time-out.
struct FakeScriptHost {
    struct PopupCall {
        std::wstring text;
        std::int32_t secondsToWait;
        std::wstring title;
        std::int32_t type;
    };
    std::deque<std::int32_t> popupAnswers;
    std::int32_t popupDefault = -1;
    std::vector<PopupCall> popups;
    std::map<std::wstring, std::wstring, CaseInsensitiveLess> specialFolders{
        {L"Desktop", L"C:\\Users\\kelmo\\Desktop"}};
    std::map<std::wstring, std::wstring, CaseInsensitiveLess> shortcuts; // .lnk -> target
};

class FakeScriptShell : public platform::ScriptShell {
public:
    FakeScriptShell(EventLog &log, FakeScriptHost &host) : log_(log), host_(host) {}

    std::int32_t popup(const std::wstring &text, std::int32_t secondsToWait,
                       const std::wstring &title, std::int32_t type) override {
        log_.add("popupbox " + utf8(title));
        host_.popups.push_back({text, secondsToWait, title, type});
        if (host_.popupAnswers.empty()) return host_.popupDefault;
        const std::int32_t answer = host_.popupAnswers.front();
        host_.popupAnswers.pop_front();
        return answer;
    }
    std::wstring specialFolder(const std::wstring &name) override {
        const auto folder = host_.specialFolders.find(name);
        return folder == host_.specialFolders.end() ? std::wstring() : folder->second;
    }
    std::wstring shortcutTarget(const std::wstring &shortcutPath) override {
        const auto target = host_.shortcuts.find(shortcutPath);
        return target == host_.shortcuts.end() ? std::wstring() : target->second;
    }

private:
    EventLog &log_;
    FakeScriptHost &host_;
};

// Shell.Application: folder browsing answered from a queue (nothing = Cancel).
class FakeShell : public platform::Shell {
public:
    struct BrowseCall {
        std::wstring title;
        std::int32_t options;
    };
    FakeShell(EventLog &log, std::deque<std::optional<ChosenFolder>> &answers,
              std::vector<BrowseCall> &calls)
        : log_(log), answers_(answers), calls_(calls) {}

    std::optional<ChosenFolder> browseForFolder(const std::wstring &title,
                                                std::int32_t options) override {
        log_.add("browse " + utf8(title));
        calls_.push_back({title, options});
        if (answers_.empty()) return std::nullopt;
        auto answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

private:
    EventLog &log_;
    std::deque<std::optional<ChosenFolder>> &answers_;
    std::vector<BrowseCall> &calls_;
};

// The browser: records what it is told; `busyAnswers` are the next answers of busy(), then
// `restingBusy`; `busyFailure` makes every read of busy() fail.
class FakeBrowser : public platform::Browser {
public:
    explicit FakeBrowser(EventLog &log) : log_(log) {}

    void navigate(const std::wstring &address) override {
        note("navigate", address);
        addresses.push_back(address);
    }
    void setVisible(bool shown) override {
        note("visible", shown ? L"1" : L"0");
        visible = shown;
    }
    bool busy() override {
        ++busyReads;
        if (busyFailure) throw *busyFailure;
        if (busyAnswers.empty()) return restingBusy;
        const bool answer = busyAnswers.front();
        busyAnswers.pop_front();
        return answer;
    }
    void setAddressBar(bool shown) override {
        note("addressbar", shown ? L"1" : L"0");
        addressBar = shown;
    }
    void writeDocument(const std::wstring &markup) override {
        note("write", markup);
        documents.push_back(markup);
    }
    std::wstring documentTitle() override { return title; }
    void goBack() override {
        note("back", L"");
        ++backs;
    }
    void refresh() override {
        note("refresh", L"");
        ++refreshes;
    }

    std::vector<std::wstring> addresses, documents;
    std::deque<bool> busyAnswers;
    bool restingBusy = false; // the answer once busyAnswers has run out
    int busyReads = 0;
    std::optional<KelmoError> busyFailure;
    bool visible = false, addressBar = true;
    std::wstring title;
    int backs = 0, refreshes = 0;

private:
    void note(const char *method, const std::wstring &argument) {
        log_.add(std::string("browser ") + method + " " + utf8(argument));
    }
    EventLog &log_;
};

// Makes the fakes above. Keeps every object it made, so a test can look at it later; the
// component has released an object when the factory's reference is the only one left.
class FakeObjectFactory : public platform::ObjectFactory {
public:
    explicit FakeObjectFactory(EventLog &log) : log_(log) {}

    std::shared_ptr<platform::FileSystem> createFileSystem() override {
        return make(fileSystems, fileSystemFailure, "FileSystem",
                    [&] { return std::make_shared<FakeFileSystem>(log_, disk); });
    }
    std::shared_ptr<platform::ScriptShell> createScriptShell() override {
        return make(scriptShells, scriptShellFailure, "ScriptShell",
                    [&] { return std::make_shared<FakeScriptShell>(log_, scriptHost); });
    }
    std::shared_ptr<platform::Shell> createShell() override {
        return make(shells, shellFailure, "Shell",
                    [&] { return std::make_shared<FakeShell>(log_, browseAnswers, browseCalls); });
    }
    std::shared_ptr<platform::Browser> createBrowser() override {
        return make(browsers, browserFailure, "Browser", [&] {
            auto browser = std::make_shared<FakeBrowser>(log_);
            if (onCreateBrowser) onCreateBrowser(*browser);
            return browser;
        });
    }

    template <typename T> static bool released(const std::shared_ptr<T> &made) {
        return made.use_count() == 1;
    }

    FakeDisk disk;
    FakeScriptHost scriptHost;
    std::deque<std::optional<platform::Shell::ChosenFolder>> browseAnswers;
    std::vector<FakeShell::BrowseCall> browseCalls;
    std::function<void(FakeBrowser &)> onCreateBrowser;

    std::vector<std::shared_ptr<FakeFileSystem>> fileSystems;
    std::vector<std::shared_ptr<FakeScriptShell>> scriptShells;
    std::vector<std::shared_ptr<FakeShell>> shells;
    std::vector<std::shared_ptr<FakeBrowser>> browsers;
    std::optional<KelmoError> fileSystemFailure, scriptShellFailure, shellFailure, browserFailure;

private:
    template <typename T, typename Make>
    std::shared_ptr<T> make(std::vector<std::shared_ptr<T>> &made,
                            const std::optional<KelmoError> &failure, const char *what,
                            Make create) {
        log_.add(std::string("create ") + what);
        if (failure) throw *failure;
        made.push_back(create());
        return made.back();
    }
    EventLog &log_;
};

// A complete set of fakes sharing one log and one virtual clock.
struct FakeServices {
    FakeServices() = default;
    FakeServices(const FakeServices &) = delete;
    FakeServices &operator=(const FakeServices &) = delete;

    platform::Services &services() { return services_; }

    void pressPauseAt(std::int64_t timeMs) {
        clock.at(timeMs, [this] { keyboard.press(FakeKeyboard::Pause); });
    }
    void bringUpAt(std::int64_t timeMs, WindowHandle window) {
        clock.at(timeMs, [this, window] { windows.bringUp(window); });
    }

    EventLog log;
    FakeClock clock{log};
    FakeKeyboard keyboard{log};
    FakeWindows windows{log};
    FakeKeyInjector keys{log};
    FakeProcesses processes{log};
    FakeSystem system{log, clock};
    FakeDialogs dialogs{log, clock};
    FakeClipboard clipboard{log};
    FakeObjectFactory objects{log};

private:
    platform::Services services_{windows, keyboard, keys,      processes, clock,
                                 system,  dialogs,  clipboard, objects};
};

} // namespace kelmo::fakes
