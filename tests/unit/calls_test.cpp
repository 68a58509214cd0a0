// Calls into the object from its own message pump: a member that acts refuses them with the busy
// error while another member runs, reads are answered, and the refusal ends with the call.
#include "component/core/keyscript.h"
#include "component/core/object.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;

class Reentry : public ::testing::Test {
protected:
    Reentry() : k(fake.services()) { fake.log.clear(); }

    // Runs `nested` once, from the first message pump after the outer call has typed a key.
    void onPumpWhileTyping(std::function<void()> nested) {
        fake.clock.onPump = [this, nested] {
            if (fake.log.count("type") == 0 || nestedRan_) return;
            nestedRan_ = true;
            nested();
        };
    }

    FakePlatform fake;
    CKelmo k;

private:
    bool nestedRan_ = false;
};

TEST_F(Reentry, AnActingCallDuringAnotherIsBusyAReadIsAnsweredAndTheOuterCallCompletes) {
    std::vector<std::optional<std::int32_t>> refused;
    std::int16_t appNum = -1;
    onPumpWhileTyping([&] {
        refused.push_back(errorNumberOf([&] { k.Send(L"x"); }));
        refused.push_back(errorNumberOf([&] { k.Pass(L"x", 0); }));
        refused.push_back(errorNumberOf([&] { k.Break(L""); }));
        refused.push_back(errorNumberOf([&] { k.Rest(1, false); }));
        refused.push_back(errorNumberOf([&] { k.DefFld(L"D:\\"); }));
        refused.push_back(errorNumberOf([&] { k.FldFiles(); })); // no folder yet: it would ask
        appNum = k.AppNum();
        k.Mol1 = 50;
        k.ODOff();
    });
    k.Send(L"ab");
    EXPECT_EQ(refused, std::vector<std::optional<std::int32_t>>(6, errors::Busy));
    EXPECT_EQ(appNum, 0);
    EXPECT_EQ(fake.log.args("type"), (Steps{"a", "b"}));
    EXPECT_TRUE(fake.dialogs.boxes.empty());
    EXPECT_EQ(k.DefFld(), L"C:\\Work\\");
    EXPECT_EQ(k.pacer().settleMs(), 1000);
}

TEST_F(Reentry, TheRefusalEndsWithTheCallAlsoWhenItFailed) {
    EXPECT_EQ(errorNumberOf([&] { k.Send(L"a{bad}"); }), errors::InvalidCall);
    EXPECT_EQ(errorNumberOf([&] { k.Send(L"b"); }), std::nullopt);
    fake.dialogs.answers.queued = {FakeDialogs::Ignore};
    EXPECT_EQ(k.Break(L""), 3);
}

TEST_F(Reentry, ACallDuringThePauseBoxIsRefusedAndMembersThatTypeThroughSendAreNot) {
    std::optional<std::int32_t> refused;
    fake.log.onEntry = [&](const std::string& entry) {
        if (entry == "box Kelmo_Break") refused = errorNumberOf([&] { k.Send(L"x"); });
    };
    k.Break(L"");
    EXPECT_EQ(refused, errors::Busy);

    fake.log.onEntry = nullptr;
    k.Pass(L"abc", 1);
    k.PassF(L"a.txt", 1);
    const std::string paste = renderKeys(parseKeyScript(L"^v"));
    const std::string enter = renderKeys(parseKeyScript(L"{Enter}"));
    EXPECT_EQ(fake.log.args("type"), (Steps{paste, enter, paste, enter}));
}

TEST(BusyError, IsTheRetryLaterHresultWithItsOwnDescription) {
    EXPECT_EQ(automationScode(errors::Busy), static_cast<std::int32_t>(0x8001010Au));
    EXPECT_EQ(errors::standardDescription(errors::Busy),
              L"Kelmo is still running another call; try again when it has returned");
}

} // namespace
