// What every Wine-side test of the component shares: an apartment for the test, fast pacing
// for objects whose timing the test does not measure, and the error info a failure left.
#pragma once

#include "latebound.h"

#include <gtest/gtest.h>

#include <string>

namespace kelmo::test {

class ComTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
};

// One 1 ms idle sample between actions and after typing.
inline void fastPacing(const LateBound& k) {
    k.put(L"Atom", Arg(1));
    k.put(L"Mol1", Arg(1));
    k.call(L"ODOn");
}

struct TakenErrorInfo {
    std::wstring source;
    std::wstring description;
    GUID interfaceId{};
};

// The calling thread's error info, taken (it is cleared by taking it).
inline TakenErrorInfo takeErrorInfo() {
    TakenErrorInfo taken;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info) return taken;
    BSTR source = nullptr, description = nullptr;
    info->GetSource(&source);
    info->GetDescription(&description);
    info->GetGUID(&taken.interfaceId);
    taken.source = source ? source : L"";
    taken.description = description ? description : L"";
    SysFreeString(source);
    SysFreeString(description);
    info->Release();
    return taken;
}

} // namespace kelmo::test
