// ClassFactory<T>: the class factory of a creatable COM class T of this module (a ComObject with
// a default constructor). It is a static object: its references do not keep the module loaded,
// its LockServer does. Creation runs guarded: a constructor's exception becomes the failure of
// CreateInstance, with error info.
#pragma once

#include "platform/win32/module/comobject.h"
#include "platform/win32/module/guard.h"

namespace kelmo::win32 {

template <typename T>
class ClassFactory final
    : public ComObject<Lifetime::Static, Implements<IClassFactory, IID_IClassFactory>,
                       Implements<ISupportErrorInfo, IID_ISupportErrorInfo>> {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid,
                                             void** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return guarded(L"CreateInstance", IID_IClassFactory,
                       [&] { return makeComObject<T>()->QueryInterface(iid, out); });
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override {
        lock ? module::lock() : module::unlock();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) noexcept override {
        return iid == IID_IClassFactory ? S_OK : S_FALSE;
    }
};

} // namespace kelmo::win32
