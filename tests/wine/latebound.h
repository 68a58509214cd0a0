// Late-bound calls on the registered object Kelmo.CKelmo, as any automation client makes them:
// names through GetIDsOfNames, arguments as VARIANTs, errors as EXCEPINFO.
#pragma once

#include "platform/win32/owned.h"

#include <string>
#include <vector>

namespace kelmo::test {

// A VARIANT that clears itself, Empty at first; as an argument a value, Null, an array, omitted.
struct Arg : VARIANT {
    Arg() : VARIANT{} {}
    Arg(long v) : Arg(VT_I4, 0) { lVal = v; }
    Arg(int v) : Arg(static_cast<long>(v)) {}
    Arg(double v) : Arg(VT_R8, 0) { dblVal = v; }
    Arg(const wchar_t* s) : Arg(VT_BSTR, 0) { bstrVal = SysAllocString(s); }
    Arg(IDispatch* object) : Arg(VT_DISPATCH, 0) {
        if ((pdispVal = object)) object->AddRef();
    }
    Arg(const Arg& o) : VARIANT{} { VariantCopy(this, const_cast<Arg*>(&o)); }
    Arg& operator=(const Arg& o) { // clears this first
        VariantCopy(this, const_cast<Arg*>(&o));
        return *this;
    }
    ~Arg() { VariantClear(this); }
    static Arg omitted() { return Arg(VT_ERROR, DISP_E_PARAMNOTFOUND); }
    static Arg null() { return Arg(VT_NULL, 0); }
    static Arg array() { // one element, as Array("x") makes it
        Arg a(VT_ARRAY | VT_VARIANT, 0);
        a.parray = SafeArrayCreateVector(VT_VARIANT, 0, 1);
        return a;
    }

private:
    Arg(VARTYPE type, SCODE code) : VARIANT{} { vt = type, scode = code; }
};

struct CallResult {
    HRESULT hr = S_OK;
    Arg value;
    SCODE scode = 0; // with the description, when hr is DISP_E_EXCEPTION
    std::wstring description;
    Arg as(VARTYPE type) const { // as a script converts it; Empty when it does not
        Arg converted;
        VariantChangeType(&converted, const_cast<Arg*>(&value), VARIANT_ALPHABOOL, type);
        return converted;
    }
    long asLong() const { return as(VT_I4).lVal; }
    std::wstring asString() const { return win32::textOf(as(VT_BSTR).bstrVal); }
};

class LateBound {
public:
    LateBound() {
        CLSID clsid;
        if (SUCCEEDED(CLSIDFromProgID(L"Kelmo.CKelmo", &clsid)))
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             object_.putVoid());
    }
    IDispatch* get() const { return object_.get(); } // null when it could not be made

    DISPID id(const wchar_t* name) const {
        DISPID result = DISPID_UNKNOWN;
        object_->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(&name), 1, LOCALE_USER_DEFAULT,
                               &result);
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
        const win32::Bstr source(exception.bstrSource), help(exception.bstrHelpFile),
            description(exception.bstrDescription);
        result.scode = exception.scode, result.description = win32::textOf(description.get());
        return result;
    }
    CallResult call(const wchar_t* name, std::vector<Arg> args = {}) const {
        return invoke(id(name), DISPATCH_METHOD | DISPATCH_PROPERTYGET, std::move(args));
    }
    CallResult get(const wchar_t* name) const { return invoke(id(name), DISPATCH_PROPERTYGET, {}); }
    CallResult put(const wchar_t* name, const Arg& value) const {
        return invoke(id(name), DISPATCH_PROPERTYPUT, {value});
    }

private:
    win32::ComPtr<IDispatch> object_;
};

} // namespace kelmo::test
