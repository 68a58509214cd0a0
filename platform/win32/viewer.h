// The viewer's window class, the one class Kelmo.dll registers: a class outlives the DLL that
// registered it, so the DLL unregisters it when it is unloaded (viewer.cpp).
#pragma once

namespace kelmo::win32 {

void unregisterViewerClass();

} // namespace kelmo::win32
