// COM helpers: HRESULT failures as KelmoError, object creation by ProgID, late-bound calls by
// name through IDispatch, new BSTRs and the conversions of Variant.
#include "platform/win32/com.h"

#include <vector>

namespace kelmo::win32 {

std::wstring modulePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) return path.substr(0, n);
        path.resize(path.size() * 2);
    }
}

namespace {

// The system's text for an HRESULT, without the trailing line break; "" when it has none.
std::wstring systemMessage(HRESULT hr) {
    wchar_t buffer[512] = {};
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(hr), 0, buffer, 512, nullptr);
    std::wstring text(buffer, length);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

// The error number a script sees for an HRESULT: the run-time error number for the
// 0x800Axxxx range, the HRESULT itself otherwise.
std::int32_t scriptNumber(HRESULT hr) {
    if (HRESULT_SEVERITY(hr) == SEVERITY_ERROR && HRESULT_FACILITY(hr) == FACILITY_CONTROL)
        return static_cast<std::int32_t>(HRESULT_CODE(hr));
    return static_cast<std::int32_t>(hr);
}

std::wstring describe(HRESULT hr, const std::wstring& what) {
    std::int32_t number = scriptNumber(hr);
    std::wstring text = number != static_cast<std::int32_t>(hr)
                            ? errors::standardDescription(number)
                            : systemMessage(hr);
    if (text.empty()) text = errors::standardDescription(number);
    return what.empty() ? text : what + L": " + text;
}

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
        if (description.empty()) description = describe(hr, member);
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

// A copy of v converted to type, or the type mismatch (or overflow) error.
Variant converted(const VARIANT& v, VARTYPE type) {
    Variant result;
    HRESULT hr = VariantChangeType(result.get(), const_cast<VARIANT*>(&v), 0, type);
    if (hr == DISP_E_OVERFLOW) errors::raise(errors::Overflow);
    if (FAILED(hr)) errors::raise(errors::TypeMismatch);
    return result;
}

} // namespace

void throwIfFailed(HRESULT hr, const wchar_t* what) {
    if (FAILED(hr)) throw KelmoError(scriptNumber(hr), describe(hr, what ? what : L""));
}

void throwLastError(const wchar_t* what) {
    DWORD code = GetLastError();
    HRESULT hr = code != 0 ? HRESULT_FROM_WIN32(code) : E_FAIL;
    throw KelmoError(scriptNumber(hr), describe(hr, what ? what : L""));
}

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
