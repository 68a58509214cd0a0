// KelmoR.exe driven as a user drives it: the start-up popup closes itself, drops show a
// shortcut's target or the message, Exec launches the key recorder, lines typed reach it and
// the log.
#include "recorder.h"

#include "runner/runnerlayout.h"

#include <tlhelp32.h>

namespace {

using namespace kelmo::testtools;
using namespace kelmo::runner;
using namespace kelmo::test;

constexpr DWORD CallMs = 180000; // every call paces itself by processor idleness

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

// The first file dropped on the path box or its label counts: a shortcut shows its target, a
// text file or a shortcut to an address the message; elsewhere nothing (a script host makes the
// shortcuts: the shell objects would keep this process's desktop folder). Exec of the recorder
// makes the runner ready; lines typed into the key box go to the recorder and into the log, run
// together; an empty line adds nothing. A window that comes to the front while a modifier
// button makes the runner's own entry current gets nothing pasted.
TEST(RunnerProgram, DropsThenExecThenEveryLineGoesToTheTargetAndTheLog) {
    const Process runner(L"\"" + programFolder() + L"KelmoR.exe\"");
    ASSERT_NE(nullptr, waitForWindow(L"Kelmo_Popup", CallMs)) << "no start-up popup";
    HWND window = waitForWindow(L"KelmoR", CallMs);
    ASSERT_TRUE(window && !findWindow(L"Kelmo_Popup")) << "the popup closes before the window";
    const auto control = [&](ControlId id) { return GetDlgItem(window, id); };
    const auto textOf = [&](ControlId id) { return windowText(control(id)); };

    const TempFolder folder(L"runner");
    const std::wstring keyRec = programFolder() + L"tools\\KeyRec.exe", link = folder / L"a.lnk",
                       text = folder.write(L"a.txt", "not a shortcut"),
                       message = L"必ずショートカットアイコンをドラッグ＆ドロップしてください！",
                       linkJs = folder.write(L"link.js", L"var a = WScript.Arguments, link = "
                                                         L"WScript.CreateObject('WScript.Shell')"
                                                         L".CreateShortcut(a(0));\n"
                                                         L"link.TargetPath = a(1); link.Save();");
    const std::tuple<std::wstring, ControlId, std::vector<std::wstring>, std::wstring> drops[] = {
        {keyRec, Text3, {link, text}, keyRec}, // the shortcut's target, dropped on, files, shown
        {keyRec, Label4, {text}, message},
        {keyRec, Label5, {link}, L""},
        {L"http://example.invalid/", Label4, {link}, message}};
    for (const auto& [target, on, files, shown] : drops) {
        const std::wstring arguments = L"\"" + link + L"\" \"" + target + L"\"";
        ASSERT_TRUE(Process(cscript(linkJs, arguments)).endsWithin(60000));
        RECT box{};
        GetWindowRect(control(on), &box);
        POINT centre{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
        ASSERT_TRUE(setControlText(window, Text3, L"") && ScreenToClient(window, &centre) &&
                    dropFiles(window, centre, files));
        EXPECT_EQ(0, _wcsicmp(shown.c_str(), textOf(Text3).c_str()))
            << toUtf8(target + L" on " + std::to_wstring(on) + L": " + textOf(Text3));
    }

    KeyRecorder recorder{KeyRecorder::StartedElsewhere{}};
    ASSERT_TRUE(setControlText(window, Text3, recorder.command()) && clickButton(window, cmdExec));
    // Exec takes the window in front once the processor has idled after the launch, which may
    // come before the new window: the runner is held from the launch until it is in front.
    ASSERT_TRUE(waitUntil([] { return processRunning({L"start.exe", L"KeyRecW.exe"}); }, CallMs));
    const HANDLE thread = runner.thread();
    SuspendThread(thread);
    const bool attached = recorder.attach() && recorder.window() == GetForegroundWindow();
    ResumeThread(thread);
    const auto backInKeyBox = [&] { // in front again with the focus in the key box
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
        return IsWindowEnabled(control(cmdExec)) && GetForegroundWindow() == window &&
               info.hwndFocus == control(Text1);
    };
    ASSERT_TRUE(attached && waitUntil(backInKeyBox, CallMs));
    EXPECT_FALSE(IsWindowVisible(control(Label5)));
    EXPECT_EQ(4, SendMessageW(control(Combo1), CB_GETCURSEL, 0, 0)) << "{Enter} selected";
    for (const auto& [keys, log] : {std::pair{L"abc", L"abc"},
                                    {L"{Enter}", L"abc{Enter}"},
                                    {L"", L"abc{Enter}"},
                                    {L"x", L"abc{Enter}x"}}) {
        ASSERT_TRUE(setControlText(window, Text1, keys) && pressKey(VK_RETURN, 50));
        ASSERT_TRUE(waitUntil([&] { return textOf(Text2) == log && backInKeyBox(); }, CallMs))
            << "log: " << toUtf8(textOf(Text2));
        EXPECT_EQ(L"", textOf(Text1));
    }
    ASSERT_TRUE(SetForegroundWindow(recorder.window()) && clickButton(window, cmdShift));
    for (int wait = 0; wait < 2; ++wait) { // during AppCur and again during Update
        ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == window; }, CallMs));
        SetForegroundWindow(recorder.window());
    }
    ASSERT_TRUE(waitUntil([&] { return IsWindowEnabled(control(cmdExec)) != FALSE; }, CallMs));
    EXPECT_EQ(L"+", textOf(Text1));
    recorder.settle();
    EXPECT_EQ(L"abc\rx", recorder.text());
    EXPECT_TRUE(PostMessageW(window, WM_CLOSE, 0, 0) && runner.endsWithin(10000));
}

} // namespace
