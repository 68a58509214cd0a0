// Send, Pass and PassF against the fakes, in virtual time: pieces paced and delivered by their
// kind, failures part-way, another script's turn at the desktop, and the user's clipboard
// around a paste.
#include "component/core/object.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;

// A run of sleeps, or of tries at a clipboard another program holds, is one "wait".
const Steps Pace = {"wait"}, Guard = {"key 19 0", "wait"}, Front = {"activate 256"};
Steps waits(const Steps& steps) {
    Steps result;
    for (const std::string& step : steps) {
        const std::string s = step.starts_with("sleep ") ? "wait" : step;
        if (result.empty() || result.back() != s || (s != "wait" && s != "clipboard held"))
            result.push_back(s);
    }
    return result;
}
using Formats = FakeClipboard::Formats;
const Formats User = {{FakeClipboard::Text, L"the user's"}, {L"HTML Format", L"<b>user</b>"}};

// `on` acts at the log entries that start so; `pasted` is the clipboard's text at the paste.
struct Typing {
    Typing() {
        fake.log.clear();
        k.Mol1 = 25;
        fake.clipboard.formats = User;
        fake.log.onEntry = [this](const std::string& entry) {
            if (entry == "type C+ v C-") pasted = fake.clipboard.formats[FakeClipboard::Text];
            for (const auto& [prefix, action] : on)
                if (entry.starts_with(prefix)) action();
        };
    }
    Steps steps() const {
        return waits(fake.log.only({"key", "sleep", "activate", "type", "rawkey", "foreground"}));
    }
    FakePlatform fake;
    CKelmo k{fake.services()};
    std::wstring pasted = L"-";
    std::vector<std::pair<std::string, std::function<void()>>> on;
};
struct Keys : ::testing::Test, Typing {};

TEST_F(Keys, EachPieceGoesAfterAPaceWaitTypedOrAsRawKeyEventsAndAFailingOneEndsSend) {
    k.Send(L"a+^{esc}%{PRTSC}{prtsc}b+{tab 2}{tab 0}{tab -3}");
    const Steps tab = {"rawkey 16 0 0", "rawkey 9 0 0", "rawkey 9 0 2", "rawkey 16 0 2", "wait"};
    EXPECT_EQ(steps(), waits(Guard + Front + Pace + Steps{"type a"} + Pace +
                             Steps{"rawkey 16 0 0", "rawkey 17 0 0", "rawkey 27 0 0",
                                   "rawkey 27 0 2", "rawkey 17 0 2", "rawkey 16 0 2", "wait",
                                   "rawkey 44 0 0", "wait", "rawkey 44 1 0", "wait"} +
                             Steps{"type b"} + Pace + tab + tab + Pace + Steps{"foreground 256"}));
    fake.log.clear(); // a failing piece ends Send, the ones before it stay delivered
    EXPECT_EQ(errorNumberOf([&] { k.Send(L"ab+{TAB 3x}"); }), errors::TypeMismatch);
    EXPECT_EQ(steps(),
              waits(Guard + Front + Pace + Steps{"type a"} + Pace + Steps{"type b"} + Pace));
    EXPECT_EQ(errorNumberOf([&] { k.Send(std::wstring(32768, L'a')); }), errors::Overflow);
}

// An open browser is waited for until seven samples in a row find it not busy, or until its
// session ends meanwhile (IEC read anew at every sample).
TEST_F(Keys, AnOpenBrowserIsWaitedForSevenQuietSamplesInARowOrUntilItsSessionEnds) {
    const auto open = [&](std::deque<bool> busy, bool then) {
        auto browser = std::make_shared<FakeBrowser>(fake.log);
        browser->isBusy = {std::move(busy), then};
        k.browser().opened();
        k.IEC(browser);
        fake.log.clear();
    };
    for (const auto& [answers, reads] :
         {std::pair{std::deque<bool>{true, false, false}, 3u + 5},
          {{false, false, true}, 3u + 7},
          {{true, false, false, false, false, false, false, true}, 3u + 5 + 7}}) {
        open(answers, false);
        k.Send(L"");
        EXPECT_EQ(fake.log.count("busy"), reads);
    }
    open({}, true);
    on = {{"busy", [&] {
               if (fake.log.count("busy") == 10) k.browser().quit();
           }}};
    k.Send(L"");
    EXPECT_EQ(fake.log.count("busy"), 10u);
}

// Waiting for another script's turn pumps messages and listens to the Pause key.
TEST_F(Keys, AnotherScriptsTurnAtTheDesktopIsWaitedFor) {
    fake.desktopLock.otherHoldsUntilMs = 3000;
    fake.keyboard.pressPauseAt(1000);
    k.Send(L"a");
    EXPECT_EQ(std::pair(fake.log.count("box"), fake.log.count("type")), std::pair(1ul, 1ul));
    EXPECT_TRUE(fake.time.now() >= 3000 && fake.log.count("pump") > 100 && !fake.desktopLock.held);
}

// A row: a call on fresh fakes and what happens during it; how it ends (0, RunEnded's -1 or the
// error), whether the text was pasted, the clipboard after and its steps ("set": the text put on).
TEST(Pass, TheUsersClipboardComesBackOnceWhateverHappensDuringThePaste) {
    using Setup = std::function<void(Typing&)>;
    const auto busy = static_cast<std::int32_t>(0x800401D0u);
    // clang-format off
    const auto failing = [=](const char* entry) -> Setup { return [=](Typing& t) { t.fake.log.failures = {{entry, KelmoError(busy, L"refused")}}; }; };
    // Pause pressed at the first such entry; Pass notices it only in a wait that is stuck.
    const auto pause = [](std::string at, bool stuck) -> Setup { return [=](Typing& t) {
        t.on.push_back({at, [&t, stuck, once = true]() mutable {
            if (!std::exchange(once, false)) return;
            t.fake.keyboard.pressPause();
            if (stuck) t.fake.system.busyForGood(); }}); }; };
    const Setup paused = pause("clipboard set", false), stuck = pause("clipboard set", true);
    const Setup abort = [](Typing& t) { t.fake.dialogs.answers.queued = {FakeDialogs::Abort}; };
    const Setup copy = [](Typing& t) { t.fake.dialogs.onBox = [&t] { // and the machine is idle again
        t.fake.clipboard.copy(L"the user's copy"); t.fake.system.statistic = FakeSystem::Statistic::None; }; };
    // Another program holds the clipboard; Pause pressed at 5 s and 20 s is noticed after 10 s.
    const auto heldUntil = [](std::int64_t ms) -> Setup { return [=](Typing& t) {
        t.on.push_back({"clipboard set", [&t, ms] { t.fake.clipboard.heldUntilMs = ms; }});
        t.fake.keyboard.pressPauseAt(5000), t.fake.time.at(20'000, [&t] { t.fake.keyboard.pressPause(); }),
        t.fake.dialogs.answers.queued = {FakeDialogs::Retry, FakeDialogs::Abort}; }; };
    const std::string Save = "clipboard save", Set = "set", Paste = "type C+ v C-", Back = "clipboard restore",
                      Box = "box Kelmo_Break", End = "endRun", Held = "clipboard held";
    const Formats Copied = {{FakeClipboard::Text, L"the user's copy"}}, Mine = {{FakeClipboard::Text, L"abc"}};
    const auto Pass = &CKelmo::Pass, PassF = &CKelmo::PassF;
    const struct { decltype(Pass) call; std::wstring text; std::int16_t enters; std::vector<Setup> during;
                   std::int32_t ends; bool pasted; Formats after; Steps log; } cases[] = {
        {Pass, L"abc", 2, {}, 0, true, User, {Save, Set, Paste, Back, "type #0D", "type #0D"}},
        {PassF, L"a.txt", 1, {}, 0, true, User, {Save, Set, Paste, Back, "type #0D"}},
        {Pass, L"abc", 2, {failing("type")}, busy, true, User, {Save, Set, Paste, Back}},
        {Pass, L"abc", 1, {failing("clipboard set")}, busy, false, User, {Save, Set, Back}},
        {Pass, std::wstring(L"a\0b", 3), 0, {}, errors::InvalidCall, false, User, {}},
        // Abort: the clipboard first, then the run ends; once it is back, it is left alone.
        {Pass, L"abc", 0, {stuck, abort}, -1, false, User, {Save, Set, Box, Back, End}},
        {Pass, L"abc", 0, {pause(Back, true), copy, abort}, -1, true, Copied, {Save, Set, Paste, Back, Box, End}},
        // A copy made during a pause is what comes back, and the text is still pasted.
        {Pass, L"abc", 0, {stuck, copy}, 0, true, Copied, {Save, Set, Box, Save, Set, Paste, Back}},
        {PassF, L"a.txt", 0, {paused, copy}, 0, true, Copied, {Save, Set, Box, Save, Set, Paste, Back}},
        {Pass, L"abc", 0, {heldUntil(8000)}, 0, true, User, {Save, Set, Paste, Held, Back}},
        {Pass, L"abc", 0, {heldUntil(INT64_MAX)}, errors::ClipboardNotRestored, true, Mine,
         {Save, Set, Paste, Held, Box, Held, Box}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE("row " + std::to_string(&c - cases));
        Typing t;
        for (const Setup& setup : c.during)
            setup(t);
        std::int32_t ends = -1;
        try {
            ends = errorNumberOf([&] { (t.k.*c.call)(c.text, c.enters); }).value_or(0);
        } catch (const RunEnded&) {
        }
        const std::wstring passed = c.call == PassF ? L"\"C:\\Work\\a.txt\"" : c.text;
        Steps log = c.log;
        std::ranges::replace(log, Set, "clipboard set " + narrow(passed));
        EXPECT_EQ(std::tuple(ends, t.pasted, t.fake.clipboard.formats),
                  std::tuple(c.ends, c.pasted ? passed : L"-", c.after));
        EXPECT_EQ(waits(t.fake.log.only({"clipboard", "box", "endRun", "type"})), log);
    }
}

} // namespace
