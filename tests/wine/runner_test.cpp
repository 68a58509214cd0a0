// KelmoR.exe driven from outside as a user drives it: it starts (the start-up popup closes
// itself), its controls sit where the layout puts them, Exec launches the key recorder, lines
// typed into the key box reach the recorder and the log, and drops on the path box show a
// shortcut's target or the drop message.
#include "fixture.h"
#include "pilot.h"
#include "recorder.h"

#include "platform/win32/measures.h"
#include "runner/runnerlayout.h"

#include <tlhelp32.h>

namespace {

using namespace kelmo::testtools;
using namespace kelmo::runner;
using kelmo::test::programFolder;

// Generous: every call paces itself by processor idleness, and the machine may be busy.
constexpr DWORD StartMs = 180000, CallMs = 180000;

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

class RunnerProgram : public kelmo::test::ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        ASSERT_TRUE(runner_.started());
        ASSERT_NE(nullptr, waitForWindow(L"Kelmo_Popup", StartMs)) << "no start-up popup";
        window_ = waitForWindow(L"KelmoR", StartMs);
        ASSERT_NE(nullptr, window_);
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
    // Drops `paths` on the middle of the control.
    bool dropOn(ControlId id, const std::vector<std::wstring>& paths) const {
        RECT bounds{};
        GetWindowRect(control(id), &bounds);
        POINT centre{(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
        ScreenToClient(window_, &centre);
        return dropFiles(window_, centre, paths);
    }

    const kelmo::test::Process runner_{L"\"" + programFolder() + L"KelmoR.exe\""};
    HWND window_ = nullptr;
};

// The client area and every control where the table puts it, at the window's DPI (one pixel of
// rounding either way); no box to minimise, maximise or resize, and no taskbar button.
TEST_F(RunnerProgram, StartsWaitingWithTheLayoutOfTheTable) {
    const UINT dpi = kelmo::win32::dpiOf(window_);
    const auto fits = [dpi](int twips, LONG pixels) {
        return std::abs(kelmo::win32::twipsToPixels(twips, dpi) - pixels) <= 1;
    };
    RECT client{};
    GetClientRect(window_, &client);
    EXPECT_TRUE(fits(ClientWidthTwips, client.right) && fits(ClientHeightTwips, client.bottom));
    for (const ControlLayout& layout : RunnerControls) {
        RECT r{};
        GetWindowRect(control(layout.id), &r);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_TRUE(fits(layout.left, r.left) && fits(layout.top, r.top) &&
                    fits(layout.width, r.right - r.left) && fits(layout.height, r.bottom - r.top) &&
                    layout.shownAtStart == bool(IsWindowVisible(control(layout.id))))
            << "control " << layout.id;
    }
    EXPECT_EQ(0, GetWindowLongW(window_, GWL_STYLE) &
                     (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_NE(nullptr, GetWindow(window_, GW_OWNER));
}

// Exec of the recorder makes the runner ready; lines typed into the key box go to the recorder
// and into the log, run together; an empty line adds nothing. A window that comes to the front
// while a modifier button makes the runner's own entry current gets nothing pasted.
TEST_F(RunnerProgram, ExecThenEveryLineGoesToTheTargetAndTheLog) {
    kelmo::test::KeyRecorder recorder{kelmo::test::KeyRecorder::StartedElsewhere{}};
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
    for (ControlId id : ReadyControls)
        EXPECT_TRUE(IsWindowVisible(control(id))) << "control " << id;
    EXPECT_EQ(4, SendMessageW(control(Combo1), CB_GETCURSEL, 0, 0)) << "{Enter} selected";

    for (const auto& [keys, log] : {std::pair{L"abc", L"abc"},
                                    {L"{Enter}", L"abc{Enter}"},
                                    {L"", L"abc{Enter}"},
                                    {L"x", L"abc{Enter}x"}}) {
        ASSERT_TRUE(setControlText(window_, Text1, keys));
        ASSERT_TRUE(pressKey(VK_RETURN, 50));
        ASSERT_TRUE(waitUntil([&] { return textOf(Text2) == log && backInKeyBox(); }, CallMs))
            << "log: " << toUtf8(textOf(Text2));
        EXPECT_EQ(L"", textOf(Text1));
    }
    ASSERT_TRUE(SetForegroundWindow(recorder.window()));
    ASSERT_TRUE(clickButton(window_, cmdShift));
    for (int wait = 0; wait < 2; ++wait) { // during AppCur and again during Update
        ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == window_; }, CallMs));
        SetForegroundWindow(recorder.window());
    }
    ASSERT_TRUE(waitUntil([&] { return IsWindowEnabled(control(cmdExec)) != FALSE; }, CallMs));
    EXPECT_EQ(L"+", textOf(Text1));
    recorder.settle();
    EXPECT_EQ(L"abc\rx", recorder.text());
}

// The first dropped file counts; a shortcut shows its target's full path, anything else (a
// text file, a shortcut to an address or to the computer) the drop message; a drop beside the
// path box and the label under it changes nothing. Shortcuts are made by a script host: the
// shell objects would keep this process's desktop folder, which the folder tests redirect.
TEST_F(RunnerProgram, DropsShowTheShortcutTargetOrTheMessage) {
    const std::wstring dropMessage =
        L"必ずショートカットアイコンをドラッグ＆ドロップしてください！";
    const kelmo::test::TempFolder folder(L"runner");
    const std::wstring target = programFolder() + L"tools\\KeyRec.exe",
                       shortcut = folder / L"a.lnk";
    const std::wstring textFile = folder.write(L"a.txt", "not a shortcut");
    const std::wstring linkJs = folder.write(
        L"link.js", L"var link = WScript.CreateObject('WScript.Shell').CreateShortcut("
                    L"WScript.Arguments(0)); link.TargetPath = WScript.Arguments(1); link.Save();");
    const auto makeShortcut = [&](const std::wstring& to) {
        return kelmo::test::Process(
                   kelmo::test::cscript(linkJs, L"\"" + shortcut + L"\" \"" + to + L"\""))
            .endsWithin(60000);
    };
    ASSERT_TRUE(makeShortcut(target));
    const struct {
        ControlId on;
        std::vector<std::wstring> files;
        std::wstring shown;
    } drops[] = {{Text3, {shortcut, textFile}, target},
                 {Label4, {textFile}, dropMessage},
                 {Label4, {shortcut}, target},
                 {Label5, {textFile}, target}};
    for (const auto& drop : drops) {
        ASSERT_TRUE(dropOn(drop.on, drop.files));
        EXPECT_EQ(0, _wcsicmp(drop.shown.c_str(), textOf(Text3).c_str())) << toUtf8(textOf(Text3));
    }
    for (const wchar_t* noFile :
         {L"http://example.invalid/", L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"}) {
        ASSERT_TRUE(makeShortcut(noFile));
        ASSERT_TRUE(setControlText(window_, Text3, L""));
        ASSERT_TRUE(dropOn(Text3, {shortcut}));
        EXPECT_EQ(dropMessage, textOf(Text3)) << toUtf8(noFile);
    }
}

} // namespace
