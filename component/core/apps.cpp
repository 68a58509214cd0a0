// The application table and the members that launch and track applications: Title, Mark,
// AppNum, AppCur, AppShow, AdjustT, Exec, Run, IE, IEver, IEtab, oIE.
#include "component/core/object.h"

namespace kelmo {

std::int16_t CKelmo::AppNum() {
    GuardBreak();
    return AppNum_;
}

std::int16_t CKelmo::AppCur() {
    GuardBreak();
    return AppCur_;
}

std::wstring CKelmo::Title() {
    errors::notImplementedYet(L"Title");
}
std::int16_t CKelmo::Mark(const std::wstring&) {
    errors::notImplementedYet(L"Mark");
}
void CKelmo::AppCur(std::int16_t) {
    errors::notImplementedYet(L"AppCur");
}
std::int32_t CKelmo::AppShow(std::int32_t, std::int16_t) {
    errors::notImplementedYet(L"AppShow");
}
std::int16_t CKelmo::AdjustT(const std::wstring&) {
    errors::notImplementedYet(L"AdjustT");
}
std::int16_t CKelmo::Exec(const std::wstring&, std::int32_t) {
    errors::notImplementedYet(L"Exec");
}
std::int16_t CKelmo::Run(const std::wstring&, std::int16_t) {
    errors::notImplementedYet(L"Run");
}
std::int16_t CKelmo::IE(const std::wstring&, std::int32_t) {
    errors::notImplementedYet(L"IE");
}
float CKelmo::IEver() {
    errors::notImplementedYet(L"IEver");
}
std::int16_t CKelmo::IEtab() {
    errors::notImplementedYet(L"IEtab");
}
std::shared_ptr<platform::AutomationObject> CKelmo::oIE() {
    errors::notImplementedYet(L"oIE");
}

} // namespace kelmo
