// Late-bound calls on a registered object ("Kelmo.CKelmo" unless named), as any automation client
// makes them: names through GetIDsOfNames, arguments as VARIANTs, errors as EXCEPINFO.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>
#include <vector>

namespace kelmo::test {

// A VARIANT that clears itself.
struct Value : VARIANT {
    Value() : VARIANT{} {}
    Value(Value&& o) noexcept : VARIANT(std::exchange(static_cast<VARIANT&>(o), VARIANT{})) {}
    ~Value() { VariantClear(this); }
};

struct CallResult {
    HRESULT hr = S_OK;
    Value value;
    SCODE scode = 0; // with the description, when hr is DISP_E_EXCEPTION
    std::wstring description;
    long asLong() const;
    std::wstring asString() const;
};

// An argument as scripts pass it: a value, Null, Empty, an array, or "omitted".
class Arg {
public:
    Arg(long v) : Arg(VT_I4, 0) { v_.lVal = v; }
    Arg(int v) : Arg(static_cast<long>(v)) {}
    Arg(bool v) : Arg(VT_BOOL, 0) { v_.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE; }
    Arg(double v) : Arg(VT_R8, 0) { v_.dblVal = v; }
    Arg(const wchar_t* s) : Arg(VT_BSTR, 0) { v_.bstrVal = SysAllocString(s); }
    Arg(IDispatch* object) : Arg(VT_DISPATCH, 0) {
        if ((v_.pdispVal = object)) object->AddRef();
    }
    static Arg omitted() { return Arg(VT_ERROR, DISP_E_PARAMNOTFOUND); }
    static Arg null() { return Arg(VT_NULL, 0); }
    static Arg empty() { return Arg(VT_EMPTY, 0); }
    static Arg array() { // one element, as Array("x") makes it
        Arg a(VT_ARRAY | VT_VARIANT);
        a.v_.parray = SafeArrayCreateVector(VT_VARIANT, 0, 1);
        return a;
    }
    Arg(const Arg& o) : Arg(VT_EMPTY, 0) { *this = o; }
    Arg& operator=(const Arg& o) {
        VariantCopy(&v_, const_cast<Value*>(&o.v_));
        return *this;
    }
    const VARIANT& get() const { return v_; }

private:
    Arg(VARTYPE type, SCODE scode) { v_.vt = type, v_.scode = scode; }
    Value v_;
};

class LateBound {
public:
    explicit LateBound(const wchar_t* progId = L"Kelmo.CKelmo");
    LateBound(const LateBound&) = delete;
    LateBound& operator=(const LateBound&) = delete;
    ~LateBound() {
        if (object_) object_->Release();
    }
    IDispatch* get() const { return object_; }
    HRESULT created() const { return created_; }

    DISPID id(const wchar_t* name) const;
    CallResult invoke(DISPID id, WORD flags, std::vector<Arg> args) const;
    CallResult call(const wchar_t* name, std::vector<Arg> args = {}) const {
        return invoke(id(name), DISPATCH_METHOD | DISPATCH_PROPERTYGET, std::move(args));
    }
    CallResult get(const wchar_t* name) const { return invoke(id(name), DISPATCH_PROPERTYGET, {}); }
    CallResult put(const wchar_t* name, const Arg& value) const {
        return invoke(id(name), DISPATCH_PROPERTYPUT, {value});
    }
    CallResult putRef(const wchar_t* name, const Arg& object) const { // Set name = object
        return invoke(id(name), DISPATCH_PROPERTYPUTREF, {object});
    }

private:
    IDispatch* object_ = nullptr;
    HRESULT created_ = E_FAIL;
};

} // namespace kelmo::test
