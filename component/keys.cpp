// Typing key scripts piece by piece and passing text through the clipboard: Send, Pass, PassF.
#include "object.h"

namespace kelmo {

void CKelmo::Send(const std::wstring&) { errors::notImplementedYet(L"Send"); }
void CKelmo::Pass(const std::wstring&, std::int16_t) { errors::notImplementedYet(L"Pass"); }
void CKelmo::PassF(const std::wstring&, std::int16_t) { errors::notImplementedYet(L"PassF"); }

} // namespace kelmo
