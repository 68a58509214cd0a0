// Send, Pass and PassF against the fakes, in virtual time: how a key script is cut into pieces
// and paced, which pieces go as raw key events (Print Screen, Esc, Tab chords and repeated Tab),
// the browser wait, failures part-way through a script, and the clipboard around a paste. Also
// the conversion of a repeat count to a 16-bit integer.
#include "base/text.h"
#include "component/core/keyscript.h"
#include "component/core/object.h"
#include "fakes.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;

constexpr WindowHandle AppWindow = 0x100, OtherWindow = 0x300;
constexpr int Shift = 16, Ctrl = 17, Alt = 18, Tab = 9, Esc = 27;

// The logs are compared with every run of sleeps as one "wait": how long the pacer waits is
// its own business, that it waits between the actions is the keys' one.
const Steps Pace = {"wait"};
const Steps Guard = {"key 19 0", "wait"};
const Steps Front = {"activate 256"};
const Steps Launch = {"wait"};
const Steps Adopt = {"foreground 256"};
const Steps BrowserSample = {"busy", "wait"};

Steps waits(const Steps& steps) {
    Steps result;
    for (const std::string& step : steps) {
        const bool wait = step == "wait" || step.rfind("sleep ", 0) == 0;
        if (wait && !result.empty() && result.back() == "wait") continue;
        result.push_back(wait ? "wait" : step);
    }
    return result;
}

// The delivery of a piece the injector types.
Steps typed(const std::wstring& script) {
    return {"type " + renderKeys(parseKeyScript(script))};
}
// Key-downs in the given order (scan 0, flags 0), key-ups in reverse order (flags 2).
Steps chord(std::initializer_list<int> keys) {
    Steps events;
    for (const int key : keys)
        events.push_back("rawkey " + std::to_string(key) + " 0 0");
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key)
        events.push_back("rawkey " + std::to_string(*key) + " 0 2");
    return events;
}
// The log of one Send that delivered its pieces as `deliveries`, with the browser closed.
Steps sent(const Steps& deliveries) {
    return Guard + Front + deliveries + Launch + Adopt;
}

class Keys : public ::testing::Test {
protected:
    Keys() : k(fake.services()) {
        fake.log.clear();
        k.Mol1 = 25;
    }

    std::shared_ptr<FakeBrowser> openBrowser() {
        auto browser = std::make_shared<FakeBrowser>(fake.log);
        k.browser().opened();
        k.IEC(browser);
        return browser;
    }
    Steps steps(std::size_t from = 0) const {
        return waits(fake.log.only({"key", "sleep", "activate", "type", "rawkey", "foreground",
                                    "busy", "clipboard", "box", "endRun"},
                                   from));
    }

    FakePlatform fake;
    CKelmo k;
};

// --- Pieces, their pacing and their delivery ---

TEST_F(Keys, AnEmptyScriptStillGuardsFrontsSettlesAndAdoptsTheWindowInFront) {
    fake.windows.bringUpAt(fake.time.now() + 60, OtherWindow); // during LaunchWait
    k.Send(L"");
    EXPECT_EQ(steps(), waits(Guard + Front + Launch + Steps{"foreground 768"}));
    EXPECT_EQ(k.apps().windows()[0], OtherWindow);

    fake.log.clear();
    openBrowser(); // idle: three samples, then Send guards again
    fake.windows.bringUpAt(fake.time.now() + 25 + 100 + 150, 0x400); // during the browser wait
    k.Send(L"");
    EXPECT_EQ(steps(), waits(Guard + Steps{"activate 768"} + Launch + times(3, BrowserSample) +
                             Guard + Steps{"foreground 1024"}));
    EXPECT_EQ(k.apps().windows()[0], 0x400u);
}

TEST_F(Keys, PiecesAreOneKeyWithItsModifiersOneBraceGroupOrOneParenthesisedGroup) {
    const std::pair<std::wstring, Steps> cases[] = {
        {L"abc", {"a", "b", "c"}},
        {L"+%a", {"+%a"}},
        {L"+(ab)c", {"+(ab)", "c"}},
        {L"^{F4}x", {"^{F4}", "x"}},
        {L"{{}", {"{{}"}},
        {L"{}}", {"{}}"}},                 // the first "}" is the name
        {L"{} 3}x", {"{} 3}", "x"}},       // three "}"
        {L"{}", {"{}"}},                   // no later "}": the empty name (an error when typed)
        {L"(a(b)c)", {"(a(b)c)"}},         // groups nest
        {L"+(a{)}b)c", {"+(a{)}b)", "c"}}, // a braced ")" does not close the group
        {L"a\r\nb\rc", {"a", "<U+000D><U+000A>", "b", "<U+000D>", "c"}}, // CR LF: one Enter
        {L"\xD83D\xDE00x", {"<U+D83D><U+DE00>", "x"}}, // a surrogate pair: one character
        {L"+(a{esc}{tab 2})", {"+(a{esc}{tab 2})"}},   // braces in a group go with the group
        {L"abc+", {"a", "b", "c", "+"}},
        {L"x^%", {"x", "^%"}},
        {L"{esc 2}", {"{esc 2}"}},
        {L"{ENTER}~}", {"{ENTER}", "~", "}"}},
        {L"{PRTSC 2}", {"{PRTSC 2}"}}};
    for (const auto& [script, pieces] : cases) {
        SCOPED_TRACE(narrow(script));
        Steps cut;
        for (std::int32_t i = 1; i <= static_cast<std::int32_t>(script.size()); ++i)
            cut.push_back(narrow(nextPiece(script, i)));
        EXPECT_EQ(cut, pieces);
    }
}

TEST_F(Keys, EscTabAndPrintScreenGoAsRawKeyEventsEachPressFollowedByAPaceWait) {
    struct Row {
        std::vector<std::wstring> scripts; // each delivered alone, all alike
        int presses;
        Steps events;
    };
    const Row rows[] = {
        {{L"{esc}", L"{ESC}", L"{Esc}"}, 1, chord({Esc})},
        {{L"{TAB}", L"{tab  1 }"}, 1, chord({Tab})},
        {{L"^{esc}"}, 1, chord({Ctrl, Esc})},
        {{L"%{tab}", L"%%{tab}"}, 1, chord({Alt, Tab})}, // the same modifier twice counts once
        {{L"+^{tab}"}, 1, chord({Shift, Ctrl, Tab})},
        {{L"%+{TAB}"}, 1, chord({Alt, Shift, Tab})},
        {{L"^%{Esc}"}, 1, chord({Ctrl, Alt, Esc})},
        {{L"+%^{tab}"}, 1, chord({Alt, Ctrl, Tab})}, // only the two before the brace count
        {{L"+{tab 3}"}, 3, chord({Shift, Tab})},
        {{L"{TAB 2}", L"{tab 2.5}"}, 2, chord({Tab})},
        {{L"%{tab 2}"}, 2, chord({Alt, Tab})},
        {{L"+%^{tab 2}"}, 2, chord({Alt, Ctrl, Tab})},
        {{L"{tab 0}", L"{tab -3}"}, 0, {}},
        // Print Screen: a key-down only; scan 1 copies the screen, 0 (after Alt) the window.
        {{L"{PRTSC}", L"{prtsc}", L"^{PRTSC}"}, 1, {"rawkey 44 1 0"}},
        {{L"%{PRTSC}", L"+%{PrtSc}"}, 1, {"rawkey 44 0 0"}}};
    for (const Row& row : rows) {
        for (const std::wstring& script : row.scripts) {
            SCOPED_TRACE(narrow(script));
            fake.log.clear();
            k.Send(script);
            EXPECT_EQ(steps(), waits(sent(Pace + times(row.presses, row.events + Pace))));
        }
    }
}

TEST_F(Keys, TheLargestRepeatCountPressesExactlyThatManyTimes) {
    fake.time.limitMs = 60 * 60 * 1000;
    k.Send(L"{tab 32767}");
    EXPECT_EQ(fake.log.count("rawkey"), 2 * 32767u);
}

TEST_F(Keys, TypedPiecesAndRawEventsKeepTheScriptsOrder) {
    k.Send(L"a{esc}%{PRTSC}b+{tab 2}");
    EXPECT_EQ(steps(), waits(sent(Pace + typed(L"a") + Pace + chord({Esc}) + Pace + Pace +
                                  Steps{"rawkey 44 0 0"} + Pace + Pace + typed(L"b") + Pace +
                                  times(2, chord({Shift, Tab}) + Pace))));
}

// --- Failures part-way through a script ---

TEST_F(Keys, AFailingPieceEndsSendAndOnlyThePiecesBeforeItStayDelivered) {
    struct Row {
        std::vector<std::wstring> scripts;
        std::int32_t error;
        Steps failing;
    };
    const Row rows[] = {{{L"ab{bad}c"}, errors::InvalidCall, {}},
                        {{L"ab{tab x}c", L"ab{tab }c", L"ab+{TAB 3x}c"}, errors::TypeMismatch, {}},
                        {{L"ab{tab 40000}c"}, errors::Overflow, {}},
                        // A group never closed grows until the 16-bit position overflows.
                        {{L"ab(cd", L"ab{tab 3", L"ab+(", L"ab%{"}, errors::Overflow, {}}};
    for (const Row& row : rows) {
        for (const std::wstring& script : row.scripts) {
            SCOPED_TRACE(narrow(script));
            fake.log.clear();
            EXPECT_EQ(errorNumberOf([&] { k.Send(script); }), row.error);
            EXPECT_EQ(steps(), waits(Guard + Front + Pace + typed(L"a") + Pace + typed(L"b") +
                                     Pace + row.failing));
        }
    }
}

TEST_F(Keys, AScriptOfUpTo32767CharactersIsAcceptedALongerOneFailsBeforeTyping) {
    const std::wstring longest = L"(" + std::wstring(32765, L'a') + L")";
    k.Send(longest);
    EXPECT_EQ(fake.log.only({"type"}), typed(longest));

    fake.log.clear();
    EXPECT_EQ(errorNumberOf([&] { k.Send(std::wstring(32768, L'a')); }), errors::Overflow);
    EXPECT_EQ(errorNumberOf([&] { k.Send(L"(" + std::wstring(32766, L'a') + L")"); }),
              errors::Overflow);
    EXPECT_EQ(fake.log.only({"type", "rawkey"}), Steps{});
}

// --- The browser wait ---

TEST_F(Keys, ABusyBrowserNeedsSevenNotBusySamplesInARowCountedAcrossBothPhases) {
    const std::pair<std::deque<bool>, std::size_t> cases[] = {
        {{true, false, false}, 3 + 5},
        {{false, true, false}, 3 + 6},
        {{false, false, true}, 3 + 7},
        {{true, true, true, true}, 4 + 7},
        {{true, false, false, false, false, false, true}, 7 + 7},
        {{true, false, false, false, false, false, false, true}, 3 + 5 + 7}, // six are not enough
    };
    for (const auto& [answers, reads] : cases) {
        SCOPED_TRACE(reads);
        openBrowser()->isBusy.queued = answers;
        fake.log.clear();
        k.Send(L"");
        EXPECT_EQ(fake.log.count("busy"), reads);
        EXPECT_EQ(fake.log.count("key"), 2u); // the Pause key is not polled meanwhile
    }
}

TEST_F(Keys, ABusyBrowserIsWaitedForAndAfterTenSecondsAPausePressEndsTheWait) {
    auto browser = openBrowser();
    browser->isBusy.otherwise = true;
    fake.time.at(20'000, [&] { browser->isBusy.otherwise = false; });
    k.Send(L"");
    EXPECT_TRUE(fake.dialogs.boxes.empty());
    EXPECT_GE(fake.time.now(), 20'000 + 700);
    EXPECT_GT(fake.log.count("key"), 90u); // listening since 10 s into the wait

    fake.log.clear();
    browser->isBusy.otherwise = true;
    fake.keyboard.pressPauseAt(fake.time.now() + 3000); // noticed only once the wait is stuck
    k.Send(L"");
    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(fake.log.count("busy"), 101u); // 10.1 s of samples is the first time beyond 10 s
    EXPECT_EQ(fake.log.count("key"), 3u);    // Send's two guards and the check that found it
    EXPECT_EQ(steps(fake.log.find("box Kelmo_Break")),
              waits(Steps{"box Kelmo_Break"} + Pace + Adopt + Pace + Guard + Adopt));
}

TEST_F(Keys, AnOpenBrowserThatCannotBeReadFailsSendAfterTheKeysAndTheSettling) {
    k.browser().opened(); // IEC holds nothing
    EXPECT_EQ(errorNumberOf([&] { k.Send(L"ab"); }), errors::ObjectNotSet);
    EXPECT_EQ(steps(), waits(Guard + Front + Pace + typed(L"a") + Pace + typed(L"b") + Launch));

    const auto rpcFailed = static_cast<std::int32_t>(0x800706BAu);
    openBrowser();
    fake.log.failures.emplace("busy", KelmoError(rpcFailed, L"RPC"));
    fake.log.clear();
    EXPECT_EQ(errorNumberOf([&] { k.Send(L"a"); }), rpcFailed);
    EXPECT_EQ(fake.log.count("foreground"), 0u);
}

// --- Pass and PassF ---

class Clip : public Keys {
protected:
    Clip() {
        fake.clipboard.formats = User;
        fake.log.onEntry = [this](const std::string& entry) {
            if (entry == typed(L"^v").front()) duringPaste.push_back(fake.clipboard.formats);
        };
    }
    // Presses Pause as soon as the text is on the clipboard, and may make the machine busy.
    void pauseOnPaste(bool thenBusy = false) {
        fake.log.onEntry = [this, thenBusy](const std::string& entry) {
            if (entry == typed(L"^v").front()) duringPaste.push_back(fake.clipboard.formats);
            if (entry.rfind("clipboard set", 0) != 0) return;
            fake.keyboard.pressPause();
            if (thenBusy) fake.system.busyForGood();
        };
    }

    const FakeClipboard::Formats User = {{FakeClipboard::Text, L"the user's text"},
                                         {L"CF_DIB", L"the user's picture"},
                                         {L"HTML Format", L"<b>the user's</b>"}};
    std::vector<FakeClipboard::Formats> duringPaste;
};

TEST_F(Clip, PassHasTheTextOnTheClipboardExactlyForThePasteThenRestoresAllOfIt) {
    k.Pass(L"abc", 0);
    EXPECT_EQ(steps(),
              waits(Guard + Steps{"clipboard save"} + Pace + Steps{"clipboard set abc"} + Front +
                    Pace + typed(L"^v") + Pace + Steps{"clipboard restore"} + Pace));
    EXPECT_EQ(duringPaste, (std::vector<FakeClipboard::Formats>{{{FakeClipboard::Text, L"abc"}}}));
    EXPECT_EQ(fake.clipboard.formats, User);

    duringPaste.clear();
    fake.clipboard.formats.clear(); // a clipboard that held nothing
    k.Pass(L"", 0);
    EXPECT_EQ(duringPaste, (std::vector<FakeClipboard::Formats>{{{FakeClipboard::Text, L""}}}));
    EXPECT_TRUE(fake.clipboard.formats.empty());
}

TEST_F(Clip, EnterIsSentThroughSendAsOftenAsAskedAfterTheClipboardIsBack) {
    for (const std::int16_t none : {0, -1, -32768}) {
        SCOPED_TRACE(none);
        fake.log.clear();
        k.Pass(L"abc", none);
        k.PassF(L"a.txt", none);
        EXPECT_EQ(fake.log.only({"type"}), typed(L"^v") + typed(L"^v"));
    }
    const Steps enter = sent(Pace + typed(L"{Enter}"));
    fake.log.clear();
    k.Pass(L"abc", 2);
    EXPECT_EQ(steps(fake.log.find("clipboard restore")),
              waits(Steps{"clipboard restore"} + Pace + enter + enter));
    fake.log.clear();
    k.PassF(L"a.txt", 1);
    EXPECT_EQ(steps(fake.log.find("clipboard restore")),
              waits(Steps{"clipboard restore"} + Pace + enter));
}

TEST_F(Clip, AFailedPasteStillRestoresTheClipboardAndReportsTheFailure) {
    fake.log.failures.emplace("type", KelmoError(errors::InvalidCall, L"injection refused"));
    EXPECT_EQ(errorNumberOf([&] { k.Pass(L"abc", 2); }), errors::InvalidCall);
    EXPECT_EQ(fake.clipboard.formats, User);
    EXPECT_EQ(fake.log.only({"type"}), typed(L"^v")); // no Enter after a failure
    EXPECT_EQ(errorNumberOf([&] { k.PassF(L"a.txt", 1); }), errors::InvalidCall);
    EXPECT_EQ(fake.clipboard.formats, User);

    fake.log.failures.clear();
    const auto clipboardBusy = static_cast<std::int32_t>(0x800401D0u);
    fake.log.failures.emplace("clipboard set", KelmoError(clipboardBusy, L"busy"));
    EXPECT_EQ(errorNumberOf([&] { k.Pass(L"abc", 0); }), clipboardBusy);
    EXPECT_EQ(fake.clipboard.formats, User);
    EXPECT_EQ(fake.log.entries.back(), "clipboard restore");

    // PassF's paste goes through Send, so an open browser without an object fails it too.
    fake.log.failures.clear();
    k.browser().opened();
    EXPECT_EQ(errorNumberOf([&] { k.PassF(L"a.txt", 0); }), errors::ObjectNotSet);
    EXPECT_EQ(fake.clipboard.formats, User);
}

TEST_F(Clip, AbortingTheRunDuringAPasteGivesTheUserTheirClipboardBackFirst) {
    pauseOnPaste(); // noticed by the guard of PassF's Send
    fake.dialogs.answers.queued = {FakeDialogs::Abort};
    EXPECT_THROW(k.PassF(L"a.txt", 0), RunEnded);
    EXPECT_EQ(fake.clipboard.formats, User);
    EXPECT_EQ(fake.log.only({"clipboard", "box", "endRun", "type"}),
              (Steps{"clipboard save", "clipboard set \"C:\\Work\\a.txt\"", "box Kelmo_Break",
                     "clipboard restore", "endRun"}));

    // Pass checks the Pause key only in a wait that is stuck on a busy machine.
    fake.log.clear();
    pauseOnPaste(true);
    fake.dialogs.answers.queued = {FakeDialogs::Abort};
    EXPECT_THROW(k.Pass(L"abc", 0), RunEnded);
    EXPECT_EQ(fake.clipboard.formats, User);
    EXPECT_EQ(fake.log.only({"clipboard", "box", "endRun", "type"}),
              (Steps{"clipboard save", "clipboard set abc", "box Kelmo_Break", "clipboard restore",
                     "endRun"}));
}

TEST_F(Clip, AfterAPauseWithRetryThePasteGoesOnAndTheClipboardIsRestoredOnce) {
    pauseOnPaste();
    k.PassF(L"a.txt", 0);
    EXPECT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(fake.log.only({"type"}), typed(L"^v"));
    EXPECT_EQ(fake.log.count("clipboard"), 3u);
    EXPECT_EQ(fake.clipboard.formats, User);

    // The next paste saves the clipboard anew: nothing of the first one is put back twice.
    fake.log.onEntry = nullptr;
    fake.clipboard.formats = {{FakeClipboard::Text, L"copied meanwhile"}};
    k.Pass(L"x", 0);
    EXPECT_EQ(fake.clipboard.formats,
              (FakeClipboard::Formats{{FakeClipboard::Text, L"copied meanwhile"}}));
}

TEST_F(Clip, PassLeavesTheApplicationsWindowAloneWhilePassFAdoptsTheOneInFront) {
    fake.log.onEntry = [&](const std::string& entry) {
        if (entry == typed(L"^v").front()) fake.windows.bringUp(OtherWindow);
    };
    k.Pass(L"abc", 0);
    EXPECT_EQ(k.apps().windows()[0], AppWindow);
    k.PassF(L"a.txt", 0);
    EXPECT_EQ(k.apps().windows()[0], OtherWindow);
}

TEST_F(Clip, PassFPastesTheCompletedPathInQuotesThroughSend) {
    k.PassF(L"a.txt", 0);
    EXPECT_EQ(steps(), waits(Pace + Guard + Steps{"clipboard save"} + Pace +
                             Steps{"clipboard set \"C:\\Work\\a.txt\""} + Front + Pace +
                             sent(Pace + typed(L"^v")) + Pace + Steps{"clipboard restore"} + Pace));
    EXPECT_EQ(fake.clipboard.formats, User);
}

// --- Across programs: a clipboard held by another program, a copy made during a pause, text
// that cannot be passed, another script's turn at the desktop ---

TEST_F(Clip, AClipboardHeldByAnotherProgramIsPutBackOnceItIsFreeHoweverLongThatTakes) {
    for (const std::int64_t heldMs : {1500, 5000, 30'000}) {
        SCOPED_TRACE(heldMs);
        fake.clipboard.formats = User;
        std::int64_t setAt = 0;
        fake.log.onEntry = [&](const std::string& entry) {
            if (entry.rfind("clipboard set", 0) != 0) return;
            setAt = fake.time.now();
            fake.clipboard.heldUntilMs = setAt + heldMs;
        };
        k.Pass(L"abc", 0);
        EXPECT_EQ(fake.clipboard.formats, User);
        EXPECT_GE(fake.time.now() - setAt, heldMs);
        EXPECT_GT(fake.log.count("pump", fake.log.find("clipboard held")), heldMs / 20);
    }
    EXPECT_TRUE(fake.dialogs.boxes.empty()); // nobody pressed Pause
}

TEST_F(Clip, OnlyAnAbortInThePauseBoxGivesUpPuttingTheClipboardBackWithAnError) {
    fake.log.onEntry = [&](const std::string& entry) {
        if (entry.rfind("clipboard set", 0) == 0) fake.clipboard.heldUntilMs = INT64_MAX;
    };
    fake.keyboard.pressPauseAt(5000); // noticed once the wait has gone on for 10 s
    fake.dialogs.answers.queued = {FakeDialogs::Retry, FakeDialogs::Abort};
    fake.time.at(20'000, [&] { fake.keyboard.pressPause(); });
    try {
        k.Pass(L"abc", 0);
        FAIL() << "Pass returned";
    } catch (const KelmoError& error) {
        EXPECT_EQ(error.number(), errors::ClipboardNotRestored);
        EXPECT_NE(error.description().find(L"clipboard could not be restored"), std::wstring::npos);
    }
    ASSERT_EQ(fake.dialogs.boxes.size(), 2u);
    EXPECT_GE(fake.dialogs.boxes[0].atMs, 10'000);
    EXPECT_NE(fake.dialogs.boxes[0].text.find(L"クリップボードを元に戻せません"),
              std::wstring::npos);
    EXPECT_TRUE(fake.log.entries.end() ==
                std::find(fake.log.entries.begin(), fake.log.entries.end(), "endRun"));
}

TEST_F(Clip, ACopyTheUserMakesDuringAPauseIsWhatComesBackAndThePassedTextIsStillPasted) {
    // PassF: the Pause press is noticed by the guard of its Send, before the paste.
    pauseOnPaste();
    fake.dialogs.onBox = [&] { fake.clipboard.copy(L"the user's new copy"); };
    k.PassF(L"a.txt", 0);
    const FakeClipboard::Formats newCopy = {{FakeClipboard::Text, L"the user's new copy"}};
    EXPECT_EQ(duringPaste, (std::vector<FakeClipboard::Formats>{
                               {{FakeClipboard::Text, L"\"C:\\Work\\a.txt\""}}}));
    EXPECT_EQ(fake.clipboard.formats, newCopy);

    // Pass: noticed in a wait stuck on a busy machine, before the paste.
    fake.clipboard.formats = User;
    duringPaste.clear();
    pauseOnPaste(true);
    fake.dialogs.onBox = [&] {
        fake.clipboard.copy(L"the user's new copy");
        fake.system.statistic = FakeSystem::Statistic::None; // the machine is idle again
    };
    k.Pass(L"abc", 0);
    EXPECT_EQ(duringPaste, (std::vector<FakeClipboard::Formats>{{{FakeClipboard::Text, L"abc"}}}));
    EXPECT_EQ(fake.clipboard.formats, newCopy);
}

TEST_F(Clip, TextWithANulCharacterIsRefusedBeforeAnythingIsDone) {
    const std::wstring withNul(L"a\0b", 3);
    for (const auto& member : std::vector<std::function<void()>>{[&] { k.Pass(withNul, 0); },
                                                                 [&] { k.PassF(withNul, 0); },
                                                                 [&] { k.DefFld(withNul); }}) {
        fake.log.clear();
        try {
            member();
            ADD_FAILURE() << "accepted";
        } catch (const KelmoError& error) {
            EXPECT_EQ(error.number(), errors::InvalidCall);
            EXPECT_NE(error.description().find(L"NUL character"), std::wstring::npos);
        }
        EXPECT_EQ(fake.log.count("clipboard"), 0u);
        EXPECT_EQ(fake.log.count("sleep"), 0u);
    }
    EXPECT_EQ(fake.clipboard.formats, User);
    EXPECT_EQ(k.DefFld(), L"C:\\Work\\");
}

TEST_F(Keys, AnotherScriptsTurnAtTheDesktopIsWaitedForPumpingAndListeningToThePauseKey) {
    fake.desktopLock.otherHoldsUntilMs = 3000;
    fake.keyboard.pressPauseAt(1000);
    std::vector<std::int64_t> frontedAt, typedAt;
    fake.log.onEntry = [&](const std::string& entry) {
        if (entry == "activate 256") frontedAt.push_back(fake.time.now());
        if (entry.rfind("type", 0) == 0) typedAt.push_back(fake.time.now());
    };
    k.Send(L"a");
    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_LT(fake.dialogs.boxes[0].atMs, 1200);
    ASSERT_EQ(frontedAt.size(), 2u); // by the pause box, then by Send once its turn came
    EXPECT_GE(frontedAt[1], 3000);
    EXPECT_GE(typedAt.at(0), 3000);
    EXPECT_GT(fake.log.count("pump"), 100u);
    EXPECT_FALSE(fake.desktopLock.held);
}

// --- Typing that takes long: the injector asks whether to pause ---

TEST_F(Keys, APausePressWhileOnePieceIsTypedOpensTheBoxThereAndAbortEndsTheRun) {
    int chunks = 0;
    fake.keys.whileTyping = [&](platform::KeyInjector::Pauses& pauses) {
        for (chunks = 1; chunks < 1000; ++chunks) {
            if (chunks == 3) fake.keyboard.pressPause();
            if (pauses.pauseWanted()) {
                fake.log.add("let go");
                pauses.pause();
            }
        }
    };
    k.Send(L"{x 99999999}");
    EXPECT_EQ(fake.dialogs.boxes.size(), 1u);
    const std::size_t box = fake.log.find("box Kelmo_Break");
    EXPECT_LT(fake.log.find("let go"), box); // no key of the script is held during the box
    EXPECT_LT(fake.log.find("activate 256", box), fake.log.entries.size()); // then back again
    EXPECT_GE(fake.log.count("pump"), 999u);

    fake.dialogs.answers.queued = {FakeDialogs::Abort};
    EXPECT_THROW(k.Send(L"{x 99999999}"), RunEnded);
    EXPECT_LT(chunks, 1000);
}

// --- The browser wait ---

TEST_F(Keys, TheBrowserWaitAsksForIecAtEverySampleAndEndsWithTheSession) {
    auto stuck = openBrowser();
    stuck->isBusy.otherwise = true;
    auto replacement = std::make_shared<FakeBrowser>(fake.log); // never busy
    std::size_t samples = 0;
    fake.log.onEntry = [&](const std::string& entry) {
        if (entry == "busy" && ++samples == 2) k.IEC(replacement);
    };
    k.Send(L"");
    EXPECT_EQ(samples, 9u); // one of the busy one, then seven of the other in a row, plus one

    stuck = openBrowser();
    stuck->isBusy.otherwise = true;
    samples = 0;
    fake.log.onEntry = [&](const std::string& entry) {
        if (entry == "busy" && ++samples == 4) {
            k.browser().quit(); // as the browser's quit event does, from a pumped message
            k.IEC(nullptr);
        }
    };
    EXPECT_NO_THROW(k.Send(L""));
    EXPECT_EQ(samples, 4u);
}

// --- Repeat counts as 16-bit integers ---

TEST(RepeatCount, ConvertsLikeAScriptIntegerBlanksAroundRoundedHalfToEven) {
    const std::pair<std::wstring, std::int16_t> numbers[] = {
        {L" 3 ", 3},       {L"3.5", 4},         {L"2.5", 2},         {L"-2.5", -2}, {L"0.5", 0},
        {L"1.5", 2},       {L"+4", 4},          {L".5", 0},          {L"7.", 7},    {L"0003", 3},
        {L"32767", 32767}, {L"-32768", -32768}, {L"32766.5", 32766}, {L"-0.4", 0}};
    for (const auto& [text, value] : numbers) {
        SCOPED_TRACE(narrow(text));
        EXPECT_EQ(text::toInteger(text), value);
    }
    for (const std::wstring notANumber : {L"x", L"", L"   ", L"3x", L"3 4", L".", L"-"})
        EXPECT_EQ(errorNumberOf([&] { text::toInteger(notANumber); }), errors::TypeMismatch)
            << narrow(notANumber);
    for (const std::wstring tooBig : {L"40000", L"32767.5", L"-32769", L"99999999999999999999"})
        EXPECT_EQ(errorNumberOf([&] { text::toInteger(tooBig); }), errors::Overflow)
            << narrow(tooBig);
}

} // namespace
