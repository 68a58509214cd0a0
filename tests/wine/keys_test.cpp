// Send, Pass and PassF for real: key scripts typed into the key recorder window and into
// notepad, raw chords and Print Screen, the clipboard kept intact.
#include "fixture.h"
#include "recorder.h"

#include <gtest/gtest.h>

#include <string>

using kelmo::test::Arg;
using kelmo::test::fastPacing;
using kelmo::test::KeyRecorder;
using kelmo::test::LateBound;

namespace {

using Keys = kelmo::test::ComTest;

// Types one script into a fresh recorder and returns the key downs and ups it received.
struct Typed {
    HRESULT hr;
    SCODE scode;
    std::wstring description;
    std::string keys;
    std::wstring text;
    std::vector<kelmo::test::KeyMessage> messages;
};

Typed typeInto(const wchar_t* script) {
    KeyRecorder recorder;
    EXPECT_TRUE(recorder.ready());
    LateBound k; // created with the recorder in front: it is application 0
    fastPacing(k);
    auto r = k.call(L"Send", {Arg(script)});
    recorder.settle();
    // Whatever the script, the recorder handles keys at once: a time-out is a fault.
    EXPECT_EQ(std::wstring::npos, r.description.find(L"did not handle"))
        << std::string(r.description.begin(), r.description.end());
    return {r.hr, r.scode, r.description, recorder.keys(), recorder.text(), recorder.messages()};
}

TEST_F(Keys, PiecesArriveAsTheirKeysInOrder) {
    struct Case {
        const wchar_t* script;
        const char* keys;
    };
    const Case cases[] = {
        {L"abc", "v41 ^41 v42 ^42 v43 ^43"},
        {L"+%a", "v10 v12 v41 ^41 ^12 ^10"},
        {L"+(ab)c", "v10 v41 ^41 v42 ^42 ^10 v43 ^43"},
        {L"abc+", "v41 ^41 v42 ^42 v43 ^43"}, // a trailing lone modifier presses nothing
        {L"{LEFT 2}{DEL}{F4}", "v25 ^25 v25 ^25 v2E ^2E v73 ^73"},
        {L"{tab 0}", ""},
        {L"{tab &H2}", "v09 ^09 v09 ^09"}, // the count as the script languages convert it
        {L"~", "v0D ^0D"},
    };
    for (const Case& c : cases) {
        const Typed typed = typeInto(c.script);
        EXPECT_EQ(S_OK, typed.hr) << c.keys << " " << std::hex << typed.scode << " "
                                  << std::string(typed.description.begin(),
                                                 typed.description.end());
        EXPECT_EQ(c.keys, typed.keys);
    }
}

// The desktop is no application: with only the desktop in front, Send fails and types
// nothing, as when no window at all is in front.
TEST_F(Keys, WithOnlyTheDesktopInFrontSendFailsInsteadOfTypingIntoIt) {
    SetForegroundWindow(GetDesktopWindow());
    LateBound k; // the desktop is application 0
    fastPacing(k);
    const auto r = k.call(L"Send", {Arg(L"%{F4}")});
    EXPECT_NE(S_OK, r.hr);
    EXPECT_NE(std::wstring::npos, r.description.find(L"no window is in front"))
        << std::string(r.description.begin(), r.description.end());
}

// A window that stops handling input for 12 s after its first key: Send waits for it.
TEST_F(Keys, SendWaitsForAWindowBusyForTwelveSecondsAndDeliversEveryKey) {
    KeyRecorder recorder(false, L"--stall=12000");
    ASSERT_TRUE(recorder.ready());
    LateBound k;
    fastPacing(k);
    const ULONGLONG start = GetTickCount64();
    const auto r = k.call(L"Send", {Arg(L"abc")});
    EXPECT_EQ(S_OK, r.hr) << std::string(r.description.begin(), r.description.end());
    EXPECT_GE(GetTickCount64() - start, 12000u);
    EXPECT_EQ(L"abc", recorder.text());
}

TEST_F(Keys, EscAndTabChordsAreRawEventsWithScanZero) {
    struct Case {
        const wchar_t* script;
        const char* keys;
        const char* scan; // of every key event
    };
    const Case cases[] = {
        {L"{ESC}", "v1B ^1B", "00"},
        {L"{Esc}", "v1B ^1B", "00"},
        {L"%+{TAB}", "v12 v10 v09 ^09 ^10 ^12", "00"},
        {L"+%^{tab}", "v12 v11 v09 ^09 ^11 ^12", "00"}, // only the last two modifiers
        {L"+{tab 2}", "v10 v09 ^09 ^10 v10 v09 ^09 ^10", "00"},
    };
    for (const Case& c : cases) {
        const Typed typed = typeInto(c.script);
        EXPECT_EQ(c.keys, typed.keys);
        for (const auto& m : typed.messages) {
            if (m.vk != "--") {
                EXPECT_EQ(c.scan, m.scan) << m.message << " " << m.vk;
            }
        }
    }
    // Not a chord: "{esc 2}" goes through the injector, with the real scan code.
    const Typed injected = typeInto(L"{esc 2}");
    EXPECT_EQ("v1B ^1B v1B ^1B", injected.keys);
    for (const auto& m : injected.messages) {
        if (m.vk == "1B") {
            EXPECT_EQ("01", m.scan);
        }
    }
}

TEST_F(Keys, PrintScreenIsOneKeyDownWithItsScanValue) {
    for (auto [script, scan] : {std::pair{L"{PRTSC}", "01"}, std::pair{L"%{PRTSC}", "00"}}) {
        const Typed typed = typeInto(script);
        EXPECT_EQ(S_OK, typed.hr);
        int downs = 0, ups = 0;
        for (const auto& m : typed.messages) {
            if (m.vk != "2C") continue;
            const bool up = m.message == "WM_KEYUP" || m.message == "WM_SYSKEYUP";
            up ? ++ups : ++downs;
            if (!up) {
                EXPECT_EQ(scan, m.scan);
            }
        }
        EXPECT_EQ(0, ups);
        EXPECT_LE(downs, 1);
    }
}

// The key-script table of the README, row by row, as script writers read it.
TEST_F(Keys, EveryRowOfTheReadmeKeyTableTypesWhatItSays) {
    struct Row {
        const wchar_t* script;
        const wchar_t* text; // the characters the window received, or nullptr
        const char* keys;    // the key downs and ups, or nullptr
    };
    const Row rows[] = {
        {L"+(abc)d", L"ABCd", nullptr},
        {L"+(a^(b))", nullptr, "v10 v41 ^41 v11 v42 ^42 ^11 ^10"}, // groups nest
        {L"a~b", nullptr, "v41 ^41 v0D ^0D v42 ^42"},
        {L"a\r\nb\rc\nd", nullptr, "v41 ^41 v0D ^0D v42 ^42 v0D ^0D v43 ^43 v0D ^0D v44 ^44"},
        {L"{left 2}{DEL}{F4}", nullptr, "v25 ^25 v25 ^25 v2E ^2E v73 ^73"},
        {L"{x 3}", L"xxx", nullptr},
        {L"{+}{^}{%}{~}{(}{)}{{}{}}{[}{]}", L"+^%~(){}[]", nullptr},
        {L"{} 3}", L"}}}", nullptr},
        {L"+(a{)}b)", L"A)B", nullptr},
        {L"Hello, World! [x]\u65e5\u672c\u8a9e", L"Hello, World! [x]\u65e5\u672c\u8a9e", nullptr},
    };
    for (const Row& row : rows) {
        const std::wstring script = row.script;
        SCOPED_TRACE(std::string(script.begin(), script.end()));
        const Typed typed = typeInto(row.script);
        EXPECT_EQ(S_OK, typed.hr) << std::hex << typed.scode;
        if (row.text) {
            EXPECT_EQ(std::wstring(row.text), typed.text);
        }
        if (row.keys) {
            EXPECT_EQ(row.keys, typed.keys);
        }
    }
    // An unknown key name or a malformed piece is error 5 and types nothing of that piece; a
    // "(" or "{" never closed is error 6. Pieces before the bad one stay delivered.
    const std::pair<const wchar_t*, SCODE> errors[] = {
        {L"a{NOSUCHKEY}", 0x800A0005}, {L"a{}", 0x800A0005},   {L"a{tab x}", 0x800A000D},
        {L"a{ENTER", 0x800A0006},      {L"a+(bc", 0x800A0006}, {L"a)", 0x800A0005},
    };
    for (const auto& [script, scode] : errors) {
        SCOPED_TRACE(std::wstring(script).size());
        const Typed typed = typeInto(script);
        EXPECT_EQ(DISP_E_EXCEPTION, typed.hr);
        EXPECT_EQ(scode, typed.scode);
        EXPECT_EQ("v41 ^41", typed.keys);
    }
}

TEST_F(Keys, ScriptsOverTheSixteenBitLimitFailBeforeTyping) {
    const Typed tooLong = typeInto(std::wstring(32768, L'a').c_str());
    EXPECT_EQ(static_cast<SCODE>(0x800A0006), tooLong.scode);
    EXPECT_EQ("", tooLong.keys);
}

} // namespace
