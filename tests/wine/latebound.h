// Late-bound calls on a registered "Kelmo.CKelmo" object, as any automation client makes them:
// names through GetIDsOfNames, arguments as VARIANTs, errors as EXCEPINFO.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

namespace kelmo::test {

struct CallResult {
    HRESULT hr = S_OK;
    VARIANT value{};
    SCODE scode = 0;
    std::wstring description;
    CallResult() { VariantInit(&value); }
    CallResult(const CallResult&) = delete;
    CallResult(CallResult&& other) noexcept
        : hr(other.hr), value(other.value), scode(other.scode),
          description(std::move(other.description)) {
        VariantInit(&other.value);
    }
    ~CallResult() { VariantClear(&value); }
    long asLong() const;
    std::wstring asString() const;
};

// An argument: a value, or "omitted" (VT_ERROR DISP_E_PARAMNOTFOUND), as scripts pass it.
class Arg {
public:
    Arg(long v) { VariantInit(&v_), v_.vt = VT_I4, v_.lVal = v; }
    Arg(int v) : Arg(static_cast<long>(v)) {}
    Arg(bool v) {
        VariantInit(&v_), v_.vt = VT_BOOL, v_.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
    }
    Arg(const wchar_t* s) { VariantInit(&v_), v_.vt = VT_BSTR, v_.bstrVal = SysAllocString(s); }
    Arg(IDispatch* object) {
        VariantInit(&v_), v_.vt = VT_DISPATCH, v_.pdispVal = object;
        if (object) object->AddRef();
    }
    Arg(double v) { VariantInit(&v_), v_.vt = VT_R8, v_.dblVal = v; }
    static Arg omitted() {
        Arg a(0L);
        a.v_.vt = VT_ERROR;
        a.v_.scode = DISP_E_PARAMNOTFOUND;
        return a;
    }
    static Arg null() {
        Arg a(0L);
        a.v_.vt = VT_NULL;
        return a;
    }
    static Arg empty() {
        Arg a(0L);
        a.v_.vt = VT_EMPTY;
        return a;
    }
    // A one-element array of Variant, as Array("x") makes it.
    static Arg array() {
        Arg a(0L);
        a.v_.vt = VT_ARRAY | VT_VARIANT;
        a.v_.parray = SafeArrayCreateVector(VT_VARIANT, 0, 1);
        return a;
    }
    Arg(const Arg& o) { VariantInit(&v_), VariantCopy(&v_, const_cast<VARIANT*>(&o.v_)); }
    ~Arg() { VariantClear(&v_); }
    const VARIANT& get() const { return v_; }

private:
    VARIANT v_;
};

class LateBound {
public:
    explicit LateBound(const wchar_t* progId = L"Kelmo.CKelmo");
    LateBound(const LateBound&) = delete;
    LateBound& operator=(const LateBound&) = delete;
    ~LateBound();
    IDispatch* get() const { return object_; }
    HRESULT created() const { return created_; }

    DISPID id(const wchar_t* name) const;
    CallResult call(const wchar_t* name, std::vector<Arg> args = {}) const;
    CallResult get(const wchar_t* name) const;
    CallResult put(const wchar_t* name, const Arg& value) const;
    CallResult putRef(const wchar_t* name, const Arg& object) const; // Set name = object
    CallResult invoke(DISPID id, WORD flags, std::vector<Arg> args) const;

private:
    IDispatch* object_ = nullptr;
    HRESULT created_ = E_FAIL;
};

} // namespace kelmo::test
