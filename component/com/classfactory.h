// ClassFactory<T>: the class factory of a creatable COM class T (a ComObject with a default
// constructor). It is a static object: its references do not keep the module loaded, its
// LockServer does. Creation runs guarded: a constructor's exception becomes the failure of
// CreateInstance, with error info.
#pragma once

#include "component/com/guard.h"
#include "platform/win32/comobject.h"

namespace kelmo::com {

template <typename T>
class ClassFactory final
    : public win32::ComObject<win32::Lifetime::Static,
                              win32::Implements<IClassFactory, IID_IClassFactory>,
                              win32::Implements<ISupportErrorInfo, IID_ISupportErrorInfo>> {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid,
                                             void** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return guarded(IID_IClassFactory,
                       [&] { return win32::makeComObject<T>()->QueryInterface(iid, out); });
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override {
        lock ? win32::module::lock() : win32::module::unlock();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) noexcept override {
        return iid == IID_IClassFactory ? S_OK : S_FALSE;
    }
};

} // namespace kelmo::com
