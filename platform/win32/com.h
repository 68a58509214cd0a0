// RAII for COM on Win32: ComPtr for interface pointers, Bstr, Variant, handles, and a small
// late-binding helper (call members of an IDispatch by name). Failures become KelmoError with
// the HRESULT as the number and the object's own description where it gives one.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "base/error.h"

namespace kelmo::win32 {

template <typename T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a new reference to p.
    static ComPtr share(T* p) {
        ComPtr result;
        result.p_ = p;
        if (p) p->AddRef();
        return result;
    }
    ComPtr(const ComPtr& other) : p_(other.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { reset(); }

    void reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out-parameters: releases what is held and hands out the slot.
    T** put() {
        reset();
        return &p_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    // Hands a new reference to the caller (for [out, retval] parameters).
    T* detachCopy() const {
        if (p_) p_->AddRef();
        return p_;
    }
    template <typename U> ComPtr<U> query(REFIID iid) const {
        ComPtr<U> result;
        if (p_) p_->QueryInterface(iid, result.putVoid());
        return result;
    }

private:
    T* p_ = nullptr;
};

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text)
        : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
        if (!b_) throw KelmoError(static_cast<std::int32_t>(E_OUTOFMEMORY), L"Out of memory");
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : b_(std::exchange(other.b_, nullptr)) {}
    ~Bstr() { SysFreeString(b_); }
    BSTR get() const { return b_; }
    BSTR detach() { return std::exchange(b_, nullptr); }
    static std::wstring toString(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : L""; }

private:
    BSTR b_ = nullptr;
};

class Variant {
public:
    Variant() { VariantInit(&v_); }
    explicit Variant(const std::wstring& text) : Variant() {
        Bstr b(text);
        v_.vt = VT_BSTR;
        v_.bstrVal = b.detach();
    }
    explicit Variant(long value) : Variant() {
        v_.vt = VT_I4;
        v_.lVal = value;
    }
    explicit Variant(bool value) : Variant() {
        v_.vt = VT_BOOL;
        v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    }
    Variant(const Variant& other) : Variant() { VariantCopy(&v_, const_cast<VARIANT*>(&other.v_)); }
    Variant& operator=(const Variant& other) {
        if (this != &other) {
            VariantClear(&v_);
            VariantCopy(&v_, const_cast<VARIANT*>(&other.v_));
        }
        return *this;
    }
    ~Variant() { VariantClear(&v_); }
    VARIANT* get() { return &v_; }
    const VARIANT* get() const { return &v_; }

    std::wstring asString() const;
    long asLong() const;
    bool asBool() const;
    ComPtr<IDispatch> asDispatch() const;

private:
    VARIANT v_;
};

// A Win32 HANDLE closed on destruction (null and INVALID_HANDLE_VALUE both mean none).
class Handle {
public:
    explicit Handle(HANDLE h = nullptr) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    ~Handle() {
        if (h_ && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ && h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

// An open registry key, closed on destruction.
class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() {
        if (key_) RegCloseKey(key_);
    }
    HKEY* put() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// The full path of a loaded module (a DLL or the program), however long it is.
std::wstring modulePath(HMODULE module);

// Raises a KelmoError for a failed HRESULT.
void throwIfFailed(HRESULT hr, const wchar_t* what);
// Raises a KelmoError for the calling thread's last Win32 error (GetLastError).
[[noreturn]] void throwLastError(const wchar_t* what);

// Creates an automation object by ProgID (CoCreateInstance, in-process or local server).
ComPtr<IDispatch> createObject(const wchar_t* progId);

// Late-bound calls by member name. Arguments are given in call order.
Variant invoke(IDispatch* object, const wchar_t* name, WORD flags,
               std::initializer_list<Variant> args = {});
inline Variant call(IDispatch* object, const wchar_t* name,
                    std::initializer_list<Variant> args = {}) {
    return invoke(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
}
inline Variant get(IDispatch* object, const wchar_t* name) {
    return invoke(object, name, DISPATCH_PROPERTYGET);
}
void put(IDispatch* object, const wchar_t* name, const Variant& value);
// The same by dispatch identifier, for members without a usable name (DISPID_NEWENUM).
Variant invokeById(IDispatch* object, DISPID member, WORD flags,
                   std::initializer_list<Variant> args = {});

// The IDispatch behind a platform automation object, for handing it to a script.
class Dispatchable {
public:
    virtual ~Dispatchable() = default;
    virtual IDispatch* dispatch() const = 0;
};

} // namespace kelmo::win32
