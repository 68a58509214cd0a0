// The members of the application table, launching and the browser: Title, Mark, AppNum,
// AppCur, AppShow, AdjustT, Exec, Run, IE, IEver, IEtab, oIE.
#include "component/core/object.h"

#include "component/core/calls.h"

namespace kelmo {

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

std::wstring CKelmo::Title() {
    const MemberCall call(runningCalls_, MemberCall::Kind::Reads);
    errors::notImplementedYet(L"Title");
}
std::int16_t CKelmo::Mark(const std::wstring&) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    errors::notImplementedYet(L"Mark");
}
void CKelmo::AppCur(std::int16_t) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    errors::notImplementedYet(L"AppCur");
}
std::int32_t CKelmo::AppShow(std::int32_t, std::int16_t) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    errors::notImplementedYet(L"AppShow");
}
std::int16_t CKelmo::AdjustT(const std::wstring&) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    errors::notImplementedYet(L"AdjustT");
}
std::int16_t CKelmo::Exec(const std::wstring&, std::int32_t) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    errors::notImplementedYet(L"Exec");
}
std::int16_t CKelmo::Run(const std::wstring&, std::int16_t) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    errors::notImplementedYet(L"Run");
}
std::int16_t CKelmo::IE(const std::wstring&, std::int32_t) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    errors::notImplementedYet(L"IE");
}
float CKelmo::IEver() {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    errors::notImplementedYet(L"IEver");
}
std::int16_t CKelmo::IEtab() {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    errors::notImplementedYet(L"IEtab");
}
std::shared_ptr<platform::AutomationObject> CKelmo::oIE() {
    const MemberCall call(runningCalls_, MemberCall::Kind::Reads);
    errors::notImplementedYet(L"oIE");
}

} // namespace kelmo
