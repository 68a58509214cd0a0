// ComObject: IUnknown for the COM objects this module implements (the automation object, its
// class factory, event sinks, enumerators): QueryInterface over a list of interfaces, and the
// object's lifetime, either by reference count (counted among the module's live objects
// meanwhile) or for as long as the module is loaded.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <memory>
#include <tuple>
#include <utility>

#include "platform/win32/module/module.h"
#include "platform/win32/owned.h"

namespace kelmo::win32 {

// One interface a COM object implements, and every interface id QueryInterface answers with
// it: its own and those of the interfaces it extends, e.g. Implements<_CKelmo, IID__CKelmo,
// IID_IDispatch> for a dual interface, or Implements<IDispatch, DIID_Events> for an event sink.
template <typename I, const IID&... Ids> struct Implements {
    using Interface = I;
    static bool answers(REFIID iid) noexcept { return ((iid == Ids) || ...); }
};

// How long an object lives: until its last reference is released (counted as a live object of
// the module meanwhile), or as long as the module (a static object such as a class factory).
enum class Lifetime { Counted, Static };

template <Lifetime L, typename... Entries> class ComObject : public Entries::Interface... {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        *out = interfaceFor(iid);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override {
        if constexpr (L == Lifetime::Static)
            return 2;
        else
            return static_cast<ULONG>(++references_);
    }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        if constexpr (L == Lifetime::Static) {
            return 1;
        } else {
            const long left = --references_;
            if (left == 0) delete this;
            return static_cast<ULONG>(left);
        }
    }

protected:
    ComObject() noexcept {
        if constexpr (L == Lifetime::Counted) module::objectCreated();
    }
    virtual ~ComObject() {
        if constexpr (L == Lifetime::Counted) module::objectDestroyed();
    }

private:
    using First = typename std::tuple_element_t<0, std::tuple<Entries...>>::Interface;

    void* interfaceFor(REFIID iid) noexcept {
        if (iid == IID_IUnknown) return static_cast<IUnknown*>(static_cast<First*>(this));
        void* found = nullptr;
        static_cast<void>(((Entries::answers(iid) &&
                            (found = static_cast<typename Entries::Interface*>(this), true)) ||
                           ...));
        return found;
    }

    std::atomic<long> references_{1};
};

// A new reference-counted object: its only reference, held by the ComPtr. The constructor's
// exception, if any, reaches the caller and nothing is left behind.
template <typename T, typename... Args> ComPtr<T> makeComObject(Args&&... args) {
    return ComPtr<T>::adopt(std::make_unique<T>(std::forward<Args>(args)...).release());
}

} // namespace kelmo::win32
