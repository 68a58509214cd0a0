// What every Wine-side test of the component shares: an apartment for the test, and fast
// pacing for objects whose timing the test does not measure.
#pragma once

#include "latebound.h"

#include <gtest/gtest.h>

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

} // namespace kelmo::test
