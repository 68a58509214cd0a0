// The COM face of CKelmo: object creation for the class factory, and the count
// of live objects for DllCanUnloadNow.
#pragma once

#include "platform/win32/com.h"

#include "Kelmo_h.h" // generated from Kelmo.idl: _CKelmo, CLSID_CKelmo, IID__CKelmo, LIBID_Kelmo

namespace kelmo::com {

// Creates a new CKelmo object and returns its interface iid. The object's creation may fail
// (its file-system object cannot be had): the failure's HRESULT is returned, with error info.
HRESULT createKelmoObject(HMODULE module, REFIID iid, void** out);

long liveObjects();

} // namespace kelmo::com
