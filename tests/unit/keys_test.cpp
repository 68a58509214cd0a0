// Send, Pass and PassF against the fakes, in virtual time: how a key script is cut into pieces
// and paced, which pieces go as raw key events (Print Screen, Esc, Tab chords and repeated Tab),
// the browser wait, failures part-way through a script, and the clipboard around a paste. Also
// the conversion of a repeat count to a 16-bit integer.
#include "component/object.h"
#include "component/text.h"
#include "fakes.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;

// IEOpen is set only by IE when it opens the browser. An explicit instantiation may name
// private members, so this pointer reaches the field without a test hook in the class.
template <typename Tag, typename Tag::Pointer Member> struct Expose {
    friend typename Tag::Pointer pointerTo(Tag) { return Member; }
};
struct IEOpenField {
    using Pointer = bool CKelmo::*;
    friend Pointer pointerTo(IEOpenField);
};
template struct Expose<IEOpenField, &CKelmo::IEOpen>;

constexpr WindowHandle AppWindow = 0x100;
constexpr WindowHandle OtherWindow = 0x300;

std::optional<std::int32_t> errorNumberOf(const std::function<void()> &action) {
    try {
        action();
    } catch (const KelmoError &error) {
        return error.number();
    }
    return std::nullopt;
}

// The expected log, step by step. With Mol1 = Atom = 25 on a machine without a statistic one
// PaceWait is one 25 ms sleep; LaunchWait (SettleMs 100) is four.
using Steps = std::vector<std::string>;

Steps join(std::initializer_list<Steps> parts) {
    Steps all;
    for (const Steps &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}
Steps repeated(const Steps &steps, int times) {
    Steps all;
    for (int i = 0; i < times; ++i)
        all.insert(all.end(), steps.begin(), steps.end());
    return all;
}

const Steps Pace = {"sleep 25"};
const Steps Guard = {"key 19 0", "sleep 25"};
const Steps Front = {"activate 256"};
const Steps Launch(4, "sleep 25");
const Steps Adopt = {"foreground 256"};
const Steps BrowserSample = {"sleep 100"};

Steps typed(const std::string &script) {
    return {"type " + script};
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

constexpr int Shift = 16, Ctrl = 17, Alt = 18, Tab = 9, Esc = 27;

class Keys : public ::testing::Test {
protected:
    Keys() : k(prepared(fake)) {
        fake.log.clear();
        k.Mol1 = 25;
    }

    static platform::Services &prepared(FakeServices &services) {
        services.windows.front = AppWindow;
        services.dialogs.defaultAnswer = FakeDialogs::Retry;
        services.processes.directory = L"C:\\Work";
        return services.services();
    }

    void openBrowser(std::shared_ptr<FakeBrowser> browser) {
        k.*pointerTo(IEOpenField{}) = true;
        k.IEC = std::move(browser);
    }
    std::shared_ptr<FakeBrowser> openIdleBrowser() {
        auto browser = std::make_shared<FakeBrowser>(fake.log);
        openBrowser(browser);
        return browser;
    }

    Steps steps(std::size_t from = 0) const {
        return fake.log.only({"key", "sleep", "activate", "type", "rawkey", "foreground",
                              "clipboard", "box", "endRun"},
                             from);
    }
    // The log of one Send of a script with the given deliveries, browser closed.
    static Steps sent(const Steps &deliveries) {
        return join({Guard, Front, deliveries, Launch, Adopt});
    }

    FakeServices fake;
    CKelmo k;
};

// --- Pieces and their pacing ---

TEST_F(Keys, AnEmptyScriptStillGuardsFrontsSettlesAndAdoptsTheWindowInFront) {
    fake.bringUpAt(fake.clock.now() + 60, OtherWindow); // during LaunchWait
    k.Send(L"");
    EXPECT_EQ(steps(), join({Guard, Front, Launch, {"foreground 768"}}));
    EXPECT_EQ(k.appWnds()[0], OtherWindow);

    fake.log.clear();
    openIdleBrowser();
    fake.bringUpAt(fake.clock.now() + 25 + 100 + 150, 0x400); // during the browser wait
    k.Send(L"");
    EXPECT_EQ(steps(), join({Guard,
                             {"activate 768"},
                             Launch,
                             repeated(BrowserSample, 3),
                             Guard,
                             {"foreground 1024"}}));
    EXPECT_EQ(k.appWnds()[0], 0x400u);
}

TEST_F(Keys, EachPieceIsTypedAfterItsOwnPaceWait) {
    k.Send(L"abc");
    EXPECT_EQ(steps(), sent(join({Pace, typed("a"), Pace, typed("b"), Pace, typed("c")})));
}

TEST_F(Keys, PiecesAreOneKeyWithItsModifiersOneBraceGroupOrOneParenthesisedGroup) {
    const std::vector<std::pair<std::wstring, std::vector<std::wstring>>> cases = {
        {L"+%a", {L"+%a"}},
        {L"+(ab)c", {L"+(ab)", L"c"}},
        {L"^{F4}x", {L"^{F4}", L"x"}},
        {L"{{}", {L"{{}"}},
        {L"{}}", {L"{}", L"}"}},                      // a brace group ends at the first "}"
        {L"(a(b)c)", {L"(a(b)", L"c", L")"}},         // parentheses do not nest
        {L"+(a{esc}{tab 2})", {L"+(a{esc}{tab 2})"}}, // braces in a group go with the group
        {L"abc+", {L"a", L"b", L"c", L"+"}},
        {L"x^%", {L"x", L"^%"}},
        {L"{esc 2}", {L"{esc 2}"}},
        {L"{ENTER}~}", {L"{ENTER}", L"~", L"}"}},
        {L"{PRTSC 2}", {L"{PRTSC 2}"}},
    };
    for (const auto &[script, pieces] : cases) {
        SCOPED_TRACE(utf8(script));
        fake.keys.scripts.clear();
        fake.keyboard.rawEvents.clear();
        fake.log.clear();
        k.Send(script);
        EXPECT_EQ(fake.keys.scripts, pieces);
        EXPECT_TRUE(fake.keyboard.rawEvents.empty());
        EXPECT_EQ(fake.log.count("sleep"), Guard.size() - 1 + pieces.size() + Launch.size());
    }
}

// --- Raw key events ---

TEST_F(Keys, EscAndTabWithUpToTwoModifiersGoAsOneRawChord) {
    const std::vector<std::pair<std::wstring, Steps>> cases = {
        {L"{esc}", chord({Esc})},
        {L"{ESC}", chord({Esc})},
        {L"{Esc}", chord({Esc})},
        {L"{TAB}", chord({Tab})},
        {L"^{esc}", chord({Ctrl, Esc})},
        {L"%{tab}", chord({Alt, Tab})},
        {L"+^{tab}", chord({Shift, Ctrl, Tab})},
        {L"%+{TAB}", chord({Alt, Shift, Tab})},
        {L"^%{Esc}", chord({Ctrl, Alt, Esc})},
        {L"+%^{tab}", chord({Alt, Ctrl, Tab})}, // only the two before the brace count
        {L"%%{tab}", chord({Alt, Tab})},        // the same modifier twice is pressed once
    };
    for (const auto &[script, events] : cases) {
        SCOPED_TRACE(utf8(script));
        fake.log.clear();
        fake.keys.scripts.clear();
        k.Send(script);
        EXPECT_EQ(steps(), sent(join({Pace, events, Pace})));
        EXPECT_TRUE(fake.keys.scripts.empty());
    }
}

TEST_F(Keys, ARepeatedTabPressesTheChordCountTimesWithAPaceWaitAfterEach) {
    k.Send(L"+{tab 3}");
    EXPECT_EQ(steps(), sent(join({Pace, repeated(join({chord({Shift, Tab}), Pace}), 3)})));

    const std::vector<std::tuple<std::wstring, int, Steps>> cases = {
        {L"{TAB 2}", 2, chord({Tab})},
        {L"{tab  1 }", 1, chord({Tab})},
        {L"{tab 2.5}", 2, chord({Tab})},
        {L"%{tab 2}", 2, chord({Alt, Tab})},
        {L"+%^{tab 2}", 2, chord({Alt, Ctrl, Tab})},
        {L"{tab 0}", 0, {}},
        {L"{tab -3}", 0, {}},
    };
    for (const auto &[script, times, events] : cases) {
        SCOPED_TRACE(utf8(script));
        fake.log.clear();
        k.Send(script);
        EXPECT_EQ(steps(), sent(join({Pace, repeated(join({events, Pace}), times)})));
        EXPECT_TRUE(fake.keys.scripts.empty());
    }
}

TEST_F(Keys, TheLargestRepeatCountPressesExactlyThatManyTimes) {
    fake.clock.limitMs = 60 * 60 * 1000;
    k.Send(L"{tab 32767}");
    EXPECT_EQ(fake.keyboard.rawEvents.size(), 2 * 32767u);
}

TEST_F(Keys, PrintScreenIsOneKeyDownWithScanOneForTheScreenAndZeroForTheWindow) {
    const std::vector<std::pair<std::wstring, std::string>> cases = {
        {L"{PRTSC}", "rawkey 44 1 0"},  {L"{prtsc}", "rawkey 44 1 0"},
        {L"%{PRTSC}", "rawkey 44 0 0"}, {L"+%{PrtSc}", "rawkey 44 0 0"},
        {L"^{PRTSC}", "rawkey 44 1 0"},
    };
    for (const auto &[script, event] : cases) {
        SCOPED_TRACE(utf8(script));
        fake.log.clear();
        k.Send(script);
        EXPECT_EQ(steps(), sent(join({Pace, {event}, Pace})));
        EXPECT_TRUE(fake.keys.scripts.empty());
    }
}

TEST_F(Keys, TypedPiecesAndRawEventsKeepTheScriptsOrder) {
    k.Send(L"a{esc}%{PRTSC}b+{tab 2}");
    EXPECT_EQ(steps(), sent(join({Pace,
                                  typed("a"),
                                  Pace,
                                  chord({Esc}),
                                  Pace,
                                  Pace,
                                  {"rawkey 44 0 0"},
                                  Pace,
                                  Pace,
                                  typed("b"),
                                  Pace,
                                  chord({Shift, Tab}),
                                  Pace,
                                  chord({Shift, Tab}),
                                  Pace})));
}

// --- Failures part-way through a script ---

TEST_F(Keys, AFailingPieceEndsSendAndThePiecesBeforeItStayDelivered) {
    fake.keys.onType = [](const std::wstring &script) {
        if (script == L"{bad}") throw KelmoError(errors::InvalidCall, L"{bad}");
    };
    fake.windows.bringUp(OtherWindow);
    EXPECT_EQ(errorNumberOf([&] { k.Send(L"ab{bad}c"); }), errors::InvalidCall);
    EXPECT_EQ(fake.keys.scripts, (std::vector<std::wstring>{L"a", L"b", L"{bad}"}));
    EXPECT_EQ(fake.log.count("foreground"), 0u); // no LaunchWait, no adoption
    EXPECT_EQ(k.appWnds()[0], AppWindow);
}

TEST_F(Keys, ARepeatCountThatIsNoNumberOrTooBigFailsAfterThePiecesBeforeIt) {
    const std::vector<std::pair<std::wstring, std::int32_t>> cases = {
        {L"ab{tab x}c", errors::TypeMismatch},
        {L"ab{tab }c", errors::TypeMismatch},
        {L"ab+{TAB 3x}c", errors::TypeMismatch},
        {L"ab{tab 40000}c", errors::Overflow},
    };
    for (const auto &[script, number] : cases) {
        SCOPED_TRACE(utf8(script));
        fake.log.clear();
        fake.keys.scripts.clear();
        EXPECT_EQ(errorNumberOf([&, &s = script] { k.Send(s); }), number);
        EXPECT_EQ(steps(), join({Guard, Front, Pace, typed("a"), Pace, typed("b"), Pace}));
        EXPECT_TRUE(fake.keyboard.rawEvents.empty());
    }
}

TEST_F(Keys, AnUnclosedGroupIsAnOverflowAndOnlyThePiecesBeforeItAreDelivered) {
    for (const std::wstring script : {L"ab(cd", L"ab{tab 3", L"ab+(", L"ab%{"}) {
        SCOPED_TRACE(utf8(script));
        fake.log.clear();
        fake.keys.scripts.clear();
        EXPECT_EQ(errorNumberOf([&, &s = script] { k.Send(s); }), errors::Overflow);
        EXPECT_EQ(fake.keys.scripts, (std::vector<std::wstring>{L"a", L"b"}));
        EXPECT_EQ(fake.log.count("foreground"), 0u);
    }
}

TEST_F(Keys, AScriptOfUpTo32767CharactersIsAcceptedALongerOneFailsBeforeTyping) {
    const std::wstring longest = L"(" + std::wstring(32765, L'a') + L")";
    ASSERT_EQ(longest.size(), 32767u);
    k.Send(longest);
    EXPECT_EQ(fake.keys.scripts, std::vector<std::wstring>{longest});

    fake.keys.scripts.clear();
    EXPECT_EQ(errorNumberOf([&] { k.Send(std::wstring(32768, L'a')); }), errors::Overflow);
    EXPECT_EQ(errorNumberOf([&] { k.Send(L"(" + std::wstring(32766, L'a') + L")"); }),
              errors::Overflow);
    EXPECT_TRUE(fake.keys.scripts.empty());
    EXPECT_TRUE(fake.keyboard.rawEvents.empty());
}

// --- The browser wait ---

TEST_F(Keys, AnIdleBrowserTakesThreeSamplesThenSendGuardsAgain) {
    const auto browser = openIdleBrowser();
    k.Send(L"a");
    EXPECT_EQ(steps(), join({Guard, Front, Pace, typed("a"), Launch, repeated(BrowserSample, 3),
                             Guard, Adopt}));
    EXPECT_EQ(browser->busyReads, 3);
}

TEST_F(Keys, ABusyBrowserNeedsSevenNotBusySamplesInARowCountedAcrossBothPhases) {
    const std::vector<std::pair<std::deque<bool>, int>> cases = {
        {{true, false, false}, 3 + 5},
        {{false, true, false}, 3 + 6},
        {{false, false, true}, 3 + 7},
        {{true, true, true, true}, 4 + 7},
        {{true, false, false, false, false, false, true}, 7 + 7},
        {{true, false, false, false, false, false, false, true}, 3 + 5 + 7}, // six are not enough
    };
    for (const auto &[answers, reads] : cases) {
        SCOPED_TRACE(reads);
        auto browser = std::make_shared<FakeBrowser>(fake.log);
        browser->busyAnswers = answers;
        openBrowser(browser);
        fake.log.clear();
        k.Send(L"");
        EXPECT_EQ(browser->busyReads, reads);
        EXPECT_EQ(fake.log.count("sleep"), 1 + 4 + static_cast<std::size_t>(reads) + 1);
        EXPECT_EQ(fake.log.count("key"), 2u); // the Pause key is not polled meanwhile
    }
}

TEST_F(Keys, ABrowserBusyForMoreThanTenSecondsListensToThePauseKeyAndAPauseEndsTheWait) {
    auto browser = std::make_shared<FakeBrowser>(fake.log);
    browser->restingBusy = true;
    openBrowser(browser);
    int readsAtBox = -1;
    fake.dialogs.onMessageBox = [&](FakeDialogs::BoxCall &) { readsAtBox = browser->busyReads; };
    fake.pressPauseAt(fake.clock.now() + 3000); // noticed only once the wait is stuck
    k.Send(L"");

    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(readsAtBox, 101); // 10.1 s of samples is the first time beyond 10 s
    EXPECT_EQ(browser->busyReads, 101);
    EXPECT_EQ(fake.log.count("key"), 3u); // Send's two guards and the one check that found it
    EXPECT_EQ(steps(fake.log.find("box Kelmo_Break")),
              join({{"box Kelmo_Break"}, Pace, {"foreground 256"}, Pace, Guard, Adopt}));
}

TEST_F(Keys, WithoutAPauseABusyBrowserIsWaitedForUntilItIsIdle) {
    auto browser = std::make_shared<FakeBrowser>(fake.log);
    browser->restingBusy = true;
    openBrowser(browser);
    fake.clock.at(20'000, [&] { browser->restingBusy = false; });
    k.Send(L"");
    EXPECT_TRUE(fake.dialogs.boxes.empty());
    EXPECT_GE(fake.clock.now(), 20'000 + 700);
    EXPECT_GT(fake.log.count("key"), 90u); // listening since 10 s into the wait
}

TEST_F(Keys, AnOpenBrowserThatCannotBeReadFailsSendAfterTheKeysAndTheSettling) {
    k.*pointerTo(IEOpenField{}) = true; // IEC holds nothing
    EXPECT_EQ(errorNumberOf([&] { k.Send(L"ab"); }), errors::ObjectNotSet);
    EXPECT_EQ(steps(), join({Guard, Front, Pace, typed("a"), Pace, typed("b"), Launch}));

    auto browser = openIdleBrowser();
    browser->busyFailure = KelmoError(static_cast<std::int32_t>(0x800706BAu), L"RPC");
    fake.log.clear();
    EXPECT_EQ(errorNumberOf([&] { k.Send(L"a"); }), static_cast<std::int32_t>(0x800706BAu));
    EXPECT_EQ(fake.log.count("foreground"), 0u);
}

// --- Pass and PassF ---

class Clip : public Keys {
protected:
    Clip() {
        fake.clipboard.formats = UserClipboard;
        fake.keys.onType = [this](const std::wstring &script) {
            if (script == L"^v") duringPaste.push_back(fake.clipboard.formats);
        };
    }

    const std::map<std::wstring, std::wstring> UserClipboard = {
        {FakeClipboard::Text, L"the user's text"},
        {L"CF_DIB", L"the user's picture"},
        {L"HTML Format", L"<b>the user's</b>"}};
    std::vector<std::map<std::wstring, std::wstring>> duringPaste;
};

TEST_F(Clip, PassHasTheTextOnTheClipboardExactlyForThePasteThenRestoresAllOfIt) {
    k.Pass(L"abc", 0);
    EXPECT_EQ(steps(), join({Guard,
                             {"clipboard save"},
                             Pace,
                             {"clipboard set abc"},
                             Front,
                             Pace,
                             typed("^v"),
                             Pace,
                             {"clipboard restore"},
                             Pace}));
    ASSERT_EQ(duringPaste.size(), 1u);
    EXPECT_EQ(duringPaste[0],
              (std::map<std::wstring, std::wstring>{{FakeClipboard::Text, L"abc"}}));
    EXPECT_EQ(fake.clipboard.formats, UserClipboard);

    duringPaste.clear();
    fake.clipboard.formats.clear(); // a clipboard that held nothing
    k.Pass(L"", 0);
    ASSERT_EQ(duringPaste.size(), 1u);
    EXPECT_EQ(duringPaste[0], (std::map<std::wstring, std::wstring>{{FakeClipboard::Text, L""}}));
    EXPECT_TRUE(fake.clipboard.formats.empty());
}

TEST_F(Clip, EnterIsSentThroughSendAsOftenAsAskedAfterTheClipboardIsBack) {
    for (const std::int16_t none : {0, -1, -32768}) {
        SCOPED_TRACE(none);
        fake.keys.scripts.clear();
        k.Pass(L"abc", none);
        k.PassF(L"a.txt", none);
        EXPECT_EQ(fake.keys.scripts, (std::vector<std::wstring>{L"^v", L"^v"}));
    }

    fake.log.clear();
    k.Pass(L"abc", 2);
    const Steps enter = sent(join({Pace, typed("{Enter}")}));
    EXPECT_EQ(steps(fake.log.find("clipboard restore")),
              join({{"clipboard restore"}, Pace, enter, enter}));

    fake.log.clear();
    k.PassF(L"a.txt", 1);
    EXPECT_EQ(steps(fake.log.find("clipboard restore")),
              join({{"clipboard restore"}, Pace, enter}));
}

TEST_F(Clip, AFailedPasteStillRestoresTheClipboardAndReportsTheFailure) {
    fake.keys.failure = KelmoError(errors::InvalidCall, L"injection refused");
    EXPECT_EQ(errorNumberOf([&] { k.Pass(L"abc", 2); }), errors::InvalidCall);
    EXPECT_EQ(fake.clipboard.formats, UserClipboard);
    EXPECT_EQ(fake.keys.scripts, std::vector<std::wstring>{L"^v"}); // no Enter after a failure

    EXPECT_EQ(errorNumberOf([&] { k.PassF(L"a.txt", 1); }), errors::InvalidCall);
    EXPECT_EQ(fake.clipboard.formats, UserClipboard);

    fake.keys.failure.reset();
    fake.clipboard.setTextFailure = KelmoError(static_cast<std::int32_t>(0x800401D0u), L"busy");
    EXPECT_EQ(errorNumberOf([&] { k.Pass(L"abc", 0); }), static_cast<std::int32_t>(0x800401D0u));
    EXPECT_EQ(fake.clipboard.formats, UserClipboard);
    EXPECT_EQ(fake.log.entries().back(), "clipboard restore");

    // PassF's paste goes through Send, so an open browser without an object fails it too.
    fake.clipboard.setTextFailure.reset();
    k.*pointerTo(IEOpenField{}) = true;
    EXPECT_EQ(errorNumberOf([&] { k.PassF(L"a.txt", 0); }), errors::ObjectNotSet);
    EXPECT_EQ(fake.clipboard.formats, UserClipboard);
}

TEST_F(Clip, AbortingTheRunDuringAPasteGivesTheUserTheirClipboardBackFirst) {
    fake.dialogs.answers = {FakeDialogs::Abort};
    fake.clipboard.onSetText = [&](const std::wstring &) {
        fake.keyboard.press(FakeKeyboard::Pause); // noticed by the guard of PassF's Send
    };
    EXPECT_THROW(k.PassF(L"a.txt", 0), RunEnded);
    EXPECT_EQ(fake.clipboard.formats, UserClipboard);
    EXPECT_EQ(fake.log.only({"clipboard", "box", "endRun"}),
              (Steps{"clipboard save", "clipboard set \"C:\\Work\\a.txt\"", "box Kelmo_Break",
                     "clipboard restore", "endRun"}));
    EXPECT_TRUE(fake.keys.scripts.empty());

    // Pass checks the Pause key only in a wait that is stuck on a busy machine.
    fake.log.clear();
    fake.dialogs.answers = {FakeDialogs::Abort};
    fake.clipboard.onSetText = [&](const std::wstring &) {
        fake.system.statistic = FakeSystem::Statistic::Registry;
        fake.system.restingUsage = 100;
        fake.keyboard.press(FakeKeyboard::Pause);
    };
    EXPECT_THROW(k.Pass(L"abc", 0), RunEnded);
    EXPECT_EQ(fake.clipboard.formats, UserClipboard);
    EXPECT_EQ(fake.log.only({"clipboard", "box", "endRun"}),
              (Steps{"clipboard save", "clipboard set abc", "box Kelmo_Break", "clipboard restore",
                     "endRun"}));
}

// Another program may hold the clipboard open just then: the user's Abort must end the run all
// the same, not come back to the script as an error it can ignore.
TEST_F(Clip, AbortEndsTheRunEvenWhenTheClipboardCannotBePutBack) {
    fake.dialogs.answers = {FakeDialogs::Abort};
    fake.clipboard.onSetText = [&](const std::wstring &) {
        fake.keyboard.press(FakeKeyboard::Pause);
        fake.clipboard.restoreFailure =
            KelmoError(static_cast<std::int32_t>(0x800705AAu), L"OpenClipboard");
    };
    try {
        k.PassF(L"a.txt", 0);
        ADD_FAILURE() << "PassF returned";
    } catch (const RunEnded &) {
    } catch (const KelmoError &error) {
        ADD_FAILURE() << "Abort came back as error " << error.number();
    }
    EXPECT_EQ(fake.processes.runsEnded, 1);
    EXPECT_TRUE(fake.keys.scripts.empty());
}

TEST_F(Clip, AfterAPauseWithRetryThePasteGoesOnAndTheClipboardIsRestoredOnce) {
    fake.clipboard.onSetText = [&](const std::wstring &) {
        fake.keyboard.press(FakeKeyboard::Pause);
    };
    k.PassF(L"a.txt", 0);
    EXPECT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_EQ(fake.keys.scripts, std::vector<std::wstring>{L"^v"});
    EXPECT_EQ(fake.log.count("clipboard"), 3u);
    EXPECT_EQ(fake.clipboard.formats, UserClipboard);

    // The next paste saves the clipboard anew: nothing of the first one is put back twice.
    fake.clipboard.onSetText = nullptr;
    fake.clipboard.formats = {{FakeClipboard::Text, L"copied meanwhile"}};
    k.Pass(L"x", 0);
    EXPECT_EQ(fake.clipboard.formats,
              (std::map<std::wstring, std::wstring>{{FakeClipboard::Text, L"copied meanwhile"}}));
}

TEST_F(Clip, PassLeavesTheApplicationsWindowAloneWhilePassFAdoptsTheOneInFront) {
    fake.keys.onType = [&](const std::wstring &) { fake.windows.bringUp(OtherWindow); };
    k.Pass(L"abc", 0);
    EXPECT_EQ(k.appWnds()[0], AppWindow);
    k.PassF(L"a.txt", 0);
    EXPECT_EQ(k.appWnds()[0], OtherWindow);
}

TEST_F(Clip, PassFPastesTheCompletedPathInQuotesThroughSend) {
    const std::vector<std::pair<std::wstring, std::wstring>> cases = {
        {L"a.txt", L"\"C:\\Work\\a.txt\""},
        {L"  a.txt  ", L"\"C:\\Work\\a.txt\""},
        {L"\"C:\\My Files\\a b.txt\"", L"\"C:\\My Files\\a b.txt\""},
        {L"C:\\My Files\\a b.txt", L"\"C:\\My Files\\a b.txt\""},
        {L"\"a b.txt\"", L"\"C:\\Work\\a b.txt\""},
        {L"\\tools\\a.exe", L"\"C:\\\\tools\\a.exe\""},
    };
    for (const auto &[path, pasted] : cases) {
        SCOPED_TRACE(utf8(path));
        fake.clipboard.texts.clear();
        k.PassF(path, 0);
        EXPECT_EQ(fake.clipboard.texts, std::vector<std::wstring>{pasted});
        EXPECT_EQ(fake.clipboard.formats, UserClipboard);
    }

    fake.log.clear();
    k.PassF(L"a.txt", 0);
    EXPECT_EQ(steps(), join({Pace,
                             Guard,
                             {"clipboard save"},
                             Pace,
                             {"clipboard set \"C:\\Work\\a.txt\""},
                             Front,
                             Pace,
                             sent(join({Pace, typed("^v")})),
                             Pace,
                             {"clipboard restore"},
                             Pace}));
}

// --- Repeat counts as 16-bit integers ---

TEST(RepeatCount, ConvertsLikeAScriptIntegerBlanksAroundRoundedHalfToEven) {
    const std::vector<std::pair<std::wstring, std::int16_t>> numbers = {
        {L" 3 ", 3},       {L"3.5", 4},         {L"2.5", 2},         {L"-2.5", -2}, {L"0.5", 0},
        {L"1.5", 2},       {L"+4", 4},          {L".5", 0},          {L"7.", 7},    {L"0003", 3},
        {L"32767", 32767}, {L"-32768", -32768}, {L"32766.5", 32766}, {L"-0.4", 0},
    };
    for (const auto &[text, value] : numbers) {
        SCOPED_TRACE(utf8(text));
        EXPECT_EQ(text::toInteger(text), value);
    }
    const std::vector<std::pair<std::wstring, std::int32_t>> failures = {
        {L"x", errors::TypeMismatch},
        {L"", errors::TypeMismatch},
        {L"   ", errors::TypeMismatch},
        {L"3x", errors::TypeMismatch},
        {L"3 4", errors::TypeMismatch},
        {L".", errors::TypeMismatch},
        {L"-", errors::TypeMismatch},
        {L"40000", errors::Overflow},
        {L"32767.5", errors::Overflow},
        {L"-32769", errors::Overflow},
        {L"99999999999999999999", errors::Overflow},
    };
    for (const auto &[text, number] : failures) {
        SCOPED_TRACE(utf8(text));
        EXPECT_EQ(errorNumberOf([&t = text] { text::toInteger(t); }), number);
    }
}

} // namespace
