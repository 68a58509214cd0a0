// The COM face of CKelmo: its class factory, and the module it lives in.
#pragma once

#include "platform/win32/com.h"

// Generated from Kelmo.idl: _CKelmo, CLSID_CKelmo, IID__CKelmo, LIBID_Kelmo. The generator gives
// FldDelete's optional string its default as a C++ default argument, a string literal.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wwrite-strings"
#include "Kelmo_h.h"
#pragma GCC diagnostic pop

namespace kelmo::com {

// The class factory of CKelmo: one static object, alive as long as the module. Each
// CreateInstance makes a new object; a failed creation returns its HRESULT with error info.
IClassFactory& kelmoClassFactory() noexcept;

// This DLL, as DllMain received it (server.cpp).
HMODULE thisModule() noexcept;

} // namespace kelmo::com
