// KelmoR.exe driven as a user drives it: the start-up popup closes itself, Exec launches the key
// recorder, lines typed reach it and the log, drops show a shortcut's target or the message.
#include "fixture.h"
#include "pilot.h"
#include "recorder.h"

#include "runner/runnerlayout.h"

#include <tlhelp32.h>

namespace {

using namespace kelmo::testtools;
using namespace kelmo::runner;
using namespace kelmo::test;

// Generous: every call paces itself by processor idleness, and the machine may be busy.
constexpr DWORD CallMs = 180000;

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

class RunnerProgram : public ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        ASSERT_TRUE(runner_.started());
        ASSERT_NE(nullptr, waitForWindow(L"Kelmo_Popup", CallMs)) << "no start-up popup";
        ASSERT_NE(nullptr, window_ = waitForWindow(L"KelmoR", CallMs));
        EXPECT_EQ(nullptr, findWindow(L"Kelmo_Popup")) << "the popup closes before the window";
    }
    void TearDown() override {
        PostMessageW(window_, WM_CLOSE, 0, 0);
        EXPECT_TRUE(runner_.endsWithin(10000));
    }

    HWND control(ControlId id) const { return GetDlgItem(window_, id); }
    std::wstring textOf(ControlId id) const { return windowText(control(id)); }
    // After an action: the runner is in front again with the focus in the key box.
    bool backInKeyBox() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &info);
        return IsWindowEnabled(control(cmdExec)) && GetForegroundWindow() == window_ &&
               info.hwndFocus == control(Text1);
    }

    const Process runner_{L"\"" + programFolder() + L"KelmoR.exe\""};
    HWND window_ = nullptr;
};

// Exec of the recorder makes the runner ready; lines typed into the key box go to the recorder
// and into the log, run together; an empty line adds nothing. A window that comes to the front
// while a modifier button makes the runner's own entry current gets nothing pasted.
TEST_F(RunnerProgram, ExecThenEveryLineGoesToTheTargetAndTheLog) {
    KeyRecorder recorder{KeyRecorder::StartedElsewhere{}};
    ASSERT_TRUE(setControlText(window_, Text3, recorder.command()));
    ASSERT_TRUE(clickButton(window_, cmdExec));
    // Exec takes the window in front once the processor has idled after the launch, which may
    // come before the new window: the runner is held from the launch until it is in front.
    ASSERT_TRUE(waitUntil([] { return processRunning({L"start.exe", L"KeyRecW.exe"}); }, CallMs));
    SuspendThread(runner_.thread());
    const bool attached = recorder.attach() && recorder.window() == GetForegroundWindow();
    ResumeThread(runner_.thread());
    ASSERT_TRUE(attached);
    ASSERT_TRUE(waitUntil([&] { return backInKeyBox(); }, CallMs));
    EXPECT_FALSE(IsWindowVisible(control(Label5)));
    EXPECT_EQ(4, SendMessageW(control(Combo1), CB_GETCURSEL, 0, 0)) << "{Enter} selected";
    for (const auto& [keys, log] : {std::pair{L"abc", L"abc"},
                                    {L"{Enter}", L"abc{Enter}"},
                                    {L"", L"abc{Enter}"},
                                    {L"x", L"abc{Enter}x"}}) {
        ASSERT_TRUE(setControlText(window_, Text1, keys) && pressKey(VK_RETURN, 50));
        ASSERT_TRUE(waitUntil([&] { return textOf(Text2) == log && backInKeyBox(); }, CallMs))
            << "log: " << toUtf8(textOf(Text2));
        EXPECT_EQ(L"", textOf(Text1));
    }
    ASSERT_TRUE(SetForegroundWindow(recorder.window()) && clickButton(window_, cmdShift));
    for (int wait = 0; wait < 2; ++wait) { // during AppCur and again during Update
        ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == window_; }, CallMs));
        SetForegroundWindow(recorder.window());
    }
    ASSERT_TRUE(waitUntil([&] { return IsWindowEnabled(control(cmdExec)) != FALSE; }, CallMs));
    EXPECT_EQ(L"+", textOf(Text1));
    recorder.settle();
    EXPECT_EQ(L"abc\rx", recorder.text());
}

// The first file dropped on the path box or its label counts: a shortcut shows its target, a
// text file or a shortcut to an address the message; elsewhere nothing.
// A script host makes the shortcuts: the shell objects would keep this process's desktop folder.
TEST_F(RunnerProgram, DropsShowTheShortcutTargetOrTheMessage) {
    const std::wstring message = L"必ずショートカットアイコンをドラッグ＆ドロップしてください！";
    const TempFolder folder(L"runner");
    const std::wstring keyRec = programFolder() + L"tools\\KeyRec.exe", link = folder / L"a.lnk",
                       text = folder.write(L"a.txt", "not a shortcut");
    const std::wstring linkJs = folder.write(
        L"link.js", L"var link = WScript.CreateObject('WScript.Shell').CreateShortcut("
                    L"WScript.Arguments(0)); link.TargetPath = WScript.Arguments(1); link.Save();");
    const struct {
        std::wstring to;
        ControlId on;
        std::vector<std::wstring> files;
        std::wstring shown;
    } drops[] = {{keyRec, Text3, {link, text}, keyRec},
                 {keyRec, Label4, {text}, message},
                 {keyRec, Label5, {link}, L""},
                 {L"http://example.invalid/", Label4, {link}, message}};
    for (const auto& drop : drops) {
        SCOPED_TRACE(toUtf8(drop.to + L" on " + std::to_wstring(drop.on)));
        ASSERT_TRUE(
            Process(cscript(linkJs, L"\"" + link + L"\" \"" + drop.to + L"\"")).endsWithin(60000));
        RECT box{};
        GetWindowRect(control(drop.on), &box);
        POINT centre{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
        ASSERT_TRUE(setControlText(window_, Text3, L"") && ScreenToClient(window_, &centre) &&
                    dropFiles(window_, centre, drop.files));
        EXPECT_EQ(0, _wcsicmp(drop.shown.c_str(), textOf(Text3).c_str())) << toUtf8(textOf(Text3));
    }
}

} // namespace
