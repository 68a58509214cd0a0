// Object creation, the platform objects held by the object, and the folder properties.
#include "component/core/object.h"

#include "component/core/calls.h"

namespace kelmo {

namespace {
// The random numbers of the popups are seeded first of all.
platform::Services& seeded(platform::Services& services) {
    services.clock.seedRandomFromClock();
    return services;
}
} // namespace

CKelmo::CKelmo(platform::Services& services)
    : sv_(seeded(services)), apps_(sv_.windows, sv_.clock), pacer_(sv_, *this, apps_),
      paths_(pacer_), browser_(sv_.clock, pacer_), guard_(sv_.folderTree) {
    paths_.setDefaultFolder(sv_.processes.currentDirectory());
    paths_.setSystemDriveRoot(fileSystem().specialFolderPath(0).substr(0, 2) + L"\\");
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

std::shared_ptr<platform::AutomationObject> CKelmo::FS() {
    const MemberCall call(runningCalls_, MemberCall::Kind::Reads);
    pacer_.guardBreak();
    fileSystem();
    return fs_;
}

std::shared_ptr<platform::AutomationObject> CKelmo::oShell() {
    const MemberCall call(runningCalls_, MemberCall::Kind::Reads);
    pacer_.guardBreak();
    shell();
    return shell_;
}

std::wstring CKelmo::DefFld() {
    const MemberCall call(runningCalls_, MemberCall::Kind::Reads);
    pacer_.guardBreak();
    return paths_.defaultFolder();
}

void CKelmo::DefFld(const std::wstring& value) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    refuseNul(value, L"The default folder");
    pacer_.guardBreak();
    paths_.setDefaultFolder(value);
}

std::wstring CKelmo::WinDrv() {
    const MemberCall call(runningCalls_, MemberCall::Kind::Reads);
    pacer_.guardBreak();
    return paths_.systemDriveRoot();
}

} // namespace kelmo
