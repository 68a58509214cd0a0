// Late-bound calls for the Wine-side tests.
#include "latebound.h"

#include <algorithm>

namespace kelmo::test {

long CallResult::asLong() const {
    VARIANT converted;
    VariantInit(&converted);
    long result = 0;
    if (SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_I4)))
        result = converted.lVal;
    VariantClear(&converted);
    return result;
}

std::wstring CallResult::asString() const {
    VARIANT converted;
    VariantInit(&converted);
    std::wstring result;
    if (SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANT*>(&value), VARIANT_ALPHABOOL,
                                    VT_BSTR)))
        result.assign(converted.bstrVal, SysStringLen(converted.bstrVal));
    VariantClear(&converted);
    return result;
}

LateBound::LateBound(const wchar_t* progId) {
    CLSID clsid;
    created_ = CLSIDFromProgID(progId, &clsid);
    if (SUCCEEDED(created_))
        created_ = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                    reinterpret_cast<void**>(&object_));
}

LateBound::~LateBound() {
    if (object_) object_->Release();
}

DISPID LateBound::id(const wchar_t* name) const {
    DISPID result = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (object_) object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &result);
    return result;
}

CallResult LateBound::invoke(DISPID id, WORD flags, std::vector<Arg> args) const {
    CallResult result;
    std::reverse(args.begin(), args.end()); // DISPPARAMS holds the last argument first
    std::vector<VARIANT> raw;
    for (const auto& a : args)
        raw.push_back(a.get());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{raw.data(), nullptr, static_cast<UINT>(raw.size()), 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    EXCEPINFO exception{};
    UINT argError = 0;
    result.hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result.value,
                                &exception, &argError);
    if (result.hr == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
        result.scode = exception.scode;
        if (exception.bstrDescription) result.description = exception.bstrDescription;
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
    return result;
}

CallResult LateBound::call(const wchar_t* name, std::vector<Arg> args) const {
    return invoke(id(name), DISPATCH_METHOD | DISPATCH_PROPERTYGET, std::move(args));
}

CallResult LateBound::get(const wchar_t* name) const {
    return invoke(id(name), DISPATCH_PROPERTYGET, {});
}

CallResult LateBound::put(const wchar_t* name, const Arg& value) const {
    return invoke(id(name), DISPATCH_PROPERTYPUT, {value});
}

CallResult LateBound::putRef(const wchar_t* name, const Arg& object) const {
    return invoke(id(name), DISPATCH_PROPERTYPUTREF, {object});
}

} // namespace kelmo::test
