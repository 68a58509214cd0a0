// Send, Pass and PassF against the fakes, in virtual time: pieces paced and delivered by their
// kind, failures part-way, the browser wait, another script's turn at the desktop, a pause while
// typing, and the user's clipboard around a paste.
#include "component/core/object.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;

// Every run of sleeps is one "wait": how long the pacer waits is its business, that it waits
// between the actions is Send's.
const Steps Pace = {"wait"}, Guard = {"key 19 0", "wait"}, Front = {"activate 256"};
const Steps Adopt = {"foreground 256"}, Restore = {"clipboard restore"};
Steps waits(const Steps& steps) {
    Steps result;
    for (const std::string& step : steps) {
        const bool wait = step == "wait" || step.rfind("sleep ", 0) == 0;
        if (!wait || result.empty() || result.back() != "wait")
            result.push_back(wait ? "wait" : step);
    }
    return result;
}
Steps typed(const std::wstring& script) {
    return {"type " + renderKeys(parseKeyScript(script))};
}
Steps sent(const Steps& deliveries) { // a Send's log, the browser closed
    return Guard + Front + deliveries + Pace + Adopt;
}
Steps set(const std::string& text) { // Pass's steps up to the paste
    return Guard + Steps{"clipboard save"} + Pace + Steps{"clipboard set " + text} + Front + Pace;
}
using Formats = FakeClipboard::Formats;
const Formats User = {{FakeClipboard::Text, L"the user's"}, {L"HTML Format", L"<b>user</b>"}};

class Keys : public ::testing::Test {
protected:
    Keys() : k(fake.services()) {
        fake.log.clear();
        fake.clipboard.formats = User;
        k.Mol1 = 25;
    }
    std::shared_ptr<FakeBrowser> openBrowser(std::deque<bool> busy = {}, bool then = false) {
        auto browser = std::make_shared<FakeBrowser>(fake.log);
        browser->isBusy = {std::move(busy), then};
        k.browser().opened();
        k.IEC(browser);
        return browser;
    }
    Steps steps() const {
        return waits(fake.log.only(
            {"key", "sleep", "activate", "type", "rawkey", "foreground", "busy", "clipboard"}));
    }
    // Records the clipboard at each paste; presses Pause once the text is on the clipboard, and
    // makes the machine busy for good so that Pass notices it.
    void watchPaste(bool pause = false, bool thenBusy = false) {
        fake.log.onEntry = [=, this](const std::string& entry) {
            if (entry == "type C+ v C-") atPaste.push_back(fake.clipboard.formats);
            if (!pause || entry.rfind("clipboard set", 0) != 0) return;
            fake.keyboard.pressPause();
            if (thenBusy) fake.system.busyForGood();
        };
    }
    FakePlatform fake;
    CKelmo k;
    std::vector<Formats> atPaste;
};

TEST_F(Keys, EachPieceGoesAfterAPaceWaitTypedOrAsRawKeyEventsPacedThemselves) {
    k.Send(L"a+^{esc}%{PRTSC}{prtsc}b+{tab 2}{tab 0}{tab -3}");
    const Steps tab = {"rawkey 16 0 0", "rawkey 9 0 0", "rawkey 9 0 2", "rawkey 16 0 2", "wait"};
    EXPECT_EQ(steps(), waits(sent(Pace + typed(L"a") + Pace +
                                  Steps{"rawkey 16 0 0", "rawkey 17 0 0", "rawkey 27 0 0",
                                        "rawkey 27 0 2", "rawkey 17 0 2", "rawkey 16 0 2", "wait",
                                        "rawkey 44 0 0", "wait", "rawkey 44 1 0", "wait"} +
                                  typed(L"b") + Pace + tab + tab)));
    fake.log.clear();
    fake.time.limitMs = 60 * 60 * 1000;
    k.Send(L"{tab 32767}"); // the largest count
    EXPECT_EQ(fake.log.count("rawkey"), 2 * 32767u);
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

TEST_F(Keys, AnOpenBrowserIsWaitedForSevenNotBusySamplesInARowOrUntilItQuits) {
    fake.windows.bringUpAt(fake.time.now() + 25 + 100 + 150, 0x400); // during the browser wait
    openBrowser();                                                   // idle: three samples
    k.Send(L"");
    EXPECT_EQ(steps(), waits(Guard + Front + Pace + times(3, {"busy", "wait"}) + Guard +
                             Steps{"foreground 1024"}));
    const std::pair<std::deque<bool>, std::size_t> rows[] = {
        {{true, false, false}, 3 + 5},
        {{false, false, true}, 3 + 7},
        {{true, true, true, true}, 4 + 7},
        {{true, false, false, false, false, false, false, true}, 3 + 5 + 7}}; // six are not enough
    for (const auto& [answers, reads] : rows) {
        openBrowser(answers);
        fake.log.clear();
        k.Send(L"");
        EXPECT_EQ(fake.log.count("busy"), reads);
        EXPECT_EQ(fake.log.count("key"), 2u); // the Pause key is not polled meanwhile
    }
    std::size_t samples = 0; // the session ends during the wait (its quit event): the wait too
    fake.log.onEntry = [&](const std::string& entry) {
        if (entry == "busy" && ++samples == 10) k.browser().quit();
    };
    openBrowser({}, true);
    k.Send(L"");
    EXPECT_EQ(samples, 10u);
}

TEST_F(Keys, ABrowserBusyForLongIsWaitedForUntilAPausePressAfterTenSeconds) {
    auto browser = openBrowser({}, true);
    fake.time.at(20'000, [&] { browser->isBusy.otherwise = false; });
    k.Send(L"");
    EXPECT_GE(fake.time.now(), 20'000 + 700);
    fake.log.clear();
    browser->isBusy.otherwise = true;
    fake.keyboard.pressPauseAt(fake.time.now() + 3000); // noticed only once the wait is stuck
    k.Send(L"");
    EXPECT_EQ(fake.log.count("busy"), 101u); // 10.1 s of samples is the first time beyond 10 s
    EXPECT_EQ(fake.log.only({"box", "foreground"}),
              (Steps{"box Kelmo_Break", "foreground 256", "foreground 256"}));
}

TEST_F(Keys, AnotherScriptsTurnAtTheDesktopIsWaitedForPumpingAndListeningToThePauseKey) {
    fake.desktopLock.otherHoldsUntilMs = 3000;
    fake.keyboard.pressPauseAt(1000);
    std::vector<std::int64_t> at; // the box's fronting, Send's once its turn came, the key
    fake.log.onEntry = [&](const std::string& entry) {
        if (entry == "activate 256" || entry.rfind("type", 0) == 0) at.push_back(fake.time.now());
    };
    k.Send(L"a");
    EXPECT_EQ(fake.log.only({"box"}).size(), 1u);
    ASSERT_EQ(at.size(), 3u);
    EXPECT_TRUE(at[0] < 1200 && at[1] >= 3000);
    EXPECT_GT(fake.log.count("pump"), 100u);
    EXPECT_FALSE(fake.desktopLock.held);
}

TEST_F(Keys, APausePressWhileAPieceIsTypedOpensTheBoxThereAndAbortEndsTheRun) {
    int chunks = 0;
    fake.keys.whileTyping = [&](platform::KeyInjector::Pauses& pauses) {
        for (chunks = 1; chunks < 1000; ++chunks) {
            if (chunks == 3) fake.keyboard.pressPause();
            if (pauses.pauseWanted()) pauses.pause();
        }
    };
    k.Send(L"{x 99999999}");
    EXPECT_EQ(fake.log.only({"box", "activate"}),
              (Steps{"activate 256", "activate 256", "box Kelmo_Break", "activate 256"}));
    EXPECT_GE(fake.log.count("pump"), 999u);
    fake.dialogs.answers.queued = {FakeDialogs::Abort};
    EXPECT_THROW(k.Send(L"{x 99999999}"), RunEnded);
    EXPECT_LT(chunks, 1000);
}

// --- Pass and PassF ---

TEST_F(Keys, PassHasTheTextOnTheClipboardForThePasteOnlyThenRestoresAllOfItAndSendsEnter) {
    watchPaste();
    k.Pass(L"abc", 2);
    k.PassF(L"a.txt", 1); // completed, quoted and pasted through Send, which adopts the front
    const Steps enter = sent(Pace + typed(L"{Enter}"));
    EXPECT_EQ(steps(), waits(set("abc") + typed(L"^v") + Pace + Restore + Pace + enter + enter +
                             Pace + set("\"C:\\Work\\a.txt\"") + sent(Pace + typed(L"^v")) + Pace +
                             Restore + Pace + enter));
    EXPECT_EQ(atPaste, (std::vector<Formats>{{{FakeClipboard::Text, L"abc"}},
                                             {{FakeClipboard::Text, L"\"C:\\Work\\a.txt\""}}}));
    EXPECT_EQ(fake.clipboard.formats, User);
    fake.clipboard.formats.clear(); // a clipboard that held nothing
    fake.log.clear();
    for (const std::int16_t none : {0, -32768}) {
        k.Pass(L"", none);
        k.PassF(L"a.txt", none);
    }
    EXPECT_EQ(atPaste.at(2), (Formats{{FakeClipboard::Text, L""}}));
    EXPECT_EQ(fake.log.only({"type"}), times(4, typed(L"^v")));
    EXPECT_TRUE(fake.clipboard.formats.empty());
}

TEST_F(Keys, AFailedPasteStillRestoresTheClipboardAndReportsTheFailure) {
    const auto busy = static_cast<std::int32_t>(0x800401D0u);
    for (const char* failing : {"type", "clipboard set"}) {
        fake.log.failures = {{failing, KelmoError(busy, L"refused")}};
        EXPECT_EQ(errorNumberOf([&] { k.Pass(L"abc", 2); }), busy);
        EXPECT_EQ(errorNumberOf([&] { k.PassF(L"a.txt", 1); }), busy);
        EXPECT_EQ(fake.clipboard.formats, User);
    }
    EXPECT_EQ(fake.log.only({"type"}), times(2, typed(L"^v"))); // no Enter after a failure
    fake.log.failures.clear();
    k.browser().opened(); // PassF's Send fails after the paste: an open browser without object
    EXPECT_EQ(errorNumberOf([&] { k.PassF(L"a.txt", 0); }), errors::ObjectNotSet);
    EXPECT_EQ(fake.clipboard.formats, User);
}

TEST_F(Keys, AbortingTheRunGivesTheUserTheirClipboardBackFirstAndOnlyOnce) {
    for (const bool pass : {false, true}) { // Pass notices Pause only in a wait that is stuck
        fake.log.clear();
        watchPaste(true, pass);
        fake.dialogs.answers.queued = {FakeDialogs::Abort};
        EXPECT_THROW(pass ? k.Pass(L"a.txt", 0) : k.PassF(L"a.txt", 0), RunEnded);
        EXPECT_EQ(fake.log.only({"clipboard", "box", "endRun", "type"}),
                  (Steps{"clipboard save",
                         pass ? "clipboard set a.txt" : "clipboard set \"C:\\Work\\a.txt\"",
                         "box Kelmo_Break", "clipboard restore", "endRun"}));
        EXPECT_EQ(fake.clipboard.formats, User);
    }
    fake.log.clear(); // a run that ends after the clipboard is back leaves it alone
    fake.system.statistic = FakeSystem::Statistic::None;
    fake.log.onEntry = [&](const std::string& entry) {
        if (entry != "clipboard restore") return;
        fake.keyboard.pressPause();
        fake.system.busyForGood();
    };
    fake.dialogs.onBox = [&] { fake.clipboard.copy(L"copied in the box"); };
    fake.dialogs.answers.queued = {FakeDialogs::Abort};
    EXPECT_THROW(k.Pass(L"abc", 0), RunEnded);
    EXPECT_EQ(std::ranges::count(fake.log.entries, "clipboard restore"), 1);
}

TEST_F(Keys, ACopyTheUserMakesDuringAPauseIsWhatComesBackAndThePassedTextIsStillPasted) {
    for (const bool pass : {false, true}) {
        fake.clipboard.formats = User;
        atPaste.clear();
        watchPaste(true, pass);
        fake.dialogs.onBox = [&] {
            fake.clipboard.copy(L"the user's copy");
            fake.system.statistic = FakeSystem::Statistic::None; // the machine is idle again
        };
        pass ? k.Pass(L"abc", 0) : k.PassF(L"abc", 0);
        EXPECT_EQ(atPaste.at(0).at(FakeClipboard::Text), pass ? L"abc" : L"\"C:\\Work\\abc\"");
        EXPECT_EQ(fake.clipboard.formats, (Formats{{FakeClipboard::Text, L"the user's copy"}}));
    }
    fake.log.clear(); // a Retry with no copy: the saved clipboard, put back once
    fake.dialogs.onBox = nullptr;
    fake.clipboard.formats = User;
    watchPaste(true);
    k.PassF(L"a.txt", 0);
    EXPECT_EQ(std::ranges::count(fake.log.entries, "clipboard restore"), 1);
    EXPECT_EQ(fake.clipboard.formats, User);
}

TEST_F(Keys, AClipboardHeldByAnotherProgramIsPutBackOnceFreeOrGivenUpByAbortInThePauseBox) {
    std::int64_t heldMs = 30'000;
    fake.log.onEntry = [&](const std::string& entry) {
        if (entry.rfind("clipboard set", 0) == 0)
            fake.clipboard.heldUntilMs = fake.time.now() + heldMs;
    };
    k.Pass(L"abc", 0);
    EXPECT_EQ(fake.clipboard.formats, User);
    EXPECT_GT(fake.log.count("pump", fake.log.find("clipboard held")), 30'000u / 20);
    heldMs = INT64_MAX / 2;
    fake.keyboard.pressPauseAt(fake.time.now() + 5000); // noticed once it has waited for 10 s
    fake.time.at(fake.time.now() + 20'000, [&] { fake.keyboard.pressPause(); });
    fake.dialogs.answers.queued = {FakeDialogs::Retry, FakeDialogs::Abort};
    const auto started = fake.time.now();
    EXPECT_EQ(errorNumberOf([&] { k.Pass(L"abc", 0); }), errors::ClipboardNotRestored);
    ASSERT_EQ(fake.dialogs.boxes.size(), 2u);
    EXPECT_GE(fake.dialogs.boxes[0].atMs - started, 10'000);
    EXPECT_NE(fake.dialogs.boxes[0].text.find(L"クリップボードを元に戻せません"),
              std::wstring::npos);
    EXPECT_EQ(fake.log.count("endRun"), 0u);
}

TEST_F(Keys, TextWithANulCharacterIsRefusedBeforeAnythingIsDone) {
    const std::wstring withNul(L"a\0b", 3);
    EXPECT_EQ(errorNumberOf([&] { k.Pass(withNul, 0); }), errors::InvalidCall);
    EXPECT_EQ(errorNumberOf([&] { k.PassF(withNul, 0); }), errors::InvalidCall);
    EXPECT_EQ(errorNumberOf([&] { k.DefFld(withNul); }), errors::InvalidCall);
    EXPECT_TRUE(fake.log.entries.empty());
    EXPECT_EQ(k.DefFld(), L"C:\\Work\\");
}

} // namespace
