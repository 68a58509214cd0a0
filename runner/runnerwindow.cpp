// The KelmoR window's events, each a few calls into the component.
#include "runner/runnerwindow.h"

#include <shellapi.h>

#include <commctrl.h>

#include <cwctype>

#include "base/error.h"
#include "platform/win32/automation.h"
#include "platform/win32/failures.h"
#include "platform/win32/module/module.h"
#include "platform/win32/implementations.h"
#include "platform/win32/measures.h"
#include "platform/win32/resources.h"
#include "runner/runnerlayout.h"

namespace kelmo::runner {

namespace {

using win32::Variant;

// The runner's own entry in the component's application table.
const long RunnerEntry = 0;
constexpr UINT KeyBoxEnter = WM_APP + 1, SpecialKeyChosen = WM_APP + 2;
constexpr UINT_PTR KeyBoxSubclass = 1;
constexpr int OwnEntryTries = 5;
constexpr wchar_t CharacterReturn = L'\r';

const wchar_t StartupText[] = L"これから KelmoR を実行します\r\n"
                              L"　Breakキー（Stopキー）を押すと中断します";
const wchar_t DropMessage[] = L"必ずショートカットアイコンをドラッグ＆ドロップしてください！";
const wchar_t ModifierPrefixes[][2] = {L"^", L"%", L"+"}; // cmdCtrl, cmdAlt, cmdShift

// A string argument of a late-bound call.
Variant variantOf(const std::wstring& value) {
    return Variant(value);
}

// The key box hands the Enter key (character 13) to the window instead of typing it, and keeps
// the dialog manager from taking Enter as the default button.
LRESULT CALLBACK keyBoxProcedure(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR) {
    if (message == WM_GETDLGCODE && lParam) {
        const auto* pending = reinterpret_cast<const MSG*>(lParam);
        if (pending->message == WM_KEYDOWN && pending->wParam == VK_RETURN)
            return DefSubclassProc(box, message, wParam, lParam) | DLGC_WANTALLKEYS;
    }
    if (message == WM_CHAR && wParam == CharacterReturn) {
        PostMessageW(GetParent(box), KeyBoxEnter, 0, 0);
        return 0;
    }
    return DefSubclassProc(box, message, wParam, lParam);
}

// The hidden window that owns the runner's: an owned window gets no taskbar button. Created at
// the system's default position, which the runner's window then takes.
HWND createOwner() {
    HWND owner =
        CreateWindowExW(0, L"STATIC", L"KelmoR", WS_OVERLAPPED, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0,
                        nullptr, nullptr, win32::thisModule(), nullptr);
    if (!owner) win32::throwLastError(L"CreateWindowEx");
    return owner;
}

void moveToOwnersPlace(HWND window, HWND owner) {
    RECT place{};
    GetWindowRect(owner, &place);
    SetWindowPos(window, nullptr, place.left, place.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Whether a shortcut's target is a file: a full path with a drive ("C:\") or a network path
// ("\\server\share"), and no other colon. A shortcut to an address or to an item that is no
// file has no such path: Windows reads back an empty one, Wine the text the target was given,
// taken as a relative path ("C:\folder\http:\example.invalid\") or as it is ("::{...}").
bool isFilePath(const std::wstring& path) {
    const bool drive =
        path.size() >= 3 && std::iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\';
    const bool network = path.rfind(L"\\\\", 0) == 0;
    return (drive || network) && path.find(L':', 2) == std::wstring::npos;
}

// The dropped file list, given back to the system when done with.
class DroppedFiles {
public:
    explicit DroppedFiles(HDROP files) : files_(files) {}
    DroppedFiles(const DroppedFiles&) = delete;
    DroppedFiles& operator=(const DroppedFiles&) = delete;
    ~DroppedFiles() { DragFinish(files_); }

    POINT point() const {
        POINT at{};
        DragQueryPoint(files_, &at);
        return at;
    }
    // The first path; empty when the list holds none.
    std::wstring first() const {
        const UINT length = DragQueryFileW(files_, 0, nullptr, 0);
        if (length == 0) return {};
        std::wstring path(length + 1, L'\0');
        path.resize(DragQueryFileW(files_, 0, path.data(), length + 1));
        return path;
    }

private:
    HDROP files_;
};

} // namespace

// While a call into the component runs (its waits pump this thread's messages), the controls
// that would start another call are disabled, so nothing enters the component twice; a close
// of the window meanwhile takes effect when the call has returned.
class RunnerWindow::ComponentCall {
public:
    explicit ComponentCall(RunnerWindow& window) : window_(window) {
        window_.calling_ = true;
        enableCallingControls(FALSE);
    }
    ComponentCall(const ComponentCall&) = delete;
    ComponentCall& operator=(const ComponentCall&) = delete;
    ~ComponentCall() {
        enableCallingControls(TRUE);
        window_.calling_ = false;
        if (window_.closeWanted_) window_.close();
    }

private:
    void enableCallingControls(BOOL enable) {
        for (ControlId id : CallingControls)
            EnableWindow(window_.item(id), enable);
    }
    RunnerWindow& window_;
};

RunnerWindow::RunnerWindow() = default;

RunnerWindow::~RunnerWindow() {
    destroy();
    if (owner_) DestroyWindow(owner_);
}

void RunnerWindow::run() {
    try {
        kelmo_ = win32::createObject(L"Kelmo.CKelmo");
    } catch (const KelmoError& e) {
        throw KelmoError(e.number(), L"Kelmo.CKelmo を作成できません。Kelmo.dll "
                                     L"が登録されているか確かめてください。\r\n" +
                                         e.description());
    }
    shell_ = win32::makeObjectFactory()->createScriptShell();
    win32::call(kelmo_.get(), L"AdjustT", {variantOf(L"m")});
    win32::call(kelmo_.get(), L"Popup", {variantOf(StartupText)});
    owner_ = createOwner();
    runModal(runnerTemplate(), owner_);
}

INT_PTR RunnerWindow::handleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        setUp();
        return TRUE;
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case KeyBoxEnter:
        sendKeyBox();
        return TRUE;
    case SpecialKeyChosen:
        insertIntoKeyBox(chosenSpecialKey());
        return TRUE;
    case WM_DROPFILES:
        dropped(reinterpret_cast<HDROP>(wParam));
        return TRUE;
    case WM_CLOSE:
        close();
        return TRUE;
    default:
        return FALSE;
    }
}

void RunnerWindow::setUp() {
    placeControls(hwnd());
    moveToOwnersPlace(hwnd(), owner_);
    const HICON icon = LoadIconW(win32::thisModule(), MAKEINTRESOURCEW(KELMO_ICON_ID));
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    const LOGFONTW font = keyBoxFont(win32::dpiOf(hwnd()));
    keyBoxFont_ = win32::Font(CreateFontIndirectW(&font));
    SendMessageW(item(Text1), WM_SETFONT, reinterpret_cast<WPARAM>(keyBoxFont_.get()), FALSE);
    SendMessageW(item(Text2), EM_SETLIMITTEXT, 0, 0); // the log keeps everything sent
    SetWindowSubclass(item(Text1), keyBoxProcedure, KeyBoxSubclass, 0);
    for (const wchar_t* name : SpecialKeyNames)
        SendMessageW(item(Combo1), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    DragAcceptFiles(hwnd(), TRUE);
}

void RunnerWindow::command(int id, int notification) {
    switch (id) {
    case cmdExec:
        if (notification == BN_CLICKED) activate(Activation::Exec);
        break;
    case cmdMark:
        if (notification == BN_CLICKED) activate(Activation::Mark);
        break;
    case cmdCtrl:
    case cmdAlt:
    case cmdShift:
        if (notification == BN_CLICKED) insertIntoKeyBox(ModifierPrefixes[id - cmdCtrl]);
        break;
    case Combo1:
        // After the list has closed, so that the key box can take the focus.
        if (notification == CBN_SELENDOK) PostMessageW(hwnd(), SpecialKeyChosen, 0, 0);
        break;
    default: // IDOK and IDCANCEL (Enter, Esc): the window has no default buttons
        break;
    }
}

// Unloading ends the program; during a call into the component, once that call has returned.
void RunnerWindow::close() {
    if (calling_) {
        closeWanted_ = true;
        return;
    }
    endDialog(0);
}

// Exec launches what the path box holds, Mark asks the user for a running application; either
// way the new entry becomes the target and the runner comes back to the front, ready.
void RunnerWindow::activate(Activation how) {
    if (calling_) return;
    ComponentCall call(*this);
    target_ = how == Activation::Exec
                  ? win32::call(kelmo_.get(), L"Exec", {variantOf(textOf(Text3))})
                  : win32::call(kelmo_.get(), L"Mark");
    putAppCur(Variant(RunnerEntry));
    if (IsWindowVisible(item(Label5))) showReadyState();
    takeOwnEntry();
}

void RunnerWindow::showReadyState() {
    ShowWindow(item(Label5), SW_HIDE);
    for (ControlId id : ReadyControls)
        ShowWindow(item(id), SW_SHOW);
    const auto enter = SendMessageW(item(Combo1), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(L"{Enter}"));
    SendMessageW(item(Combo1), CB_SETCURSEL, static_cast<WPARAM>(enter), 0);
}

// A modifier prefix or a special-key name, pasted by the component at the key box's caret.
void RunnerWindow::insertIntoKeyBox(const std::wstring& keys) {
    if (calling_ || keys.empty()) return;
    ComponentCall call(*this);
    putAppCur(Variant(RunnerEntry));
    takeOwnEntry();
    win32::call(kelmo_.get(), L"Pass", {variantOf(keys)});
}

void RunnerWindow::sendKeyBox() {
    if (calling_) return;
    ComponentCall call(*this);
    putAppCur(target_);
    const std::wstring keys = textOf(Text1);
    win32::call(kelmo_.get(), L"Send", {variantOf(keys)});
    setText(Text2, textOf(Text2) + keys);
    setText(Text1, L"");
    putAppCur(Variant(RunnerEntry));
    focusKeyBox();
}

// A drop on the path box or on the label under it shows the full path of the dropped
// shortcut's target in the path box; anything else dropped there shows the drop message.
void RunnerWindow::dropped(HDROP files) {
    const DroppedFiles dropped(files);
    if (!liesOnDropTarget(dropped.point())) return;
    try {
        const std::wstring first = dropped.first();
        if (first.empty()) throw KelmoError(errors::InvalidCall, L"no file dropped");
        const std::wstring target = shell_->shortcutTarget(first);
        if (!isFilePath(target)) throw KelmoError(errors::InvalidCall, L"no file shortcut");
        setText(Text3, target);
    } catch (const KelmoError&) {
        setText(Text3, DropMessage);
    }
}

bool RunnerWindow::liesOnDropTarget(POINT point) const {
    for (int id : {Text3, Label4}) {
        RECT bounds{};
        GetWindowRect(item(id), &bounds);
        MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&bounds), 2);
        if (PtInRect(&bounds, point)) return true;
    }
    return false;
}

// Focus on a control of a window that is not in front would leave another program's window in
// front (until the first Update, entry 0 is the window that was in front at start): the
// runner's window comes to the front with it.
void RunnerWindow::focusKeyBox() {
    SetForegroundWindow(hwnd());
    SetFocus(item(Text1));
}

// The runner's entry (current) records the runner's window: in front with the focus in the key
// box, then Update. A window that came to the front during the component's wait, such as that
// of a program Exec launched which came up after Exec had returned, would be recorded instead
// and receive the next paste: the runner takes the front back and records again.
void RunnerWindow::takeOwnEntry() {
    for (int tries = 0; tries < OwnEntryTries; ++tries) {
        focusKeyBox();
        win32::call(kelmo_.get(), L"Update");
        if (GetForegroundWindow() == hwnd()) return;
    }
}

void RunnerWindow::putAppCur(const Variant& entry) {
    win32::put(kelmo_.get(), L"AppCur", entry);
}

std::wstring RunnerWindow::textOf(int id) const {
    HWND control = item(id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

void RunnerWindow::setText(int id, const std::wstring& text) {
    SetWindowTextW(item(id), text.c_str());
}

std::wstring RunnerWindow::chosenSpecialKey() const {
    const auto chosen = SendMessageW(item(Combo1), CB_GETCURSEL, 0, 0);
    if (chosen == CB_ERR) return {};
    const auto length = SendMessageW(item(Combo1), CB_GETLBTEXTLEN, chosen, 0);
    std::wstring name(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(item(Combo1), CB_GETLBTEXT, chosen, reinterpret_cast<LPARAM>(name.data()));
    name.resize(static_cast<size_t>(length));
    return name;
}

} // namespace kelmo::runner
