// The application table: entry 0, registration and its 16-bit limit, selection, look-ups and
// activation through the last active pop-up.
#include "component/core/apptable.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;
using Previous = AppTable::Previous;

class Apps : public ::testing::Test {
protected:
    Apps() { fake.log.clear(); }

    FakePlatform fake;
    AppTable apps{fake.windows, fake.clock};
};

TEST_F(Apps, RegistrationAddsACurrentEntryKeepsTheOthersAndPumpsMessages) {
    apps.window(0) = 0x100;
    EXPECT_EQ(apps.registerApplication(), 1);
    apps.window(1) = 0x111;
    apps.processId(1) = 42;
    EXPECT_EQ(fake.log.entries, Steps{"pump"});
    EXPECT_EQ(apps.registerApplication(), 2);
    EXPECT_EQ(apps.current(), 2);
    EXPECT_EQ(apps.previous(), 1);
    EXPECT_EQ(apps.windows(), (std::vector<WindowHandle>{0x100, 0x111, 0}));
    EXPECT_EQ(apps.processIds(), (std::vector<platform::ProcessId>{0, 42, 0}));

    // A registration that comes back to the entry it left keeps the previous index.
    EXPECT_EQ(apps.registerApplication(Previous::Keep), 3);
    EXPECT_EQ(apps.current(), 3);
    EXPECT_EQ(apps.previous(), 1);
    apps.select(2, Previous::Keep);
    EXPECT_EQ(apps.previous(), 1);
}

TEST_F(Apps, The32768thRegistrationOverflowsAndLeavesTheTableAsItWas) {
    for (int i = 1; i <= 32767; ++i)
        apps.registerApplication();
    EXPECT_EQ(apps.count(), 32767);
    apps.select(5);
    EXPECT_EQ(errorNumberOf([&] { apps.registerApplication(); }), errors::Overflow);
    EXPECT_EQ(apps.count(), 32767);
    EXPECT_EQ(apps.current(), 5);
    EXPECT_EQ(apps.previous(), 32767);
    EXPECT_EQ(apps.windows().size(), 32768u);
}

TEST_F(Apps, SelectionClampsAboveOnlyAndAnIndexOutsideTheTableIsASubscriptError) {
    for (int i = 0; i < 3; ++i)
        apps.registerApplication();
    apps.select(99);
    EXPECT_EQ(apps.current(), 3);
    EXPECT_EQ(apps.previous(), 2);
    apps.select(3); // the same index: the previous one stays
    EXPECT_EQ(apps.previous(), 2);
    apps.select(1);
    EXPECT_EQ(apps.previous(), 3);

    apps.select(-1); // stored; the look-ups fail instead
    EXPECT_EQ(apps.current(), -1);
    EXPECT_EQ(errorNumberOf([&] { apps.currentWindow(); }), errors::SubscriptOutOfRange);
    EXPECT_EQ(errorNumberOf([&] { apps.adoptForeground(); }), errors::SubscriptOutOfRange);
    EXPECT_EQ(errorNumberOf([&] { apps.window(4); }), errors::SubscriptOutOfRange);
    EXPECT_EQ(errorNumberOf([&] { apps.processId(-1); }), errors::SubscriptOutOfRange);
}

TEST_F(Apps, BringingToFrontActivatesTheLastActivePopupAndNothingForNoWindow) {
    fake.windows.popups[0x100] = 0x101;
    apps.bringCurrentToFront();
    apps.bringToFront(0);
    apps.bringToFront(0x200);
    EXPECT_EQ(fake.log.args("activate"), (Steps{"257", "512"}));

    fake.windows.bringUp(0x300);
    apps.adoptForeground();
    EXPECT_EQ(apps.windows()[0], 0x300u);
}

} // namespace
