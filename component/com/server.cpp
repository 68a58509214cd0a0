// The in-process server: DllMain, the exports DllGetClassObject and DllCanUnloadNow, and the
// self-registration (DllRegisterServer / DllUnregisterServer) from one table of keys. Every
// export runs guarded: no exception leaves the DLL.
#include "component/com/dispatch.h"

#include "platform/win32/implementations.h"
#include "platform/win32/module/guard.h"
#include "platform/win32/module/module.h"
#include "platform/win32/viewer.h"

#include <string>
#include <vector>

namespace {

std::wstring guidString(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// --- registration -------------------------------------------------------------------------

struct RegistryValue {
    std::wstring key;  // below HKEY_CLASSES_ROOT
    std::wstring name; // empty: the key's default value
    std::wstring data;
};

const wchar_t ProgId[] = L"Kelmo.CKelmo";
// Version 59.0. The type-library keys spell versions in hexadecimal, as LoadRegTypeLib and
// the automation marshaller read them; the class's VERSION value is for people to read.
const wchar_t TypeLibVersion[] = L"59.0";
const wchar_t TypeLibVersionKey[] = L"3b.0";
// The automation marshaller (PSOAInterface) serves dual interfaces from the type library.
const wchar_t AutomationProxy[] = L"{00020424-0000-0000-C000-000000000046}";

std::vector<RegistryValue> registrationEntries(const std::wstring& dllPath) {
    const std::wstring clsid = guidString(CLSID_CKelmo);
    // The type library's platform key names the build's pointer size.
    constexpr const wchar_t* TypeLibPlatform = sizeof(void*) == 8 ? L"win64" : L"win32";
    const std::wstring iid = guidString(IID__CKelmo);
    const std::wstring libid = guidString(LIBID_Kelmo);
    const std::wstring dir = dllPath.substr(0, dllPath.find_last_of(L'\\') + 1);
    const std::wstring cls = L"CLSID\\" + clsid;
    const std::wstring lib = L"TypeLib\\" + libid + L"\\" + TypeLibVersionKey;
    const std::wstring itf = L"Interface\\" + iid;
    return {
        {cls, L"", ProgId},
        {cls + L"\\InprocServer32", L"", dllPath},
        {cls + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {cls + L"\\ProgID", L"", ProgId},
        {cls + L"\\VERSION", L"", TypeLibVersion},
        {cls + L"\\TypeLib", L"", libid},
        {cls + L"\\Programmable", L"", L""},
        {ProgId, L"", ProgId},
        {std::wstring(ProgId) + L"\\CLSID", L"", clsid},
        {lib, L"", L"Kelmo"},
        {lib + L"\\0\\" + TypeLibPlatform, L"", dllPath},
        {lib + L"\\FLAGS", L"", L"0"},
        {lib + L"\\HELPDIR", L"", dir},
        {itf, L"", L"_CKelmo"},
        {itf + L"\\ProxyStubClsid", L"", AutomationProxy},
        {itf + L"\\ProxyStubClsid32", L"", AutomationProxy},
        {itf + L"\\TypeLib", L"", libid},
        {itf + L"\\TypeLib", L"Version", TypeLibVersionKey},
    };
}

// The keys registration creates, deepest owner first: removing them removes all it wrote.
std::vector<std::wstring> registrationRoots() {
    const std::wstring libid = guidString(LIBID_Kelmo);
    return {
        L"CLSID\\" + guidString(CLSID_CKelmo),
        ProgId,
        L"Interface\\" + guidString(IID__CKelmo),
        L"TypeLib\\" + libid + L"\\" + TypeLibVersionKey,
    };
}

HRESULT writeValue(const RegistryValue& entry) {
    kelmo::win32::RegistryKey key;
    LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, entry.key.c_str(), 0, nullptr, 0, KEY_WRITE,
                              nullptr, key.put(), nullptr);
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    const DWORD bytes = static_cast<DWORD>((entry.data.size() + 1) * sizeof(wchar_t));
    rc = RegSetValueExW(key.get(), entry.name.empty() ? nullptr : entry.name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(entry.data.c_str()), bytes);
    return HRESULT_FROM_WIN32(rc);
}

HRESULT deleteTree(const std::wstring& key) {
    const LONG rc = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) {
        RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
        return S_OK;
    }
    return HRESULT_FROM_WIN32(rc);
}

HRESULT unregister() {
    HRESULT result = S_OK;
    for (const auto& root : registrationRoots()) {
        const HRESULT hr = deleteTree(root);
        if (FAILED(hr)) result = hr;
    }
    // The library's own key goes only when no other version of it remains.
    RegDeleteKeyW(HKEY_CLASSES_ROOT, (L"TypeLib\\" + guidString(LIBID_Kelmo)).c_str());
    return result;
}

HRESULT registerServer() {
    const std::wstring path = kelmo::win32::thisModulePath();
    // Refuse to register a DLL whose type library cannot be read.
    kelmo::win32::ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put());
    if (FAILED(hr)) return hr;
    for (const auto& entry : registrationEntries(path)) {
        hr = writeValue(entry);
        if (FAILED(hr)) {
            unregister();
            return hr;
        }
    }
    return S_OK;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID processEnding) noexcept {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    // Unloaded by FreeLibrary. Nothing runs at process exit, where the system libraries these
    // would call may be gone already.
    if (reason == DLL_PROCESS_DETACH && !processEnding) {
        kelmo::win32::unregisterViewerClass();
        kelmo::win32::module::unloaded();
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != CLSID_CKelmo) return CLASS_E_CLASSNOTAVAILABLE;
    return kelmo::com::kelmoClassFactory().QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() noexcept {
    return kelmo::win32::module::canUnload() ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() noexcept {
    return kelmo::win32::guarded(L"DllRegisterServer", IID_NULL, registerServer);
}

STDAPI DllUnregisterServer() noexcept {
    return kelmo::win32::guarded(L"DllUnregisterServer", IID_NULL, unregister);
}
