// Pacing by processor idleness, the Pause-key guard, the pause box and Break, the OD modes,
// Rest and RestOld, all in virtual time against the fakes.
#include "component/object.h"
#include "fakes.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;
using Statistic = FakeSystem::Statistic;

// The private pacing routines. An explicit instantiation may name private members, so these
// pointers reach LaunchWait, PaceWait and ReadCpuUsage without a test hook in the class.
template <typename Tag, typename Tag::Pointer Member> struct Expose {
    friend typename Tag::Pointer pointerTo(Tag) { return Member; }
};
struct LaunchWaitRoutine {
    using Pointer = void (CKelmo::*)();
    friend Pointer pointerTo(LaunchWaitRoutine);
};
struct PaceWaitRoutine {
    using Pointer = void (CKelmo::*)();
    friend Pointer pointerTo(PaceWaitRoutine);
};
struct ReadCpuUsageRoutine {
    using Pointer = std::int32_t (CKelmo::*)();
    friend Pointer pointerTo(ReadCpuUsageRoutine);
};
template struct Expose<LaunchWaitRoutine, &CKelmo::LaunchWait>;
template struct Expose<PaceWaitRoutine, &CKelmo::PaceWait>;
template struct Expose<ReadCpuUsageRoutine, &CKelmo::ReadCpuUsage>;

constexpr WindowHandle AppWindow = 0x100;
const std::wstring ReasonBreak = L"Breakメソッドによって";
const std::wstring ReasonKey = L"Breakキー（Stopキー）が押されたため";

// The pause box's message, put together line by line.
std::wstring pauseMessage(const std::wstring &reason, const std::wstring &extra) {
    const std::wstring crlf = L"\r\n";
    return L"\u3000" + reason + crlf +                                        //
           L"Kelmoは一時中断されています。" + crlf + crlf +                   //
           L"[中止]ボタンを押すと、実行を完全に中止します。" + crlf + crlf +  //
           L"実行を再開するには、、、" + crlf +                               //
           L"\u3000現在のアプリで必要最小限の操作だけしてください。" + crlf + //
           L"\u3000現在のアプリを最前面にした直後に" + crlf +                 //
           L"\u3000（タスクバーの Kelmo_Break をクリックして）" + crlf +      //
           std::wstring(16, L'\u3000') + L" [再試行]を押してください。" + crlf + crlf + extra;
}

std::vector<std::string> repeated(const std::vector<std::string> &pattern, int times) {
    std::vector<std::string> result;
    for (int i = 0; i < times; ++i)
        result.insert(result.end(), pattern.begin(), pattern.end());
    return result;
}

std::vector<std::string> sleepsThen(int sleeps, const std::string &last) {
    std::vector<std::string> result(static_cast<std::size_t>(sleeps), "sleep 25");
    result.push_back(last);
    return result;
}

class Pacing : public ::testing::Test {
protected:
    Pacing() : k(prepared(fake)) {
        fake.log.clear();
        fake.clock.sleeps.clear();
        fake.clock.pumps = 0;
    }

    static platform::Services &prepared(FakeServices &services) {
        services.windows.front = AppWindow;
        services.dialogs.defaultAnswer = FakeDialogs::Retry;
        return services.services();
    }

    void launchWait() { (k.*pointerTo(LaunchWaitRoutine{}))(); }
    void paceWait() { (k.*pointerTo(PaceWaitRoutine{}))(); }
    std::int32_t readCpuUsage() { return (k.*pointerTo(ReadCpuUsageRoutine{}))(); }

    std::size_t sleepCount() const { return fake.clock.sleeps.size(); }
    std::size_t sleepsAfter(std::size_t logIndex) const {
        return fake.log.count("sleep", logIndex);
    }
    std::size_t firstBox() const { return fake.log.find("box Kelmo_Break"); }

    FakeServices fake;
    CKelmo k;
};

// --- Idle accumulation, PaceWait and LaunchWait ---

TEST_F(Pacing, WithoutAStatisticTheWaitsAreFixedNumbersOfAtomSleeps) {
    paceWait();
    EXPECT_EQ(fake.clock.sleeps, std::vector<std::int32_t>(4, 25));
    EXPECT_EQ(fake.log.count("sample"), 4u);

    fake.clock.sleeps.clear();
    launchWait();
    EXPECT_EQ(fake.clock.sleeps, std::vector<std::int32_t>(4, 25));

    fake.clock.sleeps.clear();
    k.ODOff();
    launchWait();
    EXPECT_EQ(fake.clock.sleeps, std::vector<std::int32_t>(200, 25));
}

TEST_F(Pacing, ASampleEqualToSpeedIsBusyAndStartsTheCountAgain) {
    fake.system.statistic = Statistic::Registry;
    fake.system.samples = {0, 89, 0, 0};
    paceWait();
    EXPECT_EQ(sleepCount(), 4u);

    fake.clock.sleeps.clear();
    fake.system.samples = {0, 0, 0, 90, 0, 0, 0, 0};
    paceWait();
    EXPECT_EQ(sleepCount(), 8u);

    fake.clock.sleeps.clear();
    k.Speed = 50;
    fake.system.samples = {0, 50, 0, 0, 0, 0};
    paceWait();
    EXPECT_EQ(sleepCount(), 6u);
}

TEST_F(Pacing, ANonPositiveMol1TakesExactlyOneSampleEvenWhenBusy) {
    fake.system.statistic = Statistic::Registry;
    fake.system.restingUsage = 100;
    for (const std::int32_t mol1 : {0, -5, INT_MIN}) {
        SCOPED_TRACE(mol1);
        fake.log.clear();
        k.Mol1 = mol1;
        paceWait();
        EXPECT_EQ(fake.log.only({"sleep", "sample"}),
                  (std::vector<std::string>{"sleep 25", "sample 100"}));
    }
}

TEST_F(Pacing, RepeatBelowOneMakesLaunchWaitOnlyPumpInEitherMode) {
    for (const std::int16_t repeat : {0, -1}) {
        for (const bool odOn : {true, false}) {
            SCOPED_TRACE(testing::Message() << "Repeat " << repeat << ", OD on " << odOn);
            odOn ? k.ODOn() : k.ODOff();
            k.Repeat = repeat;
            fake.log.clear();
            fake.clock.pumps = 0;
            launchWait();
            EXPECT_TRUE(fake.log.entries().empty());
            EXPECT_GE(fake.clock.pumps, 1);
        }
    }
}

TEST_F(Pacing, OdOffLaunchWaitChecksThePauseKeyAfterEveryRoundIncludingTheLast) {
    k.ODOff();
    launchWait();
    EXPECT_EQ(fake.log.only({"sleep", "key"}), repeated(sleepsThen(40, "key 19 0"), 5));

    fake.log.clear();
    k.Repeat = 3;
    k.Mol2 = 250; // takes effect at the next ODOff only
    launchWait();
    EXPECT_EQ(fake.log.only({"sleep", "key"}), repeated(sleepsThen(40, "key 19 0"), 3));

    fake.log.clear();
    k.ODflag = true; // one round, still of the SettleMs that ODOff set
    launchWait();
    EXPECT_EQ(fake.log.only({"sleep", "key"}), std::vector<std::string>(40, "sleep 25"));
}

TEST_F(Pacing, APausePressDuringAnOdOffRoundOpensTheBoxAtItsEndAndTheOtherRoundsStillRun) {
    k.ODOff();
    fake.pressPauseAt(1500);
    launchWait();

    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes[0].text, pauseMessage(ReasonKey, L""));
    EXPECT_EQ(fake.dialogs.boxes[0].atMs, 2000 + 100); // end of round 2, then the box's PaceWait
    EXPECT_EQ(fake.log.count("key", firstBox()), 3u);
    EXPECT_EQ(sleepsAfter(firstBox()), 4 + 4 + 3 * 40u);
}

TEST_F(Pacing, TheRegistryStatisticIsReadAnewEachSampleAndGivesItsLowByte) {
    fake.system.statistic = Statistic::Registry;
    fake.system.rawStatData = {0x105, 0xFFFFFF5Au, 0x3200};
    EXPECT_EQ(readCpuUsage(), 5);
    EXPECT_EQ(readCpuUsage(), 90);
    EXPECT_EQ(readCpuUsage(), 0);
    EXPECT_EQ(fake.log.only({"stat"}),
              repeated({"stat PerfStats\\StartStat", "stat PerfStats\\StatData"}, 3));

    fake.system.statistic = Statistic::None;
    EXPECT_EQ(readCpuUsage(), -1);
}

TEST_F(Pacing, ProcessorTimesGiveTheWholeNumberUsageSinceThePreviousSample) {
    fake.system.statistic = Statistic::ProcessorTimes;
    fake.system.samples = {0, 0, 0, 100, 0, 0, 0, 0};
    paceWait();
    EXPECT_EQ(sleepCount(), 8u); // the busy sample is not averaged with the idle ones before it

    k.Speed = 37;
    fake.clock.sleeps.clear();
    fake.system.samples = {37, 0, 0, 0, 0};
    paceWait();
    EXPECT_EQ(sleepCount(), 5u);

    k.Speed = 38;
    fake.clock.sleeps.clear();
    fake.system.samples = {37, 0, 0, 0};
    paceWait();
    EXPECT_EQ(sleepCount(), 4u);
}

TEST_F(Pacing, AnAtomOfZeroOrBelowStepsByOneMillisecond) {
    for (const std::int32_t atom : {0, -25, INT_MIN}) {
        SCOPED_TRACE(atom);
        fake.clock.sleeps.clear();
        k.Atom = atom;
        paceWait();
        EXPECT_EQ(fake.clock.sleeps, std::vector<std::int32_t>(100, 1));
    }
}

TEST_F(Pacing, AnIdleSumBeyondThe32BitRangeRaisesOverflow) {
    fake.clock.limitMs = INT64_MAX;
    k.Atom = 1 << 30;
    k.Mol1 = INT_MAX;
    try {
        paceWait();
        ADD_FAILURE() << "no error";
    } catch (const KelmoError &error) {
        EXPECT_EQ(error.number(), errors::Overflow);
    }
    EXPECT_EQ(sleepCount(), 2u);
}

// --- A machine that never gets idle ---

TEST_F(Pacing, AWaitStuckOnABusyMachineListensToThePauseKeyTenSecondsBeyondItsTime) {
    fake.system.statistic = Statistic::Registry;
    fake.system.restingUsage = 100;
    fake.clock.at(20'000, [&] { fake.system.restingUsage = 0; });
    paceWait();

    const std::size_t firstQuery = fake.log.find("key 19 0");
    EXPECT_EQ(fake.log.count("sleep") - sleepsAfter(firstQuery), 405u); // 10125 ms > 10100 ms
    EXPECT_EQ(fake.clock.now(), 20'075);
    EXPECT_TRUE(fake.dialogs.boxes.empty());
}

TEST_F(Pacing, APausePressEndsAStuckWaitAfterTheBox) {
    fake.system.statistic = Statistic::Registry;
    fake.system.restingUsage = 100;
    fake.pressPauseAt(1000);
    fake.keyboard.onQuery = [&](int, std::int16_t state) {
        if (state > 0) fake.system.restingUsage = 0; // the busy program has finished meanwhile
    };
    k.AppNum();

    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes[0].text, pauseMessage(ReasonKey, L""));
    EXPECT_EQ(sleepsAfter(firstBox()), 8u); // the box's own waits; the stuck wait is over
}

// One press is enough: the pause box's own waits must not hold the box back on a machine that
// never gets idle, nor wait for a second press.
TEST_F(Pacing, APausePressOpensTheBoxOnAMachineThatStaysBusy) {
    fake.system.statistic = Statistic::Registry;
    fake.system.restingUsage = 100;
    fake.clock.limitMs = 5 * 60 * 1000;
    fake.pressPauseAt(12'000);
    try {
        k.AppNum();
    } catch (const VirtualTimeExceeded &) {
        ADD_FAILURE() << "still waiting after 5 minutes; pause boxes shown: "
                      << fake.dialogs.boxes.size();
    }
    EXPECT_EQ(fake.dialogs.boxes.size(), 1u);
}

// --- GuardBreak ---

TEST_F(Pacing, APressAndReleaseBeforeAGuardedMemberOpensTheBoxFirst) {
    fake.keyboard.press(FakeKeyboard::Pause);
    k.AppNum();

    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes[0].text, pauseMessage(ReasonKey, L""));
    std::vector<std::string> expected = {"key 19 1"};
    for (const auto &step :
         {sleepsThen(4, "box Kelmo_Break"), std::vector<std::string>(12, "sleep 25")})
        expected.insert(expected.end(), step.begin(), step.end());
    EXPECT_EQ(fake.log.only({"key", "sleep", "box"}), expected);
}

TEST_F(Pacing, AKeyHeldThroughTheCheckIsNoticedOnlyAfterItsRelease) {
    fake.keyboard.keyDown(FakeKeyboard::Pause);
    k.AppNum();
    EXPECT_TRUE(fake.dialogs.boxes.empty());

    fake.keyboard.keyUp(FakeKeyboard::Pause);
    k.AppNum();
    EXPECT_EQ(fake.dialogs.boxes.size(), 1u);
}

// --- The pause box and Break ---

TEST_F(Pacing, BreakShowsThePauseMessageWithItsExtraTextAfterTheLastLineBreaks) {
    const std::wstring message = pauseMessage(ReasonBreak, L"");
    EXPECT_EQ(std::count(message.begin(), message.end(), L'\u3000'), 20);
    EXPECT_EQ(std::count(message.begin(), message.end(), L'\n'), 11);

    k.Break(L"");
    k.Break(L"x");
    ASSERT_EQ(fake.dialogs.boxes.size(), 2u);
    for (const auto &box : fake.dialogs.boxes) {
        EXPECT_EQ(box.title, L"Kelmo_Break");
        EXPECT_EQ(box.flags, 0x10232u);
    }
    EXPECT_EQ(fake.dialogs.boxes[0].text, pauseMessage(ReasonBreak, L""));
    EXPECT_EQ(fake.dialogs.boxes[1].text, pauseMessage(ReasonBreak, L"x"));
}

TEST_F(Pacing, TheBoxAnswerBecomesTwoForRetryThreeForIgnoreAndZeroOtherwise) {
    const std::vector<std::pair<std::int32_t, std::int16_t>> cases = {
        {FakeDialogs::Retry, 2},  {FakeDialogs::Ignore, 3}, {FakeDialogs::Ok, 0},
        {FakeDialogs::Cancel, 0}, {FakeDialogs::Yes, 0},    {0, 0}};
    for (const auto &[answer, result] : cases) {
        SCOPED_TRACE(answer);
        fake.dialogs.answers = {answer};
        EXPECT_EQ(k.Break(L""), result);
    }
}

TEST_F(Pacing, AbortEndsTheRunAndNothingRunsAfterIt) {
    fake.dialogs.answers = {FakeDialogs::Abort};
    EXPECT_THROW(k.Break(L""), RunEnded);
    EXPECT_EQ(fake.log.entries().back(), "endRun");

    fake.log.clear();
    fake.keyboard.press(FakeKeyboard::Pause);
    fake.dialogs.answers = {FakeDialogs::Abort};
    fake.windows.bringUp(0x300);
    EXPECT_THROW(k.AppNum(), RunEnded);
    EXPECT_EQ(fake.log.entries().back(), "endRun");
    EXPECT_EQ(k.appWnds()[0], AppWindow);
}

TEST_F(Pacing, TheBoxFrontsTheApplicationsPopupAndAdoptsTheWindowInFrontAfterIt) {
    fake.windows.popups[AppWindow] = 0x101;
    fake.windows.bringUp(0x200);
    fake.dialogs.onMessageBox = [&](FakeDialogs::BoxCall &) {
        EXPECT_EQ(fake.windows.activations, std::vector<WindowHandle>{0x101});
        fake.windows.bringUp(0x300);                  // the user repaired things in another window
        fake.bringUpAt(fake.clock.now() + 50, 0x301); // and it put up a dialog just after
    };
    k.Break(L"");
    EXPECT_EQ(k.appWnds()[0], 0x301u);
}

TEST_F(Pacing, TheBoxFrontsNothingWhenTheApplicationsWindowIsNone) {
    FakeServices desktop;
    desktop.windows.front = 0;
    CKelmo noWindow(desktop.services());
    noWindow.Break(L"");
    EXPECT_TRUE(desktop.windows.activations.empty());
    EXPECT_EQ(desktop.dialogs.boxes.size(), 1u);
}

TEST_F(Pacing, BreakUsesItsOwnReasonAfterAPauseKeyBox) {
    fake.keyboard.press(FakeKeyboard::Pause);
    k.AppNum();
    k.Break(L"");
    ASSERT_EQ(fake.dialogs.boxes.size(), 2u);
    EXPECT_EQ(fake.dialogs.boxes[0].text, pauseMessage(ReasonKey, L""));
    EXPECT_EQ(fake.dialogs.boxes[1].text, pauseMessage(ReasonBreak, L""));
}

TEST_F(Pacing, BreakLeavesAPendingPausePressForTheNextCheck) {
    fake.keyboard.press(FakeKeyboard::Pause);
    k.Break(L"");
    EXPECT_EQ(fake.dialogs.boxes.size(), 1u);
    k.AppNum();
    ASSERT_EQ(fake.dialogs.boxes.size(), 2u);
    EXPECT_EQ(fake.dialogs.boxes[1].text, pauseMessage(ReasonKey, L""));
}

// --- OD modes ---

TEST_F(Pacing, OdOnAndOdOffCopyMol1AndMol2WhileAssigningOdFlagLeavesSettleMs) {
    k.ODflag = false;
    EXPECT_EQ(k.settleMs(), 100);
    k.Mol1 = 300;
    k.ODOn();
    EXPECT_TRUE(k.ODflag);
    EXPECT_EQ(k.settleMs(), 300);
    k.Mol2 = 700;
    k.ODOff();
    EXPECT_FALSE(k.ODflag);
    EXPECT_EQ(k.settleMs(), 700);
    k.Mol2 = 800;
    k.ODflag = true;
    EXPECT_EQ(k.settleMs(), 700);
}

// --- Rest ---

TEST_F(Pacing, RestOnAFreshObjectWaitsTenSecondsInOdOffModeAndReturnsToOdOn) {
    k.Mol1 = 150;
    k.Rest(0, false);

    std::vector<std::string> expected = {"key 19 0"};
    for (const auto &step : {repeated(sleepsThen(40, "key 19 0"), 10), repeated({"sleep 25"}, 40)})
        expected.insert(expected.end(), step.begin(), step.end());
    EXPECT_EQ(fake.log.only({"key", "sleep"}), expected);
    EXPECT_EQ(fake.clock.now(), 11'000);
    EXPECT_TRUE(k.ODflag);
    EXPECT_EQ(k.settleMs(), 150);
}

TEST_F(Pacing, RestAfterOdOffStaysOffWithSettleMsFromMol2) {
    k.ODOff();
    k.Mol2 = 400;
    k.Rest(1, false);
    EXPECT_EQ(fake.log.only({"key", "sleep"}).size(), 1 + 5 * 17 + 40u);
    EXPECT_FALSE(k.ODflag);
    EXPECT_EQ(k.settleMs(), 400);
}

TEST_F(Pacing, RestOfOneSecondIsOneLaunchWaitAndTheFinalSecond) {
    k.Rest(1, false);
    EXPECT_EQ(sleepCount(), 200 + 40u);
    EXPECT_EQ(fake.log.count("key"), 1 + 5u);
    std::vector<std::string> tail = {"key 19 0"}; // the last round's check, then the final second
    tail.resize(41, "sleep 25");
    const auto steps = fake.log.only({"key", "sleep"});
    EXPECT_EQ(std::vector(steps.end() - 41, steps.end()), tail);
}

TEST_F(Pacing, ANewWindowInFrontEndsRestAfterTheCurrentLaunchWaitUnlessToldToWait) {
    fake.bringUpAt(2000, 0x777);
    k.Rest(0, false);
    EXPECT_EQ(fake.clock.now(), 5000 + 1000);
    EXPECT_EQ(k.appWnds()[0], 0x777u);

    fake.bringUpAt(fake.clock.now() + 2000, 0x778);
    const std::int64_t start = fake.clock.now();
    k.Rest(0, true);
    EXPECT_EQ(fake.clock.now() - start, 11'000);
    EXPECT_EQ(k.appWnds()[0], 0x778u);
}

TEST_F(Pacing, RestComparesWithTheWindowInFrontWhenItStarts) {
    fake.windows.bringUp(0x555); // after creation: application 0 is still AppWindow
    k.Rest(0, false);
    EXPECT_EQ(fake.clock.now(), 11'000);
    EXPECT_EQ(k.appWnds()[0], 0x555u);
}

TEST_F(Pacing, RestAcrossMidnightStillEndsAfterItsSeconds) {
    for (const double timeOfDay : {86'400.0 - 3, 86'400.0 - 7, 86'400.0 - 0.5}) {
        SCOPED_TRACE(timeOfDay);
        fake.clock.setTimeOfDay(timeOfDay);
        const std::int64_t start = fake.clock.now();
        k.Rest(10, false);
        EXPECT_EQ(fake.clock.now() - start, 11'000);
    }
}

TEST_F(Pacing, RestNoticesThePauseKeyBeforeItsFirstRoundAndAfterEachRound) {
    fake.keyboard.press(FakeKeyboard::Pause);
    fake.pressPauseAt(7500);
    k.Rest(0, false);

    ASSERT_EQ(fake.dialogs.boxes.size(), 2u);
    EXPECT_EQ(fake.dialogs.boxes[0].atMs, 100);
    EXPECT_EQ(fake.dialogs.boxes[1].atMs, 300 + 8000 + 100); // first box's waits, round 8's end
    EXPECT_EQ(fake.dialogs.boxes[1].text, pauseMessage(ReasonKey, L""));
}

// --- RestOld ---

TEST_F(Pacing, RestOldSleepsTenthsOfASecondThenOneSecond) {
    k.RestOld(1, false);
    EXPECT_EQ(fake.clock.sleeps, (std::vector<std::int32_t>{100, 1000}));

    fake.clock.sleeps.clear();
    k.RestOld(-5, false);
    EXPECT_EQ(fake.clock.sleeps, std::vector<std::int32_t>{1000});

    fake.clock.sleeps.clear();
    k.RestMax = 2;
    k.RestOld(0, false);
    std::vector<std::int32_t> expected(11, 100);
    expected.push_back(1000);
    EXPECT_EQ(fake.clock.sleeps, expected);
}

TEST_F(Pacing, RestOldEndsAfterTheFirstTenthWhenAnotherWindowIsAlreadyInFront) {
    fake.windows.bringUp(0x666);
    k.RestOld(10, false);
    EXPECT_EQ(fake.clock.sleeps, (std::vector<std::int32_t>{100, 1000}));
    EXPECT_EQ(k.appWnds()[0], 0x666u);

    fake.windows.bringUp(0x667);
    fake.clock.sleeps.clear();
    k.RestOld(2, true);
    EXPECT_EQ(fake.clock.sleeps.size(), 12u);
    EXPECT_EQ(k.appWnds()[0], 0x667u);
}

TEST_F(Pacing, RestOldNoticesThePauseKeyAtTheNextTenth) {
    fake.pressPauseAt(250);
    k.RestOld(2, false);
    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes[0].atMs, 300 + 100);
    EXPECT_EQ(fake.dialogs.boxes[0].text, pauseMessage(ReasonKey, L""));
}

TEST_F(Pacing, RestOldRaisesOverflowForExtremeSecondsBeforeWaiting) {
    k.RestMax = INT_MIN;
    for (const std::int32_t sec : {INT_MIN, 214748366, INT_MAX, 0}) {
        SCOPED_TRACE(sec);
        try {
            k.RestOld(sec, false);
            ADD_FAILURE() << "no error";
        } catch (const KelmoError &error) {
            EXPECT_EQ(error.number(), errors::Overflow);
        }
    }
    EXPECT_TRUE(fake.log.entries().empty());
}

} // namespace
