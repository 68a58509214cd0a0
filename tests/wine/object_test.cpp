// The registered component through a C++ late-bound client: the interface contract as the type
// library and GetIDsOfNames publish it, the defaults, the error convention, the parameter
// array, unloading, and that creating and releasing many objects leaks nothing.
#include "fixture.h"
#include "recorder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using kelmo::test::Arg;
using kelmo::test::fastPacing;
using kelmo::test::LateBound;

namespace {

constexpr SCODE Scode(int number) {
    return static_cast<SCODE>(0x800A0000u + number);
}

struct Param {
    const wchar_t* name;
    VARTYPE type;
    bool optional;
    const wchar_t* defaultValue; // nullptr: none
};

struct Entry {
    const wchar_t* name;
    INVOKEKIND kind;
    DISPID id;
    std::vector<Param> params;
    VARTYPE result; // VT_EMPTY: none
};

constexpr INVOKEKIND Get = INVOKE_PROPERTYGET, Put = INVOKE_PROPERTYPUT,
                     PutRef = INVOKE_PROPERTYPUTREF, Method = INVOKE_FUNC;

// The 53 entries of _CKelmo in interface order.
const std::vector<Entry>& contract() {
    static const std::vector<Entry> entries = {
        {L"Atom", Get, 0x40030010, {}, VT_I4},
        {L"Atom", Put, 0x40030010, {{L"Atom", VT_I4, false, nullptr}}, VT_EMPTY},
        {L"Mol1", Get, 0x40030012, {}, VT_I4},
        {L"Mol1", Put, 0x40030012, {{L"Mol1", VT_I4, false, nullptr}}, VT_EMPTY},
        {L"Mol2", Get, 0x40030013, {}, VT_I4},
        {L"Mol2", Put, 0x40030013, {{L"Mol2", VT_I4, false, nullptr}}, VT_EMPTY},
        {L"Speed", Get, 0x40030014, {}, VT_I4},
        {L"Speed", Put, 0x40030014, {{L"Speed", VT_I4, false, nullptr}}, VT_EMPTY},
        {L"ODflag", Get, 0x40030015, {}, VT_BOOL},
        {L"ODflag", Put, 0x40030015, {{L"ODflag", VT_BOOL, false, nullptr}}, VT_EMPTY},
        {L"Repeat", Get, 0x40030016, {}, VT_I2},
        {L"Repeat", Put, 0x40030016, {{L"Repeat", VT_I2, false, nullptr}}, VT_EMPTY},
        {L"RestMax", Get, 0x40030019, {}, VT_I4},
        {L"RestMax", Put, 0x40030019, {{L"RestMax", VT_I4, false, nullptr}}, VT_EMPTY},
        {L"IEC", Get, 0x40030023, {}, VT_DISPATCH},
        {L"IEC", PutRef, 0x40030023, {{L"IEC", VT_DISPATCH, false, nullptr}}, VT_EMPTY},
        {L"Title", Get, 0x68030008, {}, VT_BSTR},
        {L"Mark", Method, 0x6003000B, {{L"strText", VT_BSTR, true, L""}}, VT_I2},
        {L"AdjustT", Method, 0x6003000D, {{L"strText", VT_BSTR, false, nullptr}}, VT_I2},
        {L"Break", Method, 0x6003000E, {{L"strText", VT_BSTR, true, L""}}, VT_I2},
        {L"Sound", Method, 0x60030013, {{L"strSnd", VT_BSTR, false, nullptr}}, VT_EMPTY},
        {L"ODOff", Method, 0x6003001A, {}, VT_EMPTY},
        {L"ODOn", Method, 0x6003001B, {}, VT_EMPTY},
        {L"FldSet", Method, 0x6003001C, {{L"strSPath", VT_BSTR, true, L"?"}}, VT_BSTR},
        {L"FldSetD", Method, 0x6003001D, {{L"strWC", VT_PTR, false, nullptr}}, VT_BSTR},
        {L"FldCopy",
         Method,
         0x6003001E,
         {{L"strSPath", VT_BSTR, true, L"?"}, {L"strDPath", VT_BSTR, true, L"?"}},
         VT_BSTR},
        {L"FldDelete", Method, 0x6003001F, {{L"strSPath", VT_VARIANT, true, nullptr}}, VT_EMPTY},
        {L"Update", Method, 0x60030020, {}, VT_EMPTY},
        {L"FldFiles", Get, 0x68030007, {}, VT_DISPATCH},
        {L"oShell", Get, 0x68030006, {}, VT_DISPATCH},
        {L"oIE", Get, 0x68030005, {}, VT_DISPATCH},
        {L"FS", Get, 0x68030004, {}, VT_DISPATCH},
        {L"AppNum", Get, 0x68030003, {}, VT_I2},
        {L"DefFld", Get, 0x68030002, {}, VT_BSTR},
        {L"DefFld", Put, 0x68030002, {{L"DefFld", VT_BSTR, false, nullptr}}, VT_EMPTY},
        {L"WinDrv", Get, 0x68030001, {}, VT_BSTR},
        {L"AppCur", Get, 0x68030000, {}, VT_I2},
        {L"AppCur", Put, 0x68030000, {{L"AppCur", VT_I2, false, nullptr}}, VT_EMPTY},
        {L"FrmShow",
         Method,
         0x60030021,
         {{L"strPath", VT_BSTR, false, nullptr}, {L"nSec", VT_I2, true, L"4"}},
         VT_EMPTY},
        {L"AppShow",
         Method,
         0x60030022,
         {{L"nCmdShow", VT_I4, true, L"1"}, {L"AppWnd", VT_I2, true, L"0"}},
         VT_I4},
        {L"RestOld",
         Method,
         0x60030025,
         {{L"Sec", VT_I4, true, L"0"}, {L"fWait", VT_BOOL, true, L"0"}},
         VT_EMPTY},
        {L"Rest",
         Method,
         0x60030026,
         {{L"Sec", VT_I4, true, L"0"}, {L"fWait", VT_BOOL, true, L"0"}},
         VT_EMPTY},
        {L"IEver", Method, 0x6003002B, {}, VT_R4},
        {L"IEtab", Method, 0x6003002C, {}, VT_I2},
        {L"IE",
         Method,
         0x6003002D,
         {{L"wURL", VT_BSTR, false, nullptr}, {L"nCmdShow", VT_I4, true, L"8"}},
         VT_I2},
        {L"Exec",
         Method,
         0x6003002E,
         {{L"strText", VT_BSTR, false, nullptr}, {L"nCmdShow", VT_I4, true, L"8"}},
         VT_I2},
        {L"Run",
         Method,
         0x60030032,
         {{L"strText1", VT_BSTR, false, nullptr}, {L"WinStyle", VT_I2, true, L"1"}},
         VT_I2},
        {L"Send", Method, 0x60030033, {{L"strText2", VT_BSTR, false, nullptr}}, VT_EMPTY},
        {L"Pass",
         Method,
         0x60030034,
         {{L"strCB", VT_BSTR, false, nullptr}, {L"iEnt", VT_I2, true, L"0"}},
         VT_EMPTY},
        {L"PassF",
         Method,
         0x60030035,
         {{L"strCB", VT_BSTR, false, nullptr}, {L"iEnt", VT_I2, true, L"0"}},
         VT_EMPTY},
        {L"Popup",
         Method,
         0x60030036,
         {{L"strText", VT_BSTR, false, nullptr},
          {L"natSecondsToWait", VT_I4, true, L"2"},
          {L"strTitle", VT_BSTR, true, L"Kelmo_Popup"},
          {L"natType", VT_I4, true, L"0"}},
         VT_I2},
        {L"Popup2",
         Method,
         0x60030037,
         {{L"strTextA", VT_BSTR, false, nullptr},
          {L"natSecondsToWait", VT_I4, true, L"8"},
          {L"iButton", VT_I2, true, L"0"}},
         VT_I2},
        {L"Popup3",
         Method,
         0x60030038,
         {{L"strTextA", VT_BSTR, false, nullptr},
          {L"natSecondsToWait", VT_I4, true, L"8"},
          {L"iButton", VT_I2, true, L"0"}},
         VT_I2},
    };
    return entries;
}

std::wstring variantText(const VARIANT& value) {
    VARIANT text;
    VariantInit(&text);
    std::wstring result = L"<unconvertible>";
    if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR)))
        result.assign(text.bstrVal, SysStringLen(text.bstrVal));
    VariantClear(&text);
    return result;
}

std::string narrow(const std::wstring& text) {
    std::string result;
    for (wchar_t c : text)
        result += c < 128 ? static_cast<char>(c) : '?';
    return result;
}

using Com = kelmo::test::ComTest;

class TypeInfoView {
public:
    explicit TypeInfoView(IDispatch* object) {
        object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info_);
    }
    ~TypeInfoView() {
        if (info_) info_->Release();
    }
    ITypeInfo* get() const { return info_; }

private:
    ITypeInfo* info_ = nullptr;
};

void expectEntryMatches(ITypeInfo* info, UINT index, const Entry& want) {
    SCOPED_TRACE(narrow(want.name) + " #" + std::to_string(index + 1));
    FUNCDESC* fd = nullptr;
    ASSERT_EQ(S_OK, info->GetFuncDesc(index, &fd));
    EXPECT_EQ(want.id, fd->memid);
    EXPECT_EQ(want.kind, fd->invkind);
    BSTR names[8] = {};
    UINT count = 0;
    info->GetNames(fd->memid, names, 8, &count);
    EXPECT_EQ(want.name, std::wstring(names[0] ? names[0] : L""));
    const bool isVararg = want.id == 0x6003001D;
    int optionalCount = 0;
    for (const Param& param : want.params)
        optionalCount += param.optional;
    EXPECT_EQ(isVararg ? -1 : optionalCount, fd->cParamsOpt);
    ASSERT_EQ(static_cast<int>(want.params.size()), fd->cParams);
    if (want.kind == Method || want.kind == Get) {
        const VARTYPE result = want.result == VT_EMPTY ? VARTYPE{VT_VOID} : want.result;
        EXPECT_EQ(result, fd->elemdescFunc.tdesc.vt);
    }
    for (size_t p = 0; p < want.params.size(); ++p) {
        const Param& param = want.params[p];
        const ELEMDESC& ed = fd->lprgelemdescParam[p];
        SCOPED_TRACE(narrow(param.name));
        EXPECT_EQ(param.type, ed.tdesc.vt);
        const USHORT flags = ed.paramdesc.wParamFlags;
        EXPECT_EQ(param.optional, (flags & PARAMFLAG_FOPT) != 0);
        EXPECT_EQ(param.defaultValue != nullptr, (flags & PARAMFLAG_FHASDEFAULT) != 0);
        if (param.defaultValue && (flags & PARAMFLAG_FHASDEFAULT)) {
            EXPECT_EQ(std::wstring(param.defaultValue),
                      variantText(ed.paramdesc.pparamdescex->varDefaultValue));
        }
        // Property puts carry their value without a name; methods name every parameter.
        if (want.kind == Method && p + 1 < count) {
            EXPECT_EQ(std::wstring(param.name), std::wstring(names[p + 1] ? names[p + 1] : L""));
        }
    }
    for (UINT n = 0; n < count; ++n)
        SysFreeString(names[n]);
    info->ReleaseFuncDesc(fd);
}

TEST_F(Com, EveryEntryOfTheInterfaceHasItsIdKindParametersAndDefaults) {
    LateBound k;
    ASSERT_EQ(S_OK, k.created());
    TypeInfoView view(k.get());
    ASSERT_NE(nullptr, view.get());
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, view.get()->GetTypeAttr(&attr));
    const UINT inherited = attr->typekind == TKIND_DISPATCH ? 7 : 0; // IUnknown + IDispatch
    EXPECT_EQ(contract().size() + inherited, attr->cFuncs);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FHIDDEN);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FNONEXTENSIBLE);
    view.get()->ReleaseTypeAttr(attr);
    // The vtable half of the dual interface carries the automation flag.
    HREFTYPE vtableRef = 0;
    ITypeInfo* vtable = nullptr;
    ASSERT_EQ(S_OK, view.get()->GetRefTypeOfImplType(-1, &vtableRef));
    ASSERT_EQ(S_OK, view.get()->GetRefTypeInfo(vtableRef, &vtable));
    ASSERT_EQ(S_OK, vtable->GetTypeAttr(&attr));
    EXPECT_EQ(TKIND_INTERFACE, attr->typekind);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
    vtable->ReleaseTypeAttr(attr);
    vtable->Release();
    for (UINT i = 0; i < contract().size(); ++i)
        expectEntryMatches(view.get(), inherited + i, contract()[i]);
    for (const Entry& e : contract())
        EXPECT_EQ(e.id, k.id(e.name)) << narrow(e.name);
}

TEST_F(Com, TypeLibraryIdentity) {
    LateBound k;
    TypeInfoView view(k.get());
    ITypeLib* library = nullptr;
    UINT index = 0;
    ASSERT_EQ(S_OK, view.get()->GetContainingTypeLib(&library, &index));
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attr));
    EXPECT_EQ(59, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    EXPECT_EQ(0x0409u, attr->lcid);
    library->ReleaseTLibAttr(attr);
    BSTR name = nullptr, doc = nullptr;
    ASSERT_EQ(S_OK, library->GetDocumentation(-1, &name, &doc, nullptr, nullptr));
    EXPECT_EQ(std::wstring(L"Kelmo"), name);
    // The description is Japanese: it must come through the code page intact.
    ASSERT_NE(nullptr, doc);
    EXPECT_NE(std::wstring::npos, std::wstring(doc).find(L"コンポーネント"));
    SysFreeString(name);
    SysFreeString(doc);
    library->Release();
}

std::wstring versionString(const std::vector<char>& info, const wchar_t* name) {
    void* value = nullptr;
    UINT size = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\041104B0\\") + name;
    if (!VerQueryValueW(info.data(), path.c_str(), &value, &size)) return L"<missing>";
    return size ? std::wstring(static_cast<const wchar_t*>(value)) : L"";
}

TEST(Dll, VersionResource) {
    const std::wstring dll = kelmo::test::programFolder() + L"Kelmo.dll";
    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeW(dll.c_str(), &ignored));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoW(dll.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    EXPECT_EQ(L"1.00.0288", versionString(info, L"FileVersion"));
    EXPECT_EQ(L"1.00.0288", versionString(info, L"ProductVersion"));
    EXPECT_EQ(L"Kelmo", versionString(info, L"ProductName"));
    EXPECT_EQ(L"Kelmo", versionString(info, L"InternalName"));
    EXPECT_EQ(L"Kelmo.dll", versionString(info, L"OriginalFilename"));
    EXPECT_EQ(L"", versionString(info, L"OLESelfRegister"));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(288, 0), fixed->dwFileVersionLS);
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &size));
    EXPECT_EQ(0x0411, translation[0]);
    EXPECT_EQ(1200, translation[1]);
}

TEST_F(Com, FreshObjectHasTheDefaults) {
    LateBound k;
    ASSERT_EQ(S_OK, k.created());
    EXPECT_EQ(25, k.get(L"Atom").asLong());
    EXPECT_EQ(100, k.get(L"Mol1").asLong());
    EXPECT_EQ(1000, k.get(L"Mol2").asLong());
    EXPECT_EQ(90, k.get(L"Speed").asLong());
    EXPECT_EQ(-1, k.get(L"ODflag").asLong());
    EXPECT_EQ(VT_BOOL, k.get(L"ODflag").value.vt);
    EXPECT_EQ(5, k.get(L"Repeat").asLong());
    EXPECT_EQ(VT_I2, k.get(L"Repeat").value.vt);
    EXPECT_EQ(10, k.get(L"RestMax").asLong());
    EXPECT_EQ(VT_DISPATCH, k.get(L"IEC").value.vt);
    EXPECT_EQ(nullptr, k.get(L"IEC").value.pdispVal);
    fastPacing(k);
    EXPECT_EQ(0, k.get(L"AppNum").asLong());
    EXPECT_EQ(0, k.get(L"AppCur").asLong());
    const std::wstring defFld = k.get(L"DefFld").asString();
    ASSERT_FALSE(defFld.empty());
    EXPECT_EQ(L'\\', defFld.back());
    EXPECT_NE(L'\\', defFld.size() > 1 ? defFld[defFld.size() - 2] : L'x');
    const std::wstring winDrv = k.get(L"WinDrv").asString();
    ASSERT_EQ(3u, winDrv.size());
    EXPECT_EQ(L':', winDrv[1]);
    EXPECT_EQ(L'\\', winDrv[2]);
}

TEST_F(Com, PublicVariablesStoreAnyValueWithoutChecks) {
    LateBound k;
    const wchar_t* longs[] = {L"Atom", L"Mol1", L"Mol2", L"Speed", L"RestMax"};
    for (const wchar_t* name : longs) {
        for (long value : {-2147483647L - 1, -1L, 0L, 7L, 2147483647L}) {
            EXPECT_EQ(S_OK, k.put(name, Arg(value)).hr);
            EXPECT_EQ(value, k.get(name).asLong()) << narrow(name);
        }
    }
    for (long value : {-32768L, 0L, 32767L}) {
        k.put(L"Repeat", Arg(value));
        EXPECT_EQ(value, k.get(L"Repeat").asLong());
    }
    EXPECT_EQ(DISP_E_OVERFLOW, k.put(L"Repeat", Arg(40000L)).hr);
    k.put(L"ODflag", Arg(false));
    EXPECT_EQ(0, k.get(L"ODflag").asLong());
    // IEC holds whatever object the script assigns, and gives the same object back.
    LateBound other(L"Scripting.Dictionary");
    ASSERT_EQ(S_OK, other.created());
    VARIANT object;
    VariantInit(&object);
    object.vt = VT_DISPATCH;
    object.pdispVal = other.get();
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{&object, &putId, 1, 1};
    EXPECT_EQ(S_OK, k.get()->Invoke(k.id(L"IEC"), IID_NULL, 0, DISPATCH_PROPERTYPUTREF, &params,
                                    nullptr, nullptr, nullptr));
    auto back = k.get(L"IEC");
    ASSERT_EQ(VT_DISPATCH, back.value.vt);
    IUnknown *a = nullptr, *b = nullptr;
    back.value.pdispVal->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a));
    other.get()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b));
    EXPECT_EQ(a, b);
    a->Release();
    b->Release();
}

TEST_F(Com, ErrorsReachTheClientWithNumberAndDescription) {
    LateBound k;
    fastPacing(k);
    // RestOld computes (Sec - 1) * 10 in 32 bits: an overflow before anything is waited.
    auto error = k.call(L"RestOld", {Arg(-2147483647L - 1)});
    EXPECT_EQ(DISP_E_EXCEPTION, error.hr);
    EXPECT_EQ(Scode(6), error.scode);
    EXPECT_EQ(L"Overflow", error.description);
    // Platform argument coercion stays the platform's.
    EXPECT_EQ(DISP_E_TYPEMISMATCH, k.put(L"Atom", Arg(L"not a number")).hr);
    // A missing required argument is refused before the member runs.
    const HRESULT missing = k.call(L"Send", {}).hr;
    EXPECT_TRUE(missing == DISP_E_PARAMNOTOPTIONAL || missing == DISP_E_BADPARAMCOUNT) << missing;
}

TEST_F(Com, TheServerUnloadsOnlyWhenNoObjectIsAlive) {
    HMODULE dll = LoadLibraryW(L"Kelmo.dll");
    ASSERT_NE(nullptr, dll) << "Kelmo.dll must be beside the test or on the path";
    using CanUnload = HRESULT(WINAPI*)();
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto canUnload = reinterpret_cast<CanUnload>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    ASSERT_TRUE(canUnload && getClassObject);
    CLSID clsid;
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"Kelmo.CKelmo", &clsid));
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    IClassFactory* other = nullptr;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
              getClassObject(IID_IUnknown, IID_IClassFactory, reinterpret_cast<void**>(&other)));
    EXPECT_EQ(nullptr, other);
    IDispatch* first = nullptr;
    IDispatch* second = nullptr;
    ASSERT_EQ(S_OK,
              factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&first)));
    ASSERT_EQ(S_OK,
              factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&second)));
    EXPECT_NE(first, second); // multi-use: a new object each time
    EXPECT_EQ(S_FALSE, canUnload());
    first->Release();
    EXPECT_EQ(S_FALSE, canUnload());
    second->Release();
    EXPECT_EQ(S_OK, canUnload());
    factory->LockServer(TRUE);
    EXPECT_EQ(S_FALSE, canUnload());
    factory->LockServer(FALSE);
    EXPECT_EQ(S_OK, canUnload());
    factory->Release();
    FreeLibrary(dll);
}

struct ProcessFigures {
    DWORD handles = 0;
    SIZE_T privateBytes = 0;
};

// Counted directly, since not every system fills the process counters: open handles by
// probing the handle values, private bytes as the committed private pages of the process.
ProcessFigures measure() {
    ProcessFigures f;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++f.handles;
    }
    MEMORY_BASIC_INFORMATION region{};
    for (const char* address = nullptr;
         VirtualQuery(address, &region, sizeof region) == sizeof region;
         address = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            f.privateBytes += region.RegionSize;
        if (static_cast<const char*>(region.BaseAddress) + region.RegionSize < address) break;
    }
    return f;
}

TEST_F(Com, TenThousandObjectsCreatedAndReleasedLeakNothing) {
    auto cycle = [](int count) {
        for (int i = 0; i < count; ++i) {
            LateBound k;
            ASSERT_EQ(S_OK, k.created());
        }
    };
    cycle(200); // warm-up: libraries loaded, caches filled
    const ProcessFigures before = measure();
    cycle(10000);
    const ProcessFigures after = measure();
    std::printf(
        "[ figures  ] 10000 objects: handles %lu -> %lu, private bytes %lu KiB -> %lu KiB\n",
        before.handles, after.handles, static_cast<unsigned long>(before.privateBytes / 1024),
        static_cast<unsigned long>(after.privateBytes / 1024));
    EXPECT_LE(after.handles, before.handles + 2);
    EXPECT_LE(after.privateBytes, before.privateBytes + 512 * 1024);
}

} // namespace
