// Self-closing question boxes, the content viewer and sound cues: Popup, Popup2, Popup3,
// FrmShow, Sound.
#include "component/core/object.h"

namespace kelmo {

std::int16_t CKelmo::Popup(const std::wstring&, std::int32_t, const std::wstring&, std::int32_t) {
    errors::notImplementedYet(L"Popup");
}
std::int16_t CKelmo::Popup2(const std::wstring&, std::int32_t, std::int16_t) {
    errors::notImplementedYet(L"Popup2");
}
std::int16_t CKelmo::Popup3(const std::wstring&, std::int32_t, std::int16_t) {
    errors::notImplementedYet(L"Popup3");
}
void CKelmo::FrmShow(const std::wstring&, std::int16_t) {
    errors::notImplementedYet(L"FrmShow");
}
void CKelmo::Sound(const std::wstring&) {
    errors::notImplementedYet(L"Sound");
}

} // namespace kelmo
