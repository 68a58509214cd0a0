// COM on Win32: HRESULT failures as KelmoError, object creation by ProgID, and late-bound calls
// of an IDispatch's members by name. Failures become KelmoError with the HRESULT as the number
// and the object's own description where it gives one. The owners (ComPtr, Variant, Bstr ...)
// are in owned.h.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <initializer_list>
#include <string>

#include "base/error.h"
#include "platform/win32/owned.h"

namespace kelmo::win32 {

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
