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
    // The value as a script would convert it (nothing when it does not convert).
    Value as(VARTYPE type) const {
        Value converted;
        VariantChangeType(&converted, const_cast<Value*>(this), VARIANT_ALPHABOOL, type);
        return converted;
    }
};

struct CallResult {
    HRESULT hr = S_OK;
    Value value;
    SCODE scode = 0; // with the description, when hr is DISP_E_EXCEPTION
    std::wstring description;
    long asLong() const { return value.as(VT_I4).lVal; }
    std::wstring asString() const {
        const Value text = value.as(VT_BSTR);
        return text.vt == VT_BSTR ? std::wstring(text.bstrVal, SysStringLen(text.bstrVal)) : L"";
    }
};

// An argument as scripts pass it: a value, Null, Empty, an array, or "omitted".
struct Arg : Value {
    Arg(long v) : Arg(Type{VT_I4}) { lVal = v; }
    Arg(int v) : Arg(static_cast<long>(v)) {}
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
    explicit LateBound(const wchar_t* progId = L"Kelmo.CKelmo") {
        CLSID clsid;
        if (SUCCEEDED(created_ = CLSIDFromProgID(progId, &clsid)))
            created_ = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                        reinterpret_cast<void**>(&object_));
    }
    LateBound(const LateBound&) = delete;
    ~LateBound() {
        if (object_) object_->Release();
    }
    IDispatch* get() const { return object_; }
    HRESULT created() const { return created_; }

    DISPID id(const wchar_t* name) const {
        DISPID result = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        if (object_) object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &result);
        return result;
    }
    CallResult invoke(DISPID id, WORD flags, std::vector<Arg> args) const {
        std::vector<VARIANT> raw(args.rbegin(), args.rend()); // DISPPARAMS holds the last first
        DISPID putId = DISPID_PROPERTYPUT;
        const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
        DISPPARAMS params{raw.data(), put ? &putId : nullptr, static_cast<UINT>(raw.size()), put};
        EXCEPINFO exception{};
        CallResult result;
        result.hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                    &result.value, &exception, nullptr);
        if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
        result.scode = exception.scode;
        if (exception.bstrDescription) result.description = exception.bstrDescription;
        for (BSTR text : {exception.bstrSource, exception.bstrDescription, exception.bstrHelpFile})
            SysFreeString(text);
        return result;
    }
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
