// The call trace's file and the rendering of automation values into it (see tracefile.h).
#include "component/com/tracefile.h"

#include "component/core/calltrace.h"
#include "platform/win32/codepages.h"

#include <cwchar>
#include <vector>

namespace kelmo::com {
namespace {

constexpr wchar_t TraceVariable[] = L"KELMO_TRACE";
constexpr wchar_t TraceKey[] = L"Software\\Kelmo";
constexpr wchar_t TraceValue[] = L"Trace";

std::wstring environmentText(const wchar_t* name) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size <= 1) return {};
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), size));
    return value;
}

// A REG_SZ or REG_EXPAND_SZ value of HKCU, expanded (asked for as REG_SZ: the system expands
// the other kind and then reports it as that).
std::wstring registryText(const wchar_t* key, const wchar_t* name) {
    DWORD bytes = 0;
    constexpr DWORD Types = RRF_RT_REG_SZ;
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, Types, nullptr, nullptr, &bytes) !=
        ERROR_SUCCESS)
        return {};
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, Types, nullptr, value.data(), &bytes) !=
        ERROR_SUCCESS)
        return {};
    value.resize(wcsnlen(value.c_str(), value.size()));
    return value;
}

std::wstring localTimeNow() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    wchar_t text[32];
    std::swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

// An automation value as a script would write it; "" for an omitted argument.
std::wstring rendered(const VARIANT& value) {
    win32::Variant plain;
    if (FAILED(VariantCopyInd(plain.get(), const_cast<VARIANT*>(&value)))) return L"[?]";
    VARIANT& v = *plain.get();
    if (v.vt & VT_ARRAY) return L"[array]";
    switch (v.vt) {
    case VT_EMPTY:
        return L"Empty";
    case VT_NULL:
        return L"Null";
    case VT_ERROR:
        return v.scode == DISP_E_PARAMNOTFOUND ? L"" : L"[error]";
    case VT_DISPATCH:
    case VT_UNKNOWN:
        return v.punkVal ? L"[object]" : L"Nothing";
    case VT_BOOL:
        return v.boolVal ? L"True" : L"False";
    case VT_BSTR:
        return trace::traceText(win32::textOf(v.bstrVal));
    default:
        break;
    }
    win32::Variant text;
    if (FAILED(VariantChangeTypeEx(text.get(), &v, LOCALE_INVARIANT, 0, VT_BSTR))) return L"[?]";
    return win32::textOf(text.get()->bstrVal);
}

trace::CallKind kindOf(WORD flags) {
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) return trace::CallKind::Put;
    if (flags & DISPATCH_METHOD) return trace::CallKind::Method;
    return trace::CallKind::Get;
}

} // namespace

std::unique_ptr<TraceFile> TraceFile::fromSettings() {
    std::wstring path = environmentText(TraceVariable);
    if (path.empty()) path = registryText(TraceKey, TraceValue);
    if (path.empty()) return nullptr;
    win32::Handle file(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        OutputDebugStringW((L"Kelmo: the trace file " + path + L" cannot be opened: error " +
                            std::to_wstring(GetLastError()) + L"\n")
                               .c_str());
        return nullptr;
    }
    return std::unique_ptr<TraceFile>(new TraceFile(std::move(file)));
}

TraceFile::Start TraceFile::begin() {
    return {localTimeNow(), std::chrono::steady_clock::now()};
}

void TraceFile::write(const Start& start, const std::wstring& member, WORD flags,
                      const DISPPARAMS& params, const VARIANT* result, HRESULT hr,
                      const std::optional<KelmoError>& error) noexcept try {
    trace::TracedCall call;
    call.time = start.time;
    call.member = member;
    call.kind = kindOf(flags);
    for (UINT i = params.cArgs; i-- > 0;)
        call.args.push_back(rendered(params.rgvarg[i]));
    call.failed = FAILED(hr);
    if (error)
        call.outcome = trace::traceError(error->number(), error->description());
    else if (call.failed)
        call.outcome = trace::traceError(static_cast<std::int32_t>(hr), L"");
    else if (result && result->vt != VT_EMPTY)
        call.outcome = rendered(*result);
    call.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start.clock)
                            .count();
    const std::string line = win32::narrowText(trace::traceLine(call), CP_UTF8);
    DWORD written = 0;
    WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
} catch (...) {
    // A trace line that cannot be made (no memory) is left out; the call's outcome stands.
}

} // namespace kelmo::com
