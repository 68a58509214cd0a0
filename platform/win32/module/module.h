// The module this code is linked into (Kelmo.dll, or a program built on the platform layer): its
// handle, its count of live COM objects and server locks, and the type library it carries.
// The COM objects of the module (comobject.h), its class factories (classfactory.h) and the guard
// their entries run through (guard.h) live beside it.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "platform/win32/owned.h"

namespace kelmo::win32 {

// The module (the DLL or the program) that holds this code.
HMODULE thisModule() noexcept;
// Its full path, however long.
std::wstring thisModulePath();

namespace module {

// Server locks (IClassFactory::LockServer).
void lock() noexcept;
void unlock() noexcept;
// Kept by ComObject: one more, or one less, live object.
void objectCreated() noexcept;
void objectDestroyed() noexcept;
// No live object and no lock: the module may be unloaded (DllCanUnloadNow).
bool canUnload() noexcept;

// The type information of `iid` from the type library embedded in this module. The library is
// loaded on first use and shared by every object and thread until the module is unloaded; a
// failed load raises KelmoError and is tried again next time.
ComPtr<ITypeInfo> typeInfo(REFIID iid);

// The module is being unloaded by FreeLibrary (DllMain's DLL_PROCESS_DETACH without the process
// ending): releases the type library. Never called at process exit, where the libraries this
// would call may be gone already; the process takes everything with it then.
void unloaded() noexcept;

} // namespace module
} // namespace kelmo::win32
