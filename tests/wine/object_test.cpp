// The registered component through a late-bound client: the 53 entries refusing bad arguments with
// an error, a debug line and a trace line; its type library, the guard, the server, no leak.
#include "figures.h"
#include "fixture.h"
#include "platform/win32/module/guard.h"

#include <algorithm>
#include <thread>
#include <tuple>

using namespace kelmo::test;
using kelmo::KelmoError;
using kelmo::testtools::toUtf8;
using kelmo::win32::ComPtr;

namespace {

std::wstring debugOutput; // what OutputDebugString wrote while a DebugOutput was catching it
LONG CALLBACK catchDebugOutput(EXCEPTION_POINTERS* caught) { // as a debugger: the narrow line
    if (const auto& record = *caught->ExceptionRecord; record.ExceptionCode == DBG_PRINTEXCEPTION_C)
        debugOutput += kelmo::testtools::fromAscii( // what the tests compare is ASCII
            reinterpret_cast<const char*>(record.ExceptionInformation[1]));
    return EXCEPTION_CONTINUE_SEARCH;
}
using DebugOutput = kelmo::win32::Owned<void*, RemoveVectoredExceptionHandler>;

// Each entry's outcome for arguments as late-bound clients pass them: done, or a run-time error
// (Raised: any, here a collection's). Members that act get only arguments that cannot convert, or
// too many, so that nothing is launched, typed or deleted.
enum class Outcome { Done, Raised, Overflow = 6, Mismatch = 13, NotSet = 91, Arity = 450, NoList };
constexpr WORD G = DISPATCH_PROPERTYGET, P = DISPATCH_PROPERTYPUT, C = DISPATCH_METHOD | G;
using Tries = std::vector<std::pair<std::vector<Arg>, Outcome>>;

TEST_F(ComTest, TheFiftyThreeEntriesHaveTheirDispatchIdsAndRefuseBadArgumentsCleanly) {
    const TempFolder folder(L"sweep");
    SetEnvironmentVariableW(L"KELMO_TRACE", (folder / L"trace.txt").c_str()); // traced from here
    LateBound k;
    SetEnvironmentVariableW(L"KELMO_TRACE", nullptr);
    LateBound other; // untraced: converting it as an argument calls its default member
    fastPacing(k);
    ASSERT_EQ(S_OK, k.call(L"FldSet", {Arg(folder.path().c_str())}).hr); // FldFiles asks nothing
    using enum Outcome;
    const Arg N = Arg::null(), E, A = Arg::array(), O(other.get()), S(L"abc"), I16(40000), I32(3e9),
              X(L"x");
    const auto with = [](Tries tries, const Tries& more) {
        tries.insert(tries.end(), more.begin(), more.end());
        return tries;
    };
    // Arguments: text, number (text and more), read (a get), none, then (text, a second too big).
    const Tries txt = {{{N}, Mismatch}, {{A}, Mismatch}, {{O}, Mismatch}, {{N, N, N, N, N}, Arity}};
    const Tries num = with(txt, {{{S}, Mismatch}, {{I32}, Overflow}}),
                rd = {{{}, Done}, {{1}, NoList}};
    const Tries none = {{{}, Done}, {{1}, Arity}}, ie = {{{}, NotSet}, {{1}, Arity}};
    const auto then = [&](const Arg& tooBig) {
        return with(txt, {{{}, Arity}, {{X, S}, Mismatch}, {{X, tooBig}, Overflow}});
    };
    // Name, dispatch identifier, how it is called (Get, Put, Call), what it does with what.
    // clang-format off
    const std::tuple<const wchar_t*, DISPID, WORD, Tries> entries[] = {
        {L"Atom", 0x40030010, G, rd}, {L"Atom", 0x40030010, P, num}, {L"Mol1", 0x40030012, G, rd},
        {L"Mol1", 0x40030012, P, num}, {L"Mol2", 0x40030013, G, rd}, {L"Mol2", 0x40030013, P, num},
        {L"Speed", 0x40030014, G, rd}, {L"Speed", 0x40030014, P, num}, {L"FS", 0x68030004, G, rd},
        {L"ODflag", 0x40030015, G, rd}, {L"ODflag", 0x40030015, P, with(txt, {{{S}, Mismatch}})},
        {L"Repeat", 0x40030016, G, rd},
        {L"Repeat", 0x40030016, P, with(num, {{{I16}, Overflow}, {{E}, Done}})},
        {L"RestMax", 0x40030019, G, rd}, {L"RestMax", 0x40030019, P, num},
        {L"IEC", 0x40030023, G, {{{}, Done}, {{1}, NotSet}}}, // the index once crashed the host
        {L"IEC", 0x40030023, DISPATCH_PROPERTYPUTREF, {{{5}, Mismatch}, {{S}, Mismatch}}},
        {L"IEC", 0x40030023, P, {{{5}, Mismatch}}}, // a plain assignment takes objects only
        {L"Mark", 0x6003000B, C, txt}, {L"Break", 0x6003000E, C, txt},
        {L"AdjustT", 0x6003000D, C, with(txt, {{{}, Arity}})},
        {L"Sound", 0x60030013, C, with(txt, {{{}, Arity}})}, {L"ODOff", 0x6003001A, C, none},
        {L"ODOn", 0x6003001B, C, none}, {L"FldSet", 0x6003001C, C, txt},
        {L"FldSetD", 0x6003001D, C, {{{N}, Mismatch}, {{A}, Mismatch}, {{L"*.txt", O}, Mismatch}}},
        {L"FldCopy", 0x6003001E, C, with(txt, {{{X, A}, Mismatch}})},
        {L"FldDelete", 0x6003001F, C, txt}, {L"Update", 0x60030020, C, none},
        {L"FldFiles", 0x68030007, G, {{{}, Done}, {{L"absent.txt"}, Raised}}},
        {L"oIE", 0x68030005, G, {{{}, Done}, {{1}, NotSet}}}, {L"oShell", 0x68030006, G, rd},
        {L"Title", 0x68030008, G, rd}, {L"AppNum", 0x68030003, G, rd},
        {L"WinDrv", 0x68030001, G, rd}, {L"DefFld", 0x68030002, G, rd},
        {L"DefFld", 0x68030002, P, txt}, {L"AppCur", 0x68030000, G, rd},
        {L"AppCur", 0x68030000, P, with(num, {{{I16}, Overflow}})},
        {L"FrmShow", 0x60030021, C, then(I16)},
        {L"AppShow", 0x60030022, C, with(num, {{{1, I16}, Overflow}})},
        {L"RestOld", 0x60030025, C, with(num, {{{0, S}, Mismatch}})},
        {L"Rest", 0x60030026, C, with(num, {{{0, S}, Mismatch}})}, {L"IEver", 0x6003002B, C, ie},
        {L"IEtab", 0x6003002C, C, ie}, {L"IE", 0x6003002D, C, then(I32)},
        {L"Exec", 0x6003002E, C, then(I32)}, {L"Run", 0x60030032, C, then(I16)},
        {L"Send", 0x60030033, C, with(txt, {{{}, Arity}})}, {L"Pass", 0x60030034, C, then(I16)},
        {L"PassF", 0x60030035, C, then(I16)},
        {L"Popup", 0x60030036, C, with(then(I32), {{{X, 1, N}, Mismatch}})},
        {L"Popup2", 0x60030037, C, with(then(I32), {{{X, 1, I16}, Overflow}})},
        {L"Popup3", 0x60030038, C, with(then(I32), {{{X, 1, I16}, Overflow}})}};
    // clang-format on
    static_assert(std::size(entries) == 54); // the 53 entries, IEC assigned both ways
    const DebugOutput catching(AddVectoredExceptionHandler(1, catchDebugOutput));
    long calls = 5; // fastPacing's and FldSet
    for (const auto& [name, id, access, tries] : entries) {
        EXPECT_EQ(id, k.id(name)) << toUtf8(name);
        for (const auto& [args, outcome] : tries) {
            debugOutput.clear(), ++calls;
            const auto result = k.invoke(id, access, args);
            const int number = static_cast<int>(result.scode - 0x800A0000);
            SCOPED_TRACE(toUtf8(name) + " with " + std::to_string(args.size()) +
                         " argument(s): " + toUtf8(result.description));
            EXPECT_EQ(outcome == Done ? S_OK : DISP_E_EXCEPTION, result.hr);
            EXPECT_EQ(outcome == Done, result.description.empty());
            EXPECT_TRUE(outcome <= Raised || number == int(outcome) ||
                        (outcome == Arity && number == 449));
            const std::wstring line = L"Kelmo: " + std::wstring(name) + L": error " +
                                      std::to_wstring(number) + L" (0x"; // not the collection's
            EXPECT_TRUE(outcome == Raised ||
                        (outcome != Done) == (debugOutput.find(line) != std::wstring::npos));
        }
    }
    // One trace line a call, in UTF-8, in the file KELMO_TRACE named when the object was made.
    const std::string trace = kelmo::testtools::readFileBytes(folder / L"trace.txt");
    EXPECT_EQ(calls, std::count(trace.begin(), trace.end(), '\n'));
    EXPECT_NE(std::string::npos, trace.find("  AppCur = \"abc\"  !! error 13: Type mismatch  ("));
    const std::wstring fromRegistry = folder / L"registry.txt"; // without KELMO_TRACE
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Kelmo", L"Trace", REG_SZ, fromRegistry.c_str(),
                    DWORD((fromRegistry.size() + 1) * sizeof(wchar_t)));
    LateBound().call(L"ODOn");
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Kelmo", L"Trace");
    EXPECT_NE(std::string::npos, kelmo::testtools::readFileBytes(fromRegistry).find("  ODOn()  ("));
    // The library loads through its registration, as the marshaller finds it.
    const GUID library{
        0xEA9E2B8F, 0x776C, 0x41A4, {0xBF, 0x8C, 0x59, 0xF9, 0xAD, 0xB5, 0xC5, 0x7D}};
    ComPtr<ITypeLib> registered;
    EXPECT_EQ(S_OK, LoadRegTypeLib(library, 59, 0, 0, registered.put()));
}

// Whatever is thrown becomes a failure with error info and a debug line; success passes through.
TEST(Guard, EveryKindOfExceptionBecomesAFailureWithErrorInfoAndADebugLine) {
    using kelmo::win32::guarded;
    const std::tuple<void (*)(), HRESULT, const wchar_t*> cases[] = {
        {[] { kelmo::errors::raise(kelmo::errors::Overflow); }, HRESULT(0x800A0006), L"Overflow"},
        {[] { throw KelmoError(E_ACCESSDENIED, L"FldCopy: no"); }, E_ACCESSDENIED, L"FldCopy: no"},
        {[] { throw std::bad_alloc(); }, E_OUTOFMEMORY, L"Out of memory"},
        {[] { static_cast<void>(std::wstring(L"ab").substr(5)); }, E_FAIL, L"basic_string::substr"},
        {[] { throw 42; }, E_FAIL, L"unknown exception"},
        {[] { throw KelmoError(0, L"no number"); }, E_FAIL, L"no number"}}; // reads as success
    const DebugOutput catching(AddVectoredExceptionHandler(1, catchDebugOutput));
    for (const auto& [body, hr, described] : cases) {
        debugOutput.clear();
        std::optional<KelmoError> kept;
        EXPECT_EQ(hr, guarded(L"Member", IID_IDispatch, body, &kept));
        const TakenErrorInfo reported = takeErrorInfo();
        EXPECT_TRUE(reported.source == L"Kelmo" &&
                    IsEqualGUID(IID_IDispatch, reported.interfaceId) &&
                    reported.description.find(described) != std::wstring::npos && kept &&
                    reported.description == kept->description() &&
                    debugOutput.starts_with(L"Kelmo: Member: error ") &&
                    debugOutput.ends_with(reported.description + L"\n"))
            << toUtf8(debugOutput);
    }
    std::optional<KelmoError> kept = KelmoError(6, L"Overflow"); // emptied by a call that succeeds
    const auto partly = [] { return S_FALSE; };
    EXPECT_EQ(S_FALSE, guarded(L"Member", IID_IDispatch, partly, &kept)); // a success passes on
    EXPECT_FALSE(kept);
}

// The server's exports on a copy of the DLL that nothing else loads, called as COM calls them.
TEST_F(ComTest, TheServerMakesObjectsAndUnloadsReleasingItsTypeLibrary) {
    wchar_t original[MAX_PATH] = {};
    GetModuleFileNameW(LoadLibraryW(L"Kelmo.dll"), original, MAX_PATH);
    const std::wstring copy = std::wstring(original, wcsrchr(original, L'\\') + 1) + L"Copy.dll";
    ASSERT_TRUE(CopyFileW(original, copy.c_str(), FALSE));
    HMODULE dll = LoadLibraryW(copy.c_str());
    const auto canUnload = reinterpret_cast<HRESULT(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    const auto classObject = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    CLSID clsid{};
    ComPtr<IClassFactory> factory;
    ComPtr<IDispatch> object;
    ASSERT_TRUE(CLSIDFromProgID(L"Kelmo.CKelmo", &clsid) == S_OK &&
                classObject(clsid, IID_IClassFactory, factory.putVoid()) == S_OK &&
                factory->CreateInstance(nullptr, IID_IDispatch, object.putVoid()) == S_OK);
    EXPECT_EQ(S_FALSE, canUnload());
    object.reset();
    factory->LockServer(TRUE);
    EXPECT_EQ(S_FALSE, canUnload());
    factory->LockServer(FALSE);
    std::thread([&] { // without COM an object has no file-system object: an error, nothing made
        EXPECT_TRUE(FAILED(factory->CreateInstance(nullptr, IID_IDispatch, object.putVoid())) &&
                    !object &&
                    takeErrorInfo().description.find(L"FileSystemObject") != std::wstring::npos);
    })
        .join();
    EXPECT_EQ(S_OK, canUnload()); // no half-made object keeps the DLL loaded
    factory.reset();
    FreeLibrary(dll);
    EXPECT_EQ(nullptr, GetModuleHandleW(copy.c_str()));
    ComPtr<ITypeLib> library; // the unloaded DLL holds no reference to it any more
    ASSERT_EQ(S_OK, LoadTypeLibEx(copy.c_str(), REGKIND_NONE, library.put()));
    EXPECT_EQ(0u, library.release()->Release());
    DeleteFileW(copy.c_str());
}

TEST_F(ComTest, TenThousandObjectsCreatedAndReleasedLeakNothing) {
    Figures before;
    for (int i = -200; i < 10000; ++i) { // the first 200 load the libraries and fill the caches
        if (i == 0) before = measure();
        ASSERT_NE(nullptr, LateBound().get());
    }
    const Figures after = measure();
    printf("[ figures  ] 10000 objects: handles %lu -> %lu, private bytes %lu KiB -> %lu KiB\n",
           before.handles, after.handles, before.privateKiB, after.privateKiB);
    EXPECT_TRUE(after.handles <= before.handles + 2 && after.privateKiB <= before.privateKiB + 512);
}

} // namespace
