// KelmoObject: the COM object behind "Kelmo.CKelmo". It implements the dual interface _CKelmo
// by forwarding every entry to kelmo::CKelmo, IDispatch through the type library embedded in
// the DLL, and ISupportErrorInfo. This is the dispatch boundary: a KelmoError thrown by a
// member becomes an automation error here (error info, and EXCEPINFO for late-bound callers).
#include <initguid.h>

#include "component/com/dispatch.h"

#include "platform/win32/win32services.h"
#include "component/core/object.h"

#include <atomic>
#include <optional>

namespace kelmo::com {

namespace {

std::atomic<long> objectCount{0};
constexpr DISPID DispIdFldSetD = 0x6003001D;

std::wstring text(BSTR b) {
    return win32::Bstr::toString(b);
}
VARIANT_BOOL variantBool(bool value) {
    return value ? VARIANT_TRUE : VARIANT_FALSE;
}

HRESULT setErrorInfo(const KelmoError& error) {
    win32::ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(create.put()))) {
        create->SetGUID(IID__CKelmo);
        create->SetSource(const_cast<LPOLESTR>(L"Kelmo"));
        create->SetDescription(const_cast<LPOLESTR>(error.description().c_str()));
        if (auto info = create.query<IErrorInfo>(IID_IErrorInfo)) SetErrorInfo(0, info.get());
    }
    return static_cast<HRESULT>(automationScode(error.number()));
}

// A string argument of a variant: what a script passed, converted as VBScript would.
std::wstring variantText(const VARIANT& value) {
    win32::Variant converted;
    if (FAILED(VariantChangeType(converted.get(), const_cast<VARIANT*>(&value), VARIANT_ALPHABOOL,
                                 VT_BSTR)))
        errors::raise(errors::TypeMismatch);
    return text(converted.get()->bstrVal);
}

bool isMissing(const VARIANT& value) {
    return value.vt == VT_ERROR && value.scode == DISP_E_PARAMNOTFOUND;
}

} // namespace

class KelmoObject final : public _CKelmo, public ISupportErrorInfo {
public:
    KelmoObject(HMODULE module) : core_(services_.services()) {
        win32::ComPtr<ITypeLib> library;
        win32::throwIfFailed(
            LoadTypeLibEx(win32::modulePath(module).c_str(), REGKIND_NONE, library.put()),
            L"LoadTypeLibEx");
        win32::throwIfFailed(library->GetTypeInfoOfGuid(IID__CKelmo, typeInfo_.put()),
                             L"GetTypeInfoOfGuid");
        ++objectCount;
    }
    ~KelmoObject() { --objectCount; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__CKelmo)
            *out = static_cast<_CKelmo*>(this);
        else if (iid == IID_ISupportErrorInfo)
            *out = static_cast<ISupportErrorInfo*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const long left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
        return iid == IID__CKelmo ? S_OK : S_FALSE;
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        *out = typeInfo_.detachCopy();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        return DispGetIDsOfNames(typeInfo_.get(), names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override;

    // _CKelmo: the stored variables.
    HRESULT STDMETHODCALLTYPE get_Atom(LONG* v) override { return read(v, core_.Atom); }
    HRESULT STDMETHODCALLTYPE put_Atom(LONG v) override { return store(core_.Atom, v); }
    HRESULT STDMETHODCALLTYPE get_Mol1(LONG* v) override { return read(v, core_.Mol1); }
    HRESULT STDMETHODCALLTYPE put_Mol1(LONG v) override { return store(core_.Mol1, v); }
    HRESULT STDMETHODCALLTYPE get_Mol2(LONG* v) override { return read(v, core_.Mol2); }
    HRESULT STDMETHODCALLTYPE put_Mol2(LONG v) override { return store(core_.Mol2, v); }
    HRESULT STDMETHODCALLTYPE get_Speed(LONG* v) override { return read(v, core_.Speed); }
    HRESULT STDMETHODCALLTYPE put_Speed(LONG v) override { return store(core_.Speed, v); }
    HRESULT STDMETHODCALLTYPE get_ODflag(VARIANT_BOOL* v) override {
        return read(v, variantBool(core_.ODflag));
    }
    HRESULT STDMETHODCALLTYPE put_ODflag(VARIANT_BOOL v) override {
        core_.ODflag = v != VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Repeat(short* v) override { return read(v, core_.Repeat); }
    HRESULT STDMETHODCALLTYPE put_Repeat(short v) override { return store(core_.Repeat, v); }
    HRESULT STDMETHODCALLTYPE get_RestMax(LONG* v) override { return read(v, core_.RestMax); }
    HRESULT STDMETHODCALLTYPE put_RestMax(LONG v) override { return store(core_.RestMax, v); }
    HRESULT STDMETHODCALLTYPE get_IEC(IDispatch** v) override {
        return member([&] { *v = core_.IEC ? dispatchOut(core_.IEC) : nullptr; }, v);
    }
    HRESULT STDMETHODCALLTYPE putref_IEC(IDispatch* v) override {
        return member([&] {
            core_.IEC = v ? win32::wrapBrowser(win32::ComPtr<IDispatch>::share(v)) : nullptr;
        });
    }

    // _CKelmo: the members.
    HRESULT STDMETHODCALLTYPE get_Title(BSTR* v) override {
        return member([&] { *v = bstrOut(core_.Title()); }, v);
    }
    HRESULT STDMETHODCALLTYPE Mark(BSTR s, short* r) override {
        return member([&] { *r = core_.Mark(text(s)); }, r);
    }
    HRESULT STDMETHODCALLTYPE AdjustT(BSTR s, short* r) override {
        return member([&] { *r = core_.AdjustT(text(s)); }, r);
    }
    HRESULT STDMETHODCALLTYPE Break(BSTR s, short* r) override {
        return member([&] { *r = core_.Break(text(s)); }, r);
    }
    HRESULT STDMETHODCALLTYPE Sound(BSTR s) override {
        return member([&] { core_.Sound(text(s)); });
    }
    HRESULT STDMETHODCALLTYPE ODOff() override {
        return member([&] { core_.ODOff(); });
    }
    HRESULT STDMETHODCALLTYPE ODOn() override {
        return member([&] { core_.ODOn(); });
    }
    HRESULT STDMETHODCALLTYPE FldSet(BSTR s, BSTR* r) override {
        return member([&] { *r = bstrOut(core_.FldSet(text(s))); }, r);
    }
    HRESULT STDMETHODCALLTYPE FldSetD(SAFEARRAY** list, BSTR* r) override {
        return member([&] { *r = bstrOut(core_.FldSetD(patterns(list))); }, r);
    }
    HRESULT STDMETHODCALLTYPE FldCopy(BSTR s, BSTR d, BSTR* r) override {
        return member([&] { *r = bstrOut(core_.FldCopy(text(s), text(d))); }, r);
    }
    HRESULT STDMETHODCALLTYPE FldDelete(VARIANT s) override {
        return member([&] {
            core_.FldDelete(isMissing(s) ? std::nullopt
                                         : std::optional<std::wstring>(variantText(s)));
        });
    }
    HRESULT STDMETHODCALLTYPE Update() override {
        return member([&] { core_.Update(); });
    }
    HRESULT STDMETHODCALLTYPE get_FldFiles(IDispatch** v) override {
        return member([&] { *v = dispatchOut(core_.FldFiles()); }, v);
    }
    HRESULT STDMETHODCALLTYPE get_oShell(IDispatch** v) override {
        return member([&] { *v = dispatchOut(core_.oShell()); }, v);
    }
    HRESULT STDMETHODCALLTYPE get_oIE(IDispatch** v) override {
        return member([&] { *v = dispatchOut(core_.oIE()); }, v);
    }
    HRESULT STDMETHODCALLTYPE get_FS(IDispatch** v) override {
        return member([&] { *v = dispatchOut(core_.FS()); }, v);
    }
    HRESULT STDMETHODCALLTYPE get_AppNum(short* v) override {
        return member([&] { *v = core_.AppNum(); }, v);
    }
    HRESULT STDMETHODCALLTYPE get_DefFld(BSTR* v) override {
        return member([&] { *v = bstrOut(core_.DefFld()); }, v);
    }
    HRESULT STDMETHODCALLTYPE put_DefFld(BSTR v) override {
        return member([&] { core_.DefFld(text(v)); });
    }
    HRESULT STDMETHODCALLTYPE get_WinDrv(BSTR* v) override {
        return member([&] { *v = bstrOut(core_.WinDrv()); }, v);
    }
    HRESULT STDMETHODCALLTYPE get_AppCur(short* v) override {
        return member([&] { *v = core_.AppCur(); }, v);
    }
    HRESULT STDMETHODCALLTYPE put_AppCur(short v) override {
        return member([&] { core_.AppCur(v); });
    }
    HRESULT STDMETHODCALLTYPE FrmShow(BSTR path, short seconds) override {
        return member([&] { core_.FrmShow(text(path), seconds); });
    }
    HRESULT STDMETHODCALLTYPE AppShow(LONG show, short app, LONG* r) override {
        return member([&] { *r = core_.AppShow(show, app); }, r);
    }
    HRESULT STDMETHODCALLTYPE RestOld(LONG sec, VARIANT_BOOL wait) override {
        return member([&] { core_.RestOld(sec, wait != VARIANT_FALSE); });
    }
    HRESULT STDMETHODCALLTYPE Rest(LONG sec, VARIANT_BOOL wait) override {
        return member([&] { core_.Rest(sec, wait != VARIANT_FALSE); });
    }
    HRESULT STDMETHODCALLTYPE IEver(float* r) override {
        return member([&] { *r = core_.IEver(); }, r);
    }
    HRESULT STDMETHODCALLTYPE IEtab(short* r) override {
        return member([&] { *r = core_.IEtab(); }, r);
    }
    HRESULT STDMETHODCALLTYPE IE(BSTR url, LONG show, short* r) override {
        return member([&] { *r = core_.IE(text(url), show); }, r);
    }
    HRESULT STDMETHODCALLTYPE Exec(BSTR s, LONG show, short* r) override {
        return member([&] { *r = core_.Exec(text(s), show); }, r);
    }
    HRESULT STDMETHODCALLTYPE Run(BSTR s, short style, short* r) override {
        return member([&] { *r = core_.Run(text(s), style); }, r);
    }
    HRESULT STDMETHODCALLTYPE Send(BSTR s) override {
        return member([&] { core_.Send(text(s)); });
    }
    HRESULT STDMETHODCALLTYPE Pass(BSTR s, short enters) override {
        return member([&] { core_.Pass(text(s), enters); });
    }
    HRESULT STDMETHODCALLTYPE PassF(BSTR s, short enters) override {
        return member([&] { core_.PassF(text(s), enters); });
    }
    HRESULT STDMETHODCALLTYPE Popup(BSTR s, LONG secs, BSTR title, LONG type, short* r) override {
        return member([&] { *r = core_.Popup(text(s), secs, text(title), type); }, r);
    }
    HRESULT STDMETHODCALLTYPE Popup2(BSTR s, LONG secs, short button, short* r) override {
        return member([&] { *r = core_.Popup2(text(s), secs, button); }, r);
    }
    HRESULT STDMETHODCALLTYPE Popup3(BSTR s, LONG secs, short button, short* r) override {
        return member([&] { *r = core_.Popup3(text(s), secs, button); }, r);
    }

private:
    template <typename T, typename V> static HRESULT read(T* out, V value) {
        if (!out) return E_POINTER;
        *out = static_cast<T>(value);
        return S_OK;
    }
    template <typename T, typename V> static HRESULT store(T& field, V value) {
        field = static_cast<T>(value);
        return S_OK;
    }

    // Runs one member; a KelmoError becomes the automation error of this call.
    template <typename Body> HRESULT member(Body&& body) { return member(body, this); }
    template <typename Body> HRESULT member(Body&& body, const void* out) {
        if (!out) return E_POINTER;
        lastError_.reset();
        try {
            body();
            return S_OK;
        } catch (const KelmoError& error) {
            lastError_ = error;
            return setErrorInfo(error);
        } catch (const std::bad_alloc&) {
            lastError_ = KelmoError(static_cast<std::int32_t>(E_OUTOFMEMORY), L"Out of memory");
            return setErrorInfo(*lastError_);
        }
    }

    static BSTR bstrOut(const std::wstring& value) { return win32::Bstr(value).detach(); }

    static IDispatch* dispatchOut(const std::shared_ptr<platform::AutomationObject>& object) {
        IDispatch* dispatch = object ? win32::dispatchOf(*object) : nullptr;
        if (dispatch) dispatch->AddRef();
        return dispatch;
    }

    static std::vector<std::wstring> patterns(SAFEARRAY** list) {
        std::vector<std::wstring> result;
        if (!list || !*list) return result;
        LONG low = 0, high = -1;
        SafeArrayGetLBound(*list, 1, &low);
        SafeArrayGetUBound(*list, 1, &high);
        for (LONG i = low; i <= high; ++i) {
            win32::Variant element;
            win32::throwIfFailed(SafeArrayGetElement(*list, &i, element.get()), L"SafeArray");
            result.push_back(variantText(*element.get()));
        }
        return result;
    }

    HRESULT invokeFldSetD(DISPPARAMS* params, VARIANT* result);
    void fillException(EXCEPINFO* exception) const;

    std::atomic<long> refs_{1};
    win32::Win32Services services_;
    CKelmo core_;
    win32::ComPtr<ITypeInfo> typeInfo_;
    std::optional<KelmoError> lastError_;
};

// FldSetD takes a parameter array. Not every automation runtime's ITypeInfo::Invoke accepts
// any number of arguments for one, so the arguments are gathered here (they arrive last
// first) into the SAFEARRAY of VARIANT that the member expects.
HRESULT KelmoObject::invokeFldSetD(DISPPARAMS* params, VARIANT* result) {
    if (params->cNamedArgs > 0) return DISP_E_NONAMEDARGS;
    SAFEARRAY* list = SafeArrayCreateVector(VT_VARIANT, 0, params->cArgs);
    if (!list) return E_OUTOFMEMORY;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < params->cArgs && SUCCEEDED(hr); ++i) {
        LONG index = static_cast<LONG>(i);
        VARIANT* arg = &params->rgvarg[params->cArgs - 1 - i];
        win32::Variant value;
        hr = VariantCopyInd(value.get(), arg);
        if (SUCCEEDED(hr)) hr = SafeArrayPutElement(list, &index, value.get());
    }
    BSTR text = nullptr;
    if (SUCCEEDED(hr)) hr = FldSetD(&list, &text);
    SafeArrayDestroy(list);
    if (SUCCEEDED(hr) && result) {
        VariantInit(result);
        result->vt = VT_BSTR;
        result->bstrVal = text;
    } else {
        SysFreeString(text);
    }
    return hr;
}

void KelmoObject::fillException(EXCEPINFO* exception) const {
    if (!exception || !lastError_) return;
    SysFreeString(exception->bstrSource);
    SysFreeString(exception->bstrDescription);
    SysFreeString(exception->bstrHelpFile);
    *exception = EXCEPINFO{};
    exception->bstrSource = SysAllocString(L"Kelmo");
    exception->bstrDescription = SysAllocString(lastError_->description().c_str());
    exception->scode = static_cast<SCODE>(automationScode(lastError_->number()));
}

HRESULT STDMETHODCALLTYPE KelmoObject::Invoke(DISPID id, REFIID, LCID, WORD flags,
                                              DISPPARAMS* params, VARIANT* result,
                                              EXCEPINFO* exception, UINT* argError) {
    if (!params) return E_INVALIDARG;
    lastError_.reset();
    HRESULT hr;
    if (id == DispIdFldSetD && (flags & DISPATCH_METHOD))
        hr = invokeFldSetD(params, result);
    else
        hr = DispInvoke(static_cast<_CKelmo*>(this), typeInfo_.get(), id, flags, params, result,
                        exception, argError);
    if (FAILED(hr) && lastError_) {
        fillException(exception);
        return DISP_E_EXCEPTION;
    }
    return hr;
}

HRESULT createKelmoObject(HMODULE module, REFIID iid, void** out) {
    KelmoObject* object = nullptr;
    try {
        object = new KelmoObject(module);
    } catch (const KelmoError& error) {
        return setErrorInfo(error);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

long liveObjects() {
    return objectCount;
}

} // namespace kelmo::com
