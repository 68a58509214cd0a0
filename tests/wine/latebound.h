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
    Value(const Value& o) : VARIANT{} { VariantCopy(this, const_cast<Value*>(&o)); }
    Value(Value&& o) noexcept : VARIANT(std::exchange(static_cast<VARIANT&>(o), VARIANT{})) {}
    Value& operator=(const Value& o) {
        VariantCopy(this, const_cast<Value*>(&o)); // clears this first
        return *this;
    }
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
struct Arg : Value {
    Arg(long v) : Arg(Type{VT_I4}) { lVal = v; }
    Arg(int v) : Arg(static_cast<long>(v)) {}
    Arg(bool v) : Arg(Type{VT_BOOL}) { boolVal = v ? VARIANT_TRUE : VARIANT_FALSE; }
    Arg(double v) : Arg(Type{VT_R8}) { dblVal = v; }
    Arg(const wchar_t* s) : Arg(Type{VT_BSTR}) { bstrVal = SysAllocString(s); }
    Arg(IDispatch* object) : Arg(Type{VT_DISPATCH}) {
        if ((pdispVal = object)) object->AddRef();
    }
    static Arg omitted() { return Arg(Type{VT_ERROR, DISP_E_PARAMNOTFOUND}); }
    static Arg null() { return Arg(Type{VT_NULL}); }
    static Arg empty() { return Arg(Type{VT_EMPTY}); }
    static Arg array() { // one element, as Array("x") makes it
        Arg a(Type{VT_ARRAY | VT_VARIANT});
        a.parray = SafeArrayCreateVector(VT_VARIANT, 0, 1);
        return a;
    }

private:
    struct Type {
        VARTYPE vt;
        SCODE scode = 0;
    };
    explicit Arg(Type type) { vt = type.vt, scode = type.scode; }
};

class LateBound {
public:
    explicit LateBound(const wchar_t* progId = L"Kelmo.CKelmo");
    LateBound(const LateBound&) = delete;
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
