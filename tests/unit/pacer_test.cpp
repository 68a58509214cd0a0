// The pacer in virtual time: how long each wait and rest takes and when it checks the Pause key,
// which samples count as idle, a machine that never gets idle, the pause box and its Abort.
#include "component/core/pacer.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;
using Statistic = FakeSystem::Statistic;

const std::wstring ReasonKey = L"\u3000Breakキー（Stopキー）が押されたため\r\n";
const Steps NoPress = {"key 19 0"}, Tenth = NoPress + Steps{"sleep 100"}, Last = {"sleep 1000"};

Steps sleeps(std::size_t n, int ms = 25) {
    return Steps(n, "sleep " + std::to_string(ms));
}
const Steps Second = sleeps(40), Round = Second + NoPress; // an OD-off round of Mol2

struct Rig {
    Rig() { fake.log.clear(); }
    FakePlatform fake;
    FakeKeyboard& key = fake.keyboard;
    Tuning tuning;
    AppTable apps{fake.windows, fake.clock};
    Pacer pacer{fake.services(), tuning, apps};
};
using Act = std::function<void(Rig&)>;

// Without a statistic every sample is idle: each wait is a fixed number of Atom sleeps, and the
// Pause key is checked between rounds.
TEST(Pacer, WaitsSleepAsTheTuningSaysAndCheckThePauseKeyBetweenRounds) {
    // clang-format off
    const std::pair<Act, Steps> rows[] = {
        {[](Rig& r) { r.pacer.paceWait(); }, sleeps(4)},
        {[](Rig& r) { r.pacer.odOff(), r.pacer.launchWait(); }, times(5, Round)},
        {[](Rig& r) { r.pacer.odOff(), r.tuning.Repeat = 3, r.tuning.Mol2 = 9,
                      r.pacer.launchWait(); }, times(3, Round)}, // Repeat now, Mol2 at the next ODOff
        {[](Rig& r) { r.fake.system.busyForGood(), r.tuning.Mol1 = 0, r.pacer.paceWait(); }, sleeps(1)},
        {[](Rig& r) { r.tuning.Atom = 0, r.pacer.paceWait(); }, sleeps(100, 1)},
        {[](Rig& r) { r.pacer.rest(0, false); }, NoPress + times(10, Round) + Second},
        {[](Rig& r) { r.tuning.Mol2 = 200, r.pacer.rest(2, false); }, // 1 s is not yet more than 1 s
         NoPress + times(10, sleeps(8) + NoPress) + Second},
        {[](Rig& r) { r.fake.windows.bringUpAt(2000, 7), r.pacer.rest(0, false); },
         NoPress + times(5, Round) + Second}, // ended by a new window
        {[](Rig& r) { r.tuning.ODflag = false, r.pacer.launchWait(); }, times(5, sleeps(4) + NoPress)},
        {[](Rig& r) { r.tuning.Mol1 = 50, r.pacer.rest(1, false), r.pacer.launchWait(); },
         NoPress + times(5, Round) + Second + sleeps(2)}, // the mode it found, SettleMs from Mol1
        {[](Rig& r) { r.pacer.restOld(1, false); }, Tenth + Last},
        {[](Rig& r) { r.tuning.RestMax = 2, r.pacer.restOld(0, false); }, times(11, Tenth) + Last},
        {[](Rig& r) { r.fake.windows.bringUp(7), r.pacer.restOld(2, true); }, times(11, Tenth) + Last},
    };
    // clang-format on
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        Rig rig;
        rows[i].first(rig);
        EXPECT_EQ(rig.fake.log.only({"sleep", "key"}), rows[i].second) << "row " << i;
    }
}

// A sample at or above Speed is busy and starts the count again. Processor times give the rounded
// usage over at least two ticks of the counters (20 % is idle, whatever Atom); the registry
// statistic gives its low byte.
TEST(Pacer, ASampleAtOrAboveSpeedIsBusyAndStartsTheCountAgain) {
    std::deque<std::uint32_t> fifth(500, 0); // one busy tick in five
    for (std::size_t i = 0; i < fifth.size(); i += 5)
        fifth[i] = 100;
    // the statistic, Speed, Atom, the counters' tick, the usage of successive samples, sleeps
    const std::tuple<Statistic, int, int, int, std::deque<std::uint32_t>, std::size_t> rows[] = {
        {Statistic::ProcessorTimes, 37, 25, 0, {37, 0, 0, 0, 0}, 5},
        {Statistic::ProcessorTimes, 38, 25, 0, {37, 0, 0, 0}, 4},
        {Statistic::ProcessorTimes, 90, 1, 10, fifth, 100},
        {Statistic::ProcessorTimes, 90, 5, 10, fifth, 20},
        {Statistic::Registry, 90, 25, 0, {0x3200, 0xFFFFFF5Au, 0, 0, 0, 0}, 6},
    };
    for (const auto& [statistic, speed, atom, tickMs, usage, sleeps] : rows) {
        Rig rig;
        rig.fake.system.statistic = statistic, rig.fake.system.usage.queued = usage;
        rig.fake.system.tickMs = tickMs, rig.tuning.Speed = speed, rig.tuning.Atom = atom;
        rig.pacer.paceWait();
        EXPECT_EQ(rig.fake.log.count("sleep"), sleeps) << speed << " " << atom;
    }
}

// A press is noticed once the key is up: by the guard, at the end of an OD-off round and before
// Rest's first round (the other rounds still run after the box), during RestOld at the next
// tenth; one from before the pacer existed is forgotten. A wait that has run 10 s beyond its time
// listens to the key too, and the box's own waits give up likewise on a machine that stays busy.
TEST(Pacer, APressOpensTheBoxAtTheNextCheckOnceTheKeyIsUp) {
    // clang-format off
    const std::pair<Act, std::vector<std::int64_t>> rows[] = {
        {[](Rig& r) { r.key.pressPause(), r.pacer.guardBreak(); }, {100}},
        {[](Rig& r) { r.key.pressPause(), Pacer(r.fake.services(), r.tuning, r.apps).guardBreak(); }, {}},
        {[](Rig& r) { r.fake.system.busyForGood(), r.key.pressPauseAt(1000), r.pacer.guardBreak(); }, {10125 + 10125}},
        {[](Rig& r) { r.pacer.odOff(), r.key.pressPauseAt(1500), r.pacer.launchWait(); }, {2100}},
        {[](Rig& r) { r.key.pressPause(), r.key.pressPauseAt(7500), r.pacer.rest(0, false); },
         {100, 300 + 8000 + 100}},
        {[](Rig& r) { r.key.pressPauseAt(250), r.pacer.restOld(2, false); }, {300 + 100}},
    };
    // clang-format on
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        Rig rig;
        rows[i].first(rig);
        std::vector<std::int64_t> at;
        for (const FakeDialogs::Box& box : rig.fake.dialogs.boxes) {
            at.push_back(box.atMs);
            EXPECT_TRUE(box.text.starts_with(ReasonKey));
        }
        EXPECT_EQ(at, rows[i].second) << "row " << i;
    }
}

// The box says why, with the text. Retry is 2, Ignore 3, others 0; Abort runs the cleanups under
// way newest first, then ends the run. The box fronts the current application first, and after it
// adopts the window then in front, also one that comes up just after the box.
TEST(Pacer, ThePauseBoxItsTextAnswersAndTheWindowsAroundIt) {
    Rig r;
    r.key.pressPause(); // left for the next check
    const std::pair<std::int32_t, std::int16_t> answers[] = {
        {FakeDialogs::Retry, 2}, {FakeDialogs::Ignore, 3}, {FakeDialogs::Ok, 0}, {0, 0}};
    for (const auto& [answer, result] : answers) {
        r.fake.dialogs.answers.queued = {answer};
        EXPECT_EQ(r.pacer.pauseBox(Pacer::PauseReason::BreakCalled, L"x"), result) << answer;
    }
    r.pacer.guardBreak();
    const auto& boxes = r.fake.dialogs.boxes;
    ASSERT_EQ(boxes.size(), 5u);
    const std::wstring byBreak = L"\u3000Breakメソッドによって\r\n"; // the rest is the same
    EXPECT_EQ(boxes[0].text, byBreak + boxes[4].text.substr(ReasonKey.size()) + L"x");
    EXPECT_TRUE(boxes[4].text.ends_with(L"\u3000 [再試行]を押してください。\r\n\r\n"));
    EXPECT_EQ(narrow(boxes[4].title) + " " + std::to_string(boxes[4].flags), "Kelmo_Break 66098");
    r.fake.windows.bringUp(0x200);
    r.fake.log.clear();
    r.fake.log.onEntry = [&](const std::string& entry) {
        if (entry != "box Kelmo_Break") return;
        EXPECT_EQ(r.fake.log.args("activate"), Steps{"256"});
        r.fake.windows.bringUp(0x300); // the user repaired things in another window
        r.fake.windows.bringUpAt(r.fake.time.now() + 50, 0x301); // which put up a dialog just after
    };
    r.pacer.pauseBox(Pacer::PauseReason::BreakCalled, L"");
    EXPECT_EQ(r.apps.windows()[0], 0x301u);

    r.fake.log.onEntry = nullptr;
    std::vector<std::string> cleaned;
    const Pacer::AbortCleanup done(r.pacer, [&] { cleaned.push_back("done"); });
    {
        const Pacer::AbortCleanup finished(r.pacer, [&] { cleaned.push_back("finished"); });
    }
    const Pacer::AbortCleanup failing(r.pacer, [&] {
        cleaned.push_back("failing");
        errors::raise(errors::ClipboardNotRestored);
    });
    r.fake.dialogs.answers.queued = {FakeDialogs::Abort};
    EXPECT_THROW(r.pacer.pauseBox(Pacer::PauseReason::BreakCalled, L""), RunEnded);
    EXPECT_EQ(r.fake.log.entries.back(), "endRun");
    EXPECT_EQ(cleaned, (std::vector<std::string>{"failing", "done"}));
}

} // namespace
