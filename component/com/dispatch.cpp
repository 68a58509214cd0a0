// KelmoObject: the COM object behind "Kelmo.CKelmo". It implements the dual interface _CKelmo
// by forwarding every entry to kelmo::CKelmo, IDispatch through the type library embedded in
// the DLL, and ISupportErrorInfo. This is the dispatch boundary: every entry runs through the
// module's guard, so that whatever a member throws becomes an automation error (error info,
// EXCEPINFO for late-bound callers, and a line in the debugger's output), and where a trace is
// asked for (tracefile.h), each call through IDispatch is written there. Also the class factory
// of CKelmo.
#include <initguid.h>

#include <cguid.h>

#include "component/com/dispatch.h"

#include "component/com/tracefile.h"
#include "component/core/object.h"
#include "platform/win32/failures.h"
#include "platform/win32/module/classfactory.h"
#include "platform/win32/module/guard.h"
#include "platform/win32/scriptbridge.h"
#include "platform/win32/win32services.h"

#include <optional>
#include <vector>

namespace kelmo::com {

namespace {

constexpr DISPID DispIdFldSetD = 0x6003001D;
constexpr DISPID DispIdIEC = 0x40030023;

std::wstring text(BSTR b) {
    return win32::textOf(b);
}
VARIANT_BOOL variantBool(bool value) {
    return value ? VARIANT_TRUE : VARIANT_FALSE;
}

// A string argument of a variant: what a script passed, converted as VBScript would.
std::wstring variantText(const VARIANT& value) {
    win32::Variant converted;
    if (FAILED(VariantChangeType(converted.get(), const_cast<VARIANT*>(&value), VARIANT_ALPHABOOL,
                                 VT_BSTR)))
        errors::raise(errors::TypeMismatch);
    return text(converted.get()->bstrVal);
}

const VARIANT& dereferenced(const VARIANT& value) {
    return value.vt == (VT_BYREF | VT_VARIANT) && value.pvarVal ? *value.pvarVal : value;
}

// Null, Empty or Nothing: a value that stands for no object.
bool isNoObject(const VARIANT& value) {
    const VARIANT& v = dereferenced(value);
    switch (v.vt) {
    case VT_EMPTY:
    case VT_NULL:
        return true;
    case VT_DISPATCH:
    case VT_UNKNOWN:
        return v.punkVal == nullptr;
    default:
        return false;
    }
}

bool isObject(const VARIANT& value) {
    const VARTYPE type = dereferenced(value).vt;
    return (type == VT_DISPATCH || type == VT_UNKNOWN) && !isNoObject(value);
}

// A property assignment (put or putref) of one value, passed as property puts are.
bool isAssignmentOf(WORD flags, const DISPPARAMS& params) {
    const bool named =
        params.cNamedArgs == 0 || (params.cNamedArgs == 1 && params.rgdispidNamedArgs &&
                                   params.rgdispidNamedArgs[0] == DISPID_PROPERTYPUT);
    return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) && params.cArgs == 1 &&
           named && params.rgvarg;
}

// One entry of _CKelmo as a dispatch call sees it: its kind and how many arguments it takes.
struct EntryShape {
    MEMBERID id;
    INVOKEKIND kind;
    UINT arguments; // the parameters without the result
};

// The entries' shapes, as the type information gives them.
std::vector<EntryShape> entryShapes(ITypeInfo& info) {
    TYPEATTR* type = nullptr;
    win32::throwIfFailed(info.GetTypeAttr(&type), L"GetTypeAttr");
    const WORD count = type->cFuncs;
    info.ReleaseTypeAttr(type);
    std::vector<EntryShape> shapes;
    for (UINT i = 0; i < count; ++i) {
        FUNCDESC* function = nullptr;
        win32::throwIfFailed(info.GetFuncDesc(i, &function), L"GetFuncDesc");
        EntryShape shape{function->memid, function->invkind, 0};
        for (SHORT p = 0; p < function->cParams; ++p)
            if (!(function->lprgelemdescParam[p].paramdesc.wParamFlags & PARAMFLAG_FRETVAL))
                ++shape.arguments;
        info.ReleaseFuncDesc(function);
        shapes.push_back(shape);
    }
    return shapes;
}

// The entry a call reaches, chosen as DispInvoke chooses it: the first one with that DISPID
// whose kind is among the call's flags.
const EntryShape* entryShapeOf(const std::vector<EntryShape>& shapes, DISPID id, WORD flags) {
    for (const EntryShape& shape : shapes)
        if (shape.id == id && (shape.kind & flags)) return &shape;
    return nullptr;
}

} // namespace

using KelmoObjectBase =
    win32::ComObject<win32::Lifetime::Counted,
                     win32::Implements<_CKelmo, IID__CKelmo, IID_IDispatch>,
                     win32::Implements<ISupportErrorInfo, IID_ISupportErrorInfo>>;

class KelmoObject final : public KelmoObjectBase {
public:
    KelmoObject()
        : typeInfo_(win32::module::typeInfo(IID__CKelmo)), shapes_(entryShapes(*typeInfo_.get())) {}

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) noexcept override {
        return iid == IID__CKelmo ? S_OK : S_FALSE;
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        *out = typeInfo_.detachCopy();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept override {
        return DispGetIDsOfNames(typeInfo_.get(), names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) noexcept override;

    // _CKelmo: the stored variables.
    HRESULT STDMETHODCALLTYPE get_Atom(LONG* v) noexcept override { return read(v, core_.Atom); }
    HRESULT STDMETHODCALLTYPE put_Atom(LONG v) noexcept override { return store(core_.Atom, v); }
    HRESULT STDMETHODCALLTYPE get_Mol1(LONG* v) noexcept override { return read(v, core_.Mol1); }
    HRESULT STDMETHODCALLTYPE put_Mol1(LONG v) noexcept override { return store(core_.Mol1, v); }
    HRESULT STDMETHODCALLTYPE get_Mol2(LONG* v) noexcept override { return read(v, core_.Mol2); }
    HRESULT STDMETHODCALLTYPE put_Mol2(LONG v) noexcept override { return store(core_.Mol2, v); }
    HRESULT STDMETHODCALLTYPE get_Speed(LONG* v) noexcept override { return read(v, core_.Speed); }
    HRESULT STDMETHODCALLTYPE put_Speed(LONG v) noexcept override { return store(core_.Speed, v); }
    HRESULT STDMETHODCALLTYPE get_ODflag(VARIANT_BOOL* v) noexcept override {
        return read(v, variantBool(core_.ODflag));
    }
    HRESULT STDMETHODCALLTYPE put_ODflag(VARIANT_BOOL v) noexcept override {
        core_.ODflag = v != VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Repeat(short* v) noexcept override {
        return read(v, core_.Repeat);
    }
    HRESULT STDMETHODCALLTYPE put_Repeat(short v) noexcept override {
        return store(core_.Repeat, v);
    }
    HRESULT STDMETHODCALLTYPE get_RestMax(LONG* v) noexcept override {
        return read(v, core_.RestMax);
    }
    HRESULT STDMETHODCALLTYPE put_RestMax(LONG v) noexcept override {
        return store(core_.RestMax, v);
    }
    HRESULT STDMETHODCALLTYPE get_IEC(IDispatch** v) noexcept override {
        return member(
            L"IEC", [&] { *v = dispatchOut(core_.IEC()); }, v);
    }
    HRESULT STDMETHODCALLTYPE putref_IEC(IDispatch* v) noexcept override {
        return member(L"IEC", [&] {
            core_.IEC(v ? win32::wrapBrowser(win32::ComPtr<IDispatch>::share(v)) : nullptr);
        });
    }

    // _CKelmo: the members.
    HRESULT STDMETHODCALLTYPE get_Title(BSTR* v) noexcept override {
        return member(
            L"Title", [&] { *v = bstrOut(core_.Title()); }, v);
    }
    HRESULT STDMETHODCALLTYPE Mark(BSTR s, short* r) noexcept override {
        return member(
            L"Mark", [&] { *r = core_.Mark(text(s)); }, r);
    }
    HRESULT STDMETHODCALLTYPE AdjustT(BSTR s, short* r) noexcept override {
        return member(
            L"AdjustT", [&] { *r = core_.AdjustT(text(s)); }, r);
    }
    HRESULT STDMETHODCALLTYPE Break(BSTR s, short* r) noexcept override {
        return member(
            L"Break", [&] { *r = core_.Break(text(s)); }, r);
    }
    HRESULT STDMETHODCALLTYPE Sound(BSTR s) noexcept override {
        return member(L"Sound", [&] { core_.Sound(text(s)); });
    }
    HRESULT STDMETHODCALLTYPE ODOff() noexcept override {
        return member(L"ODOff", [&] { core_.ODOff(); });
    }
    HRESULT STDMETHODCALLTYPE ODOn() noexcept override {
        return member(L"ODOn", [&] { core_.ODOn(); });
    }
    HRESULT STDMETHODCALLTYPE FldSet(BSTR s, BSTR* r) noexcept override {
        return member(
            L"FldSet", [&] { *r = bstrOut(core_.FldSet(text(s))); }, r);
    }
    HRESULT STDMETHODCALLTYPE FldSetD(SAFEARRAY** list, BSTR* r) noexcept override {
        return member(
            L"FldSetD", [&] { *r = bstrOut(core_.FldSetD(patterns(list))); }, r);
    }
    HRESULT STDMETHODCALLTYPE FldCopy(BSTR s, BSTR d, BSTR* r) noexcept override {
        return member(
            L"FldCopy", [&] { *r = bstrOut(core_.FldCopy(text(s), text(d))); }, r);
    }
    HRESULT STDMETHODCALLTYPE FldDelete(BSTR s) noexcept override {
        return member(L"FldDelete", [&] { core_.FldDelete(text(s)); });
    }
    HRESULT STDMETHODCALLTYPE Update() noexcept override {
        return member(L"Update", [&] { core_.Update(); });
    }
    HRESULT STDMETHODCALLTYPE get_FldFiles(IDispatch** v) noexcept override {
        return member(
            L"FldFiles", [&] { *v = dispatchOut(core_.FldFiles()); }, v);
    }
    HRESULT STDMETHODCALLTYPE get_oShell(IDispatch** v) noexcept override {
        return member(
            L"oShell", [&] { *v = dispatchOut(core_.oShell()); }, v);
    }
    HRESULT STDMETHODCALLTYPE get_oIE(IDispatch** v) noexcept override {
        return member(
            L"oIE", [&] { *v = dispatchOut(core_.oIE()); }, v);
    }
    HRESULT STDMETHODCALLTYPE get_FS(IDispatch** v) noexcept override {
        return member(
            L"FS", [&] { *v = dispatchOut(core_.FS()); }, v);
    }
    HRESULT STDMETHODCALLTYPE get_AppNum(short* v) noexcept override {
        return member(
            L"AppNum", [&] { *v = core_.AppNum(); }, v);
    }
    HRESULT STDMETHODCALLTYPE get_DefFld(BSTR* v) noexcept override {
        return member(
            L"DefFld", [&] { *v = bstrOut(core_.DefFld()); }, v);
    }
    HRESULT STDMETHODCALLTYPE put_DefFld(BSTR v) noexcept override {
        return member(L"DefFld", [&] { core_.DefFld(text(v)); });
    }
    HRESULT STDMETHODCALLTYPE get_WinDrv(BSTR* v) noexcept override {
        return member(
            L"WinDrv", [&] { *v = bstrOut(core_.WinDrv()); }, v);
    }
    HRESULT STDMETHODCALLTYPE get_AppCur(short* v) noexcept override {
        return member(
            L"AppCur", [&] { *v = core_.AppCur(); }, v);
    }
    HRESULT STDMETHODCALLTYPE put_AppCur(short v) noexcept override {
        return member(L"AppCur", [&] { core_.AppCur(v); });
    }
    HRESULT STDMETHODCALLTYPE FrmShow(BSTR path, short seconds) noexcept override {
        return member(L"FrmShow", [&] { core_.FrmShow(text(path), seconds); });
    }
    HRESULT STDMETHODCALLTYPE AppShow(LONG show, short app, LONG* r) noexcept override {
        return member(
            L"AppShow", [&] { *r = core_.AppShow(show, app); }, r);
    }
    HRESULT STDMETHODCALLTYPE RestOld(LONG sec, VARIANT_BOOL wait) noexcept override {
        return member(L"RestOld", [&] { core_.RestOld(sec, wait != VARIANT_FALSE); });
    }
    HRESULT STDMETHODCALLTYPE Rest(LONG sec, VARIANT_BOOL wait) noexcept override {
        return member(L"Rest", [&] { core_.Rest(sec, wait != VARIANT_FALSE); });
    }
    HRESULT STDMETHODCALLTYPE IEver(float* r) noexcept override {
        return member(
            L"IEver", [&] { *r = core_.IEver(); }, r);
    }
    HRESULT STDMETHODCALLTYPE IEtab(short* r) noexcept override {
        return member(
            L"IEtab", [&] { *r = core_.IEtab(); }, r);
    }
    HRESULT STDMETHODCALLTYPE IE(BSTR url, LONG show, short* r) noexcept override {
        return member(
            L"IE", [&] { *r = core_.IE(text(url), show); }, r);
    }
    HRESULT STDMETHODCALLTYPE Exec(BSTR s, LONG show, short* r) noexcept override {
        return member(
            L"Exec", [&] { *r = core_.Exec(text(s), show); }, r);
    }
    HRESULT STDMETHODCALLTYPE Run(BSTR s, short style, short* r) noexcept override {
        return member(
            L"Run", [&] { *r = core_.Run(text(s), style); }, r);
    }
    HRESULT STDMETHODCALLTYPE Send(BSTR s) noexcept override {
        return member(L"Send", [&] { core_.Send(text(s)); });
    }
    HRESULT STDMETHODCALLTYPE Pass(BSTR s, short enters) noexcept override {
        return member(L"Pass", [&] { core_.Pass(text(s), enters); });
    }
    HRESULT STDMETHODCALLTYPE PassF(BSTR s, short enters) noexcept override {
        return member(L"PassF", [&] { core_.PassF(text(s), enters); });
    }
    HRESULT STDMETHODCALLTYPE Popup(BSTR s, LONG secs, BSTR title, LONG type,
                                    short* r) noexcept override {
        return member(
            L"Popup", [&] { *r = core_.Popup(text(s), secs, text(title), type); }, r);
    }
    HRESULT STDMETHODCALLTYPE Popup2(BSTR s, LONG secs, short button, short* r) noexcept override {
        return member(
            L"Popup2", [&] { *r = core_.Popup2(text(s), secs, button); }, r);
    }
    HRESULT STDMETHODCALLTYPE Popup3(BSTR s, LONG secs, short button, short* r) noexcept override {
        return member(
            L"Popup3", [&] { *r = core_.Popup3(text(s), secs, button); }, r);
    }

private:
    template <typename T, typename V> static HRESULT read(T* out, V value) noexcept {
        if (!out) return E_POINTER;
        *out = static_cast<T>(value);
        return S_OK;
    }
    template <typename T, typename V> static HRESULT store(T& field, V value) noexcept {
        field = static_cast<T>(value);
        return S_OK;
    }

    // Runs one member: whatever it throws becomes the automation error of this call.
    template <typename Body> HRESULT member(const wchar_t* name, Body&& body) noexcept {
        return win32::guarded(name, IID__CKelmo, body, &lastError_);
    }
    // The same for a member with an out-parameter, which must be given. An interface pointer
    // or string handed out is null unless the member succeeds.
    template <typename Body, typename Out>
    HRESULT member(const wchar_t* name, Body&& body, Out* out) noexcept {
        if (!out) return E_POINTER;
        if constexpr (std::is_pointer_v<Out>) *out = nullptr;
        return member(name, body);
    }

    static BSTR bstrOut(const std::wstring& value) { return win32::makeBstr(value).release(); }

    static IDispatch* dispatchOut(const std::shared_ptr<platform::AutomationObject>& object) {
        IDispatch* dispatch = object ? win32::dispatchOf(*object) : nullptr;
        return win32::ComPtr<IDispatch>::share(dispatch).release();
    }

    // The script's patterns: a one-dimensional array of VARIANTs, any bounds.
    static std::vector<std::wstring> patterns(SAFEARRAY** list) {
        std::vector<std::wstring> result;
        if (!list || !*list) return result;
        VARTYPE type = VT_EMPTY;
        if (SafeArrayGetDim(*list) != 1 || FAILED(SafeArrayGetVartype(*list, &type)) ||
            type != VT_VARIANT)
            errors::raise(errors::TypeMismatch);
        LONG low = 0, high = -1;
        win32::throwIfFailed(SafeArrayGetLBound(*list, 1, &low), L"SafeArrayGetLBound");
        win32::throwIfFailed(SafeArrayGetUBound(*list, 1, &high), L"SafeArrayGetUBound");
        for (LONG i = low; i <= high; ++i) {
            win32::Variant element;
            win32::throwIfFailed(SafeArrayGetElement(*list, &i, element.get()), L"SafeArray");
            result.push_back(variantText(*element.get()));
        }
        return result;
    }

    HRESULT invokeFldSetD(const DISPPARAMS& params, VARIANT* result) noexcept;
    HRESULT assignIEC(const VARIANT& value) noexcept;
    HRESULT invokeOnResult(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* exception, UINT* argError) noexcept;
    HRESULT invokeEntry(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) noexcept;
    HRESULT invokeCall(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                       EXCEPINFO* exception, UINT* argError) noexcept;
    void fillException(EXCEPINFO* exception) const noexcept;
    // The interface's name of an entry, for the failure's report; null when it has none.
    win32::Bstr entryName(DISPID id) const noexcept;

    win32::ComPtr<ITypeInfo> typeInfo_;
    std::vector<EntryShape> shapes_;
    std::unique_ptr<TraceFile> trace_ = TraceFile::fromSettings();
    win32::Win32Services services_;
    CKelmo core_{services_.services()};
    std::optional<KelmoError> lastError_;
};

// FldSetD takes a parameter array. Not every automation runtime's ITypeInfo::Invoke accepts
// any number of arguments for one, so the arguments are gathered here (they arrive last
// first) into the SAFEARRAY of VARIANT that the member expects.
HRESULT KelmoObject::invokeFldSetD(const DISPPARAMS& params, VARIANT* result) noexcept {
    if (params.cNamedArgs > 0) return DISP_E_NONAMEDARGS;
    win32::SafeArray list(SafeArrayCreateVector(VT_VARIANT, 0, params.cArgs));
    if (!list) return E_OUTOFMEMORY;
    for (UINT i = 0; i < params.cArgs; ++i) {
        LONG index = static_cast<LONG>(i);
        win32::Variant value;
        HRESULT hr = VariantCopyInd(value.get(), &params.rgvarg[params.cArgs - 1 - i]);
        if (SUCCEEDED(hr)) hr = SafeArrayPutElement(list.get(), &index, value.get());
        if (FAILED(hr)) return hr;
    }
    SAFEARRAY* passed = list.get(); // [in, out]: FldSetD leaves the array in place
    win32::Bstr text;
    const HRESULT hr = FldSetD(&passed, text.put());
    if (SUCCEEDED(hr) && result) {
        VariantInit(result);
        result->vt = VT_BSTR;
        result->bstrVal = text.release();
    }
    return hr;
}

// IEC holds an object. An assignment of Null, Empty or Nothing, also as a plain property put
// (JScript assigns every value that way), empties it, as Set IEC = Nothing does; one of a value
// that is no object is a type mismatch.
HRESULT KelmoObject::assignIEC(const VARIANT& value) noexcept {
    if (isNoObject(value)) return putref_IEC(nullptr);
    return member(L"IEC", [] { errors::raise(errors::TypeMismatch); });
}

// A get without parameters that is given arguments passes them to the default member of the
// object it returns (k.FldFiles("a.txt") is k.FldFiles.Item("a.txt")), as the platform's
// dispatch does; done here, because not every runtime checks that the property holds an object.
HRESULT KelmoObject::invokeOnResult(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params,
                                    VARIANT* result, EXCEPINFO* exception,
                                    UINT* argError) noexcept {
    DISPPARAMS none{};
    win32::Variant property;
    const HRESULT hr = DispInvoke(static_cast<_CKelmo*>(this), typeInfo_.get(), id,
                                  DISPATCH_PROPERTYGET, &none, property.get(), exception, argError);
    if (FAILED(hr)) return hr;
    const VARIANT& value = *property.get();
    if (value.vt != VT_DISPATCH) return DISP_E_NOTACOLLECTION;
    if (!value.pdispVal)
        return member(entryName(id).get(), [] { errors::raise(errors::ObjectNotSet); });
    const HRESULT indexed = value.pdispVal->Invoke(DISPID_VALUE, IID_NULL, lcid, flags, params,
                                                   result, exception, argError);
    return indexed == DISP_E_MEMBERNOTFOUND ? DISP_E_NOTACOLLECTION : indexed;
}

// A call of one entry through the type information. More arguments than the entry takes are
// refused here (not every runtime's DispInvoke counts them, and would pass the first ones on).
HRESULT KelmoObject::invokeEntry(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept {
    if (const EntryShape* shape = entryShapeOf(shapes_, id, flags);
        shape && params->cArgs > shape->arguments) {
        if (shape->kind == INVOKE_PROPERTYGET && shape->arguments == 0)
            return invokeOnResult(id, lcid, flags, params, result, exception, argError);
        return DISP_E_BADPARAMCOUNT;
    }
    return DispInvoke(static_cast<_CKelmo*>(this), typeInfo_.get(), id, flags, params, result,
                      exception, argError);
}

void KelmoObject::fillException(EXCEPINFO* exception) const noexcept {
    if (!exception || !lastError_) return;
    win32::clearExceptionInfo(*exception);
    exception->bstrSource = SysAllocString(L"Kelmo");
    exception->bstrDescription = SysAllocString(lastError_->description().c_str());
    exception->scode = win32::failureCode(*lastError_);
}

win32::Bstr KelmoObject::entryName(DISPID id) const noexcept {
    win32::Bstr name;
    UINT found = 0;
    if (FAILED(typeInfo_->GetNames(id, name.put(), 1, &found)) || found == 0) name.reset();
    return name;
}

// EXCEPINFO is an out-parameter: it is emptied first, so that only what was put there during
// this call is ever freed. Arguments that DispInvoke cannot pass on (a type mismatch, an
// overflow, a wrong number of them) fail before the member runs, as the run-time errors script
// languages know them by.
HRESULT KelmoObject::invokeCall(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept {
    if (exception) *exception = EXCEPINFO{};
    lastError_.reset();
    HRESULT hr;
    if (id == DispIdFldSetD && (flags & DISPATCH_METHOD))
        hr = invokeFldSetD(*params, result);
    else if (id == DispIdIEC && isAssignmentOf(flags, *params) && !isObject(params->rgvarg[0]))
        hr = assignIEC(params->rgvarg[0]);
    else
        hr = invokeEntry(id, lcid, flags, params, result, exception, argError);
    if (FAILED(hr) && !lastError_) {
        if (auto error = win32::argumentError(hr)) {
            win32::reportError(*error, entryName(id).get(), IID__CKelmo);
            lastError_ = std::move(error);
        }
    }
    if (FAILED(hr) && lastError_) {
        fillException(exception);
        return DISP_E_EXCEPTION;
    }
    return hr;
}

// Every call through IDispatch, and with a trace its line once it has ended.
HRESULT STDMETHODCALLTYPE KelmoObject::Invoke(DISPID id, REFIID, LCID lcid, WORD flags,
                                              DISPPARAMS* params, VARIANT* result,
                                              EXCEPINFO* exception, UINT* argError) noexcept {
    if (!params) return E_INVALIDARG;
    if (!trace_) return invokeCall(id, lcid, flags, params, result, exception, argError);
    const TraceFile::Start start = TraceFile::begin();
    const HRESULT hr = invokeCall(id, lcid, flags, params, result, exception, argError);
    const win32::Bstr name = entryName(id);
    trace_->write(start, name ? win32::textOf(name.get()) : L"DISPID " + std::to_wstring(id), flags,
                  *params, result, hr, lastError_);
    return hr;
}

IClassFactory& kelmoClassFactory() noexcept {
    static win32::ClassFactory<KelmoObject> factory;
    return factory;
}

} // namespace kelmo::com
