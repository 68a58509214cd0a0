// What the Win32 layer owns, each freed by its owner's destructor: Owned<H, Free> for a handle
// with one free function (kernel handles, global memory, registry keys, SAFEARRAYs, BSTRs, GDI
// objects, metafiles, the screen's device context), ComPtr for interface pointers (reference
// counted) and Variant for a VARIANT.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

namespace kelmo::win32 {

template <typename H> constexpr bool isNonNull(H handle) noexcept {
    return handle != H{};
}

// A handle of type H, freed by Free when the owner lets go of it. IsSet tells a handle from
// "none" (by default: not null). Move-only.
template <typename H, auto Free, auto IsSet = isNonNull<H>> class Owned {
public:
    Owned() noexcept = default;
    explicit Owned(H handle) noexcept : handle_(handle) {}
    Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, H{})) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, H{}));
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { reset(); }

    H get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return IsSet(handle_); }
    // For out-parameters: frees what is held and hands out the slot.
    H* put() noexcept {
        reset();
        return &handle_;
    }
    // Gives the handle to a new owner.
    [[nodiscard]] H release() noexcept { return std::exchange(handle_, H{}); }
    void reset(H handle = H{}) noexcept {
        const H old = std::exchange(handle_, handle);
        if (IsSet(old)) Free(old);
    }

private:
    H handle_{};
};

namespace owned {
inline bool isOpenHandle(HANDLE handle) noexcept {
    return handle && handle != INVALID_HANDLE_VALUE;
}
inline void closeHandle(HANDLE handle) noexcept {
    CloseHandle(handle);
}
inline void closeSearch(HANDLE search) noexcept {
    FindClose(search);
}
inline void freeGlobal(HGLOBAL memory) noexcept {
    GlobalFree(memory);
}
inline void closeRegistryKey(HKEY key) noexcept {
    RegCloseKey(key);
}
inline void destroySafeArray(SAFEARRAY* array) noexcept {
    SafeArrayDestroy(array);
}
inline void freeString(BSTR text) noexcept {
    SysFreeString(text);
}
inline void deleteGdiObject(HGDIOBJ object) noexcept {
    DeleteObject(object);
}
inline void deleteEnhMetaFile(HENHMETAFILE file) noexcept {
    DeleteEnhMetaFile(file);
}
inline void deleteMetaFile(HMETAFILE file) noexcept {
    DeleteMetaFile(file);
}
inline void releaseScreenDc(HDC dc) noexcept {
    ReleaseDC(nullptr, dc);
}
} // namespace owned

// A kernel handle: null and INVALID_HANDLE_VALUE both mean none.
using Handle = Owned<HANDLE, owned::closeHandle, owned::isOpenHandle>;
using Search = Owned<HANDLE, owned::closeSearch, owned::isOpenHandle>; // FindFirstFile
using GlobalMemory = Owned<HGLOBAL, owned::freeGlobal>;
using RegistryKey = Owned<HKEY, owned::closeRegistryKey>;
using SafeArray = Owned<SAFEARRAY*, owned::destroySafeArray>;
using Bstr = Owned<BSTR, owned::freeString>;
template <typename H> using GdiObject = Owned<H, owned::deleteGdiObject>; // fonts, bitmaps ...
using Font = GdiObject<HFONT>;
using EnhMetaFile = Owned<HENHMETAFILE, owned::deleteEnhMetaFile>;
using MetaFile = Owned<HMETAFILE, owned::deleteMetaFile>;
using ScreenDc = Owned<HDC, owned::releaseScreenDc>; // GetDC(nullptr)

// A new BSTR holding text; raises "Out of memory" when none can be had.
Bstr makeBstr(std::wstring_view text);
// The text of a BSTR (a null BSTR is the empty string).
inline std::wstring textOf(BSTR text) {
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

template <typename T> class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference to p.
    static ComPtr share(T* p) noexcept {
        if (p) p->AddRef();
        return adopt(p);
    }
    // Takes over the reference the caller holds to p.
    static ComPtr adopt(T* p) noexcept {
        ComPtr result;
        result.p_ = p;
        return result;
    }
    ComPtr(const ComPtr& other) noexcept : p_(other.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { reset(); }

    void reset() noexcept {
        if (p_) std::exchange(p_, nullptr)->Release();
    }
    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    // For out-parameters: releases what is held and hands out the slot.
    T** put() noexcept {
        reset();
        return &p_;
    }
    void** putVoid() noexcept { return reinterpret_cast<void**>(put()); }
    // Hands the reference held to the caller (for [out, retval] parameters).
    [[nodiscard]] T* release() noexcept { return std::exchange(p_, nullptr); }
    // Hands a new reference to the caller.
    T* detachCopy() const noexcept {
        if (p_) p_->AddRef();
        return p_;
    }
    template <typename U> ComPtr<U> query(REFIID iid) const noexcept {
        ComPtr<U> result;
        if (p_) p_->QueryInterface(iid, result.putVoid());
        return result;
    }

private:
    T* p_ = nullptr;
};

class Variant {
public:
    Variant() noexcept { VariantInit(&v_); }
    explicit Variant(const std::wstring& text) : Variant() {
        Bstr b = makeBstr(text);
        v_.vt = VT_BSTR;
        v_.bstrVal = b.release();
    }
    explicit Variant(long value) noexcept : Variant() {
        v_.vt = VT_I4;
        v_.lVal = value;
    }
    explicit Variant(bool value) noexcept : Variant() {
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
    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    // Hands the value to the caller, who clears it (for [out] VARIANTs).
    VARIANT release() noexcept {
        VARIANT value = v_;
        VariantInit(&v_);
        return value;
    }

    std::wstring asString() const;
    long asLong() const;
    bool asBool() const;
    ComPtr<IDispatch> asDispatch() const;

private:
    VARIANT v_;
};

// The strings an EXCEPINFO holds, freed; the structure is left empty.
inline void clearExceptionInfo(EXCEPINFO& info) noexcept {
    Bstr source(info.bstrSource), description(info.bstrDescription), help(info.bstrHelpFile);
    info = EXCEPINFO{};
}

} // namespace kelmo::win32
