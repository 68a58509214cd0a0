// Self-closing question boxes, the content viewer and sound cues: Popup, Popup2, Popup3,
// FrmShow, Sound.
#include "component/core/object.h"

#include "component/core/calls.h"

namespace kelmo {

std::int16_t CKelmo::Popup(const std::wstring&, std::int32_t, const std::wstring&, std::int32_t) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    errors::notImplementedYet(L"Popup");
}
std::int16_t CKelmo::Popup2(const std::wstring&, std::int32_t, std::int16_t) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    errors::notImplementedYet(L"Popup2");
}
std::int16_t CKelmo::Popup3(const std::wstring&, std::int32_t, std::int16_t) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    errors::notImplementedYet(L"Popup3");
}
void CKelmo::FrmShow(const std::wstring&, std::int16_t) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    errors::notImplementedYet(L"FrmShow");
}
void CKelmo::Sound(const std::wstring&) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Reads);
    errors::notImplementedYet(L"Sound");
}

} // namespace kelmo
