// Failures of Win32 and COM calls as KelmoError, described with the system's own text.
#include "platform/win32/failures.h"

namespace kelmo::win32 {

namespace {

// The system's text for an HRESULT, without the trailing line break; "" when it has none.
std::wstring systemMessage(HRESULT hr) {
    wchar_t buffer[512] = {};
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(hr), 0, buffer, 512, nullptr);
    std::wstring text(buffer, length);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

} // namespace

std::int32_t scriptNumber(HRESULT hr) {
    if (HRESULT_SEVERITY(hr) == SEVERITY_ERROR && HRESULT_FACILITY(hr) == FACILITY_CONTROL)
        return static_cast<std::int32_t>(HRESULT_CODE(hr));
    return static_cast<std::int32_t>(hr);
}

KelmoError failureOf(HRESULT hr, const std::wstring& what) {
    const std::int32_t number = scriptNumber(hr);
    std::wstring text = number != static_cast<std::int32_t>(hr)
                            ? errors::standardDescription(number)
                            : systemMessage(hr);
    if (text.empty()) text = errors::standardDescription(number);
    return KelmoError(number, what.empty() ? text : what + L": " + text);
}

void throwIfFailed(HRESULT hr, const wchar_t* what) {
    if (FAILED(hr)) throw failureOf(hr, what ? what : L"");
}

void throwLastError(const wchar_t* what) {
    const DWORD code = GetLastError();
    throw failureOf(code != 0 ? HRESULT_FROM_WIN32(code) : E_FAIL, what ? what : L"");
}

} // namespace kelmo::win32
