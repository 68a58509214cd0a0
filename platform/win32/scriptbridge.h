// The bridge between the platform's automation objects and the IDispatch pointers that scripts
// hold: the IDispatch behind an object made here, and a browser around an IE object a script
// hands in.
#pragma once

#include <memory>

#include "platform/services.h"
#include "platform/win32/owned.h"

namespace kelmo::win32 {

// The IDispatch behind a platform automation object made here (borrowed: no new reference),
// nullptr for an object that has none.
IDispatch* dispatchOf(const platform::AutomationObject& object); // objects.cpp

// A browser object around an existing IE automation object (for example one a script assigns).
std::shared_ptr<platform::Browser> wrapBrowser(ComPtr<IDispatch> browser); // webbrowser.cpp

} // namespace kelmo::win32
