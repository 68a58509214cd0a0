// The platform services Kelmo uses, each behind one small interface in Kelmo's own terms:
// 32-bit window handles, std::wstring, plain values. platform/win32/ implements them with the
// real Win32 and COM services; tests/unit/ replaces them with fakes. Nothing here decides
// policy (when to wait, what to show, which number to raise): that is the component's job.
#pragma once

#include "platform/keyactions.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kelmo::platform {

using WindowHandle = std::uint32_t; // 0 means none
using ProcessId = std::uint32_t;

// Windows and focus (user32).
class Windows {
public:
    virtual ~Windows() = default;
    virtual WindowHandle foreground() = 0;
    virtual WindowHandle lastActivePopup(WindowHandle window) = 0;
    virtual bool setForeground(WindowHandle window) = 0;
    virtual std::int32_t show(WindowHandle window, std::int32_t showCommand) = 0;
    // The caption read in Unicode, cut after the last whole character that still fits into
    // `maxAnsiBytes` bytes of the ANSI code page (a character the code page lacks counts as its
    // one-byte replacement). No window or no caption gives "".
    virtual std::wstring caption(WindowHandle window, std::size_t maxAnsiBytes) = 0;
    virtual WindowHandle findWindowByClass(const std::wstring& className) = 0;
};

// Raw keyboard state and events.
class Keyboard {
public:
    virtual ~Keyboard() = default;
    // GetAsyncKeyState: the 16-bit signed state; each query consumes the pressed-since flag.
    virtual std::int16_t asyncKeyState(int virtualKey) = 0;
    // One keybd_event: flags 0 key-down, 2 key-up; extra information 0.
    virtual void rawKeyEvent(std::uint8_t virtualKey, std::uint8_t scan, std::uint32_t flags) = 0;
};

// Delivers key actions, in order, to the window that has the keyboard focus; returns only after
// the receiving application has processed every key. A failure to deliver raises KelmoError
// with the system's HRESULT.
class KeyInjector {
public:
    virtual ~KeyInjector() = default;
    // What the injector asks of its caller while it types: pauseWanted between two chunks of
    // keys and while the receiving application is still handling keys, at least every 100 ms
    // however long that takes. When the answer is true, the injector lets go of every key it
    // holds, calls pause, then presses the script's held modifiers again and goes on.
    class Pauses {
    public:
        virtual ~Pauses() = default;
        virtual bool pauseWanted() = 0;
        // Returns when the user resumes; an Abort ends the run from inside.
        virtual void pause() = 0;
    };
    virtual void type(const std::vector<KeyAction>& actions, Pauses& pauses) = 0;
};

// Processes and the run.
class Processes {
public:
    virtual ~Processes() = default;
    // Window styles: 0 hidden, 1 normal, 2 minimised, 3 maximised, 4 normal without focus,
    // 6 minimised without focus. Throws KelmoError when the program cannot be started.
    virtual ProcessId start(const std::wstring& commandLine, std::int32_t windowStyle) = 0;
    // Opens `command` (a quoted program, document or folder, then its arguments) by the shell's
    // associations: through the system's launcher, start.exe, where there is one, the window
    // style being the launcher's own; elsewhere through the shell itself, with no command
    // interpreter reading the names. What opens is shown restored and in front. Throws
    // KelmoError when the launcher cannot be started or the shell cannot open the item.
    virtual void startLauncher(const std::wstring& command, std::int32_t windowStyle) = 0;

    // A process opened by its id; closed when destroyed.
    class OpenedProcess {
    public:
        virtual ~OpenedProcess() = default;
        // WaitForInputIdle for at most `milliseconds`: true once the process waits for input
        // (also when it never can, having no window), false while it is still busy.
        virtual bool inputIdleWithin(std::int32_t milliseconds) = 0;
    };
    // OpenProcess with the standard rights, inheritable; nullptr when it cannot be opened.
    virtual std::unique_ptr<OpenedProcess> open(ProcessId process) = 0;
    // Ends the process hosting the component at once.
    [[noreturn]] virtual void endRun() = 0;
    virtual std::wstring currentDirectory() = 0;
};

// Time, message pumping, random numbers.
class Clock {
public:
    virtual ~Clock() = default;
    // Blocks for the given milliseconds while keeping the thread's windows alive.
    virtual void sleep(std::int32_t milliseconds) = 0;
    // Processes the calling thread's pending window messages, then returns.
    virtual void pumpMessages() = 0;
    // A monotonic clock in milliseconds, for measuring elapsed time.
    virtual std::int64_t monotonicMs() = 0;
    virtual void seedRandomFromClock() = 0;
    virtual float nextRandom() = 0; // 0 <= r < 1
};

// The processor usage statistics (registry, processor time counters).
class System {
public:
    virtual ~System() = default;
    // The registry statistic "KERNEL\CPUUsage" under HKEY_DYN_DATA\PerfStats\<key>: the 4-byte
    // value when the query succeeded, nothing when it did not.
    virtual std::optional<std::uint32_t> queryDynDataCpuUsage(const std::wstring& key) = 0;
    // Whole-system processor time counters in 100 ns units (kernel includes idle).
    struct ProcessorTimes {
        std::uint64_t idle = 0, kernel = 0, user = 0;
    };
    virtual std::optional<ProcessorTimes> processorTimes() = 0;
};

// Sound cues (winmm).
class Sound {
public:
    virtual ~Sound() = default;
    // sndPlaySound(path, flags) with the path in Unicode; true when the sound started.
    virtual bool play(const std::wstring& path, std::uint32_t flags) = 0;
    // The simple system beep.
    virtual void beep() = 0;
};

// Modal boxes.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Answer: 1 OK, 2 Cancel, 3 Abort, 4 Retry, 5 Ignore, 6 Yes, 7 No.
    virtual std::int32_t messageBox(const std::wstring& text, std::uint32_t flags,
                                    const std::wstring& title) = 0;
    // The edited text after OK, the empty string after Cancel.
    virtual std::wstring inputBox(const std::wstring& prompt, const std::wstring& title,
                                  const std::wstring& defaultText) = 0;
};

// The clipboard, saved and restored whole around a paste.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Everything that can be copied back later; opaque to the component.
    class Snapshot {
    public:
        virtual ~Snapshot() = default;
        virtual std::wstring text() const = 0;
    };
    virtual std::unique_ptr<Snapshot> save() = 0;
    virtual void setText(const std::wstring& text) = 0;
    // False, with nothing changed, when another program has the clipboard open; it may be
    // tried again later.
    virtual bool restore(const Snapshot& snapshot) = 0;
    // Changes whenever anyone puts something on the clipboard (GetClipboardSequenceNumber).
    virtual std::uint32_t sequenceNumber() = 0;
};

// An automation object of the platform that the component may hand to scripts unchanged.
// Opaque here; the COM layer reaches the object behind it.
class AutomationObject {
public:
    virtual ~AutomationObject() = default;
};

// Scripting.FileSystemObject.
class FileSystem : public AutomationObject {
public:
    virtual std::wstring specialFolderPath(std::int32_t which) = 0;
    virtual bool folderExists(const std::wstring& path) = 0;
    virtual void createFolder(const std::wstring& path) = 0;
    virtual std::wstring folderName(const std::wstring& path) = 0;
    virtual std::vector<std::wstring> folderFileNames(const std::wstring& path) = 0;
    virtual std::shared_ptr<AutomationObject> folderFiles(const std::wstring& path) = 0;
    virtual std::int32_t fileAttributes(const std::wstring& path) = 0;
    virtual void setFileAttributes(const std::wstring& path, std::int32_t attributes) = 0;
    virtual void copyFile(const std::wstring& source, const std::wstring& destination) = 0;
    virtual void copyFolder(const std::wstring& source, const std::wstring& destination) = 0;
    virtual std::wstring fileName(const std::wstring& path) = 0;
    virtual std::wstring extensionName(const std::wstring& path) = 0;
};

// WScript.Shell.
class ScriptShell : public AutomationObject {
public:
    virtual std::int32_t popup(const std::wstring& text, std::int32_t secondsToWait,
                               const std::wstring& title, std::int32_t type) = 0;
    virtual std::wstring specialFolder(const std::wstring& name) = 0;
    virtual std::wstring shortcutTarget(const std::wstring& shortcutPath) = 0;
    // ExpandEnvironmentStrings: "%NAME%" replaced by the variable's value.
    virtual std::wstring expandEnvironment(const std::wstring& text) = 0;
};

// Shell.Application.
class Shell : public AutomationObject {
public:
    // The folder chosen in the browse dialog. Each read may fail on its own.
    class ChosenFolder {
    public:
        virtual ~ChosenFolder() = default;
        virtual std::wstring title() = 0; // its display name
        virtual std::wstring path() = 0;  // the path of the folder's own item
    };
    // BrowseForFolder with owner window 0 and no root folder; nothing after Cancel.
    virtual std::unique_ptr<ChosenFolder> browseForFolder(const std::wstring& title,
                                                          std::int32_t options) = 0;
};

// The web browser (InternetExplorer.Application), or whatever object the script assigned in
// its place: a member the object lacks raises KelmoError saying it is not a browser.
class Browser : public AutomationObject {
public:
    // Connects the browser's events: `quit` runs when the browser quits (its OnQuit event,
    // which arrives on this thread while it pumps messages). An empty function, or the end of
    // this object, disconnects them. An object without the browser's events is left
    // unconnected and simply never reports quitting.
    virtual void onQuit(std::function<void()> quit) = 0;
    virtual void navigate(const std::wstring& address) = 0;
    virtual void setVisible(bool visible) = 0;
    virtual bool busy() = 0;
    virtual void setAddressBar(bool shown) = 0;
    virtual void writeDocument(const std::wstring& markup) = 0;
    virtual std::wstring documentTitle() = 0;
    virtual void goBack() = 0;
    virtual void refresh() = 0;
};

// Creates the platform automation objects above by their ProgIDs.
class ObjectFactory {
public:
    virtual ~ObjectFactory() = default;
    virtual std::shared_ptr<FileSystem> createFileSystem() = 0;
    virtual std::shared_ptr<ScriptShell> createScriptShell() = 0;
    virtual std::shared_ptr<Shell> createShell() = 0;
    virtual std::shared_ptr<Browser> createBrowser() = 0;
};

// --- Folder tasks -------------------------------------------------------------------------

// The platform's locale-aware text comparison, as keywords and folder titles are compared:
// letter case, kana type and character width do not count.
class Collation {
public:
    virtual ~Collation() = default;
    virtual bool sameText(const std::wstring& a, const std::wstring& b) = 0;
};

// Folders as the file system knows them, whatever name reaches them (another drive letter for
// the same place, a symbolic link or junction, an 8.3 short name): what the folder members
// compare before they delete or copy, and a deletion that never follows a link. Failures raise
// KelmoError: 76 for a path that names nothing, 70 for one the system refuses (access denied,
// in use, read-only), otherwise the system's HRESULT.
class FolderTree {
public:
    virtual ~FolderTree() = default;
    struct Identity {
        std::uint32_t volume = 0;
        std::uint64_t file = 0;
        bool operator==(const Identity&) const = default;
    };
    struct Reached {
        Identity identity;
        std::wstring finalPath;  // every link followed: "C:\..." or "\\server\share\..."
        bool volumeRoot = false; // the root of a drive, a share or a mounted volume
        bool link = false;       // the path itself is a link (what it reaches is elsewhere)
    };
    // The path made absolute against the current folders, "." and ".." resolved; nothing is
    // opened. Drive-relative paths ("C:a") take that drive's current folder.
    virtual std::wstring fullPath(const std::wstring& path) = 0;
    // What a full path reaches, every link followed.
    virtual Reached reach(const std::wstring& path) = 0;
    enum class Kind { File, Folder, Link }; // Link: a link or junction to a folder
    struct Entry {
        std::wstring name;
        Kind kind;
    };
    // What `folder` holds, without "." and "..", links not followed.
    virtual std::vector<Entry> entries(const std::wstring& folder) = 0;
    // Removes one file, one empty folder or one link itself (never what the link points to);
    // a read-only file is refused.
    virtual void remove(const std::wstring& path, Kind kind) = 0;
};

// --------------------------------------------------------------------------------------------
// --- The content viewer and the text files it shows ------------------------------------------

// A file read from its start.
class TextReader {
public:
    virtual ~TextReader() = default;
    // The next bytes, at most `maxBytes` of them; none at the end of the file. Throws
    // KelmoError when the file cannot be read.
    virtual std::string read(std::size_t maxBytes) = 0;
};

// Text files in the system's ANSI code page.
class TextFiles {
public:
    virtual ~TextFiles() = default;
    // Opens the file for reading; throws KelmoError when it cannot be opened.
    virtual std::unique_ptr<TextReader> open(const std::wstring& path) = 0;
    // The bytes as text, read in the ANSI code page.
    virtual std::wstring fromAnsi(const std::string& bytes) = 0;
};

// The viewer window frmKelmo of the calling thread, created on first use and kept hidden
// between shows: a picture (Image1, stretched to the window) or a text box (Text1), and a
// countdown (Timer1) that closes it. Every way out of a show hides the viewer and resets it
// (no picture, no text, both hidden, the timer stopped).
class Viewer {
public:
    virtual ~Viewer() = default;
    virtual void setCaption(const std::wstring& caption) = 0;
    // Loads the picture file into Image1 and shows Image1; throws the loader's error.
    virtual void showPicture(const std::wstring& path) = 0;
    // Shows Text1.
    virtual void showText() = 0;
    // Inserts at the end of Text1's text (the caret put after its last character).
    virtual void appendText(const std::wstring& text) = 0;
    virtual void replaceText(const std::wstring& text) = 0;
    // Timer1's interval in milliseconds, 0 never fires (the component refuses negative ones).
    virtual void setTimerInterval(std::int32_t milliseconds) = 0;
    // Starts Timer1 and shows the viewer modally: returns once it is closed, hidden or unloaded.
    virtual void showModal() = 0;
    virtual void reset() = 0;
};

// --- Typing, pasting and pacing across programs ---

// The session-wide turn at the desktop: while one Kelmo object, in any process of the session,
// brings its application to the front and types or pastes into it, no other may.
class DesktopLock {
public:
    virtual ~DesktopLock() = default;
    // True when the turn is now this thread's (also when its previous holder ended without
    // giving it back); false at once when another holds it.
    virtual bool tryAcquire() = 0;
    virtual void release() = 0;
};

// Conversions as the script languages make them.
class Conversions {
public:
    virtual ~Conversions() = default;
    // The text as a script's Integer conversion reads it ("&H2", "1e1", " 3 "): 16 bits,
    // rounded half to even. Raises the type-mismatch or overflow error.
    virtual std::int16_t toInteger(const std::wstring& text) = 0;
};

// Every service, as one bundle handed to the automation object.
struct Services {
    Windows& windows;
    Keyboard& keyboard;
    KeyInjector& keys;
    Processes& processes;
    Clock& clock;
    System& system;
    Sound& sound;
    Dialogs& dialogs;
    Clipboard& clipboard;
    ObjectFactory& objects;
    TextFiles& textFiles;
    Viewer& viewer;
    DesktopLock& desktopLock;
    Conversions& conversions;
    Collation& collation; // folder tasks
    FolderTree& folderTree;
};

} // namespace kelmo::platform
