// The registered component through a C++ late-bound client: the interface contract as the type
// library and GetIDsOfNames publish it, the defaults, the error convention, the parameter
// array, creation failures, unloading, and that creating and releasing many objects leaks
// nothing.
#include "fixture.h"
#include "recorder.h"
#include "typelib_dump.h"

#include "toolio.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

using kelmo::test::Arg;
using kelmo::test::fastPacing;
using kelmo::test::LateBound;

namespace {

constexpr SCODE Scode(int number) {
    return static_cast<SCODE>(0x800A0000u + number);
}

std::string narrow(const std::wstring& text) {
    return kelmo::testtools::toUtf8(text);
}

std::wstring fromUtf8(const std::string& bytes) {
    if (bytes.empty()) return {};
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                        size);
    return text;
}

using Com = kelmo::test::ComTest;

// The type library of the registered object, as its type information gives it.
class ObjectLibrary {
public:
    explicit ObjectLibrary(IDispatch* object) {
        ITypeInfo* info = nullptr;
        UINT index = 0;
        if (FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info))) return;
        loaded_ = info->GetContainingTypeLib(&library_, &index);
        info->Release();
    }
    ObjectLibrary(const ObjectLibrary&) = delete;
    ObjectLibrary& operator=(const ObjectLibrary&) = delete;
    ~ObjectLibrary() {
        if (library_) library_->Release();
    }
    HRESULT loaded() const { return loaded_; }
    ITypeLib* get() const { return library_; }

private:
    ITypeLib* library_ = nullptr;
    HRESULT loaded_ = E_FAIL;
};

// The contract is tests/wine/expected/typelib.txt: every member's dispatch identifier, kind,
// name, parameters with their types, optional flags and defaults, and result type, as the
// type library of the registered object gives them. A difference fails with the lines that differ,
// and the whole dump is written beside the test program for a deliberate update of that file.
TEST_F(Com, TheTypeLibraryIsTheContract) {
    LateBound k;
    ASSERT_EQ(S_OK, k.created());
    ObjectLibrary library(k.get());
    ASSERT_EQ(S_OK, library.loaded());
    const std::wstring actual = kelmo::test::dumpTypeLibrary(library.get());
    const std::wstring expectedPath = kelmo::test::programFolder() + L"expected\\typelib.txt";
    const std::wstring expected = fromUtf8(kelmo::testtools::readFileBytes(expectedPath));
    ASSERT_FALSE(expected.empty()) << "cannot read " << narrow(expectedPath);
    if (actual == expected) return;
    const std::wstring actualPath = kelmo::test::programFolder() + L"typelib.actual.txt";
    kelmo::testtools::writeUtf8File(actualPath, actual);
    ADD_FAILURE() << "the type library differs from tests/wine/expected/typelib.txt "
                     "(the whole dump is in "
                  << narrow(actualPath) << "):\n"
                  << narrow(kelmo::test::lineDiff(expected, actual));
}

// What the automation marshaller and early-binding tools do: find the library through its
// registration, by identifier and version 59.0.
TEST_F(Com, TheRegisteredTypeLibraryLoadsByIdentifierAndVersion) {
    LateBound k;
    ASSERT_EQ(S_OK, k.created());
    ObjectLibrary library(k.get());
    ASSERT_EQ(S_OK, library.loaded());
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, library.get()->GetLibAttr(&attributes));
    const GUID libraryId = attributes->guid;
    library.get()->ReleaseTLibAttr(attributes);
    ITypeLib* registered = nullptr;
    EXPECT_EQ(S_OK, LoadRegTypeLib(libraryId, 59, 0, 0, &registered));
    if (registered) registered->Release();
}

TEST_F(Com, EveryMemberNameResolvesToItsDispatchId) {
    LateBound k;
    ObjectLibrary library(k.get());
    ASSERT_EQ(S_OK, library.loaded());
    const auto members = kelmo::test::dispatchMembers(library.get());
    ASSERT_FALSE(members.empty());
    for (const auto& [name, id] : members)
        EXPECT_EQ(id, k.id(name.c_str())) << narrow(name);
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
    EXPECT_EQ(S_OK, k.putRef(L"IEC", Arg(other.get())).hr);
    auto back = k.get(L"IEC");
    ASSERT_EQ(VT_DISPATCH, back.value.vt);
    IUnknown *a = nullptr, *b = nullptr;
    back.value.pdispVal->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a));
    other.get()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b));
    EXPECT_EQ(a, b);
    a->Release();
    b->Release();
}

using CallResultOf = kelmo::test::CallResult (*)(const LateBound&);

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
    for (const wchar_t* member : {L"Send", L"AdjustT", L"Exec", L"Run", L"IE"}) {
        const HRESULT missing = k.call(member, {}).hr;
        EXPECT_TRUE(missing == DISP_E_PARAMNOTOPTIONAL || missing == DISP_E_BADPARAMCOUNT)
            << std::hex << missing;
    }
    // Arguments that do not convert to the parameter's type are refused as well, before the
    // member runs (so nothing is launched).
    const std::pair<CallResultOf, HRESULT> refused[] = {
        {[](const LateBound& o) { return o.call(L"AppShow", {Arg(L"x")}); }, DISP_E_TYPEMISMATCH},
        {[](const LateBound& o) {
             return o.call(L"AppShow", {Arg(1), Arg(40000)});
         },
         DISP_E_OVERFLOW},
        {[](const LateBound& o) { return o.put(L"AppCur", Arg(40000)); }, DISP_E_OVERFLOW},
        {[](const LateBound& o) {
             return o.call(L"Run", {Arg(L"x"), Arg(70000)});
         },
         DISP_E_OVERFLOW},
        {[](const LateBound& o) {
             return o.call(L"Exec", {Arg(L"x"), Arg(L"y")});
         },
         DISP_E_TYPEMISMATCH},
        {[](const LateBound& o) {
             return o.call(L"IE", {Arg(L"x"), Arg(L"y")});
         },
         DISP_E_TYPEMISMATCH},
    };
    for (const auto& [call, hr] : refused)
        EXPECT_EQ(hr, call(k).hr);
    EXPECT_EQ(Scode(91), k.call(L"IEver").scode); // no browser yet: object not set
}

// The DLL's server exports, called directly, as COM calls them.
class ServerExports {
public:
    using CanUnload = HRESULT(WINAPI*)();
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

    ServerExports() : dll_(LoadLibraryW(L"Kelmo.dll")) {
        if (!dll_) return;
        canUnload = reinterpret_cast<CanUnload>(
            reinterpret_cast<void*>(GetProcAddress(dll_, "DllCanUnloadNow")));
        getClassObject = reinterpret_cast<GetClassObject>(
            reinterpret_cast<void*>(GetProcAddress(dll_, "DllGetClassObject")));
    }
    ServerExports(const ServerExports&) = delete;
    ServerExports& operator=(const ServerExports&) = delete;
    ~ServerExports() {
        if (dll_) FreeLibrary(dll_);
    }
    bool loaded() const { return dll_ && canUnload && getClassObject; }

    CanUnload canUnload = nullptr;
    GetClassObject getClassObject = nullptr;

private:
    HMODULE dll_;
};

CLSID kelmoClassId() {
    CLSID clsid{};
    CLSIDFromProgID(L"Kelmo.CKelmo", &clsid);
    return clsid;
}

TEST_F(Com, TheServerUnloadsOnlyWhenNoObjectIsAlive) {
    ServerExports server;
    ASSERT_TRUE(server.loaded()) << "Kelmo.dll must be beside the test or on the path";
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, server.getClassObject(kelmoClassId(), IID_IClassFactory,
                                          reinterpret_cast<void**>(&factory)));
    IClassFactory* other = nullptr;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, server.getClassObject(IID_IUnknown, IID_IClassFactory,
                                                               reinterpret_cast<void**>(&other)));
    EXPECT_EQ(nullptr, other);
    IDispatch* first = nullptr;
    IDispatch* second = nullptr;
    ASSERT_EQ(S_OK,
              factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&first)));
    ASSERT_EQ(S_OK,
              factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&second)));
    EXPECT_NE(first, second); // multi-use: a new object each time
    EXPECT_EQ(S_FALSE, server.canUnload());
    first->Release();
    EXPECT_EQ(S_FALSE, server.canUnload());
    second->Release();
    EXPECT_EQ(S_OK, server.canUnload());
    factory->LockServer(TRUE);
    EXPECT_EQ(S_FALSE, server.canUnload());
    factory->LockServer(FALSE);
    EXPECT_EQ(S_OK, server.canUnload());
    factory->Release();
}

// Creation fails when the object cannot have its file-system object: here on a thread that
// has not initialised COM. No object is handed out, the failure comes with error info, no
// exception leaves the DLL, and no half-made object keeps the DLL loaded.
TEST(Dll, AFailedCreationReportsErrorInfoAndLeavesNothingAlive) {
    ServerExports server;
    ASSERT_TRUE(server.loaded());
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    const CLSID clsid = kelmoClassId();
    CoUninitialize();
    std::thread([&] {
        IDispatch* unavailable = nullptr;
        CLSID fileSystem{};
        CLSIDFromString(L"{0D43FE01-F093-11CF-8940-00A0C9054228}", &fileSystem);
        ASSERT_TRUE(FAILED(CoCreateInstance(fileSystem, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IDispatch, reinterpret_cast<void**>(&unavailable))))
            << "this thread was meant to have no COM";
        IClassFactory* factory = nullptr;
        ASSERT_EQ(S_OK, server.getClassObject(clsid, IID_IClassFactory,
                                              reinterpret_cast<void**>(&factory)));
        SetErrorInfo(0, nullptr);
        IDispatch* object = reinterpret_cast<IDispatch*>(&factory); // any non-null value
        const HRESULT hr =
            factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object));
        EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
        EXPECT_EQ(nullptr, object);
        const kelmo::test::TakenErrorInfo info = kelmo::test::takeErrorInfo();
        EXPECT_EQ(L"Kelmo", info.source);
        EXPECT_NE(std::wstring::npos, info.description.find(L"Scripting.FileSystemObject"))
            << narrow(info.description);
        factory->Release();
    }).join();
    EXPECT_EQ(S_OK, server.canUnload());
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
