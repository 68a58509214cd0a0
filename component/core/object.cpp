// Object creation, the platform objects held by the object, and BringToFront.
#include "component/core/object.h"
#include "base/text.h"

namespace kelmo {

namespace {
constexpr int VkPause = 19;

std::wstring withTrailingBackslash(std::wstring path) {
    if (path.empty() || path.back() != L'\\') path += L'\\';
    return path;
}
} // namespace

CKelmo::CKelmo(platform::Services& services) : sv_(services) {
    sv_.clock.seedRandomFromClock();
    CrLf = L"\r\n";
    ODflag = true;
    RestMax = 10;
    Mol1 = 100;
    SettleMs = 100;
    Atom = 25;
    Mol2 = 1000;
    Repeat = 5;
    IEOpen = false;
    IEIdleMs = 600;
    Speed = 90;
    AppPids.assign(1, 0);
    AppWnds.assign(1, 0);
    AppWnds[AppCur_] = sv_.windows.foreground();
    sv_.keyboard.asyncKeyState(VkPause); // forget a press from before the object existed
    BreakWhyText = {L"Breakメソッドによって", L"Breakキー（Stopキー）が押されたため"};
    DefFld_ = withTrailingBackslash(text::trimSpaces(sv_.processes.currentDirectory()));
    WinDrv_ = fileSystem().specialFolderPath(0).substr(0, 2) + L"\\";
    fs_.reset();
}

platform::FileSystem& CKelmo::fileSystem() {
    if (!fs_) fs_ = sv_.objects.createFileSystem();
    return *fs_;
}

platform::ScriptShell& CKelmo::scriptShell() {
    if (!scriptShell_) scriptShell_ = sv_.objects.createScriptShell();
    return *scriptShell_;
}

platform::Shell& CKelmo::shell() {
    if (!shell_) shell_ = sv_.objects.createShell();
    return *shell_;
}

platform::WindowHandle& CKelmo::currentAppWindow() {
    if (AppCur_ < 0 || static_cast<std::size_t>(AppCur_) >= AppWnds.size())
        errors::raise(errors::SubscriptOutOfRange, L"AppWnds(" + std::to_wstring(AppCur_) + L")");
    return AppWnds[static_cast<std::size_t>(AppCur_)];
}

void CKelmo::BringToFront(platform::WindowHandle window) {
    if (window == 0) return;
    sv_.windows.setForeground(sv_.windows.lastActivePopup(window));
}

std::shared_ptr<platform::AutomationObject> CKelmo::FS() {
    GuardBreak();
    fileSystem();
    return fs_;
}

std::shared_ptr<platform::AutomationObject> CKelmo::oShell() {
    GuardBreak();
    shell();
    return shell_;
}

std::wstring CKelmo::DefFld() {
    GuardBreak();
    return DefFld_;
}

void CKelmo::DefFld(const std::wstring& value) {
    GuardBreak();
    DefFld_ = withTrailingBackslash(text::trimSpaces(value));
}

std::wstring CKelmo::WinDrv() {
    GuardBreak();
    return WinDrv_;
}

} // namespace kelmo
