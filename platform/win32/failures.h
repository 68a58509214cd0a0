// Failures of Win32 and COM calls as KelmoError: the HRESULT (or the thread's last error) as the
// number a script sees, and the system's text for it after what failed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/error.h"

namespace kelmo::win32 {

// The error number a script sees for an HRESULT: the run-time error number for the
// 0x800Axxxx range, the HRESULT itself otherwise.
std::int32_t scriptNumber(HRESULT hr);

// The error of a failed HRESULT: its script number, and "what: " followed by the system's text
// for it (or the number's standard description).
KelmoError failureOf(HRESULT hr, const std::wstring& what);

// Raises failureOf(hr, what) for a failed HRESULT.
void throwIfFailed(HRESULT hr, const wchar_t* what);
// Raises a KelmoError for the calling thread's last Win32 error (GetLastError).
[[noreturn]] void throwLastError(const wchar_t* what);

} // namespace kelmo::win32
