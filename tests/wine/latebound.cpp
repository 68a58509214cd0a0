// Late-bound calls for the Wine-side tests.
#include "latebound.h"

namespace kelmo::test {

long CallResult::asLong() const {
    Value number;
    VariantChangeType(&number, const_cast<Value*>(&value), 0, VT_I4);
    return number.lVal;
}

std::wstring CallResult::asString() const {
    Value text;
    VariantChangeType(&text, const_cast<Value*>(&value), VARIANT_ALPHABOOL, VT_BSTR);
    return text.vt == VT_BSTR ? std::wstring(text.bstrVal, SysStringLen(text.bstrVal)) : L"";
}

LateBound::LateBound(const wchar_t* progId) {
    CLSID clsid;
    if (SUCCEEDED(created_ = CLSIDFromProgID(progId, &clsid)))
        created_ = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                    reinterpret_cast<void**>(&object_));
}

DISPID LateBound::id(const wchar_t* name) const {
    DISPID result = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (object_) object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &result);
    return result;
}

CallResult LateBound::invoke(DISPID id, WORD flags, std::vector<Arg> args) const {
    std::vector<VARIANT> raw(args.rbegin(), args.rend()); // DISPPARAMS holds the last one first
    DISPID putId = DISPID_PROPERTYPUT;
    const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    DISPPARAMS params{raw.data(), put ? &putId : nullptr, static_cast<UINT>(raw.size()), put};
    EXCEPINFO exception{};
    CallResult result;
    result.hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result.value,
                                &exception, nullptr);
    if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
    result.scode = exception.scode;
    if (exception.bstrDescription) result.description = exception.bstrDescription;
    for (BSTR text : {exception.bstrSource, exception.bstrDescription, exception.bstrHelpFile})
        SysFreeString(text);
    return result;
}

} // namespace kelmo::test
