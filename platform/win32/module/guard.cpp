// Exceptions as automation errors: what each kind of exception is reported as, the error info
// handed to the caller, and the line written to the debugger's output.
#include "platform/win32/module/guard.h"

#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "platform/win32/codepages.h"
#include "platform/win32/owned.h"

namespace kelmo::win32 {

namespace {

constexpr std::int32_t numberOf(HRESULT hr) {
    return static_cast<std::int32_t>(hr);
}

// The message of a standard exception (narrow text, taken as UTF-8).
std::wstring messageOf(const std::exception& exception) {
    return wideText(exception.what() ? exception.what() : "", CP_UTF8);
}

KelmoError errorOfCurrentException() {
    try {
        throw;
    } catch (const KelmoError& error) {
        return error;
    } catch (const std::bad_alloc&) {
        return KelmoError(numberOf(E_OUTOFMEMORY), L"Out of memory");
    } catch (const std::exception& exception) {
        const std::wstring message = messageOf(exception);
        return KelmoError(numberOf(E_FAIL),
                          L"Internal error in Kelmo" + (message.empty() ? L"" : L": " + message));
    } catch (...) {
        return KelmoError(numberOf(E_FAIL), L"Internal error in Kelmo: unknown exception");
    }
}

// What DispInvoke reports when it cannot pass the arguments on, and the numbers and texts
// script languages give these failures.
struct ArgumentFailure {
    HRESULT hr;
    std::int32_t number;
    const wchar_t* description; // null: the number's standard description
};
constexpr ArgumentFailure ArgumentFailures[] = {
    {DISP_E_TYPEMISMATCH, errors::TypeMismatch, nullptr},
    {DISP_E_BADVARTYPE, errors::TypeMismatch, nullptr},
    {DISP_E_OVERFLOW, errors::Overflow, nullptr},
    {DISP_E_NONAMEDARGS, 446, L"Object doesn't support named arguments"},
    {DISP_E_PARAMNOTFOUND, 448, L"Named argument not found"},
    {DISP_E_PARAMNOTOPTIONAL, 449, L"Argument not optional"},
    {DISP_E_BADPARAMCOUNT, 450, L"Wrong number of arguments or invalid property assignment"},
    {DISP_E_NOTACOLLECTION, 451, L"Object not a collection"},
};

// "Kelmo: <member>: error <number> (0x<HRESULT>): <description>" to the debugger's output.
// Written only for a failure, so it costs nothing otherwise; lost when even that has no memory.
void writeDebugLine(const KelmoError& error, const wchar_t* member, HRESULT hr) noexcept {
    try {
        wchar_t number[48];
        std::swprintf(number, std::size(number), L": error %ld (0x%08lX): ",
                      static_cast<long>(error.number()), static_cast<unsigned long>(hr));
        const std::wstring line = std::wstring(L"Kelmo: ") + (member ? member : L"?") + number +
                                  error.description() + L"\n";
        OutputDebugStringW(line.c_str());
    } catch (...) {
    }
}

} // namespace

std::optional<KelmoError> argumentError(HRESULT hr) {
    for (const ArgumentFailure& failure : ArgumentFailures)
        if (failure.hr == hr)
            return KelmoError(failure.number, failure.description
                                                  ? failure.description
                                                  : errors::standardDescription(failure.number));
    return std::nullopt;
}

KelmoError currentError() noexcept {
    try {
        return errorOfCurrentException();
    } catch (...) {
        // No memory even for the description: the number alone.
        return KelmoError(numberOf(E_OUTOFMEMORY), std::wstring());
    }
}

HRESULT failureCode(const KelmoError& error) noexcept {
    const auto hr = static_cast<HRESULT>(automationScode(error.number()));
    return FAILED(hr) ? hr : E_FAIL;
}

HRESULT reportError(const KelmoError& error, const wchar_t* member, REFIID iid) noexcept {
    win32::ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(create.put()))) {
        create->SetGUID(iid);
        create->SetSource(const_cast<LPOLESTR>(L"Kelmo"));
        create->SetDescription(const_cast<LPOLESTR>(error.description().c_str()));
        if (auto info = create.query<IErrorInfo>(IID_IErrorInfo)) SetErrorInfo(0, info.get());
    }
    const HRESULT hr = failureCode(error);
    writeDebugLine(error, member, hr);
    return hr;
}

} // namespace kelmo::win32
