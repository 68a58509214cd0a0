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

TEST_F(Com, ErrorsReachTheClientWithNumberAndDescription) {
    LateBound k;
    fastPacing(k);
    // RestOld computes (Sec - 1) * 10 in 32 bits: an overflow before anything is waited.
    auto error = k.call(L"RestOld", {Arg(-2147483647L - 1)});
    EXPECT_EQ(DISP_E_EXCEPTION, error.hr);
    EXPECT_EQ(Scode(6), error.scode);
    EXPECT_EQ(L"Overflow", error.description);
    EXPECT_EQ(Scode(91), k.call(L"IEver").scode); // no browser yet: object not set
}

// Bad arguments for every entry of the interface, as late-bound clients pass them. Each call
// fails with a run-time error (number and description) before the member runs, or does what is
// documented. Members that act get only arguments that cannot convert, or too many of them,
// all Null, so that nothing is launched, typed, deleted or shown even by a runtime that does not
// count the arguments.
// Raised: any run-time error, here that of the collection an argument is passed on to.
enum class Outcome {
    Done,
    Raised,
    Overflow = 6,
    Mismatch = 13,
    NotSet = 91,
    Arity = 450,
    NoList = 451
};
enum class Access { Get, Put, PutRef, Call };
struct Try {
    std::vector<Arg> args;
    Outcome outcome;
};
struct Entry {
    const wchar_t* name;
    Access access;
    std::vector<Try> tries;
};

kelmo::test::CallResult tryEntry(const LateBound& k, const Entry& entry, std::vector<Arg> args) {
    constexpr WORD flags[] = {DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT, DISPATCH_PROPERTYPUTREF,
                              DISPATCH_METHOD | DISPATCH_PROPERTYGET};
    return k.invoke(k.id(entry.name), flags[static_cast<int>(entry.access)], std::move(args));
}

TEST_F(Com, BadArgumentsFailCleanlyOnEveryEntry) {
    LateBound k, other;
    fastPacing(k);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"kelmo-sweep";
    ASSERT_EQ(S_OK, k.call(L"FldSet", {Arg(folder.c_str())}).hr); // FldFiles needs no dialog
    using enum Outcome;
    using enum Access;
    const Arg N = Arg::null(), E = Arg::empty(), A = Arg::array(), O(other.get()), S(L"abc"),
              I16(40000), I32(3e9), X(L"x");
    const std::vector<Arg> tooMany = {N, N, N, N, N};
    const auto with = [](std::vector<Try> tries, const std::vector<Try>& more) {
        tries.insert(tries.end(), more.begin(), more.end());
        return tries;
    };
    const std::vector<Try> text = {
        {{N}, Mismatch}, {{A}, Mismatch}, {{O}, Mismatch}, {tooMany, Arity}};
    const std::vector<Try> number = with(text, {{{S}, Mismatch}, {{I32}, Overflow}});
    const std::vector<Try> index = {{{1}, NoList}};
    const std::vector<Try> none = {{{1}, Arity}};
    const auto textThen = [&](const Arg& tooBig) {
        return with(text, {{{}, Arity}, {{X, S}, Mismatch}, {{X, tooBig}, Overflow}});
    };
    const Entry entries[] = {
        {L"Atom", Get, index},
        {L"Atom", Put, number},
        {L"Mol1", Get, index},
        {L"Mol1", Put, number},
        {L"Mol2", Get, index},
        {L"Mol2", Put, number},
        {L"Speed", Get, index},
        {L"Speed", Put, number},
        {L"ODflag", Get, index},
        {L"ODflag", Put, with(text, {{{S}, Mismatch}})},
        {L"Repeat", Get, index},
        {L"Repeat", Put, with(number, {{{I16}, Overflow}, {{E}, Done}})},
        {L"RestMax", Get, index},
        {L"RestMax", Put, number},
        {L"IEC", Get, {{{1}, NotSet}}}, // crashed the host, passing the index on to nothing
        {L"IEC", PutRef, {{{5}, Mismatch}, {{S}, Mismatch}}},
        {L"Title", Get, index},
        {L"Mark", Call, text},
        {L"AdjustT", Call, with(text, {{{}, Arity}})},
        {L"Break", Call, text},
        {L"Sound", Call, with(text, {{{}, Arity}})},
        {L"ODOff", Call, none},
        {L"ODOn", Call, none},
        {L"FldSet", Call, text},
        {L"FldSetD", Call, {{{N}, Mismatch}, {{A}, Mismatch}, {{L"*.txt", O}, Mismatch}}},
        {L"FldCopy", Call, with(text, {{{X, A}, Mismatch}})},
        {L"FldDelete", Call, text},
        {L"Update", Call, none},
        {L"FldFiles", Get, {{{L"absent.txt"}, Raised}}},
        {L"oShell", Get, index},
        {L"oIE", Get, {{{1}, NotSet}}},
        {L"FS", Get, index},
        {L"AppNum", Get, index},
        {L"DefFld", Get, index},
        {L"DefFld", Put, text},
        {L"WinDrv", Get, index},
        {L"AppCur", Get, index},
        {L"AppCur", Put, with(number, {{{I16}, Overflow}})},
        {L"FrmShow", Call, textThen(I16)},
        {L"AppShow", Call, with(number, {{{1, I16}, Overflow}})},
        {L"RestOld", Call, with(number, {{{0, S}, Mismatch}})},
        {L"Rest", Call, with(number, {{{0, S}, Mismatch}})},
        {L"IEver", Call, none},
        {L"IEtab", Call, none},
        {L"IE", Call, textThen(I32)},
        {L"Exec", Call, textThen(I32)},
        {L"Run", Call, textThen(I16)},
        {L"Send", Call, with(text, {{{}, Arity}})},
        {L"Pass", Call, textThen(I16)},
        {L"PassF", Call, textThen(I16)},
        {L"Popup", Call, with(textThen(I32), {{{X, 1, N}, Mismatch}, {{X, 1, X, S}, Mismatch}})},
        {L"Popup2", Call, with(textThen(I32), {{{X, 1, I16}, Overflow}})},
        {L"Popup3", Call, with(textThen(I32), {{{X, 1, I16}, Overflow}})},
    };
    EXPECT_EQ(53u, std::size(entries));
    for (const Entry& entry : entries) {
        for (const Try& attempt : entry.tries) {
            SCOPED_TRACE(narrow(entry.name) + " with " + std::to_string(attempt.args.size()) +
                         " argument(s), outcome " +
                         std::to_string(static_cast<int>(attempt.outcome)));
            const auto result = tryEntry(k, entry, attempt.args);
            if (attempt.outcome == Done) {
                EXPECT_EQ(S_OK, result.hr);
                continue;
            }
            EXPECT_EQ(DISP_E_EXCEPTION, result.hr) << std::hex << result.hr;
            if (result.hr != DISP_E_EXCEPTION) continue;
            const int number = static_cast<int>(result.scode) - static_cast<int>(Scode(0));
            if (attempt.outcome == Arity) {
                EXPECT_TRUE(number == 449 || number == 450) << number;
            } else if (attempt.outcome != Raised) {
                EXPECT_EQ(static_cast<int>(attempt.outcome), number);
            }
            EXPECT_FALSE(result.description.empty());
        }
    }
    // IEC takes objects only, also by a plain assignment (Null or Empty empties it).
    EXPECT_EQ(Scode(13), k.put(L"IEC", Arg(5)).scode);
    RemoveDirectoryW(folder.c_str());
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
