// The members of the application table and launching: Title, Mark, AppNum, AppCur, AppShow,
// AdjustT, Exec, Run, and the launch error box they share with IE.
#include "component/core/object.h"

#include "base/checked.h"
#include "base/text.h"
#include "component/core/calls.h"

#include <algorithm>

namespace kelmo {

namespace {
const std::wstring CrLf = L"\r\n";

constexpr std::size_t TitleMaxAnsiBytes = 127; // what a 128-byte ANSI buffer holds

constexpr std::uint32_t MarkBoxFlags = 0x10020; // question icon, OK, brought to the front
constexpr std::int32_t MarkChoiceMs = 4000;     // for the user to activate the application

constexpr std::uint32_t LaunchErrorFlags = 0x10; // stop icon, OK
constexpr std::int32_t LauncherWindowStyle = 2;  // minimised, with focus
constexpr std::int32_t LaunchPollMs = 10;        // looks at a starting program this often

// Run's window styles that bring the program's window to the front.
bool activates(std::int16_t style) {
    return style >= 1 && style <= 3;
}

// ShowWindow commands by what AppShow does with the table around them.
constexpr std::int32_t LargestShowCommand = 10, DefaultShowCommand = 1;
bool showsWithoutActivating(std::int32_t command) {
    return command == 4 || command == 7 || command == 8;
}
bool hidesOrMinimises(std::int32_t command) {
    return command == 0 || command == 6;
}

std::wstring markPrompt(const std::wstring& strText) {
    return L"Kelmoは一時中断されています。" + CrLf +
           L"新たにKelmoからコントロールしたいアプリを起動し終わった後で" + CrLf +
           L"（タスクバーの Kelmo_Mark をクリックして）" + CrLf + std::wstring(19, L'\u3000') +
           L"[OK]を押してください。" + CrLf +
           L"その後、3秒以内に目的のアプリをアクティブにしてください。" + CrLf + CrLf + strText;
}

std::wstring launchErrorTitle(std::int32_t number) {
    return L"エラー発生 : " + std::to_wstring(number);
}
const wchar_t LaunchErrorText[] = L"二重起動できないアプリを二重起動しようとしたか、"
                                  L"存在しない実行ファイルを起動しようとしました";

bool isWebAddress(const std::wstring& text) {
    const std::wstring prefix = text::lower(text.substr(0, 7));
    return prefix == L"http://" || prefix == L"file://";
}

// The window styles a program can be started with; others are an invalid argument.
void requireWindowStyle(std::int16_t style) {
    if (style < 0 || style > 6 || style == 5)
        errors::raise(errors::InvalidCall, L"WinStyle " + std::to_wstring(style));
}

// Runs one step of a member that ignores its failures: a failing step is skipped.
template <typename Step> void ignoringErrors(Step step) {
    try {
        step();
    } catch (const KelmoError&) {
    }
}
} // namespace

std::int16_t CKelmo::AppNum() {
    const MemberCall call(runningCalls_, MemberCall::Kind::Reads);
    pacer_.guardBreak();
    return apps_.count();
}

std::int16_t CKelmo::AppCur() {
    const MemberCall call(runningCalls_, MemberCall::Kind::Reads);
    pacer_.guardBreak();
    return apps_.current();
}

// The caption of the window in front, not of the current application's window.
std::wstring CKelmo::Title() {
    const MemberCall call(runningCalls_, MemberCall::Kind::Reads);
    pacer_.guardBreak();
    return sv_.windows.caption(sv_.windows.foreground(), TitleMaxAnsiBytes);
}

// The user starts or picks an application by hand while the box is up, and activates it
// within the seconds after OK; the window then in front becomes a new entry.
std::int16_t CKelmo::Mark(const std::wstring& strText) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    pacer_.guardBreak();
    apps_.bringCurrentToFront();
    pacer_.paceWait();
    sv_.dialogs.messageBox(text::cut(markPrompt(strText), BoxTextChars), MarkBoxFlags,
                           L"Kelmo_Mark");
    sv_.clock.sleep(MarkChoiceMs);
    pacer_.paceWait();
    const std::int16_t index = apps_.registerApplication();
    pacer_.paceWait();
    apps_.window(index) = sv_.windows.foreground();
    return index;
}

// Clamped above only; a failing step (a negative index has no entry) is skipped.
void CKelmo::AppCur(std::int16_t value) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    ignoringErrors([&] { pacer_.guardBreak(); });
    apps_.select(value);
    ignoringErrors([&] { apps_.bringCurrentToFront(); });
    ignoringErrors([&] { pacer_.paceWait(); });
    ignoringErrors([&] { apps_.adoptForeground(); });
}

std::int32_t CKelmo::AppShow(std::int32_t nCmdShow, std::int16_t AppWnd) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    return showApplication(nCmdShow, AppWnd);
}

// AppWnd 0 is the current application. Hiding or minimising the current application makes the
// previous one current again; showing another one with activation makes that one current.
std::int32_t CKelmo::showApplication(std::int32_t nCmdShow, std::int16_t AppWnd) {
    ignoringErrors([&] { pacer_.guardBreak(); });
    if (AppWnd == 0) AppWnd = apps_.current();
    AppWnd = std::min(AppWnd, apps_.count());
    if (nCmdShow > LargestShowCommand) nCmdShow = DefaultShowCommand;
    std::int32_t result = 0;
    ignoringErrors([&] { result = sv_.windows.show(apps_.window(AppWnd), nCmdShow); });
    if (hidesOrMinimises(nCmdShow)) {
        if (AppWnd == apps_.current()) apps_.returnToPrevious();
        ignoringErrors([&] { apps_.bringCurrentToFront(); });
    } else if (!showsWithoutActivating(nCmdShow)) {
        apps_.select(AppWnd);
    }
    ignoringErrors([&] { pacer_.paceWait(); });
    return result;
}

// Registers the taskbar as a new entry, chooses a command of its menu with the caller's keys,
// keeps the window in front afterwards in that entry, and returns to the application current
// before, leaving the previous index as it was.
std::int16_t CKelmo::AdjustT(const std::wstring& strText) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    const std::int16_t saved = apps_.current();
    pacer_.guardBreak();
    const std::int16_t index = apps_.registerApplication(AppTable::Previous::Keep);
    apps_.window(index) = sv_.windows.findWindowByClass(L"Shell_TrayWnd");
    sv_.clock.pumpMessages();
    apps_.bringToFront(apps_.window(index));
    pacer_.paceWait();
    sendKeys(L"+{f10}" + strText);
    pacer_.paceWait();
    apps_.window(index) = sv_.windows.foreground();
    apps_.select(saved, AppTable::Previous::Keep);
    apps_.bringCurrentToFront();
    pacer_.paceWait();
    pacer_.paceWait();
    apps_.adoptForeground();
    return index;
}

// A web address goes to the browser. Anything else is opened by the launcher, which also
// opens documents by their associations; the window in front after the launch is registered.
std::int16_t CKelmo::Exec(const std::wstring& strText, std::int32_t nCmdShow) {
    const std::wstring text = text::trimSpaces(strText);
    if (isWebAddress(text)) return IE(text, nCmdShow);
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    pacer_.guardBreak();
    try {
        const std::int16_t index = apps_.registerApplication();
        const platform::WindowHandle before = sv_.windows.foreground();
        sv_.processes.startLauncher(paths_.launcherCommand(text), LauncherWindowStyle);
        pacer_.launchWait();
        waitForNewWindow(before);
        apps_.window(index) = sv_.windows.foreground();
        if (nCmdShow != ShowAsLaunched) showApplication(nCmdShow, 0);
        return index;
    } catch (const KelmoError& error) {
        launchFailed(error);
    }
}

// Starts one program file directly, keeps its process id, and waits until it is ready for
// input and the machine has settled.
std::int16_t CKelmo::Run(const std::wstring& strText1, std::int16_t WinStyle) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    pacer_.guardBreak();
    try {
        const std::wstring command = commandLineArgument(paths_.quotedPath(strText1));
        requireWindowStyle(WinStyle);
        const platform::WindowHandle before = sv_.windows.foreground();
        const platform::ProcessId process = sv_.processes.start(command, WinStyle);
        const std::int16_t index = apps_.registerApplication();
        apps_.processId(index) = process;
        waitUntilReadyForInput(process);
        pacer_.launchWait();
        if (activates(WinStyle)) waitForNewWindow(before);
        apps_.window(index) = sv_.windows.foreground();
        return index;
    } catch (const KelmoError& error) {
        launchFailed(error);
    }
}

// Every failure is ignored: a process that cannot be opened or has no window does not wait.
// A negative Atom sleeps not at all rather than for ever. A program that never takes a message
// is waited for as long as it takes, pumping messages; after 10 s a Pause press opens the pause
// box, whose Retry ends the wait.
void CKelmo::waitUntilReadyForInput(platform::ProcessId process) {
    const auto opened = sv_.processes.open(process);
    sv_.clock.pumpMessages();
    sv_.clock.sleep(std::max(Atom, 0));
    if (!opened) return;
    const std::int64_t started = sv_.clock.monotonicMs();
    const std::uint32_t resumes = pacer_.resumes();
    while (!opened->inputIdleWithin(0) && pacer_.resumes() == resumes)
        pacer_.waitOutside(started, LaunchPollMs, Pacer::OnAbort::EndRun);
}

// A program that loads slowly shows its window only after the machine has settled: while the
// window that was in front before the launch (or none) still is, waits on for at most RestMax
// seconds, pumping messages; a Pause press opens the pause box and ends the wait.
void CKelmo::waitForNewWindow(platform::WindowHandle before) {
    const std::int64_t started = sv_.clock.monotonicMs();
    const std::int64_t limitMs = std::int64_t{std::max(RestMax, 0)} * 1000;
    for (;;) {
        const platform::WindowHandle front = sv_.windows.foreground();
        if (front != 0 && front != before) return;
        if (sv_.clock.monotonicMs() - started >= limitMs) return;
        sv_.clock.pumpMessages();
        if (pacer_.checkPauseKey()) return;
        sv_.clock.sleep(LaunchPollMs);
    }
}

// The launch error box, then the run ends as after the pause box's Abort. Entries registered
// before the failure stay.
[[noreturn]] void CKelmo::launchFailed(const KelmoError& error) {
    ignoringErrors([&] {
        sv_.dialogs.messageBox(LaunchErrorText, LaunchErrorFlags, launchErrorTitle(error.number()));
    });
    pacer_.abortRun();
}

} // namespace kelmo
