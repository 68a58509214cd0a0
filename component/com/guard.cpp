// Exceptions as automation errors: what each kind of exception is reported as, and the error
// info handed to the caller.
#include "component/com/guard.h"

#include <exception>
#include <new>
#include <string>

#include "platform/win32/owned.h"

namespace kelmo::com {

namespace {

constexpr std::int32_t numberOf(HRESULT hr) {
    return static_cast<std::int32_t>(hr);
}

// The message of a standard exception (narrow text, taken as UTF-8).
std::wstring messageOf(const std::exception& exception) {
    const std::string text = exception.what() ? exception.what() : "";
    if (text.empty()) return L"";
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
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

} // namespace

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

HRESULT reportError(const KelmoError& error, REFIID iid) noexcept {
    win32::ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(create.put()))) {
        create->SetGUID(iid);
        create->SetSource(const_cast<LPOLESTR>(L"Kelmo"));
        create->SetDescription(const_cast<LPOLESTR>(error.description().c_str()));
        if (auto info = create.query<IErrorInfo>(IID_IErrorInfo)) SetErrorInfo(0, info.get());
    }
    return failureCode(error);
}

} // namespace kelmo::com
