// Calls into the object from its own message pump: while a member runs, one that acts is refused
// with the busy error and one that reads is answered; the refusal ends with the call.
#include "component/core/object.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;

class Reentry : public ::testing::Test {
protected:
    Reentry() : k(fake.services()) { fake.log.clear(); }

    FakePlatform fake;
    CKelmo k;
};

TEST_F(Reentry, AnActingCallDuringAnotherIsBusyAReadIsAnsweredAndTheOuterCallCompletes) {
    std::vector<std::optional<std::int32_t>> refused;
    std::int16_t appNum = -1;
    fake.clock.onPump = [&] { // once, after the outer call has typed a key
        if (fake.log.count("type") == 0 || !refused.empty()) return;
        for (const auto& nested : std::vector<std::function<void()>>{
                 [&] { k.Send(L"x"); }, [&] { k.Pass(L"x", 0); }, [&] { k.Break(L""); },
                 [&] { k.Rest(1, false); }, [&] { k.DefFld(L"D:\\"); },
                 [&] { k.FldFiles(); }}) // no folder yet: it would ask
            refused.push_back(errorNumberOf(nested));
        appNum = k.AppNum();
        k.Mol1 = 50;
        k.ODOff();
    };
    k.Send(L"ab");
    EXPECT_EQ(refused, std::vector<std::optional<std::int32_t>>(6, errors::Busy));
    EXPECT_EQ(appNum, 0);
    EXPECT_EQ(fake.log.args("type"), (Steps{"a", "b"}));
    EXPECT_TRUE(fake.dialogs.boxes.empty());
    EXPECT_EQ(k.DefFld(), L"C:\\Work\\");
    EXPECT_EQ(k.pacer().settleMs(), 1000);
}

TEST_F(Reentry, ThePauseBoxIsACallAndTheRefusalEndsWithTheCallAlsoWhenItFailed) {
    std::optional<std::int32_t> refused;
    fake.log.onEntry = [&](const std::string& entry) {
        if (entry == "box Kelmo_Break") refused = errorNumberOf([&] { k.Send(L"x"); });
    };
    EXPECT_EQ(k.Break(L""), 2);
    EXPECT_EQ(refused, errors::Busy);
    EXPECT_EQ(errorNumberOf([&] { k.Send(L"a{bad}"); }), errors::InvalidCall);
    EXPECT_EQ(errorNumberOf([&] { k.Send(L"b"); }), std::nullopt);
}

} // namespace
