// The owners' out-of-line parts: new BSTRs and the conversions of Variant.
#include "platform/win32/owned.h"

#include "base/error.h"

namespace kelmo::win32 {

namespace {

// A copy of v converted to type, or the type mismatch (or overflow) error.
Variant converted(const VARIANT& v, VARTYPE type) {
    Variant result;
    HRESULT hr = VariantChangeType(result.get(), const_cast<VARIANT*>(&v), 0, type);
    if (hr == DISP_E_OVERFLOW) errors::raise(errors::Overflow);
    if (FAILED(hr)) errors::raise(errors::TypeMismatch);
    return result;
}

} // namespace

Bstr makeBstr(std::wstring_view text) {
    Bstr result(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
    if (!result) throw KelmoError(static_cast<std::int32_t>(E_OUTOFMEMORY), L"Out of memory");
    return result;
}

std::wstring Variant::asString() const {
    if (v_.vt == VT_BSTR) return textOf(v_.bstrVal);
    return textOf(converted(v_, VT_BSTR).get()->bstrVal);
}

long Variant::asLong() const {
    if (v_.vt == VT_I4) return v_.lVal;
    return converted(v_, VT_I4).get()->lVal;
}

bool Variant::asBool() const {
    if (v_.vt == VT_BOOL) return v_.boolVal != VARIANT_FALSE;
    return converted(v_, VT_BOOL).get()->boolVal != VARIANT_FALSE;
}

// Empty and Null give no object, as does a null object reference.
ComPtr<IDispatch> Variant::asDispatch() const {
    if (v_.vt == VT_EMPTY || v_.vt == VT_NULL) return nullptr;
    if (v_.vt == VT_DISPATCH) return ComPtr<IDispatch>::share(v_.pdispVal);
    if (v_.vt == VT_UNKNOWN && !v_.punkVal) return nullptr;
    return ComPtr<IDispatch>::share(converted(v_, VT_DISPATCH).get()->pdispVal);
}

} // namespace kelmo::win32
