// The module's guard against the real error-info and debug-output services: whatever an entry
// throws reaches the client as a failed HRESULT with error info and a line in the debugger's
// output naming the member, the number and the description, also from the registered DLL.
#include "platform/win32/module/guard.h"

#include "fixture.h"
#include "toolio.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>

namespace {

using kelmo::KelmoError;
using kelmo::win32::guarded;

// What this process writes to the debugger's output while it lives, as a debugger receives it
// (the exception that OutputDebugString raises for it, wide or narrow).
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

TEST(Guard, EveryKindOfExceptionBecomesAFailureWithErrorInfoAndADebugLine) {
    const std::tuple<std::function<void()>, HRESULT, const wchar_t*> cases[] = {
        {[] { kelmo::errors::raise(kelmo::errors::Overflow); }, HRESULT(0x800A0006), L"Overflow"},
        {[] { throw KelmoError(E_ACCESSDENIED, L"FldCopy: no"); }, E_ACCESSDENIED, L"FldCopy: no"},
        {[] { throw std::bad_alloc(); }, E_OUTOFMEMORY, L"Out of memory"},
        {[] { static_cast<void>(std::wstring(L"ab").substr(5)); }, E_FAIL, L"basic_string::substr"},
        {[] { throw 42; }, E_FAIL, L"unknown exception"},
        {[] { throw KelmoError(0, L"no number"); }, E_FAIL, L"no number"}}; // reads as success
    for (const auto& [body, hr, described] : cases) {
        SCOPED_TRACE(kelmo::testtools::toUtf8(described));
        const DebugOutput output;
        std::optional<KelmoError> kept;
        EXPECT_EQ(hr, guarded(L"Member", IID_IDispatch, body, &kept));
        const kelmo::test::TakenErrorInfo reported = kelmo::test::takeErrorInfo();
        EXPECT_EQ(L"Kelmo", reported.source);
        EXPECT_NE(std::wstring::npos, reported.description.find(described));
        EXPECT_TRUE(IsEqualGUID(IID_IDispatch, reported.interfaceId));
        ASSERT_TRUE(kept.has_value());
        EXPECT_EQ(reported.description, kept->description());
        EXPECT_NE(std::wstring::npos, output.text().find(L"Kelmo: Member: error "));
        EXPECT_NE(std::wstring::npos, output.text().find(reported.description + L"\n"));
    }
    const DebugOutput output;
    EXPECT_EQ(S_FALSE, guarded(L"Member", IID_IDispatch, [] { return S_FALSE; }));
    std::optional<KelmoError> kept = KelmoError(6, L"Overflow");
    EXPECT_EQ(S_OK, guarded(
                        L"Member", IID_IDispatch, [] {}, &kept));
    EXPECT_FALSE(kept.has_value());
    EXPECT_EQ(L"", output.text()); // nothing written when nothing failed
}

using Com = kelmo::test::ComTest;

TEST_F(Com, TheDllWritesWhichMemberFailedWithWhatNumber) {
    kelmo::test::LateBound k;
    const DebugOutput output;
    k.call(L"RestOld", {-2147483647L - 1}); // raised by the member itself
    k.call(L"Popup", {L"x", L"abc"});       // by the argument's conversion before it
    EXPECT_NE(std::wstring::npos,
              output.text().find(L"Kelmo: RestOld: error 6 (0x800A0006): Overflow\n"));
    EXPECT_NE(std::wstring::npos,
              output.text().find(L"Kelmo: Popup: error 13 (0x800A000D): Type mismatch\n"));
}

} // namespace
