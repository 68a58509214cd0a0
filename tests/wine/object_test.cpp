// The registered component through a C++ late-bound client: the 53 entries by name and dispatch
// identifier, each refusing bad arguments with a run-time error written to the debugger's output;
// the registered type library; the server's exports on a copy of the DLL; no leak. And the
// module's guard: whatever is thrown becomes a failure with error info and a debug line.
#include "fixture.h"
#include "platform/win32/module/guard.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using kelmo::test::Arg;
using kelmo::test::LateBound;
using kelmo::testtools::toUtf8;
using kelmo::win32::ComPtr;

namespace {

using Com = kelmo::test::ComTest;
using kelmo::KelmoError;

// What this process writes to the debugger's output while one lives, as a debugger receives it:
// the exception that OutputDebugString raises for it, wide or narrow.
class DebugOutput {
public:
    DebugOutput() : handler_(AddVectoredExceptionHandler(1, &received)) { text().clear(); }
    ~DebugOutput() { RemoveVectoredExceptionHandler(handler_); }
    static std::wstring& text() {
        static std::wstring written;
        return written;
    }

private:
    static LONG CALLBACK received(EXCEPTION_POINTERS* exception) {
        const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
        const auto line = reinterpret_cast<const void*>(record.ExceptionInformation[1]);
        wchar_t narrow[4096] = {};
        if (record.ExceptionCode == DBG_PRINTEXCEPTION_WIDE_C)
            text() += static_cast<const wchar_t*>(line);
        else if (record.ExceptionCode == DBG_PRINTEXCEPTION_C &&
                 MultiByteToWideChar(CP_ACP, 0, static_cast<const char*>(line), -1, narrow, 4095))
            text() += narrow;
        return EXCEPTION_CONTINUE_SEARCH;
    }
    void* handler_;
};

// Each entry's outcome for arguments as late-bound clients pass them: done, or a run-time error
// (number and description) before the member runs or from the member. Members that act get only
// arguments that cannot convert, or too many, so that nothing is launched, typed, deleted or
// shown even by a runtime that does not count the arguments. Raised: any run-time error, here that
// of the collection an argument is passed on to.
enum class Outcome { Done, Raised, Overflow = 6, Mismatch = 13, NotSet = 91, Arity = 450, NoList };
constexpr WORD Get = DISPATCH_PROPERTYGET, Put = DISPATCH_PROPERTYPUT,
               PutRef = DISPATCH_PROPERTYPUTREF, Call = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
using Try = std::pair<std::vector<Arg>, Outcome>;

TEST_F(Com, TheFiftyThreeEntriesHaveTheirDispatchIdsAndRefuseBadArgumentsCleanly) {
    LateBound k, other;
    kelmo::test::fastPacing(k);
    const kelmo::test::TempFolder folder(L"sweep");
    ASSERT_EQ(S_OK, k.call(L"FldSet", {Arg(folder.path().c_str())}).hr); // FldFiles asks nothing
    using enum Outcome;
    const Arg N = Arg::null(), E = Arg::empty(), A = Arg::array(), O(other.get()), S(L"abc"),
              I16(40000), I32(3e9), X(L"x");
    const auto with = [](std::vector<Try> tries, const std::vector<Try>& more) {
        tries.insert(tries.end(), more.begin(), more.end());
        return tries;
    };
    const std::vector<Try> text = {
        {{N}, Mismatch}, {{A}, Mismatch}, {{O}, Mismatch}, {{N, N, N, N, N}, Arity}};
    const std::vector<Try> number = with(text, {{{S}, Mismatch}, {{I32}, Overflow}});
    const std::vector<Try> read = {{{}, Done}, {{1}, NoList}}, none = {{{}, Done}, {{1}, Arity}};
    const std::vector<Try> browser = {{{}, NotSet}, {{1}, Arity}},
                           list = {{{N}, Mismatch}, {{A}, Mismatch}, {{L"*.txt", O}, Mismatch}};
    const auto textThen = [&](const Arg& tooBig) {
        return with(text, {{{}, Arity}, {{X, S}, Mismatch}, {{X, tooBig}, Overflow}});
    };
    // Name, dispatch identifier, how it is called, and what it does with which arguments.
    // clang-format off
    const std::tuple<const wchar_t*, DISPID, WORD, std::vector<Try>> entries[] = {
        {L"Atom", 0x40030010, Get, read}, {L"Atom", 0x40030010, Put, number},
        {L"Mol1", 0x40030012, Get, read}, {L"Mol1", 0x40030012, Put, number},
        {L"Mol2", 0x40030013, Get, read}, {L"Mol2", 0x40030013, Put, number},
        {L"Speed", 0x40030014, Get, read}, {L"Speed", 0x40030014, Put, number},
        {L"ODflag", 0x40030015, Get, read},
        {L"ODflag", 0x40030015, Put, with(text, {{{S}, Mismatch}})},
        {L"Repeat", 0x40030016, Get, read},
        {L"Repeat", 0x40030016, Put, with(number, {{{I16}, Overflow}, {{E}, Done}})},
        {L"RestMax", 0x40030019, Get, read}, {L"RestMax", 0x40030019, Put, number},
        {L"IEC", 0x40030023, Get, {{{}, Done}, {{1}, NotSet}}}, // the index once crashed the host
        {L"IEC", 0x40030023, PutRef, {{{5}, Mismatch}, {{S}, Mismatch}}},
        {L"IEC", 0x40030023, Put, {{{5}, Mismatch}}}, // a plain assignment takes objects only
        {L"Title", 0x68030008, Get, read}, {L"Mark", 0x6003000B, Call, text},
        {L"AdjustT", 0x6003000D, Call, with(text, {{{}, Arity}})},
        {L"Sound", 0x60030013, Call, with(text, {{{}, Arity}})}, {L"Break", 0x6003000E, Call, text},
        {L"ODOff", 0x6003001A, Call, none}, {L"ODOn", 0x6003001B, Call, none},
        {L"FldSet", 0x6003001C, Call, text}, {L"FldSetD", 0x6003001D, Call, list},
        {L"FldCopy", 0x6003001E, Call, with(text, {{{X, A}, Mismatch}})},
        {L"FldDelete", 0x6003001F, Call, text}, {L"Update", 0x60030020, Call, none},
        {L"FldFiles", 0x68030007, Get, {{{}, Done}, {{L"absent.txt"}, Raised}}},
        {L"oShell", 0x68030006, Get, read}, {L"oIE", 0x68030005, Get, {{{}, Done}, {{1}, NotSet}}},
        {L"FS", 0x68030004, Get, read}, {L"AppNum", 0x68030003, Get, read},
        {L"DefFld", 0x68030002, Get, read}, {L"DefFld", 0x68030002, Put, text},
        {L"WinDrv", 0x68030001, Get, read}, {L"AppCur", 0x68030000, Get, read},
        {L"AppCur", 0x68030000, Put, with(number, {{{I16}, Overflow}})},
        {L"FrmShow", 0x60030021, Call, textThen(I16)},
        {L"AppShow", 0x60030022, Call, with(number, {{{1, I16}, Overflow}})},
        {L"RestOld", 0x60030025, Call, with(number, {{{0, S}, Mismatch}})},
        {L"Rest", 0x60030026, Call, with(number, {{{0, S}, Mismatch}})},
        {L"IEver", 0x6003002B, Call, browser}, {L"IEtab", 0x6003002C, Call, browser},
        {L"IE", 0x6003002D, Call, textThen(I32)}, {L"Exec", 0x6003002E, Call, textThen(I32)},
        {L"Run", 0x60030032, Call, textThen(I16)},
        {L"Send", 0x60030033, Call, with(text, {{{}, Arity}})},
        {L"Pass", 0x60030034, Call, textThen(I16)}, {L"PassF", 0x60030035, Call, textThen(I16)},
        {L"Popup", 0x60030036, Call, with(textThen(I32), {{{X, 1, N}, Mismatch}})},
        {L"Popup2", 0x60030037, Call, with(textThen(I32), {{{X, 1, I16}, Overflow}})},
        {L"Popup3", 0x60030038, Call, with(textThen(I32), {{{X, 1, I16}, Overflow}})}};
    // clang-format on
    static_assert(std::size(entries) == 54); // the 53 entries, IEC assigned both ways
    const DebugOutput output;
    for (const auto& [name, id, access, tries] : entries) {
        EXPECT_EQ(id, k.id(name)) << toUtf8(name);
        for (const auto& [args, outcome] : tries) {
            DebugOutput::text().clear();
            const auto result = k.invoke(id, access, args);
            SCOPED_TRACE(toUtf8(name) + " with " + std::to_string(args.size()) +
                         " argument(s): " + toUtf8(result.description));
            const int number = static_cast<int>(result.scode - 0x800A0000);
            EXPECT_EQ(outcome == Done ? S_OK : DISP_E_EXCEPTION, result.hr) << result.hr;
            EXPECT_EQ(outcome == Done, result.description.empty());
            EXPECT_TRUE(outcome == Arity ? number == 449 || number == 450
                                         : outcome <= Raised || static_cast<int>(outcome) == number)
                << number;
            const std::wstring line =
                L"Kelmo: " + std::wstring(name) + L": error " + std::to_wstring(number) + L" (0x";
            // The collection's own error is not ours to write.
            EXPECT_TRUE(outcome == Raised ||
                        (outcome != Done) == (output.text().find(line) != std::wstring::npos));
        }
    }
    // The library the object describes itself with loads through its registration, as the
    // marshaller and early-binding tools find it: by identifier and version 59.0.
    ComPtr<ITypeInfo> info;
    ComPtr<ITypeLib> own, registered;
    UINT index = 0;
    TLIBATTR* library = nullptr;
    ASSERT_EQ(S_OK, k.get()->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put()));
    ASSERT_EQ(S_OK, info->GetContainingTypeLib(own.put(), &index));
    ASSERT_EQ(S_OK, own->GetLibAttr(&library));
    EXPECT_EQ(S_OK, LoadRegTypeLib(library->guid, 59, 0, 0, registered.put()));
    own->ReleaseTLibAttr(library);
}

TEST(Guard, EveryKindOfExceptionBecomesAFailureWithErrorInfoAndADebugLine) {
    const std::tuple<std::function<void()>, HRESULT, const wchar_t*> cases[] = {
        {[] { kelmo::errors::raise(kelmo::errors::Overflow); }, HRESULT(0x800A0006), L"Overflow"},
        {[] { throw KelmoError(E_ACCESSDENIED, L"FldCopy: no"); }, E_ACCESSDENIED, L"FldCopy: no"},
        {[] { throw std::bad_alloc(); }, E_OUTOFMEMORY, L"Out of memory"},
        {[] { static_cast<void>(std::wstring(L"ab").substr(5)); }, E_FAIL, L"basic_string::substr"},
        {[] { throw 42; }, E_FAIL, L"unknown exception"},
        {[] { throw KelmoError(0, L"no number"); }, E_FAIL, L"no number"}}; // reads as success
    for (const auto& [body, hr, described] : cases) {
        SCOPED_TRACE(toUtf8(described));
        const DebugOutput output;
        std::optional<KelmoError> kept;
        EXPECT_EQ(hr, kelmo::win32::guarded(L"Member", IID_IDispatch, body, &kept));
        const kelmo::test::TakenErrorInfo reported = kelmo::test::takeErrorInfo();
        EXPECT_TRUE(reported.source == L"Kelmo" &&
                    IsEqualGUID(IID_IDispatch, reported.interfaceId));
        EXPECT_NE(std::wstring::npos, reported.description.find(described));
        EXPECT_EQ(reported.description, kept.value_or(KelmoError(0, L"none")).description());
        EXPECT_TRUE(output.text().starts_with(L"Kelmo: Member: error ") &&
                    output.text().ends_with(reported.description + L"\n"))
            << toUtf8(output.text());
    }
    EXPECT_EQ(S_FALSE, kelmo::win32::guarded(L"Member", IID_IDispatch, [] { return S_FALSE; }));
    std::optional<KelmoError> kept = KelmoError(6, L"Overflow"); // emptied by a call that succeeds
    EXPECT_EQ(S_OK, kelmo::win32::guarded(
                        L"Member", IID_IDispatch, [] {}, &kept));
    EXPECT_FALSE(kept.has_value());
}

// The server's exports on a copy of the DLL that nothing else loads, called as COM calls them.
TEST_F(Com, TheServerMakesAnObjectPerRequestAndUnloadsReleasingItsTypeLibrary) {
    wchar_t original[MAX_PATH] = {};
    GetModuleFileNameW(LoadLibraryW(L"Kelmo.dll"), original, MAX_PATH);
    const std::wstring copy = std::wstring(original, wcsrchr(original, L'\\') + 1) + L"Copy.dll";
    ASSERT_TRUE(CopyFileW(original, copy.c_str(), FALSE));
    HMODULE dll = LoadLibraryW(copy.c_str());
    const auto exported = [&](const char* name) {
        return reinterpret_cast<void*>(GetProcAddress(dll, name));
    };
    const auto canUnload = reinterpret_cast<HRESULT(WINAPI*)()>(exported("DllCanUnloadNow"));
    const auto classObject =
        reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(exported("DllGetClassObject"));
    CLSID clsid{}, fileSystem{};
    CLSIDFromProgID(L"Kelmo.CKelmo", &clsid);
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
              classObject(IID_IUnknown, IID_IClassFactory, factory.putVoid()));
    ASSERT_EQ(S_OK, classObject(clsid, IID_IClassFactory, factory.putVoid()));
    ComPtr<IDispatch> first, second;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch, first.putVoid()));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch, second.putVoid()));
    EXPECT_NE(first.get(), second.get()); // multi-use: a new object each time
    first.reset();
    EXPECT_EQ(S_FALSE, canUnload());
    second.reset();
    EXPECT_EQ(S_OK, canUnload());
    factory->LockServer(TRUE);
    EXPECT_EQ(S_FALSE, canUnload());
    factory->LockServer(FALSE);
    // On a thread without COM the object cannot have its file-system object: creation fails
    // with error info, and no half-made object keeps the DLL loaded.
    CLSIDFromString(L"{0D43FE01-F093-11CF-8940-00A0C9054228}", &fileSystem);
    std::thread([&] {
        ComPtr<IDispatch> object;
        ASSERT_TRUE(FAILED(CoCreateInstance(fileSystem, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IDispatch, object.putVoid())));
        EXPECT_TRUE(FAILED(factory->CreateInstance(nullptr, IID_IDispatch, object.putVoid())));
        EXPECT_EQ(nullptr, object.get());
        const auto info = kelmo::test::takeErrorInfo();
        EXPECT_EQ(L"Kelmo", info.source);
        EXPECT_NE(std::wstring::npos, info.description.find(L"Scripting.FileSystemObject"));
    }).join();
    EXPECT_EQ(S_OK, canUnload());
    factory.reset();
    FreeLibrary(dll);
    EXPECT_EQ(nullptr, GetModuleHandleW(copy.c_str()));
    ComPtr<ITypeLib> library; // the unloaded DLL holds no reference to it any more
    ASSERT_EQ(S_OK, LoadTypeLibEx(copy.c_str(), REGKIND_NONE, library.put()));
    EXPECT_EQ(0u, library.release()->Release());
    DeleteFileW(copy.c_str());
}

// Open handles counted by probing the handle values and private bytes as the committed private
// pages, since not every system fills the process counters.
std::pair<DWORD, SIZE_T> handlesAndPrivateBytes() {
    std::pair<DWORD, SIZE_T> figures;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++figures.first;
    }
    MEMORY_BASIC_INFORMATION region{};
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            figures.second += region.RegionSize;
        if (static_cast<const char*>(region.BaseAddress) + region.RegionSize < at) break;
    }
    return figures;
}

TEST_F(Com, TenThousandObjectsCreatedAndReleasedLeakNothing) {
    const auto cycle = [](int count) {
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(S_OK, LateBound().created());
    };
    cycle(200); // warm-up: libraries loaded, caches filled
    const auto [handles, bytes] = handlesAndPrivateBytes();
    cycle(10000);
    const auto [handlesAfter, bytesAfter] = handlesAndPrivateBytes();
    std::printf(
        "[ figures  ] 10000 objects: handles %lu -> %lu, private bytes %lu KiB -> %lu KiB\n",
        handles, handlesAfter, static_cast<unsigned long>(bytes / 1024),
        static_cast<unsigned long>(bytesAfter / 1024));
    EXPECT_LE(handlesAfter, handles + 2);
    EXPECT_LE(bytesAfter, bytes + 512 * 1024);
}

} // namespace
