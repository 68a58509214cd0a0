// Send, Pass and PassF against the fakes, in virtual time: pieces paced and delivered by their
// kind, failures part-way, another script's turn at the desktop, and the user's clipboard
// around a paste.
#include "component/core/object.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;

// Every run of sleeps is one "wait": how long the pacer waits is its business, that it waits
// between the actions is Send's. So is every run of tries at a clipboard held by another program.
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
Steps typed(const std::wstring& script) {
    return {"type " + renderKeys(parseKeyScript(script))};
}
using Formats = FakeClipboard::Formats;
const Formats User = {{FakeClipboard::Text, L"the user's"}, {L"HTML Format", L"<b>user</b>"}};

// A fresh object on fresh fakes, the user's clipboard on them; `on` acts at the calls whose log
// entries start so, and `pasted` is the text on the clipboard at the paste.
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
        return waits(fake.log.only(
            {"key", "sleep", "activate", "type", "rawkey", "foreground", "clipboard"}));
    }
    FakePlatform fake;
    CKelmo k{fake.services()};
    std::wstring pasted = L"-";
    std::vector<std::pair<std::string, std::function<void()>>> on;
};
struct Keys : ::testing::Test, Typing {};

TEST_F(Keys, EachPieceGoesAfterAPaceWaitTypedOrAsRawKeyEventsPacedThemselves) {
    k.Send(L"a+^{esc}%{PRTSC}{prtsc}b+{tab 2}{tab 0}{tab -3}");
    const Steps tab = {"rawkey 16 0 0", "rawkey 9 0 0", "rawkey 9 0 2", "rawkey 16 0 2", "wait"};
    EXPECT_EQ(steps(), waits(Guard + Front + Pace + typed(L"a") + Pace +
                             Steps{"rawkey 16 0 0", "rawkey 17 0 0", "rawkey 27 0 0",
                                   "rawkey 27 0 2", "rawkey 17 0 2", "rawkey 16 0 2", "wait",
                                   "rawkey 44 0 0", "wait", "rawkey 44 1 0", "wait"} +
                             typed(L"b") + Pace + tab + tab + Pace + Steps{"foreground 256"}));
}

TEST_F(Keys, AFailingPieceEndsSendAndTheOnesBeforeItStayDelivered) {
    const std::pair<std::wstring, std::int32_t> rows[] = {
        {L"ab{bad}c", errors::InvalidCall},     {L"ab{tab x}c", errors::TypeMismatch},
        {L"ab+{TAB 3x}", errors::TypeMismatch}, {L"ab{tab 40000}c", errors::Overflow},
        {L"ab(cd", errors::Overflow},           {L"ab%{", errors::Overflow}}; // never closed
    for (const auto& row : rows) {
        fake.log.clear();
        EXPECT_EQ(errorNumberOf([&] { k.Send(row.first); }), row.second);
        EXPECT_EQ(steps(), waits(Guard + Front + Pace + typed(L"a") + Pace + typed(L"b") + Pace));
    }
    k.Send(L"(" + std::wstring(32765, L'a') + L")"); // at most 32767 characters, checked first
    EXPECT_EQ(errorNumberOf([&] { k.Send(std::wstring(32768, L'a')); }), errors::Overflow);
    EXPECT_EQ(fake.log.only({"type"}).size(), 3u);
}

TEST_F(Keys, AnotherScriptsTurnAtTheDesktopIsWaitedForPumpingAndListeningToThePauseKey) {
    fake.desktopLock.otherHoldsUntilMs = 3000;
    fake.keyboard.pressPauseAt(1000);
    std::vector<std::int64_t> at; // the box's fronting, Send's once its turn came, the key
    on = {{"activate 256", [&] { at.push_back(fake.time.now()); }},
          {"type", [&] { at.push_back(fake.time.now()); }}};
    k.Send(L"a");
    EXPECT_EQ(fake.log.count("box"), 1u);
    ASSERT_EQ(at.size(), 3u);
    EXPECT_TRUE(at[0] < 1200 && at[1] >= 3000);
    EXPECT_GT(fake.log.count("pump"), 100u);
    EXPECT_FALSE(fake.desktopLock.held);
}

// One row a call on fresh fakes: what happens during it, then how it ends (0, RunEnded's -1 or
// the error), whether the text was on the clipboard at a paste, the clipboard afterwards and what
// it went through ("set": the text to pass put on it).
TEST(Pass, TheUsersClipboardComesBackOnceWhateverHappensDuringThePaste) {
    using Setup = std::function<void(Typing&)>;
    const auto busy = static_cast<std::int32_t>(0x800401D0u);
    // clang-format off
    const auto failing = [=](const char* entry) -> Setup {
        return [=](Typing& t) { t.fake.log.failures = {{entry, KelmoError(busy, L"refused")}}; }; };
    // Pause pressed at the first such entry; Pass notices it only in a wait that is stuck.
    const auto pause = [](std::string at, bool stuck) -> Setup { return [=](Typing& t) {
        t.on.push_back({at, [&t, stuck, once = true]() mutable {
            if (std::exchange(once, false)) t.fake.keyboard.pressPause(), stuck ? t.fake.system.busyForGood() : void(); }}); }; };
    const Setup paused = pause("clipboard set", false), stuck = pause("clipboard set", true);
    const Setup abort = [](Typing& t) { t.fake.dialogs.answers.queued = {FakeDialogs::Abort}; };
    const Setup copy = [](Typing& t) { t.fake.dialogs.onBox = [&t] { // and the machine is idle again
        t.fake.clipboard.copy(L"the user's copy"); t.fake.system.statistic = FakeSystem::Statistic::None; }; };
    // Another program holds the clipboard; Pause pressed at 5 s and 20 s is noticed after 10 s.
    const auto heldUntil = [](std::int64_t ms) -> Setup { return [=](Typing& t) {
        t.on.push_back({"clipboard set", [&t, ms] { t.fake.clipboard.heldUntilMs = ms; }});
        t.fake.keyboard.pressPauseAt(5000), t.fake.time.at(20'000, [&t] { t.fake.keyboard.pressPause(); });
        t.fake.dialogs.answers.queued = {FakeDialogs::Retry, FakeDialogs::Abort}; }; };
    const std::string Save = "clipboard save", Set = "set", Paste = "type C+ v C-", Back = "clipboard restore",
                      Box = "box Kelmo_Break", End = "endRun", Held = "clipboard held";
    const Formats Copied = {{FakeClipboard::Text, L"the user's copy"}}, Mine = {{FakeClipboard::Text, L"abc"}};
    const auto Pass = &CKelmo::Pass, PassF = &CKelmo::PassF;
    const struct { decltype(Pass) call; std::wstring text; std::int16_t enters; std::vector<Setup> during;
                   std::int32_t ends; bool pasted; Formats after; Steps log; } cases[] = {
        {Pass, L"abc", 2, {}, 0, true, User, {Save, Set, Paste, Back, "type #0D", "type #0D"}},
        {PassF, L"a.txt", 1, {}, 0, true, User, {Save, Set, Paste, Back, "type #0D"}},
        {Pass, L"", -32768, {[](Typing& t) { t.fake.clipboard.formats.clear(); }}, 0, true, {}, {Save, Set, Paste, Back}},
        {Pass, L"abc", 2, {failing("type")}, busy, true, User, {Save, Set, Paste, Back}},
        {Pass, L"abc", 1, {failing("clipboard set")}, busy, false, User, {Save, Set, Back}},
        {Pass, std::wstring(L"a\0b", 3), 0, {}, errors::InvalidCall, false, User, {}},
        // Abort: the clipboard first, then the run ends; once it is back, it is left alone.
        {Pass, L"abc", 0, {stuck, abort}, -1, false, User, {Save, Set, Box, Back, End}},
        {Pass, L"abc", 0, {pause(Back, true), copy, abort}, -1, true, Copied, {Save, Set, Paste, Back, Box, End}},
        // A copy made during a pause is what comes back, and the text is still pasted.
        {Pass, L"abc", 0, {stuck, copy}, 0, true, Copied, {Save, Set, Box, Save, Set, Paste, Back}},
        {PassF, L"a.txt", 0, {paused, copy}, 0, true, Copied, {Save, Set, Box, Save, Set, Paste, Back}},
        {PassF, L"a.txt", 0, {paused}, 0, true, User, {Save, Set, Box, Paste, Back}},
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
