// The pacer: pacing by processor idleness, the Pause-key guard, the pause box and its abort
// cleanups, the OD modes, rest and restOld, all in virtual time against the fakes.
#include "component/core/pacer.h"
#include "fakes.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;
using Statistic = FakeSystem::Statistic;
using Reason = Pacer::PauseReason;

constexpr WindowHandle AppWindow = 0x100;
const std::wstring ReasonBreak = L"Breakメソッドによって";
const std::wstring ReasonKey = L"Breakキー（Stopキー）が押されたため";
const Steps NoPress = {"key 19 0"};

// The box's reason: its first line, after the ideographic space that indents it.
std::wstring reasonIn(const FakeDialogs::Box& box) {
    return box.text.substr(1, box.text.find(L"\r\n") - 1);
}

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
    Pacing() { fake.log.clear(); }

    Steps sleepsAndKeys() const { return fake.log.only({"sleep", "key"}); }
    std::size_t sleepsFrom(std::size_t index) const { return fake.log.count("sleep", index); }
    std::size_t firstBox() const { return fake.log.find("box Kelmo_Break"); }
    void busyMachine() { fake.system.busyForGood(); }
    std::int16_t breakBox(const std::wstring& text = L"") {
        return pacer.pauseBox(Reason::BreakCalled, text);
    }

    FakePlatform fake;
    Tuning tuning;
    AppTable apps{fake.windows, fake.clock};
    Pacer pacer{fake.services(), tuning, apps};
};

// --- Idle accumulation, PaceWait and LaunchWait ---

TEST_F(Pacing, WithoutAStatisticEachWaitIsAFixedNumberOfAtomSleeps) {
    pacer.paceWait();
    EXPECT_EQ(fake.log.only({"sleep", "sample"}), times(4, {"sleep 25", "sample none"}));
    fake.log.clear();
    pacer.launchWait(); // OD on: one round of SettleMs
    EXPECT_EQ(sleepsAndKeys(), sleeps(4));

    fake.log.clear();
    pacer.odOff(); // Repeat rounds of Mol2, the Pause key checked after every round
    pacer.launchWait();
    EXPECT_EQ(sleepsAndKeys(), times(5, sleeps(40) + NoPress));
    fake.log.clear();
    tuning.Repeat = 3;
    tuning.Mol2 = 250; // takes effect at the next ODOff only
    pacer.launchWait();
    EXPECT_EQ(sleepsAndKeys(), times(3, sleeps(40) + NoPress));
    fake.log.clear();
    tuning.ODflag = true; // one round, still of the SettleMs that ODOff set
    pacer.launchWait();
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
        fake.system.statistic = row.statistic;
        fake.system.usage.queued = row.usage;
        tuning.Speed = row.speed;
        pacer.paceWait();
        EXPECT_EQ(fake.log.count("sleep"), row.sleeps);
    }
}

TEST_F(Pacing, ANonPositiveMol1TakesExactlyOneSampleEvenWhenBusy) {
    busyMachine();
    for (const std::int32_t mol1 : {0, -5, INT_MIN}) {
        SCOPED_TRACE(mol1);
        fake.log.clear();
        tuning.Mol1 = mol1;
        pacer.paceWait();
        EXPECT_EQ(fake.log.only({"sleep", "sample"}), (Steps{"sleep 25", "sample 100"}));
    }
}

TEST_F(Pacing, AnAtomOfZeroOrBelowStepsByOneMillisecond) {
    for (const std::int32_t atom : {0, -25, INT_MIN}) {
        SCOPED_TRACE(atom);
        fake.log.clear();
        tuning.Atom = atom;
        pacer.paceWait();
        EXPECT_EQ(fake.log.args("sleep"), Steps(100, "1"));
    }
}

TEST_F(Pacing, RepeatBelowOneMakesLaunchWaitOnlyPumpInEitherMode) {
    for (const std::int16_t repeat : {0, -1}) {
        for (const bool odOn : {true, false}) {
            SCOPED_TRACE(testing::Message() << "Repeat " << repeat << ", OD on " << odOn);
            odOn ? pacer.odOn() : pacer.odOff();
            tuning.Repeat = repeat;
            fake.log.clear();
            pacer.launchWait();
            EXPECT_EQ(fake.log.entries, (Steps{"pump", "pump"}));
        }
    }
}

TEST_F(Pacing, APausePressDuringAnOdOffRoundOpensTheBoxAtItsEndAndTheOtherRoundsStillRun) {
    pacer.odOff();
    fake.keyboard.pressPauseAt(1500);
    pacer.launchWait();
    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(reasonIn(fake.dialogs.boxes[0]), ReasonKey);
    EXPECT_EQ(fake.dialogs.boxes[0].atMs, 2000 + 100); // end of round 2, then the box's PaceWait
    EXPECT_EQ(fake.log.count("key", firstBox()), 3u);
    EXPECT_EQ(sleepsFrom(firstBox()), 4 + 4 + 3 * 40u);
}

TEST_F(Pacing, TheRegistryStatisticIsReadAnewForEachSampleAndGivesItsLowByte) {
    fake.system.statistic = Statistic::Registry;
    fake.system.usage.queued = {0x105, 0xFFFFFF5Au, 0x3200};
    for (const std::int32_t usage : {5, 90, 0})
        EXPECT_EQ(pacer.readCpuUsage(), usage);
    EXPECT_EQ(fake.log.only({"stat"}),
              times(3, {"stat PerfStats\\StartStat", "stat PerfStats\\StatData"}));
    fake.system.statistic = Statistic::None;
    EXPECT_EQ(pacer.readCpuUsage(), -1);
}

TEST_F(Pacing, AnIdleSumBeyondThe32BitRangeRaisesOverflow) {
    fake.time.limitMs = INT64_MAX;
    tuning.Atom = 1 << 30;
    tuning.Mol1 = INT_MAX;
    EXPECT_EQ(errorNumberOf([&] { pacer.paceWait(); }), errors::Overflow);
    EXPECT_EQ(fake.log.count("sleep"), 2u);
}

// The system's counters move in ticks of 10-16 ms: with an Atom of 1 ms most samples see no
// movement and the others see one whole tick. A machine at 20 % (one busy tick in five) is
// idle, however short Atom is, and one that stays busy is not.
TEST_F(Pacing, UsageIsMeasuredOverEnoughTicksWhateverAtomIs) {
    fake.system.statistic = Statistic::ProcessorTimes;
    fake.system.tickMs = 10;
    for (int tick = 0; tick < 20'000; ++tick)
        fake.system.usage.queued.push_back(tick % 5 == 0 ? 100 : 0);
    for (const std::int32_t atom : {1, 5, 25}) {
        SCOPED_TRACE(atom);
        tuning.Atom = atom;
        const std::int64_t started = fake.time.now();
        pacer.rest(1, true);
        EXPECT_LT(fake.time.now() - started, 6'200); // one LaunchWait of 5 x 1 s, then 1 s
    }

    fake.system.usage.queued.clear();
    fake.system.usage.otherwise = 95;
    tuning.Atom = 1;
    fake.time.at(fake.time.now() + 3000, [&] { fake.system.usage.otherwise = 0; });
    const std::int64_t started = fake.time.now();
    pacer.paceWait();
    EXPECT_GE(fake.time.now() - started, 3000 + 75);
}

// --- A machine that never gets idle ---

TEST_F(Pacing, AWaitStuckOnABusyMachineListensToThePauseKeyTenSecondsBeyondItsTime) {
    busyMachine();
    fake.time.at(20'000, [&] { fake.system.usage.otherwise = 0; });
    pacer.paceWait();
    const std::size_t firstQuery = fake.log.find("key 19 0");
    EXPECT_EQ(fake.log.count("sleep") - sleepsFrom(firstQuery), 405u); // 10125 ms > 10100 ms
    EXPECT_EQ(fake.time.now(), 20'075);
    EXPECT_TRUE(fake.dialogs.boxes.empty());
}

TEST_F(Pacing, APausePressEndsAStuckWaitAfterTheBox) {
    busyMachine();
    fake.keyboard.pressPauseAt(1000);
    fake.log.onEntry = [&](const std::string& entry) {
        if (entry == "key 19 1") fake.system.usage.otherwise = 0; // the busy program is done
    };
    pacer.guardBreak();
    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(sleepsFrom(firstBox()), 8u); // the box's own waits; the stuck wait is over
}

// One press is enough: the pause box's own waits must not hold the box back on a machine that
// never gets idle, nor wait for a second press.
TEST_F(Pacing, APausePressOpensTheBoxOnAMachineThatStaysBusy) {
    busyMachine();
    fake.time.limitMs = 5 * 60 * 1000;
    fake.keyboard.pressPauseAt(12'000);
    EXPECT_NO_THROW(pacer.guardBreak());
    EXPECT_EQ(fake.dialogs.boxes.size(), 1u);
}

// --- GuardBreak, the pause box and Break ---

TEST_F(Pacing, APressReleasedBeforeAGuardedMemberOpensTheBoxFirstAKeyStillHeldDoesNot) {
    fake.keyboard.holdPause();
    pacer.guardBreak();
    EXPECT_TRUE(fake.dialogs.boxes.empty());

    fake.keyboard.releasePause();
    fake.log.clear();
    pacer.guardBreak();
    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(reasonIn(fake.dialogs.boxes[0]), ReasonKey);
    EXPECT_EQ(fake.log.only({"key", "sleep", "box"}),
              Steps{"key 19 1"} + sleeps(4) + Steps{"box Kelmo_Break"} + sleeps(12));
}

TEST_F(Pacing, TheBoxNamesItsReasonAndTheTextAndLeavesAPendingPausePressForTheNextCheck) {
    fake.keyboard.pressPause();
    breakBox();
    pacer.guardBreak();
    breakBox(L"x");
    ASSERT_EQ(fake.dialogs.boxes.size(), 3u);
    EXPECT_EQ(fake.dialogs.boxes[0].text, pauseMessage(ReasonBreak, L""));
    EXPECT_EQ(fake.dialogs.boxes[1].text, pauseMessage(ReasonKey, L""));
    EXPECT_EQ(fake.dialogs.boxes[2].text, pauseMessage(ReasonBreak, L"x"));
    for (const auto& box : fake.dialogs.boxes) {
        EXPECT_EQ(box.title, L"Kelmo_Break");
        EXPECT_EQ(box.flags, 0x10232u);
    }
}

TEST_F(Pacing, TheBoxAnswerBecomesTwoForRetryThreeForIgnoreAndZeroOtherwise) {
    const std::pair<std::int32_t, std::int16_t> cases[] = {
        {FakeDialogs::Retry, 2},  {FakeDialogs::Ignore, 3}, {FakeDialogs::Ok, 0},
        {FakeDialogs::Cancel, 0}, {FakeDialogs::Yes, 0},    {0, 0}};
    for (const auto& [answer, result] : cases) {
        SCOPED_TRACE(answer);
        fake.dialogs.answers.queued = {answer};
        EXPECT_EQ(breakBox(), result);
    }
}

TEST_F(Pacing, AbortEndsTheRunAndNothingRunsAfterIt) {
    fake.dialogs.answers.queued = {FakeDialogs::Abort};
    EXPECT_THROW(breakBox(), RunEnded);
    EXPECT_EQ(fake.log.entries.back(), "endRun");

    fake.keyboard.pressPause();
    fake.dialogs.answers.queued = {FakeDialogs::Abort};
    fake.windows.bringUp(0x300);
    EXPECT_THROW(pacer.guardBreak(), RunEnded);
    EXPECT_EQ(fake.log.entries.back(), "endRun");
    EXPECT_EQ(apps.windows()[0], AppWindow);
}

TEST_F(Pacing, AbortRunsTheCleanupsUnderWayNewestFirstEvenWhenOneFails) {
    std::vector<std::string> cleaned;
    const Pacer::AbortCleanup done(pacer, [&] { cleaned.push_back("done"); });
    {
        const Pacer::AbortCleanup finished(pacer, [&] { cleaned.push_back("finished"); });
    }
    const Pacer::AbortCleanup keys(pacer, [&] { cleaned.push_back("keys"); });
    const Pacer::AbortCleanup clipboard(pacer, [&] {
        cleaned.push_back("clipboard");
        errors::raise(static_cast<std::int32_t>(0x800401D0u), L"clipboard held open");
    });
    fake.dialogs.answers.queued = {FakeDialogs::Abort};
    EXPECT_THROW(breakBox(), RunEnded);
    EXPECT_EQ(cleaned, (std::vector<std::string>{"clipboard", "keys", "done"}));
}

TEST_F(Pacing, TheBoxFrontsTheApplicationsPopupAndAdoptsTheWindowInFrontAfterIt) {
    fake.windows.popups[AppWindow] = 0x101;
    fake.windows.bringUp(0x200);
    fake.log.onEntry = [&](const std::string& entry) {
        if (entry != "box Kelmo_Break") return;
        EXPECT_EQ(fake.log.args("activate"), Steps{"257"});
        fake.windows.bringUp(0x300); // the user repaired things in another window
        fake.windows.bringUpAt(fake.time.now() + 50, 0x301); // and it put up a dialog just after
    };
    breakBox();
    EXPECT_EQ(apps.windows()[0], 0x301u);

    FakePlatform desktop;
    desktop.windows.front = 0; // nothing in front when the table was made: the box fronts nothing
    AppTable noWindow(desktop.windows, desktop.clock);
    Pacer noWindowPacer(desktop.services(), tuning, noWindow);
    noWindowPacer.pauseBox(Reason::BreakCalled, L"");
    EXPECT_EQ(desktop.log.count("activate"), 0u);
    EXPECT_EQ(desktop.dialogs.boxes.size(), 1u);
}

// --- OD modes and Rest ---

TEST_F(Pacing, OdOnAndOdOffCopyMol1AndMol2WhileAssigningOdFlagLeavesSettleMs) {
    tuning.ODflag = false;
    EXPECT_EQ(pacer.settleMs(), 100);
    tuning.Mol1 = 300;
    tuning.Mol2 = 700;
    pacer.odOn();
    EXPECT_TRUE(tuning.ODflag);
    EXPECT_EQ(pacer.settleMs(), 300);
    pacer.odOff();
    EXPECT_FALSE(tuning.ODflag);
    EXPECT_EQ(pacer.settleMs(), 700);
}

TEST_F(Pacing, RestByDefaultWaitsTenSecondsInOdOffModeAndReturnsToOdOn) {
    tuning.Mol1 = 150;
    fake.windows.bringUp(0x555); // Rest compares with the window in front when it starts
    pacer.rest(0, false);
    EXPECT_EQ(sleepsAndKeys(), NoPress + times(10, sleeps(40) + NoPress) + sleeps(40));
    EXPECT_EQ(fake.time.now(), 11'000);
    EXPECT_EQ(apps.windows()[0], 0x555u);
    EXPECT_TRUE(tuning.ODflag);
    EXPECT_EQ(pacer.settleMs(), 150);
}

TEST_F(Pacing, RestOfOneSecondIsOneLaunchWaitAndTheFinalSecondAndStaysInOdOffMode) {
    pacer.rest(1, false);
    EXPECT_EQ(sleepsAndKeys(), NoPress + times(5, sleeps(40) + NoPress) + sleeps(40));

    fake.log.clear();
    pacer.odOff();
    tuning.Mol2 = 400;
    pacer.rest(1, false);
    EXPECT_EQ(sleepsAndKeys(), NoPress + times(5, sleeps(16) + NoPress) + sleeps(40));
    EXPECT_FALSE(tuning.ODflag);
    EXPECT_EQ(pacer.settleMs(), 400);
}

TEST_F(Pacing, ANewWindowInFrontEndsRestAfterTheCurrentLaunchWaitUnlessToldToWait) {
    fake.windows.bringUpAt(2000, 0x777);
    pacer.rest(0, false);
    EXPECT_EQ(fake.time.now(), 5000 + 1000);
    EXPECT_EQ(apps.windows()[0], 0x777u);

    fake.windows.bringUpAt(fake.time.now() + 2000, 0x778);
    const std::int64_t start = fake.time.now();
    pacer.rest(0, true);
    EXPECT_EQ(fake.time.now() - start, 11'000);
    EXPECT_EQ(apps.windows()[0], 0x778u);
}

TEST_F(Pacing, RestAcrossMidnightStillEndsAfterItsSeconds) {
    for (const double timeOfDay : {86'400.0 - 3, 86'400.0 - 7, 86'400.0 - 0.5}) {
        SCOPED_TRACE(timeOfDay);
        fake.time.setTimeOfDay(timeOfDay);
        const std::int64_t start = fake.time.now();
        pacer.rest(10, false);
        EXPECT_EQ(fake.time.now() - start, 11'000);
    }
}

TEST_F(Pacing, RestNoticesThePauseKeyBeforeItsFirstRoundAndAfterEachRound) {
    fake.keyboard.pressPause();
    fake.keyboard.pressPauseAt(7500);
    pacer.rest(0, false);
    ASSERT_EQ(fake.dialogs.boxes.size(), 2u);
    EXPECT_EQ(fake.dialogs.boxes[0].atMs, 100);
    EXPECT_EQ(fake.dialogs.boxes[1].atMs, 300 + 8000 + 100); // first box's waits, round 8's end
    EXPECT_EQ(reasonIn(fake.dialogs.boxes[1]), ReasonKey);
}

// --- RestOld ---

TEST_F(Pacing, RestOldSleepsTenthsOfASecondThenOneSecond) {
    tuning.RestMax = 2;
    const std::pair<std::int32_t, Steps> cases[] = {
        {1, {"100", "1000"}}, {-5, {"1000"}}, {0, Steps(11, "100") + Steps{"1000"}}};
    for (const auto& [sec, sleeps] : cases) {
        SCOPED_TRACE(sec);
        fake.log.clear();
        pacer.restOld(sec, false);
        EXPECT_EQ(fake.log.args("sleep"), sleeps);
    }
}

TEST_F(Pacing, RestOldEndsAfterTheFirstTenthWhenAnotherWindowIsAlreadyInFront) {
    fake.windows.bringUp(0x666);
    pacer.restOld(10, false);
    EXPECT_EQ(fake.log.args("sleep"), (Steps{"100", "1000"}));
    EXPECT_EQ(apps.windows()[0], 0x666u);

    fake.windows.bringUp(0x667);
    fake.log.clear();
    pacer.restOld(2, true);
    EXPECT_EQ(fake.log.count("sleep"), 12u);
    EXPECT_EQ(apps.windows()[0], 0x667u);
}

TEST_F(Pacing, RestOldNoticesThePauseKeyAtTheNextTenth) {
    fake.keyboard.pressPauseAt(250);
    pacer.restOld(2, false);
    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes[0].atMs, 300 + 100);
    EXPECT_EQ(reasonIn(fake.dialogs.boxes[0]), ReasonKey);
}

TEST_F(Pacing, RestOldRaisesOverflowForExtremeSecondsBeforeWaiting) {
    tuning.RestMax = INT_MIN;
    for (const std::int32_t sec : {INT_MIN, 214748366, INT_MAX, 0}) {
        SCOPED_TRACE(sec);
        EXPECT_EQ(errorNumberOf([&] { pacer.restOld(sec, false); }), errors::Overflow);
    }
    EXPECT_TRUE(fake.log.entries.empty());
}

} // namespace
