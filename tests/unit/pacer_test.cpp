// The pacer in virtual time: how long each wait and rest takes and when it checks the Pause key,
// which samples count as idle, a machine that never gets idle, the pause box and its Abort.
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
const std::wstring ReasonKey = L"Breakキー（Stopキー）が押されたため";
const Steps NoPress = {"key 19 0"};

Steps sleeps(std::size_t n, int ms = 25) {
    return Steps(n, "sleep " + std::to_string(ms));
}

// The box's reason: its first line, after the ideographic space that indents it.
std::wstring reasonIn(const FakeDialogs::Box& box) {
    return box.text.substr(1, box.text.find(L"\r\n") - 1);
}

struct Rig {
    Rig() { fake.log.clear(); }
    Steps sleepsAndKeys() const { return fake.log.only({"sleep", "key"}); }
    std::size_t sleepsAfterBox() const {
        return fake.log.count("sleep", fake.log.find("box Kelmo_Break"));
    }
    FakePlatform fake;
    Tuning tuning;
    AppTable apps{fake.windows, fake.clock};
    Pacer pacer{fake.services(), tuning, apps};
};

class Pacing : public ::testing::Test, protected Rig {};

// Without a statistic every sample is idle: each wait is a fixed number of Atom sleeps.
TEST(PacingWaits, SleepAsTheTuningSaysAndCheckThePauseKeyBetweenRounds) {
    const Steps odOffRound = sleeps(40) + NoPress, finalSecond = sleeps(40);
    const struct {
        const char* what;
        std::function<void(Rig&)> run;
        Steps expected;
    } rows[] = {
        {"PaceWait", [](Rig& r) { r.pacer.paceWait(); }, sleeps(4)},
        {"LaunchWait, OD on", [](Rig& r) { r.pacer.launchWait(); }, sleeps(4)},
        {"LaunchWait, OD off", [](Rig& r) { r.pacer.odOff(), r.pacer.launchWait(); },
         times(5, odOffRound)},
        {"Repeat now, Mol2 at the next ODOff",
         [](Rig& r) {
             r.pacer.odOff(), r.tuning.Repeat = 3, r.tuning.Mol2 = 250, r.pacer.launchWait();
         },
         times(3, odOffRound)},
        {"ODflag assigned: one round of SettleMs",
         [](Rig& r) { r.pacer.odOff(), r.tuning.ODflag = true, r.pacer.launchWait(); }, sleeps(40)},
        {"Repeat below 1: no round in either mode",
         [](Rig& r) {
             r.tuning.Repeat = 0, r.pacer.launchWait(), r.pacer.odOff(), r.tuning.Repeat = -1;
             r.pacer.launchWait();
         },
         {}},
        {"Mol1 0 or below, busy: one sample",
         [](Rig& r) {
             r.fake.system.busyForGood(), r.tuning.Mol1 = 0, r.pacer.paceWait();
             r.tuning.Mol1 = INT_MIN, r.pacer.paceWait();
         },
         sleeps(2)},
        {"Atom 0 or below: 1 ms steps",
         [](Rig& r) {
             r.tuning.Atom = 0, r.pacer.paceWait(), r.tuning.Atom = -25, r.pacer.paceWait();
         },
         sleeps(200, 1)},
        {"Rest()", [](Rig& r) { r.pacer.rest(0, false); },
         NoPress + times(10, odOffRound) + finalSecond},
        {"Rest(1)", [](Rig& r) { r.pacer.rest(1, false); },
         NoPress + times(5, odOffRound) + finalSecond},
        {"Rest(1) after ODOff",
         [](Rig& r) { r.pacer.odOff(), r.tuning.Mol2 = 400, r.pacer.rest(1, false); },
         NoPress + times(5, sleeps(16) + NoPress) + finalSecond},
        {"Rest() ended by a new window",
         [](Rig& r) { r.fake.windows.bringUpAt(2000, 0x777), r.pacer.rest(0, false); },
         NoPress + times(5, odOffRound) + finalSecond},
        {"Rest() told to wait",
         [](Rig& r) { r.fake.windows.bringUpAt(2000, 0x777), r.pacer.rest(0, true); },
         NoPress + times(10, odOffRound) + finalSecond},
        {"RestOld(1)", [](Rig& r) { r.pacer.restOld(1, false); },
         NoPress + Steps{"sleep 100", "sleep 1000"}},
        {"RestOld(-5)", [](Rig& r) { r.pacer.restOld(-5, false); }, {"sleep 1000"}},
        {"RestOld(), RestMax 2", [](Rig& r) { r.tuning.RestMax = 2, r.pacer.restOld(0, false); },
         times(11, NoPress + Steps{"sleep 100"}) + Steps{"sleep 1000"}},
        {"RestOld, another window in front",
         [](Rig& r) { r.fake.windows.bringUp(0x666), r.pacer.restOld(10, false); },
         NoPress + Steps{"sleep 100", "sleep 1000"}},
        {"RestOld told to wait",
         [](Rig& r) { r.fake.windows.bringUp(0x666), r.pacer.restOld(2, true); },
         times(11, NoPress + Steps{"sleep 100"}) + Steps{"sleep 1000"}},
    };
    for (const auto& row : rows) {
        Rig rig;
        row.run(rig);
        EXPECT_EQ(rig.sleepsAndKeys(), row.expected) << row.what;
    }
}

// A sample at or above Speed is busy and starts the count again; processor times give the
// whole-number usage of each sample's own interval, the registry statistic its low byte.
TEST_F(Pacing, ASampleAtOrAboveSpeedIsBusyAndStartsTheCountAgain) {
    const struct {
        Statistic statistic;
        std::int32_t speed;
        std::deque<std::uint32_t> usage;
        std::size_t sleeps;
    } rows[] = {
        // Processor times first, while their counters start at virtual time 0.
        {Statistic::ProcessorTimes, 90, {0, 0, 0, 100, 0, 0, 0, 0}, 8},
        {Statistic::ProcessorTimes, 37, {37, 0, 0, 0, 0}, 5},
        {Statistic::ProcessorTimes, 38, {37, 0, 0, 0}, 4},
        {Statistic::Registry, 90, {0, 89, 0, 0}, 4},
        {Statistic::Registry, 90, {0, 0, 0, 90, 0, 0, 0, 0}, 8},
        {Statistic::Registry, 50, {0, 50, 0, 0, 0, 0}, 6},
        {Statistic::Registry, 90, {0x105, 0xFFFFFF00u, 0, 0}, 4},
        {Statistic::Registry, 90, {0x3200, 0xFFFFFF5Au, 0, 0, 0, 0}, 6},
    };
    for (const auto& row : rows) {
        fake.log.clear();
        fake.system.statistic = row.statistic;
        fake.system.usage.queued = row.usage;
        tuning.Speed = row.speed;
        pacer.paceWait();
        EXPECT_EQ(fake.log.count("sleep"), row.sleeps) << "Speed " << row.speed;
    }
}

TEST_F(Pacing, AnIdleSumOrRestOldsTenthsBeyond32BitsRaiseOverflowBeforeWaitingOn) {
    fake.time.limitMs = INT64_MAX;
    tuning.Atom = 1 << 30;
    tuning.Mol1 = INT_MAX;
    EXPECT_EQ(errorNumberOf([&] { pacer.paceWait(); }), errors::Overflow);
    EXPECT_EQ(fake.log.count("sleep"), 2u);
    fake.log.clear();
    tuning.RestMax = INT_MIN;
    for (const std::int32_t sec : {INT_MIN, 214748366, INT_MAX, 0})
        EXPECT_EQ(errorNumberOf([&] { pacer.restOld(sec, false); }), errors::Overflow) << sec;
    EXPECT_TRUE(fake.log.entries.empty());
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
        tuning.Atom = atom;
        const std::int64_t started = fake.time.now();
        pacer.rest(1, true);
        EXPECT_LT(fake.time.now() - started, 6'200) << atom; // one LaunchWait of 5 x 1 s, 1 s
    }
    fake.system.usage.queued.clear();
    fake.system.usage.otherwise = 95;
    tuning.Atom = 1;
    fake.time.at(fake.time.now() + 3000, [&] { fake.system.usage.otherwise = 0; });
    const std::int64_t started = fake.time.now();
    pacer.paceWait();
    EXPECT_GE(fake.time.now() - started, 3000 + 75);
}

// A wait that has run 10 s beyond its time listens to the Pause key; one press ends it after
// the box, whose own waits do not hold it back on a machine that stays busy.
TEST(BusyMachine, AStuckWaitListensToThePauseKeyAndAPressEndsIt) {
    Rig idleLater;
    idleLater.fake.system.busyForGood();
    idleLater.fake.time.at(20'000, [&] { idleLater.fake.system.usage.otherwise = 0; });
    idleLater.pacer.paceWait();
    const std::size_t firstQuery = idleLater.fake.log.find("key 19 0");
    EXPECT_EQ(idleLater.fake.log.count("sleep") - idleLater.fake.log.count("sleep", firstQuery),
              405u); // 10125 ms > 10100 ms
    EXPECT_EQ(idleLater.fake.time.now(), 20'075);
    EXPECT_TRUE(idleLater.fake.dialogs.boxes.empty());

    Rig pressed; // the busy program is done once the user pressed the key
    pressed.fake.system.busyForGood();
    pressed.fake.keyboard.pressPauseAt(1000);
    pressed.fake.log.onEntry = [&](const std::string& entry) {
        if (entry == "key 19 1") pressed.fake.system.usage.otherwise = 0;
    };
    pressed.pacer.guardBreak();
    ASSERT_EQ(pressed.fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(pressed.sleepsAfterBox(), 8u); // the box's own waits; the stuck wait is over

    Rig staysBusy;
    staysBusy.fake.system.busyForGood();
    staysBusy.fake.time.limitMs = 5 * 60 * 1000;
    staysBusy.fake.keyboard.pressPauseAt(12'000);
    EXPECT_NO_THROW(staysBusy.pacer.guardBreak());
    EXPECT_EQ(staysBusy.fake.dialogs.boxes.size(), 1u);
}

TEST(PauseKey, APressReleasedBeforeAGuardedMemberOpensTheBoxAKeyHeldOrPressedEarlierDoesNot) {
    FakePlatform fake;
    fake.keyboard.pressPause(); // before the object existed
    Tuning tuning;
    AppTable apps{fake.windows, fake.clock};
    Pacer pacer{fake.services(), tuning, apps};
    fake.log.clear();
    pacer.guardBreak();
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

    // Checked while held, its press flag then taken by another reader: noticed once released.
    fake.keyboard.holdPause();
    EXPECT_FALSE(pacer.pausePressedOrReleased());
    fake.keyboard.releasePause();
    fake.keyboard.asyncKeyState(FakeKeyboard::Pause);
    EXPECT_TRUE(pacer.pausePressedOrReleased());
    EXPECT_FALSE(pacer.pausePressedOrReleased());
}

// A press is noticed at the end of an OD-off round and before Rest's first round (the other
// rounds still run after the box), and during RestOld at the next tenth.
TEST(PauseKey, IsNoticedAtTheEndOfEachSettlingRoundAndEachTenthOfRestOld) {
    const struct {
        std::function<void(Rig&)> run;
        std::vector<std::int64_t> boxesAtMs;
    } rows[] = {
        {[](Rig& r) { r.pacer.odOff(), r.fake.keyboard.pressPauseAt(1500), r.pacer.launchWait(); },
         {2000 + 100}},
        {[](Rig& r) {
             r.fake.keyboard.pressPause(), r.fake.keyboard.pressPauseAt(7500);
             r.pacer.rest(0, false);
         },
         {100, 300 + 8000 + 100}},
        {[](Rig& r) { r.fake.keyboard.pressPauseAt(250), r.pacer.restOld(2, false); }, {300 + 100}},
    };
    for (const auto& row : rows) {
        Rig rig;
        row.run(rig);
        std::vector<std::int64_t> at;
        for (const FakeDialogs::Box& box : rig.fake.dialogs.boxes) {
            at.push_back(box.atMs);
            EXPECT_EQ(reasonIn(box), ReasonKey);
        }
        EXPECT_EQ(at, row.boxesAtMs);
    }
    Rig rig;
    rig.pacer.odOff();
    rig.fake.keyboard.pressPauseAt(1500);
    rig.pacer.launchWait();
    EXPECT_EQ(rig.sleepsAfterBox(), 4 + 4 + 3 * 40u); // the box's waits, then rounds 3 to 5
}

TEST_F(Pacing, TheBoxSaysWhyWithTheTextAndLeavesAPendingPausePressForTheNextCheck) {
    const std::wstring crlf = L"\r\n",
                       message = L"Kelmoは一時中断されています。" + crlf + crlf +
                                 L"[中止]ボタンを押すと、実行を完全に中止します。" + crlf + crlf +
                                 L"実行を再開するには、、、" + crlf +
                                 L"\u3000現在のアプリで必要最小限の操作だけしてください。" + crlf +
                                 L"\u3000現在のアプリを最前面にした直後に" + crlf +
                                 L"\u3000（タスクバーの Kelmo_Break をクリックして）" + crlf +
                                 std::wstring(16, L'\u3000') + L" [再試行]を押してください。" +
                                 crlf + crlf;
    fake.keyboard.pressPause();
    pacer.pauseBox(Reason::BreakCalled, L"");
    pacer.guardBreak();
    pacer.pauseBox(Reason::BreakCalled, L"x");
    ASSERT_EQ(fake.dialogs.boxes.size(), 3u);
    EXPECT_EQ(fake.dialogs.boxes[0].text, L"\u3000Breakメソッドによって" + crlf + message);
    EXPECT_EQ(fake.dialogs.boxes[1].text, L"\u3000" + ReasonKey + crlf + message);
    EXPECT_EQ(fake.dialogs.boxes[2].text, L"\u3000Breakメソッドによって" + crlf + message + L"x");
    for (const auto& box : fake.dialogs.boxes)
        EXPECT_EQ(narrow(box.title) + " " + std::to_string(box.flags), "Kelmo_Break 66098");
}

TEST_F(Pacing, RetryIsTwoIgnoreThreeAndAbortRunsTheCleanupsUnderWayNewestFirstThenEndsTheRun) {
    const std::pair<std::int32_t, std::int16_t> answers[] = {
        {FakeDialogs::Retry, 2},  {FakeDialogs::Ignore, 3}, {FakeDialogs::Ok, 0},
        {FakeDialogs::Cancel, 0}, {FakeDialogs::Yes, 0},    {0, 0}};
    for (const auto& [answer, result] : answers) {
        fake.dialogs.answers.queued = {answer};
        EXPECT_EQ(pacer.pauseBox(Reason::BreakCalled, L""), result) << answer;
    }
    std::vector<std::string> cleaned;
    const Pacer::AbortCleanup done(pacer, [&] { cleaned.push_back("done"); });
    {
        const Pacer::AbortCleanup finished(pacer, [&] { cleaned.push_back("finished"); });
    }
    const Pacer::AbortCleanup failing(pacer, [&] {
        cleaned.push_back("failing");
        errors::raise(errors::ClipboardNotRestored);
    });
    fake.keyboard.pressPause();
    fake.dialogs.answers.queued = {FakeDialogs::Abort};
    fake.windows.bringUp(0x300);
    EXPECT_THROW(pacer.guardBreak(), RunEnded);
    EXPECT_EQ(fake.log.entries.back(), "endRun");
    EXPECT_EQ(cleaned, (std::vector<std::string>{"failing", "done"}));
    EXPECT_EQ(apps.windows()[0], AppWindow);
}

// The box fronts the current application first, and after it adopts the window then in front,
// also one that comes up just after the box.
TEST_F(Pacing, TheBoxFrontsTheApplicationAndAdoptsTheWindowInFrontAfterIt) {
    fake.windows.bringUp(0x200);
    fake.log.onEntry = [&](const std::string& entry) {
        if (entry != "box Kelmo_Break") return;
        EXPECT_EQ(fake.log.args("activate"), Steps{"256"});
        fake.windows.bringUp(0x300); // the user repaired things in another window
        fake.windows.bringUpAt(fake.time.now() + 50, 0x301); // and it put up a dialog just after
    };
    pacer.pauseBox(Reason::BreakCalled, L"");
    EXPECT_EQ(apps.windows()[0], 0x301u);
}

TEST_F(Pacing, OdOnAndOdOffCopyMol1AndMol2AndRestLeavesTheModeItFoundWithItsSettleMs) {
    tuning.ODflag = false; // assigning the flag leaves SettleMs
    EXPECT_EQ(pacer.settleMs(), 100);
    tuning.Mol1 = 300;
    tuning.Mol2 = 700;
    pacer.rest(1, false);
    EXPECT_FALSE(tuning.ODflag);
    EXPECT_EQ(pacer.settleMs(), 700);
    pacer.odOn();
    fake.windows.bringUp(0x555);
    pacer.rest(1, false);
    EXPECT_TRUE(tuning.ODflag);
    EXPECT_EQ(pacer.settleMs(), 300);
    EXPECT_EQ(apps.windows()[0], 0x555u); // the window in front at the end
}

} // namespace
