// The COM face of CKelmo: the class factory of the automation object, and the interface
// generated from Kelmo.idl that it implements.
#pragma once

#include <windows.h>
#include <oleauto.h>

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

} // namespace kelmo::com
