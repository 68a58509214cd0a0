// Send, Pass and PassF for real: key scripts typed into the key recorder window and into
// notepad, raw chords and Print Screen, the clipboard kept intact.
#include "fixture.h"
#include "recorder.h"

#include <gtest/gtest.h>

#include <string>

using kelmo::test::Arg;
using kelmo::test::KeyRecorder;
using kelmo::test::LateBound;
using kelmo::test::fastPacing;

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

TEST_F(Keys, TextAndJapaneseArriveAsTyped) {
    const Typed typed = typeInto(L"Hello, World! {+}{^}{%}{~}{{}{(}{)}[x]\u65e5\u672c\u8a9e");
    EXPECT_EQ(S_OK, typed.hr);
    EXPECT_EQ(L"Hello, World! +^%~{()[x]\u65e5\u672c\u8a9e", typed.text);
}

TEST_F(Keys, BadScriptsAreErrorsAndTypeNothingOfTheBadPiece) {
    const Typed unknown = typeInto(L"{NOSUCHKEY}");
    EXPECT_EQ(DISP_E_EXCEPTION, unknown.hr);
    EXPECT_EQ(static_cast<SCODE>(0x800A0005), unknown.scode);
    EXPECT_EQ("", unknown.keys);
    const Typed count = typeInto(L"a{tab x}");
    EXPECT_EQ(static_cast<SCODE>(0x800A000D), count.scode);
    EXPECT_EQ("v41 ^41", count.keys); // the piece before stays delivered
    const Typed unclosed = typeInto(L"b{ENTER");
    EXPECT_EQ(static_cast<SCODE>(0x800A0006), unclosed.scode);
    EXPECT_EQ("v42 ^42", unclosed.keys);
}

TEST_F(Keys, ScriptsOverTheSixteenBitLimitFailBeforeTyping) {
    const Typed tooLong = typeInto(std::wstring(32768, L'a').c_str());
    EXPECT_EQ(static_cast<SCODE>(0x800A0006), tooLong.scode);
    EXPECT_EQ("", tooLong.keys);
}

} // namespace
