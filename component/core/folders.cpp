// Folder members: FldSet, FldSetD, FldCopy, FldDelete, Update, FldFiles.
#include "component/core/object.h"

#include "component/core/calls.h"

namespace kelmo {

void CKelmo::Update() {
    const MemberCall call(runningCalls_, MemberCall::Kind::Reads);
    pacer_.guardBreak();
    apps_.adoptForeground();
}

std::wstring CKelmo::FldSet(const std::wstring&) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    errors::notImplementedYet(L"FldSet");
}
std::wstring CKelmo::FldSetD(const std::vector<std::wstring>&) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    errors::notImplementedYet(L"FldSetD");
}
std::wstring CKelmo::FldCopy(const std::wstring&, const std::wstring&) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    errors::notImplementedYet(L"FldCopy");
}
void CKelmo::FldDelete(const std::optional<std::wstring>&) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    errors::notImplementedYet(L"FldDelete");
}
std::shared_ptr<platform::AutomationObject> CKelmo::FldFiles() {
    const MemberCall call(runningCalls_, MemberCall::Kind::Reads);
    errors::notImplementedYet(L"FldFiles");
}

} // namespace kelmo
