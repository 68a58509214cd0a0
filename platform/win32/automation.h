// The platform's automation objects from C++: created by ProgID, called late-bound by member
// name through IDispatch, and handed back to scripts as the IDispatch behind them. A failed call
// raises KelmoError with the HRESULT as the number and the object's own description where it
// gives one.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <initializer_list>

#include "platform/win32/owned.h"

namespace kelmo::win32 {

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
