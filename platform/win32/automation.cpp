// Late-bound calls of automation objects: creation by ProgID, calls by name or dispatch
// identifier, and the errors they raise (EXCEPINFO or HRESULT) as KelmoError.
#include "platform/win32/automation.h"

#include <string>
#include <vector>

#include "platform/win32/failures.h"

namespace kelmo::win32 {

namespace {

// EXCEPINFO that frees its strings.
class ExceptionInfo {
public:
    ExceptionInfo() = default;
    ExceptionInfo(const ExceptionInfo&) = delete;
    ExceptionInfo& operator=(const ExceptionInfo&) = delete;
    ~ExceptionInfo() { clearExceptionInfo(info_); }
    EXCEPINFO* get() { return &info_; }

    [[noreturn]] void raise(const std::wstring& member) {
        if (info_.pfnDeferredFillIn) info_.pfnDeferredFillIn(&info_);
        std::wstring description = textOf(info_.bstrDescription);
        if (info_.wCode != 0 && info_.scode == 0) {
            std::int32_t number = info_.wCode;
            if (description.empty())
                description = member + L": " + errors::standardDescription(number);
            throw KelmoError(number, description);
        }
        HRESULT hr = info_.scode != 0 ? info_.scode : DISP_E_EXCEPTION;
        if (description.empty()) throw failureOf(hr, member);
        throw KelmoError(scriptNumber(hr), description);
    }

private:
    EXCEPINFO info_{};
};

DISPID dispatchIdOf(IDispatch* object, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    throwIfFailed(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), name);
    return id;
}

Variant invokeMember(IDispatch* object, DISPID member, const std::wstring& memberName, WORD flags,
                     std::initializer_list<Variant> args) {
    // DISPPARAMS lists the arguments last first. The VARIANTs are borrowed from args, which
    // outlives the call.
    std::vector<VARIANTARG> arguments(args.size());
    std::size_t slot = args.size();
    for (const Variant& arg : args)
        arguments[--slot] = *arg.get();

    DISPID putId = DISPID_PROPERTYPUT;
    bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    DISPPARAMS params{arguments.data(), isPut ? &putId : nullptr,
                      static_cast<UINT>(arguments.size()), isPut ? 1u : 0u};
    Variant result;
    ExceptionInfo exception;
    UINT argumentError = 0;
    HRESULT hr = object->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                isPut ? nullptr : result.get(), exception.get(), &argumentError);
    if (hr == DISP_E_EXCEPTION) exception.raise(memberName);
    throwIfFailed(hr, memberName.c_str());
    return result;
}

void requireObject(IDispatch* object) {
    if (!object) errors::raise(errors::ObjectNotSet);
}


} // namespace

ComPtr<IDispatch> createObject(const wchar_t* progId) {
    CLSID clsid{};
    throwIfFailed(CLSIDFromProgID(progId, &clsid), progId);
    ComPtr<IDispatch> object;
    throwIfFailed(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                   IID_IDispatch, object.putVoid()),
                  progId);
    return object;
}

Variant invoke(IDispatch* object, const wchar_t* name, WORD flags,
               std::initializer_list<Variant> args) {
    requireObject(object);
    return invokeMember(object, dispatchIdOf(object, name), name, flags, args);
}

Variant invokeById(IDispatch* object, DISPID member, WORD flags,
                   std::initializer_list<Variant> args) {
    requireObject(object);
    return invokeMember(object, member, L"DISPID " + std::to_wstring(member), flags, args);
}

void put(IDispatch* object, const wchar_t* name, const Variant& value) {
    invoke(object, name, DISPATCH_PROPERTYPUT, {value});
}

} // namespace kelmo::win32
