// Folder members: FldSet, FldSetD, FldCopy, FldDelete, Update, FldFiles.
#include "component/core/object.h"

namespace kelmo {

void CKelmo::Update() {
    GuardBreak();
    currentAppWindow() = sv_.windows.foreground();
}

std::wstring CKelmo::FldSet(const std::wstring&) {
    errors::notImplementedYet(L"FldSet");
}
std::wstring CKelmo::FldSetD(const std::vector<std::wstring>&) {
    errors::notImplementedYet(L"FldSetD");
}
std::wstring CKelmo::FldCopy(const std::wstring&, const std::wstring&) {
    errors::notImplementedYet(L"FldCopy");
}
void CKelmo::FldDelete(const std::optional<std::wstring>&) {
    errors::notImplementedYet(L"FldDelete");
}
std::shared_ptr<platform::AutomationObject> CKelmo::FldFiles() {
    errors::notImplementedYet(L"FldFiles");
}

} // namespace kelmo
