// The component's COM guard (component/com/guard.h), against the real error-info services:
// whatever a member throws reaches the client as a failed HRESULT with error info (source
// "Kelmo", a description), never as an exception leaving the DLL.
#include "component/com/guard.h"

#include "fixture.h"
#include "toolio.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>

namespace {

using kelmo::KelmoError;
using kelmo::com::guarded;

struct Thrown {
    const char* what;
    std::function<void()> body;
    HRESULT hr;
    const wchar_t* described; // a part of the description
};

TEST(Guard, EveryKindOfExceptionBecomesAFailureWithErrorInfo) {
    const Thrown cases[] = {
        {"a run-time error", [] { kelmo::errors::raise(kelmo::errors::Overflow); },
         static_cast<HRESULT>(0x800A0006), L"Overflow"},
        {"a platform failure", [] { throw KelmoError(E_ACCESSDENIED, L"FldCopy: Access denied"); },
         E_ACCESSDENIED, L"FldCopy: Access denied"},
        {"no memory", [] { throw std::bad_alloc(); }, E_OUTOFMEMORY, L"Out of memory"},
        {"a standard exception", [] { static_cast<void>(std::wstring(L"ab").substr(5)); }, E_FAIL,
         L"basic_string::substr"},
        {"anything else", [] { throw 42; }, E_FAIL, L"unknown exception"},
        {"an error number that reads as success", [] { throw KelmoError(0, L"no number"); }, E_FAIL,
         L"no number"},
    };
    for (const Thrown& thrown : cases) {
        SCOPED_TRACE(thrown.what);
        std::optional<KelmoError> kept;
        const HRESULT hr = guarded(IID_IDispatch, thrown.body, &kept);
        EXPECT_EQ(thrown.hr, hr);
        const kelmo::test::TakenErrorInfo reported = kelmo::test::takeErrorInfo();
        EXPECT_EQ(L"Kelmo", reported.source);
        EXPECT_NE(std::wstring::npos, reported.description.find(thrown.described))
            << kelmo::testtools::toUtf8(reported.description);
        EXPECT_TRUE(IsEqualGUID(IID_IDispatch, reported.interfaceId));
        ASSERT_TRUE(kept.has_value());
        EXPECT_EQ(reported.description, kept->description());
    }
}

TEST(Guard, ASucceedingBodyGivesItsResultAndForgetsTheLastError) {
    std::optional<KelmoError> kept = KelmoError(6, L"Overflow");
    EXPECT_EQ(S_OK, guarded(
                        IID_IDispatch, [] {}, &kept));
    EXPECT_FALSE(kept.has_value());
    EXPECT_EQ(S_FALSE, guarded(IID_IDispatch, [] { return S_FALSE; }));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, guarded(IID_IDispatch, [] { return DISP_E_MEMBERNOTFOUND; }));
}

} // namespace
