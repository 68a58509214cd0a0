// The platform services faked for the native tests, on one EventLog ("sleep 25", "key 19 1" ...)
// and one VirtualClock: a test reads the log, acts at an entry (onEntry) or makes it fail.
#pragma once

#include "base/error.h"
#include "base/text.h"
#include "platform/services.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <deque>
#include <map>

namespace kelmo::fakes {

using platform::WindowHandle;

struct RunEnded {};            // thrown by endRun: the hosting process would be gone here
struct NoMoreAnswers {};       // a dialog opened that the test gave no answer for
struct VirtualTimeExceeded {}; // the code under test kept waiting past the clock's limits

inline std::string format(const char* pattern, unsigned n) {
    char text[32];
    std::snprintf(text, sizeof text, pattern, n);
    return text;
}

inline std::string narrow(std::wstring_view text) {
    std::string out;
    for (const wchar_t c : text)
        out += c >= 0x20 && c < 0x7F ? std::string(1, char(c)) : format("<U+%04X>", unsigned(c));
    return out;
}

// Key actions as "S+" / "S-" (Shift, C Ctrl, A Alt), a printable character, U+XXXX, a virtual
// key as #hex ("e" when extended), "*n" after a key repeated n times.
inline std::string renderKeys(const std::vector<platform::KeyAction>& actions) {
    using Kind = platform::KeyAction::Kind;
    std::string out;
    for (const platform::KeyAction& a : actions) {
        out += out.empty() ? "" : " ";
        if (a.kind == Kind::PressModifier || a.kind == Kind::ReleaseModifier)
            out += {"SCA"[int(a.modifier)], a.kind == Kind::PressModifier ? '+' : '-'};
        else if (a.kind == Kind::VirtualKey)
            out += format("#%02X", a.virtualKey) + (a.extended ? "e" : "");
        else
            out += a.character > 0x20 && a.character < 0x7F ? std::string(1, char(a.character))
                                                            : format("U+%04X", a.character);
        const bool isKey = a.kind == Kind::VirtualKey || a.kind == Kind::Character;
        if (isKey && a.repeat != 1) out += "*" + std::to_string(a.repeat);
    }
    return out;
}

inline std::optional<std::int32_t> errorNumberOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const KelmoError& error) {
        return error.number();
    }
    return std::nullopt;
}

// Expected logs are written as sums of steps: Guard + Front + Pace + typed("a") ...
using Steps = std::vector<std::string>;
inline Steps operator+(Steps a, const Steps& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
inline Steps times(int n, const Steps& steps) {
    return n > 0 ? steps + times(n - 1, steps) : Steps{};
}

class EventLog {
public:
    template <typename... Args> void add(std::string_view kind, const Args&... args) {
        std::string entry(kind);
        ((entry += ' ', entry += logged(args)), ...);
        entries.push_back(entry);
        if (onEntry) onEntry(entry);
        for (const auto& [prefix, error] : failures)
            if (entry.starts_with(prefix)) throw error;
    }
    // The entries of the given kinds (first words), in order, from index `from` on.
    Steps only(std::initializer_list<std::string_view> kinds, std::size_t from = 0) const {
        Steps result;
        for (std::size_t i = from; i < entries.size(); ++i)
            if (std::count(kinds.begin(), kinds.end(), entries[i].substr(0, entries[i].find(' '))))
                result.push_back(entries[i]);
        return result;
    }
    std::size_t count(std::string_view kind, std::size_t from = 0) const {
        return only({kind}, from).size();
    }
    // What follows `prefix` in every entry that starts with it: args("type") lists the scripts.
    Steps args(const std::string& prefix) const {
        Steps result;
        for (const auto& entry : entries)
            if (entry.starts_with(prefix + ' ')) result.push_back(entry.substr(prefix.size() + 1));
        return result;
    }
    // Index of the first entry equal to `entry` at or after `from`, or the log's size.
    std::size_t find(std::string_view entry, std::size_t from = 0) const {
        return std::size_t(std::find(entries.begin() + from, entries.end(), entry) -
                           entries.begin());
    }
    void clear() { entries.clear(); }

    Steps entries;
    std::function<void(const std::string&)> onEntry; // runs as each call is logged; may throw
    std::map<std::string, KelmoError> failures;      // a call whose entry starts so fails so

private:
    static std::string logged(std::wstring_view s) { return narrow(s); }
    static std::string logged(std::string_view s) { return std::string(s); }
    static std::string logged(std::int64_t n) { return std::to_string(n); }
};

// The answers a fake gives in turn: the queued ones first, then `otherwise` for good.
template <typename T> struct Answers {
    std::deque<T> queued;
    T otherwise{};
    T next() {
        if (queued.empty()) return otherwise;
        const T answer = queued.front();
        queued.pop_front();
        return answer;
    }
};

// Logs a call and gives its answer: the body of most fakes of the folder and launch services.
template <typename T, typename... Args>
T logged(EventLog& log, T answer, std::string_view kind, const Args&... args) {
    log.add(kind, args...);
    return answer;
}

// Folders, files and links by key (the path in lower case without a last backslash, but a root's);
// a link reaches another folder, a path through it what that folder holds. Logs "remove <path>".
using Str = const std::wstring&; // a text argument of the fakes below
class FakeDisk : public platform::FolderTree {
public:
    struct Node {
        Kind kind;
        std::int32_t attributes = 32;
        std::wstring target; // of a link
    };
    explicit FakeDisk(EventLog& log) : log_(log) {}
    static std::wstring key(std::wstring path) {
        if (path.size() > 3 && path.back() == L'\\') path.pop_back();
        return text::lower(path);
    }
    void addFolder(Str path) { nodes[key(path)] = {Kind::Folder, 32, {}}; }
    void addFile(Str path, int flags = 32) { nodes[key(path)] = {Kind::File, flags, {}}; }
    void addLink(Str name, Str to) { nodes[key(name)] = {Kind::Link, 0, key(to)}; }
    bool holds(Str path, Kind kind) const {
        const auto node = nodes.find(resolved(path));
        return node != nodes.end() && node->second.kind == kind;
    }
    std::wstring fullPath(Str path) override { // a last ".." only
        return path.ends_with(L"\\..") ? path.substr(0, path.rfind(L'\\', path.size() - 4)) : path;
    }
    Reached reach(Str path) override {
        const std::wstring k = resolved(path);
        if (!holds(k, Kind::Folder)) errors::raise(errors::PathNotFound, path);
        const bool link = nodes.count(key(path)) && nodes.at(key(path)).kind == Kind::Link;
        return {{1, std::hash<std::wstring>{}(k)}, k, k.size() <= 3, link};
    }
    std::vector<Entry> entries(Str folder) override {
        std::wstring k = resolved(folder);
        if (!k.ends_with(L'\\')) k += L'\\';
        std::vector<Entry> found;
        for (const auto& [path, node] : nodes)
            if (path.starts_with(k) && path.find(L'\\', k.size()) == path.npos && path != k)
                found.push_back({path.substr(k.size()), node.kind});
        return found;
    }
    void remove(Str path, Kind) override { nodes.erase(logged(log_, key(path), "remove", path)); }
    std::map<std::wstring, Node> nodes;

private:
    std::wstring resolved(Str path) const { // a link on its way followed
        const std::wstring k = key(path);
        for (const auto& [name, node] : nodes)
            if (node.kind == Kind::Link && (k == name || k.starts_with(name + L"\\")))
                return node.target + k.substr(name.size());
        return k;
    }
    EventLog& log_;
};

// Scripting.FileSystemObject on a FakeDisk, every call logged as "fs <member> <arguments>" so
// that a test can make one fail; copies and attribute changes are only logged.
class FakeFileSystem : public platform::FileSystem {
public:
    using Kind = platform::FolderTree::Kind;
    FakeFileSystem(EventLog& log, FakeDisk& disk, std::wstring windowsFolder)
        : log_(log), disk_(disk), windows_(std::move(windowsFolder)) {}
    std::wstring specialFolderPath(std::int32_t which) override {
        return logged(log_, windows_, "fs specialFolderPath", which);
    }
    bool folderExists(Str path) override {
        return logged(log_, disk_.holds(path, Kind::Folder), "fs exists", path);
    }
    void createFolder(Str path) override { log_.add("fs create", path), disk_.addFolder(path); }
    std::wstring folderName(Str path) override { return fileName(path); }
    std::vector<std::wstring> folderFileNames(Str path) override {
        std::vector<std::wstring> names;
        for (const auto& entry : disk_.entries(path))
            if (entry.kind == Kind::File) names.push_back(entry.name);
        return names;
    }
    std::shared_ptr<platform::AutomationObject> folderFiles(Str) override { return {}; }
    std::int32_t fileAttributes(Str p) override { return disk_.nodes.at(disk_.key(p)).attributes; }
    void setFileAttributes(Str path, std::int32_t attributes) override {
        log_.add("fs setAttributes", path, attributes);
    }
    void copyFile(Str from, Str to) override { log_.add("fs copyFile", from, to); }
    void copyFolder(Str from, Str to) override { log_.add("fs copyFolder", from, to); }
    std::wstring fileName(Str path) override { return path.substr(path.find_last_of(L"\\/") + 1); }
    std::wstring extensionName(Str path) override {
        const std::wstring name = fileName(path);
        return name.find(L'.') == name.npos ? L"" : name.substr(name.rfind(L'.') + 1);
    }

private:
    EventLog& log_;
    FakeDisk& disk_;
    std::wstring windows_;
};

// The browser: calls logged ("busy", "navigate <address>" ...); quit() raises its OnQuit.
struct FakeBrowser : platform::Browser {
    explicit FakeBrowser(EventLog& log) : log_(log) {}
    void onQuit(std::function<void()> quit) override { quit_ = std::move(quit); }
    bool busy() override { return log_.add("busy"), isBusy.next(); }
    void navigate(const std::wstring& address) override { log_.add("navigate", address); }
    void setVisible(bool shown) override { log_.add("visible", shown); }
    void setAddressBar(bool shown) override { log_.add("addressbar", shown); }
    void writeDocument(const std::wstring& markup) override { log_.add("write", markup); }
    std::wstring documentTitle() override { return log_.add("title"), title; }
    void goBack() override { log_.add("back"); }
    void refresh() override { log_.add("refresh"); }
    bool connected() const { return quit_ != nullptr; }
    void quit() const { quit_(); }
    Answers<bool> isBusy;
    std::wstring title;
    EventLog& log_;
    std::function<void()> quit_;
};

// Virtual time in ms from 0; advancing it runs the actions scheduled up to its end, inclusive.
struct VirtualClock {
    std::int64_t now() const { return now_; }
    void at(std::int64_t timeMs, std::function<void()> action) {
        if (timeMs <= now_) return action();
        scheduled_.emplace(timeMs, std::move(action));
    }
    void advance(std::int64_t milliseconds) {
        const std::int64_t target = now_ + milliseconds;
        if (target > limitMs) throw VirtualTimeExceeded{};
        while (!scheduled_.empty() && scheduled_.begin()->first <= target) {
            now_ = std::max(now_, scheduled_.begin()->first);
            const auto action = std::move(scheduled_.begin()->second);
            scheduled_.erase(scheduled_.begin());
            action();
        }
        now_ = target;
    }
    std::int64_t limitMs = 10 * 60 * 1000, now_ = 0;
    std::multimap<std::int64_t, std::function<void()>> scheduled_;
};

struct FakeBase {
    FakeBase(EventLog& log, VirtualClock& time) : log(log), time(time) {}
    EventLog& log;
    VirtualClock& time;
};

// Sleeping advances virtual time; pumping messages runs `onPump` inside the component's wait.
struct FakeClock : platform::Clock, FakeBase {
    using FakeBase::FakeBase;
    void sleep(std::int32_t milliseconds) override {
        if (++sleeps > 200'000) throw VirtualTimeExceeded{};
        log.add("sleep", milliseconds);
        time.advance(static_cast<std::uint32_t>(milliseconds)); // Sleep's duration is unsigned
    }
    void pumpMessages() override {
        log.add("pump");
        if (onPump) onPump();
    }
    std::int64_t monotonicMs() override { return time.now(); }
    void seedRandomFromClock() override { log.add("seedRandom"); }
    float nextRandom() override { return randoms.next(); }
    std::function<void()> onPump;
    Answers<float> randoms;
    int sleeps = 0;
};

// `usage`: successive samples, raw from the registry, or each a tick's of the processor times.
struct FakeSystem : platform::System, FakeBase {
    enum class Statistic { None, Registry, ProcessorTimes };
    using FakeBase::FakeBase;
    std::optional<std::uint32_t> queryDynDataCpuUsage(const std::wstring& key) override {
        if (statistic != Statistic::Registry) return std::nullopt;
        return key == L"PerfStats\\StatData" ? usage.next() : 0;
    }
    std::optional<ProcessorTimes> processorTimes() override {
        if (statistic != Statistic::ProcessorTimes) return std::nullopt;
        const std::int64_t step = tickMs > 0 ? tickMs : time.now() - countedUntil;
        for (; step > 0 && countedUntil + step <= time.now(); countedUntil += step) {
            const auto elapsed = static_cast<std::uint64_t>(step) * 10'000;
            const std::uint64_t busy = elapsed * std::min<std::uint32_t>(usage.next(), 100) / 100;
            times.user += busy;
            times.kernel += elapsed - busy; // kernel time includes idle
            times.idle += elapsed - busy;
        }
        return times;
    }
    void busyForGood() { statistic = Statistic::Registry, usage.otherwise = 100; }
    Statistic statistic = Statistic::None;
    Answers<std::uint32_t> usage;
    std::int64_t tickMs = 0, countedUntil = 0;
    ProcessorTimes times;
};

struct FakeSound : platform::Sound, FakeBase {
    using FakeBase::FakeBase;
    bool play(const std::wstring& path, std::uint32_t flags) override {
        return logged(log, true, "play", path, flags);
    }
    void beep() override { log.add("beep"); }
};

// The Pause key as GetAsyncKeyState gives it after a press and release: the low bit, once.
struct FakeKeyboard : platform::Keyboard, FakeBase {
    static constexpr int Pause = 19;
    using FakeBase::FakeBase;
    std::int16_t asyncKeyState(int virtualKey) override {
        const auto state =
            static_cast<std::int16_t>(virtualKey == Pause && std::exchange(pressed, false));
        return logged(log, state, "key", virtualKey, state);
    }
    void rawKeyEvent(std::uint8_t virtualKey, std::uint8_t scan, std::uint32_t flags) override {
        log.add("rawkey", virtualKey, scan, flags);
    }
    void pressPause() { pressed = true; } // pressed and released again
    void pressPauseAt(std::int64_t ms) {
        time.at(ms, [this] { pressPause(); });
    }
    bool pressed = false;
};

struct FakeKeys : platform::KeyInjector, FakeBase {
    using FakeBase::FakeBase;
    void type(const std::vector<platform::KeyAction>& actions, Pauses&) override {
        log.add("type", renderKeys(actions));
    }
};

struct FakeWindows : platform::Windows, FakeBase {
    using FakeBase::FakeBase;
    WindowHandle foreground() override { return logged(log, front, "foreground", front); }
    WindowHandle lastActivePopup(WindowHandle w) override { return logged(log, w, "popup", w); }
    bool setForeground(WindowHandle w) override { return log.add("activate", w), front = w, true; }
    std::int32_t show(WindowHandle w, std::int32_t command) override {
        return logged(log, 0, "show", w, command);
    }
    std::wstring caption(WindowHandle, std::size_t) override { return {}; }
    WindowHandle findWindowByClass(const std::wstring& className) override {
        return logged(log, classes[className], "find", className);
    }
    // Another program or the user brings `w` to the front, now or at `ms`.
    void bringUp(WindowHandle w) { front = w, log.add("front", w); }
    void bringUpAt(std::int64_t ms, WindowHandle w) {
        time.at(ms, [this, w] { bringUp(w); });
    }
    WindowHandle front = 0x100;                   // the application the script works with
    std::map<std::wstring, WindowHandle> classes; // top-level windows by class name
};

// Each box is recorded with the virtual time it opened at and answered in turn.
struct FakeDialogs : platform::Dialogs, FakeBase {
    static constexpr std::int32_t Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6;
    struct Box {
        std::wstring text;
        std::uint32_t flags;
        std::wstring title;
        std::int64_t atMs;
    };
    using FakeBase::FakeBase;
    std::int32_t messageBox(const std::wstring& text, std::uint32_t flags,
                            const std::wstring& title) override {
        boxes.push_back({text, flags, title, time.now()});
        log.add("box", title);
        if (onBox) onBox();
        return answers.next();
    }
    // "input <title> <proposed text>", answered from `typed`; NoMoreAnswers when none is left.
    std::wstring inputBox(const std::wstring& prompt, const std::wstring& title,
                          const std::wstring& defaultText) override {
        log.add("input", title, defaultText);
        prompts.push_back(prompt);
        if (typed.empty()) throw NoMoreAnswers{};
        const std::wstring answer = typed.front() == KeepProposed ? defaultText : typed.front();
        typed.pop_front();
        return answer;
    }
    static inline const std::wstring KeepProposed = L"<OK>"; // OK on the proposed text
    Answers<std::int32_t> answers{{}, Retry};                // the user resumes from the pause box
    std::vector<Box> boxes;
    std::function<void()> onBox; // what the user does while a box is open
    std::deque<std::wstring> typed;
    std::vector<std::wstring> prompts;
};

// "start <command line> <style>"; "open", "inputidle" (yes from `readyAtMs` on), "close <id>".
struct FakeProcesses : platform::Processes, FakeBase {
    using FakeBase::FakeBase;
    platform::ProcessId start(const std::wstring& commandLine, std::int32_t style) override {
        return logged(log, nextProcessId, "start", commandLine, style);
    }
    void startLauncher(const std::wstring& command, std::int32_t style) override {
        log.add("start", L"start.exe " + command, style);
    }
    std::unique_ptr<OpenedProcess> open(platform::ProcessId process) override {
        log.add("open", process);
        return std::make_unique<Opened>(*this, process);
    }
    [[noreturn]] void endRun() override { log.add("endRun"), throw RunEnded{}; }
    std::wstring currentDirectory() override { return logged(log, directory, "curdir"); }
    std::wstring directory = L"C:\\Work";
    platform::ProcessId nextProcessId = 0;
    std::int64_t readyAtMs = 0;
    struct Opened : OpenedProcess {
        Opened(FakeProcesses& processes, platform::ProcessId id) : processes(processes), id(id) {}
        ~Opened() override { processes.log.add("close", id); }
        bool inputIdleWithin(std::int32_t) override {
            const bool ready = processes.time.now() >= processes.readyAtMs;
            return logged(processes.log, ready, "inputidle", id);
        }
        FakeProcesses& processes;
        platform::ProcessId id;
    };
};

// The formats the clipboard holds (format -> content); a snapshot is a copy of them. Another
// program may hold it open until `heldUntilMs`; `copy` is the user copying a text.
class FakeClipboard : public platform::Clipboard, FakeBase {
public:
    using Formats = std::map<std::wstring, std::wstring>;
    static inline const std::wstring Text = L"CF_UNICODETEXT";
    using FakeBase::FakeBase;
    std::unique_ptr<Snapshot> save() override {
        return log.add("clipboard save"), std::make_unique<Saved>(formats);
    }
    void setText(Str text) override { copy(logged(log, text, "clipboard set", text)); }
    bool restore(const Snapshot& snapshot) override {
        if (time.now() < heldUntilMs) return log.add("clipboard held"), false;
        log.add("clipboard restore"), ++sequence_;
        formats = dynamic_cast<const Saved&>(snapshot).formats;
        return true;
    }
    std::uint32_t sequenceNumber() override { return sequence_; }
    void copy(Str text) { formats = {{Text, text}}, ++sequence_; }
    Formats formats;
    std::int64_t heldUntilMs = 0;

private:
    std::uint32_t sequence_ = 1;
    struct Saved : Snapshot {
        explicit Saved(Formats saved) : formats(std::move(saved)) {}
        std::wstring text() const override { return formats.count(Text) ? formats.at(Text) : L""; }
        Formats formats;
    };
};

// Shell.Application: "browse <title> <options>" answered in turn from `chosen` (nothing: Cancel);
// reading the choice's title or path, which a test may make fail, "folder title" / "folder path".
class FakeShell : public platform::Shell {
public:
    struct Choice {
        std::wstring title, path;
    };
    explicit FakeShell(EventLog& log) : log_(log) {}
    std::unique_ptr<ChosenFolder> browseForFolder(Str title, std::int32_t options) override {
        log_.add("browse", title, options);
        if (chosen.empty()) throw NoMoreAnswers{};
        const auto choice = chosen.front();
        chosen.pop_front();
        return choice ? std::make_unique<Folder>(log_, *choice) : nullptr;
    }
    std::deque<std::optional<Choice>> chosen;

private:
    struct Folder : ChosenFolder {
        Folder(EventLog& log, Choice choice) : log(log), choice(std::move(choice)) {}
        std::wstring title() override { return logged(log, choice.title, "folder title"); }
        std::wstring path() override { return logged(log, choice.path, "folder path"); }
        EventLog& log;
        Choice choice;
    };
    EventLog& log_;
};

// WScript.Shell: each timed box is logged as text, seconds, title and style, then answered.
struct FakeScriptShell : platform::ScriptShell {
    FakeScriptShell(EventLog& log, Answers<std::int32_t>& answers) : log_(log), answers_(answers) {}
    std::int32_t popup(const std::wstring& text, std::int32_t secondsToWait,
                       const std::wstring& title, std::int32_t type) override {
        log_.add("timedBox", text, secondsToWait, title, type);
        return answers_.next();
    }
    std::wstring specialFolder(const std::wstring& name) override {
        return logged(log_, name == L"Desktop" ? desktop : L"", "specialFolder", name);
    }
    std::wstring shortcutTarget(const std::wstring&) override { return {}; }
    std::wstring expandEnvironment(const std::wstring& text) override {
        return text == L"%USERPROFILE%" ? profile : text;
    }
    std::wstring desktop = L"C:\\Users\\me\\Desktop", profile = L"C:\\Users\\me";
    EventLog& log_;
    Answers<std::int32_t>& answers_;
};

struct FakeCollation : platform::Collation {
    bool sameText(const std::wstring& a, const std::wstring& b) override {
        return text::lower(a) == text::lower(b);
    }
};

struct FakeObjects : platform::ObjectFactory, FakeBase {
    using FakeBase::FakeBase;
    std::shared_ptr<platform::FileSystem> createFileSystem() override {
        log.add("create FileSystem");
        return fileSystems.emplace_back(std::make_shared<FakeFileSystem>(log, disk, windowsFolder));
    }
    std::shared_ptr<platform::ScriptShell> createScriptShell() override {
        log.add("create ScriptShell");
        return std::make_shared<FakeScriptShell>(log, popupAnswers);
    }
    std::shared_ptr<platform::Shell> createShell() override {
        return log.add("create Shell"), shell;
    }
    std::shared_ptr<platform::Browser> createBrowser() override {
        log.add("create Browser");
        return browsers.emplace_back(std::make_shared<FakeBrowser>(log));
    }
    std::wstring windowsFolder = L"E:\\WINDOWS";
    std::vector<std::shared_ptr<FakeFileSystem>> fileSystems;
    FakeDisk disk{log};
    std::shared_ptr<FakeShell> shell = std::make_shared<FakeShell>(log);
    std::vector<std::shared_ptr<FakeBrowser>> browsers;
    Answers<std::int32_t> popupAnswers{{}, -1}; // nobody answers in time
};

struct FakeTextFiles : platform::TextFiles, FakeBase {
    using FakeBase::FakeBase;
    struct Reader : platform::TextReader {
        explicit Reader(std::string bytes) : bytes(std::move(bytes)) {}
        std::string read(std::size_t maxBytes) override {
            const std::string block = bytes.substr(next, maxBytes);
            next += block.size();
            return block;
        }
        std::string bytes;
        std::size_t next = 0;
    };
    std::unique_ptr<platform::TextReader> open(const std::wstring& path) override {
        if (!files.count(path)) errors::raise(std::int32_t(0x80070002u), path);
        return std::make_unique<Reader>(files.at(path));
    }
    std::wstring fromAnsi(const std::string& bytes) override {
        return {bytes.begin(), bytes.end()};
    }
    std::map<std::wstring, std::string> files;
};

struct FakeViewer : platform::Viewer, FakeBase {
    using FakeBase::FakeBase;
    void setCaption(const std::wstring& caption) override { log.add("caption", caption); }
    void showPicture(const std::wstring& path) override { log.add("picture", path); }
    void showText() override { log.add("showText"); }
    void appendText(const std::wstring& added) override { text += added; }
    void replaceText(const std::wstring& replaced) override { text = replaced; }
    void setTimerInterval(std::int32_t milliseconds) override { log.add("interval", milliseconds); }
    void showModal() override { log.add("showModal"), shownText = text, reset(); }
    void reset() override { text.clear(); }
    std::wstring text, shownText;
};

// The session's desktop turn; another script may hold it until a given time.
struct FakeDesktopLock : platform::DesktopLock, FakeBase {
    using FakeBase::FakeBase;
    bool tryAcquire() override {
        if (held) throw VirtualTimeExceeded{}; // the thread already holds it: a wait for itself
        return held = time.now() >= otherHoldsUntilMs;
    }
    void release() override { held = false; }
    bool held = false;
    std::int64_t otherHoldsUntilMs = 0;
};

// Counts in decimal only (the platform converts as the script languages do: "&H2", "2.5").
struct FakeConversions : platform::Conversions {
    std::int16_t toInteger(const std::wstring& text) override {
        wchar_t* end = nullptr;
        const long value = std::wcstol(text.c_str(), &end, 10);
        if (end == text.c_str() || *end) errors::raise(errors::TypeMismatch);
        if (value < -32768 || value > 32767) errors::raise(errors::Overflow);
        return static_cast<std::int16_t>(value);
    }
};

struct FakePlatform {
    EventLog log;
    VirtualClock time;
    FakeWindows windows{log, time};
    FakeKeyboard keyboard{log, time};
    FakeKeys keys{log, time};
    FakeProcesses processes{log, time};
    FakeClock clock{log, time};
    FakeSystem system{log, time};
    FakeSound sound{log, time};
    FakeDialogs dialogs{log, time};
    FakeClipboard clipboard{log, time};
    FakeObjects objects{log, time};
    FakeTextFiles textFiles{log, time};
    FakeViewer viewer{log, time};
    FakeDesktopLock desktopLock{log, time};
    FakeConversions conversions;
    FakeCollation collation;
    platform::Services services_{windows,     keyboard,    keys,      processes,
                                 clock,       system,      sound,     dialogs,
                                 clipboard,   objects,     textFiles, viewer,
                                 desktopLock, conversions, collation, objects.disk};
    platform::Services& services() { return services_; }
};

} // namespace kelmo::fakes
