// The guard every entry into this module's COM objects runs through (the automation object's
// members, the class factory, the server's exports, event sinks): no exception leaves the module.
// Whatever is thrown (KelmoError, std::bad_alloc, any std::exception, anything else) becomes a
// failed HRESULT with error info for the caller's thread (source "Kelmo", a description), and
// is written to the debugger's output as "Kelmo: <member>: error <number> (<HRESULT>):
// <description>", so that a debug viewer shows what failed where.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <optional>
#include <type_traits>

#include "base/error.h"

namespace kelmo::win32 {

// The error that the exception being handled stands for. Call only inside a catch block.
KelmoError currentError() noexcept;

// The HRESULT a client receives for an error: always a failure, also for an error whose number
// would read as success.
HRESULT failureCode(const KelmoError& error) noexcept;

// The run-time error that a failure of the platform's argument handling stands for (an argument
// that does not convert to its parameter's type, a wrong number of arguments, arguments for a
// property that holds no collection), as script languages number it; nothing for any other
// result.
std::optional<KelmoError> argumentError(HRESULT hr);

// Reports the failure of `member` to the client: sets error info (source "Kelmo", the
// description, the interface iid) for the calling thread, writes the failure to the debugger's
// output, and returns failureCode(error).
HRESULT reportError(const KelmoError& error, const wchar_t* member, REFIID iid) noexcept;

// Runs body, which returns nothing (S_OK then) or an HRESULT. An exception becomes the failure
// of `member`, reported for the interface iid; when `failure` is given, the error is also kept
// there (and emptied on success), for an IDispatch::Invoke to give it to its caller as
// EXCEPINFO.
template <typename Body>
HRESULT guarded(const wchar_t* member, REFIID iid, Body&& body,
                std::optional<KelmoError>* failure = nullptr) noexcept {
    if (failure) failure->reset();
    try {
        if constexpr (std::is_void_v<decltype(body())>) {
            body();
            return S_OK;
        } else {
            return body();
        }
    } catch (...) {
        KelmoError error = currentError();
        const HRESULT hr = reportError(error, member, iid);
        if (failure) *failure = std::move(error);
        return hr;
    }
}

} // namespace kelmo::win32
