// Pacing by processor idleness, the Pause-key guard, the pause box and Break, the OD modes,
// Rest and RestOld, all in virtual time against the fakes.
#include "fakes.h"
#include "private_access.h"

#include <gtest/gtest.h>

#include <climits>

EXPOSE_CKELMO(LaunchWait);
EXPOSE_CKELMO(PaceWait);
EXPOSE_CKELMO(ReadCpuUsage);

namespace {

using namespace kelmo;
using namespace kelmo::fakes;
using Statistic = FakeDesktop::Statistic;

constexpr WindowHandle AppWindow = 0x100;
const std::wstring ReasonBreak = L"Breakメソッドによって";
const std::wstring ReasonKey = L"Breakキー（Stopキー）が押されたため";
const Steps NoPress = {"key 19 0"};

std::wstring pauseMessage(const std::wstring& reason, const std::wstring& extra) {
    const std::wstring crlf = L"\r\n";
    return L"\u3000" + reason + crlf + L"Kelmoは一時中断されています。" + crlf + crlf +
           L"[中止]ボタンを押すと、実行を完全に中止します。" + crlf + crlf +
           L"実行を再開するには、、、" + crlf +
           L"\u3000現在のアプリで必要最小限の操作だけしてください。" + crlf +
           L"\u3000現在のアプリを最前面にした直後に" + crlf +
           L"\u3000（タスクバーの Kelmo_Break をクリックして）" + crlf +
           std::wstring(16, L'\u3000') + L" [再試行]を押してください。" + crlf + crlf + extra;
}

Steps sleeps(std::size_t n) {
    return Steps(n, "sleep 25");
}

class Pacing : public ::testing::Test {
protected:
    Pacing() : k(fake.services()) { fake.log.clear(); }

    void launchWait() { (k.*pointerTo(LaunchWaitTag{}))(); }
    void paceWait() { (k.*pointerTo(PaceWaitTag{}))(); }
    std::int32_t readCpuUsage() { return (k.*pointerTo(ReadCpuUsageTag{}))(); }

    Steps sleepsAndKeys() const { return fake.log.only({"sleep", "key"}); }
    std::size_t sleepsFrom(std::size_t index) const { return fake.log.count("sleep", index); }
    std::size_t firstBox() const { return fake.log.find("box Kelmo_Break"); }
    void busyMachine() {
        fake.statistic = Statistic::Registry;
        fake.usage.otherwise = 100;
    }

    FakeDesktop fake;
    CKelmo k;
};

// --- Idle accumulation, PaceWait and LaunchWait ---

TEST_F(Pacing, WithoutAStatisticEachWaitIsAFixedNumberOfAtomSleeps) {
    paceWait();
    EXPECT_EQ(fake.log.only({"sleep", "sample"}), times(4, {"sleep 25", "sample none"}));
    fake.log.clear();
    launchWait(); // OD on: one round of SettleMs
    EXPECT_EQ(sleepsAndKeys(), sleeps(4));

    fake.log.clear();
    k.ODOff(); // Repeat rounds of Mol2, the Pause key checked after every round
    launchWait();
    EXPECT_EQ(sleepsAndKeys(), times(5, sleeps(40) + NoPress));
    fake.log.clear();
    k.Repeat = 3;
    k.Mol2 = 250; // takes effect at the next ODOff only
    launchWait();
    EXPECT_EQ(sleepsAndKeys(), times(3, sleeps(40) + NoPress));
    fake.log.clear();
    k.ODflag = true; // one round, still of the SettleMs that ODOff set
    launchWait();
    EXPECT_EQ(sleepsAndKeys(), sleeps(40));
}

TEST_F(Pacing, ASampleAtOrAboveSpeedIsBusyAndStartsTheCountAgain) {
    struct Row {
        Statistic statistic;
        std::int32_t speed;
        std::deque<std::uint32_t> usage;
        std::size_t sleeps;
    };
    const Row rows[] = {
        // Processor times first, while their counters start at virtual time 0: whole-number
        // usage over each sample's own interval, never averaged with the samples before.
        {Statistic::ProcessorTimes, 90, {0, 0, 0, 100, 0, 0, 0, 0}, 8},
        {Statistic::ProcessorTimes, 37, {37, 0, 0, 0, 0}, 5},
        {Statistic::ProcessorTimes, 38, {37, 0, 0, 0}, 4},
        {Statistic::Registry, 90, {0, 89, 0, 0}, 4},
        {Statistic::Registry, 90, {0, 0, 0, 90, 0, 0, 0, 0}, 8},
        {Statistic::Registry, 50, {0, 50, 0, 0, 0, 0}, 6},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "Speed " << row.speed << ", " << row.sleeps);
        fake.log.clear();
        fake.statistic = row.statistic;
        fake.usage.queued = row.usage;
        k.Speed = row.speed;
        paceWait();
        EXPECT_EQ(fake.log.count("sleep"), row.sleeps);
    }
}

TEST_F(Pacing, ANonPositiveMol1TakesExactlyOneSampleEvenWhenBusy) {
    busyMachine();
    for (const std::int32_t mol1 : {0, -5, INT_MIN}) {
        SCOPED_TRACE(mol1);
        fake.log.clear();
        k.Mol1 = mol1;
        paceWait();
        EXPECT_EQ(fake.log.only({"sleep", "sample"}), (Steps{"sleep 25", "sample 100"}));
    }
}

TEST_F(Pacing, AnAtomOfZeroOrBelowStepsByOneMillisecond) {
    for (const std::int32_t atom : {0, -25, INT_MIN}) {
        SCOPED_TRACE(atom);
        fake.log.clear();
        k.Atom = atom;
        paceWait();
        EXPECT_EQ(fake.log.args("sleep"), Steps(100, "1"));
    }
}

TEST_F(Pacing, RepeatBelowOneMakesLaunchWaitOnlyPumpInEitherMode) {
    for (const std::int16_t repeat : {0, -1}) {
        for (const bool odOn : {true, false}) {
            SCOPED_TRACE(testing::Message() << "Repeat " << repeat << ", OD on " << odOn);
            odOn ? k.ODOn() : k.ODOff();
            k.Repeat = repeat;
            fake.log.clear();
            launchWait();
            EXPECT_EQ(fake.log.entries, (Steps{"pump", "pump"}));
        }
    }
}

TEST_F(Pacing, APausePressDuringAnOdOffRoundOpensTheBoxAtItsEndAndTheOtherRoundsStillRun) {
    k.ODOff();
    fake.pressPauseAt(1500);
    launchWait();
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, pauseMessage(ReasonKey, L""));
    EXPECT_EQ(fake.boxes[0].atMs, 2000 + 100); // end of round 2, then the box's PaceWait
    EXPECT_EQ(fake.log.count("key", firstBox()), 3u);
    EXPECT_EQ(sleepsFrom(firstBox()), 4 + 4 + 3 * 40u);
}

TEST_F(Pacing, TheRegistryStatisticIsReadAnewForEachSampleAndGivesItsLowByte) {
    fake.statistic = Statistic::Registry;
    fake.usage.queued = {0x105, 0xFFFFFF5Au, 0x3200};
    for (const std::int32_t usage : {5, 90, 0})
        EXPECT_EQ(readCpuUsage(), usage);
    EXPECT_EQ(fake.log.only({"stat"}),
              times(3, {"stat PerfStats\\StartStat", "stat PerfStats\\StatData"}));
    fake.statistic = Statistic::None;
    EXPECT_EQ(readCpuUsage(), -1);
}

TEST_F(Pacing, AnIdleSumBeyondThe32BitRangeRaisesOverflow) {
    fake.limitMs = INT64_MAX;
    k.Atom = 1 << 30;
    k.Mol1 = INT_MAX;
    EXPECT_EQ(errorNumberOf([&] { paceWait(); }), errors::Overflow);
    EXPECT_EQ(fake.log.count("sleep"), 2u);
}

// --- A machine that never gets idle ---

TEST_F(Pacing, AWaitStuckOnABusyMachineListensToThePauseKeyTenSecondsBeyondItsTime) {
    busyMachine();
    fake.at(20'000, [&] { fake.usage.otherwise = 0; });
    paceWait();
    const std::size_t firstQuery = fake.log.find("key 19 0");
    EXPECT_EQ(fake.log.count("sleep") - sleepsFrom(firstQuery), 405u); // 10125 ms > 10100 ms
    EXPECT_EQ(fake.now(), 20'075);
    EXPECT_TRUE(fake.boxes.empty());
}

TEST_F(Pacing, APausePressEndsAStuckWaitAfterTheBox) {
    busyMachine();
    fake.pressPauseAt(1000);
    fake.log.onEntry = [&](const std::string& entry) {
        if (entry == "key 19 1") fake.usage.otherwise = 0; // the busy program is done
    };
    k.AppNum();
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(sleepsFrom(firstBox()), 8u); // the box's own waits; the stuck wait is over
}

// One press is enough: the pause box's own waits must not hold the box back on a machine that
// never gets idle, nor wait for a second press.
TEST_F(Pacing, APausePressOpensTheBoxOnAMachineThatStaysBusy) {
    busyMachine();
    fake.limitMs = 5 * 60 * 1000;
    fake.pressPauseAt(12'000);
    EXPECT_NO_THROW(k.AppNum());
    EXPECT_EQ(fake.boxes.size(), 1u);
}

// --- GuardBreak, the pause box and Break ---

TEST_F(Pacing, APressReleasedBeforeAGuardedMemberOpensTheBoxFirstAKeyStillHeldDoesNot) {
    fake.holdPause();
    k.AppNum();
    EXPECT_TRUE(fake.boxes.empty());

    fake.releasePause();
    fake.log.clear();
    k.AppNum();
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, pauseMessage(ReasonKey, L""));
    EXPECT_EQ(fake.log.only({"key", "sleep", "box"}),
              Steps{"key 19 1"} + sleeps(4) + Steps{"box Kelmo_Break"} + sleeps(12));
}

TEST_F(Pacing, BreakShowsItsOwnReasonAndTextAndLeavesAPendingPausePressForTheNextCheck) {
    fake.pressPause();
    k.Break(L"");
    k.AppNum();
    k.Break(L"x");
    ASSERT_EQ(fake.boxes.size(), 3u);
    EXPECT_EQ(fake.boxes[0].text, pauseMessage(ReasonBreak, L""));
    EXPECT_EQ(fake.boxes[1].text, pauseMessage(ReasonKey, L""));
    EXPECT_EQ(fake.boxes[2].text, pauseMessage(ReasonBreak, L"x"));
    for (const auto& box : fake.boxes) {
        EXPECT_EQ(box.title, L"Kelmo_Break");
        EXPECT_EQ(box.flags, 0x10232u);
    }
}

TEST_F(Pacing, TheBoxAnswerBecomesTwoForRetryThreeForIgnoreAndZeroOtherwise) {
    const std::pair<std::int32_t, std::int16_t> cases[] = {
        {FakeDesktop::Retry, 2},  {FakeDesktop::Ignore, 3}, {FakeDesktop::Ok, 0},
        {FakeDesktop::Cancel, 0}, {FakeDesktop::Yes, 0},    {0, 0}};
    for (const auto& [answer, result] : cases) {
        SCOPED_TRACE(answer);
        fake.answers.queued = {answer};
        EXPECT_EQ(k.Break(L""), result);
    }
}

TEST_F(Pacing, AbortEndsTheRunAndNothingRunsAfterIt) {
    fake.answers.queued = {FakeDesktop::Abort};
    EXPECT_THROW(k.Break(L""), RunEnded);
    EXPECT_EQ(fake.log.entries.back(), "endRun");

    fake.pressPause();
    fake.answers.queued = {FakeDesktop::Abort};
    fake.bringUp(0x300);
    EXPECT_THROW(k.AppNum(), RunEnded);
    EXPECT_EQ(fake.log.entries.back(), "endRun");
    EXPECT_EQ(k.appWnds()[0], AppWindow);
}

TEST_F(Pacing, TheBoxFrontsTheApplicationsPopupAndAdoptsTheWindowInFrontAfterIt) {
    fake.popups[AppWindow] = 0x101;
    fake.bringUp(0x200);
    fake.log.onEntry = [&](const std::string& entry) {
        if (entry != "box Kelmo_Break") return;
        EXPECT_EQ(fake.log.args("activate"), Steps{"257"});
        fake.bringUp(0x300);                    // the user repaired things in another window
        fake.bringUpAt(fake.now() + 50, 0x301); // and it put up a dialog just after
    };
    k.Break(L"");
    EXPECT_EQ(k.appWnds()[0], 0x301u);

    FakeDesktop desktop;
    desktop.front = 0; // nothing in front at creation: the box fronts nothing
    CKelmo noWindow(desktop.services());
    noWindow.Break(L"");
    EXPECT_EQ(desktop.log.count("activate"), 0u);
    EXPECT_EQ(desktop.boxes.size(), 1u);
}

// --- OD modes and Rest ---

TEST_F(Pacing, OdOnAndOdOffCopyMol1AndMol2WhileAssigningOdFlagLeavesSettleMs) {
    k.ODflag = false;
    EXPECT_EQ(k.settleMs(), 100);
    k.Mol1 = 300;
    k.Mol2 = 700;
    k.ODOn();
    EXPECT_TRUE(k.ODflag);
    EXPECT_EQ(k.settleMs(), 300);
    k.ODOff();
    EXPECT_FALSE(k.ODflag);
    EXPECT_EQ(k.settleMs(), 700);
}

TEST_F(Pacing, RestOnAFreshObjectWaitsTenSecondsInOdOffModeAndReturnsToOdOn) {
    k.Mol1 = 150;
    fake.bringUp(0x555); // Rest compares with the window in front when it starts
    k.Rest(0, false);
    EXPECT_EQ(sleepsAndKeys(), NoPress + times(10, sleeps(40) + NoPress) + sleeps(40));
    EXPECT_EQ(fake.now(), 11'000);
    EXPECT_EQ(k.appWnds()[0], 0x555u);
    EXPECT_TRUE(k.ODflag);
    EXPECT_EQ(k.settleMs(), 150);
}

TEST_F(Pacing, RestOfOneSecondIsOneLaunchWaitAndTheFinalSecondAndStaysInOdOffMode) {
    k.Rest(1, false);
    EXPECT_EQ(sleepsAndKeys(), NoPress + times(5, sleeps(40) + NoPress) + sleeps(40));

    fake.log.clear();
    k.ODOff();
    k.Mol2 = 400;
    k.Rest(1, false);
    EXPECT_EQ(sleepsAndKeys(), NoPress + times(5, sleeps(16) + NoPress) + sleeps(40));
    EXPECT_FALSE(k.ODflag);
    EXPECT_EQ(k.settleMs(), 400);
}

TEST_F(Pacing, ANewWindowInFrontEndsRestAfterTheCurrentLaunchWaitUnlessToldToWait) {
    fake.bringUpAt(2000, 0x777);
    k.Rest(0, false);
    EXPECT_EQ(fake.now(), 5000 + 1000);
    EXPECT_EQ(k.appWnds()[0], 0x777u);

    fake.bringUpAt(fake.now() + 2000, 0x778);
    const std::int64_t start = fake.now();
    k.Rest(0, true);
    EXPECT_EQ(fake.now() - start, 11'000);
    EXPECT_EQ(k.appWnds()[0], 0x778u);
}

TEST_F(Pacing, RestAcrossMidnightStillEndsAfterItsSeconds) {
    for (const double timeOfDay : {86'400.0 - 3, 86'400.0 - 7, 86'400.0 - 0.5}) {
        SCOPED_TRACE(timeOfDay);
        fake.setTimeOfDay(timeOfDay);
        const std::int64_t start = fake.now();
        k.Rest(10, false);
        EXPECT_EQ(fake.now() - start, 11'000);
    }
}

TEST_F(Pacing, RestNoticesThePauseKeyBeforeItsFirstRoundAndAfterEachRound) {
    fake.pressPause();
    fake.pressPauseAt(7500);
    k.Rest(0, false);
    ASSERT_EQ(fake.boxes.size(), 2u);
    EXPECT_EQ(fake.boxes[0].atMs, 100);
    EXPECT_EQ(fake.boxes[1].atMs, 300 + 8000 + 100); // first box's waits, round 8's end
    EXPECT_EQ(fake.boxes[1].text, pauseMessage(ReasonKey, L""));
}

// --- RestOld ---

TEST_F(Pacing, RestOldSleepsTenthsOfASecondThenOneSecond) {
    k.RestMax = 2;
    const std::pair<std::int32_t, Steps> cases[] = {
        {1, {"100", "1000"}}, {-5, {"1000"}}, {0, Steps(11, "100") + Steps{"1000"}}};
    for (const auto& [sec, sleeps] : cases) {
        SCOPED_TRACE(sec);
        fake.log.clear();
        k.RestOld(sec, false);
        EXPECT_EQ(fake.log.args("sleep"), sleeps);
    }
}

TEST_F(Pacing, RestOldEndsAfterTheFirstTenthWhenAnotherWindowIsAlreadyInFront) {
    fake.bringUp(0x666);
    k.RestOld(10, false);
    EXPECT_EQ(fake.log.args("sleep"), (Steps{"100", "1000"}));
    EXPECT_EQ(k.appWnds()[0], 0x666u);

    fake.bringUp(0x667);
    fake.log.clear();
    k.RestOld(2, true);
    EXPECT_EQ(fake.log.count("sleep"), 12u);
    EXPECT_EQ(k.appWnds()[0], 0x667u);
}

TEST_F(Pacing, RestOldNoticesThePauseKeyAtTheNextTenth) {
    fake.pressPauseAt(250);
    k.RestOld(2, false);
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].atMs, 300 + 100);
    EXPECT_EQ(fake.boxes[0].text, pauseMessage(ReasonKey, L""));
}

TEST_F(Pacing, RestOldRaisesOverflowForExtremeSecondsBeforeWaiting) {
    k.RestMax = INT_MIN;
    for (const std::int32_t sec : {INT_MIN, 214748366, INT_MAX, 0}) {
        SCOPED_TRACE(sec);
        EXPECT_EQ(errorNumberOf([&] { k.RestOld(sec, false); }), errors::Overflow);
    }
    EXPECT_TRUE(fake.log.entries.empty());
}

} // namespace
