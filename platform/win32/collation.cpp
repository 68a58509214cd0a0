// The locale-aware text comparison of the user's locale: CompareStringW ignoring letter case,
// kana type and character width, the comparison a script's text comparison makes.
#include <windows.h>

#include "platform/win32/implementations.h"

namespace kelmo::win32 {

namespace {

class UserLocaleCollation final : public platform::Collation {
public:
    bool sameText(const std::wstring& a, const std::wstring& b) override {
        constexpr DWORD Flags = NORM_IGNORECASE | NORM_IGNOREKANATYPE | NORM_IGNOREWIDTH;
        return CompareStringW(LOCALE_USER_DEFAULT, Flags, a.c_str(), static_cast<int>(a.size()),
                              b.c_str(), static_cast<int>(b.size())) == CSTR_EQUAL;
    }
};

} // namespace

std::unique_ptr<platform::Collation> makeCollation() {
    return std::make_unique<UserLocaleCollation>();
}

} // namespace kelmo::win32
