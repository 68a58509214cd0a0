// KelmoR.exe driven from outside as a user drives it: it starts (the start-up popup closes
// itself), its controls sit where the layout puts them, Exec launches the key recorder, lines
// typed into the key box reach the recorder and the log, and drops on the path box show a
// shortcut's target or the drop message.
#include "fixture.h"
#include "pilot.h"
#include "recorder.h"
#include "toolio.h"

#include "platform/win32/owned.h"
#include "platform/win32/window.h"
#include "runner/runnerlayout.h"

#include <tlhelp32.h>

#include <functional>
#include <vector>

namespace {

using namespace kelmo::testtools;
using namespace kelmo::runner;
using kelmo::test::programFolder;

// Generous: every call paces itself by processor idleness, and the machine may be busy.
constexpr DWORD StartMs = 180000, CallMs = 180000, PollMs = 20;

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() >= deadline) return false;
        Sleep(PollMs);
    }
    return true;
}

bool processRunning(std::initializer_list<const wchar_t*> names) {
    const kelmo::win32::Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry))
        for (const wchar_t* name : names)
            if (_wcsicmp(entry.szExeFile, name) == 0) return true;
    return false;
}

// Holds the runner's thread while it lives. The runner's Exec takes the window in front once the
// processor has been idle for a moment after the launch, which on a quick machine comes before a
// new program's window; held from the launch until the launched program's window is in front,
// Exec cannot take another window as its target.
class HeldThread {
public:
    explicit HeldThread(HANDLE thread) : thread_(thread) { SuspendThread(thread_); }
    HeldThread(const HeldThread&) = delete;
    HeldThread& operator=(const HeldThread&) = delete;
    ~HeldThread() { ResumeThread(thread_); }

private:
    HANDLE thread_;
};

// A shortcut made as a script makes it, by cscript in a process of its own: the shell objects
// would keep this process's desktop folder, which the folder tests redirect later.
bool makeShortcut(const std::wstring& shortcut, const std::wstring& target) {
    const std::wstring script = shortcut + L".js";
    auto quoted = [](std::wstring text) {
        for (size_t at = 0; (at = text.find(L'\\', at)) != std::wstring::npos; at += 2)
            text.insert(at, 1, L'\\');
        return L"\"" + text + L"\"";
    };
    if (!writeUtf8File(script,
                       L"var link = WScript.CreateObject(\"WScript.Shell\").CreateShortcut(" +
                           quoted(shortcut) + L");\nlink.TargetPath = " + quoted(target) +
                           L";\nlink.Save();\n"))
        return false;
    std::wstring command = L"cscript.exe //nologo \"" + script + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    const kelmo::win32::Handle processHandle(process.hProcess), threadHandle(process.hThread);
    WaitForSingleObject(process.hProcess, 60000);
    DeleteFileW(script.c_str());
    return GetFileAttributesW(shortcut.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class RunnerProgram : public kelmo::test::ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        std::wstring command = L"\"" + programFolder() + L"KelmoR.exe\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &process_));
        ASSERT_NE(nullptr, waitForWindow(L"Kelmo_Popup", StartMs)) << "no start-up popup";
        window_ = waitForWindow(L"KelmoR", StartMs);
        ASSERT_NE(nullptr, window_);
        EXPECT_EQ(nullptr, findWindow(L"Kelmo_Popup")) << "the popup closes before the window";
    }
    void TearDown() override {
        if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
        if (process_.hProcess) {
            EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process_.hProcess, 10000));
            TerminateProcess(process_.hProcess, 1);
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
        ComTest::TearDown();
    }

    HWND control(ControlId id) const { return GetDlgItem(window_, id); }
    std::wstring textOf(ControlId id) const { return windowText(control(id)); }
    HWND focus() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &info);
        return info.hwndFocus;
    }
    // After an action: the runner is in front again with the focus in the key box.
    bool backInKeyBox() const {
        return IsWindowEnabled(control(cmdExec)) && GetForegroundWindow() == window_ &&
               focus() == control(Text1);
    }
    // Types `keys` into the key box and presses Enter; waits until the log has grown by them.
    void sendLine(const std::wstring& keys, const std::wstring& logAfter) {
        ASSERT_TRUE(setControlText(window_, Text1, keys));
        ASSERT_TRUE(pressKey(VK_RETURN, 50));
        ASSERT_TRUE(waitUntil([&] { return textOf(Text2) == logAfter && backInKeyBox(); }, CallMs))
            << "log: " << testing::PrintToString(textOf(Text2));
        EXPECT_EQ(L"", textOf(Text1));
    }
    POINT centreOf(ControlId id) const {
        RECT bounds{};
        GetWindowRect(control(id), &bounds);
        POINT centre{(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
        ScreenToClient(window_, &centre);
        return centre;
    }

    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

// The client area and every control where the table puts it, at the window's DPI (one pixel of
// rounding either way).
TEST_F(RunnerProgram, StartsWaitingWithTheLayoutOfTheTable) {
    const UINT dpi = kelmo::win32::dpiOf(window_);
    auto pixels = [dpi](int twips) { return MulDiv(twips, static_cast<int>(dpi), 1440); };
    RECT client{};
    GetClientRect(window_, &client);
    EXPECT_NEAR(pixels(ClientWidthTwips), client.right, 1);
    EXPECT_NEAR(pixels(ClientHeightTwips), client.bottom, 1);
    for (const ControlLayout& layout : RunnerControls) {
        RECT bounds{};
        GetWindowRect(control(layout.id), &bounds);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&bounds), 2);
        SCOPED_TRACE(testing::Message() << "control " << layout.id);
        EXPECT_NEAR(pixels(layout.left), bounds.left, 1);
        EXPECT_NEAR(pixels(layout.top), bounds.top, 1);
        EXPECT_NEAR(pixels(layout.width), bounds.right - bounds.left, 1);
        EXPECT_NEAR(pixels(layout.height), bounds.bottom - bounds.top, 1);
        EXPECT_EQ(layout.shownAtStart, IsWindowVisible(control(layout.id)) != FALSE);
    }
    const LONG style = GetWindowLongW(window_, GWL_STYLE);
    EXPECT_EQ(0, style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_NE(nullptr, GetWindow(window_, GW_OWNER)) << "an owned window: no taskbar button";
}

// Exec of the recorder (the first Exec after start: entry 2, after the taskbar's entry 1) makes
// the runner ready; lines typed into the key box go to the recorder and into the log, run
// together; an empty line adds nothing; a modifier button inserts into the key box.
TEST_F(RunnerProgram, ExecThenEveryLineGoesToTheTargetAndTheLog) {
    kelmo::test::KeyRecorder recorder{kelmo::test::KeyRecorder::StartedElsewhere{}};
    ASSERT_TRUE(setControlText(window_, Text3, recorder.command()));
    ASSERT_TRUE(clickButton(window_, cmdExec));
    // The launch starts Exec's wait: caught within a poll, well inside it. Polled, not spun, so
    // that the runner's wait before the launch sees an idle processor.
    ASSERT_TRUE(waitUntil([] { return processRunning({L"start.exe", L"KeyRecW.exe"}); }, CallMs));
    {
        const HeldThread held(process_.hThread);
        ASSERT_TRUE(recorder.attach());
        ASSERT_EQ(recorder.window(), GetForegroundWindow());
    }
    ASSERT_TRUE(waitUntil([&] { return backInKeyBox(); }, CallMs));
    EXPECT_FALSE(IsWindowVisible(control(Label5)));
    for (ControlId id : ReadyControls)
        EXPECT_TRUE(IsWindowVisible(control(id))) << "control " << id;
    EXPECT_EQ(4, SendMessageW(control(Combo1), CB_GETCURSEL, 0, 0)) << "{Enter} selected";

    sendLine(L"abc", L"abc");
    sendLine(L"{Enter}", L"abc{Enter}");
    sendLine(L"", L"abc{Enter}");
    sendLine(L"x", L"abc{Enter}x");

    // A window that comes to the front while the runner makes its own entry current (as a
    // program's window does that comes up after Exec has returned), during AppCur and again
    // during Update, gets no modifier pasted.
    ASSERT_TRUE(SetForegroundWindow(recorder.window()));
    ASSERT_TRUE(clickButton(window_, cmdShift));
    for (int wait = 0; wait < 2; ++wait) {
        ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == window_; }, CallMs));
        SetForegroundWindow(recorder.window());
    }
    ASSERT_TRUE(waitUntil([&] { return IsWindowEnabled(control(cmdExec)) != FALSE; }, CallMs));
    EXPECT_EQ(L"+", textOf(Text1));
    recorder.settle();
    EXPECT_EQ(L"abc\rx", recorder.text());
}

// A dropped shortcut shows its target's full path; a text file, or a shortcut to something that
// is no file, shows the drop message; a drop beside the path box and the label under it changes
// nothing.
TEST_F(RunnerProgram, DropsShowTheShortcutTargetOrTheMessage) {
    const std::wstring DropMessage =
        L"必ずショートカットアイコンをドラッグ＆ドロップしてください！";
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring shortcut = std::wstring(temp) + L"kelmo-runner-test.lnk";
    const std::wstring textFile = std::wstring(temp) + L"kelmo-runner-test.txt";
    const std::wstring target = programFolder() + L"tools\\KeyRec.exe";
    ASSERT_TRUE(makeShortcut(shortcut, target));
    ASSERT_TRUE(writeUtf8File(textFile, L"not a shortcut"));

    ASSERT_TRUE(dropFiles(window_, centreOf(Text3), {shortcut, textFile}));
    EXPECT_EQ(0, _wcsicmp(target.c_str(), textOf(Text3).c_str())) << textOf(Text3);
    ASSERT_TRUE(dropFiles(window_, centreOf(Label4), {textFile}));
    EXPECT_EQ(DropMessage, textOf(Text3));
    ASSERT_TRUE(dropFiles(window_, centreOf(Label4), {shortcut}));
    EXPECT_EQ(0, _wcsicmp(target.c_str(), textOf(Text3).c_str()));
    ASSERT_TRUE(dropFiles(window_, centreOf(Label5), {textFile}));
    EXPECT_EQ(0, _wcsicmp(target.c_str(), textOf(Text3).c_str()));
    // Shortcuts to an address and to the computer name no file.
    for (const wchar_t* noFile :
         {L"http://example.invalid/", L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"}) {
        ASSERT_TRUE(makeShortcut(shortcut, noFile));
        ASSERT_TRUE(setControlText(window_, Text3, L""));
        ASSERT_TRUE(dropFiles(window_, centreOf(Text3), {shortcut}));
        EXPECT_EQ(DropMessage, textOf(Text3)) << "target " << testing::PrintToString(noFile);
    }
    DeleteFileW(shortcut.c_str());
    DeleteFileW(textFile.c_str());
}

} // namespace
