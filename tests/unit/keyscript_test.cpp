// The key-script parser: characters, named keys, repeat counts, modifier scope and groups, line
// breaks, and every malformed form (error 5 naming the text, no action returned).
#include "platform/keyscript.h"

#include "component/error.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace kelmo::platform {
namespace {

// Actions in a compact form: "S+" / "S-" press / release Shift (C Ctrl, A Alt), a printable
// ASCII character as itself and others as U+XXXX, a virtual key as #hex with "e" when
// extended; "*n" after a key repeated n times.
std::string render(const std::vector<KeyAction> &actions) {
    std::string out;
    for (const KeyAction &a : actions) {
        if (!out.empty()) out += ' ';
        const char *modifierLetter = a.modifier == Modifier::Shift  ? "S"
                                     : a.modifier == Modifier::Ctrl ? "C"
                                                                    : "A";
        char buffer[32];
        switch (a.kind) {
        case KeyAction::Kind::PressModifier:
            out += std::string(modifierLetter) + "+";
            continue;
        case KeyAction::Kind::ReleaseModifier:
            out += std::string(modifierLetter) + "-";
            continue;
        case KeyAction::Kind::VirtualKey:
            std::snprintf(buffer, sizeof buffer, "#%02X%s", unsigned(a.virtualKey),
                          a.extended ? "e" : "");
            break;
        case KeyAction::Kind::Character:
            if (a.character > 0x20 && a.character < 0x7F)
                std::snprintf(buffer, sizeof buffer, "%c", char(a.character));
            else
                std::snprintf(buffer, sizeof buffer, "U+%04X", unsigned(a.character));
            break;
        }
        out += buffer;
        if (a.repeat != 1) out += "*" + std::to_string(a.repeat);
    }
    return out;
}

// U+1F600 as the two UTF-16 units a script holds on Windows (wchar_t may be wider here).
const std::wstring kGrin{wchar_t(0xD83D), wchar_t(0xDE00)};
const std::wstring kLoneHigh(1, wchar_t(0xD83D));
const std::wstring kLoneLow(1, wchar_t(0xDE00));

std::string parsed(const std::wstring &script) {
    return render(parseKeyScript(script));
}

std::string narrow(const std::wstring &text) {
    std::string out;
    for (wchar_t c : text)
        out += (c > 0 && c < 0x80) ? char(c) : '?';
    return out;
}

struct Case {
    std::wstring script;
    std::string actions;
};

void expectAll(const std::vector<Case> &cases) {
    for (const Case &c : cases) {
        try {
            EXPECT_EQ(parsed(c.script), c.actions) << "script: " << narrow(c.script);
        } catch (const KelmoError &e) {
            ADD_FAILURE() << "script: " << narrow(c.script) << " raised "
                          << narrow(e.description());
        }
    }
}

struct BadCase {
    std::wstring script;
    std::wstring named; // text the description must contain
};

void expectErrors(const std::vector<BadCase> &cases) {
    for (const BadCase &c : cases) {
        try {
            const std::string actions = parsed(c.script);
            ADD_FAILURE() << "script: " << narrow(c.script) << " accepted as " << actions;
        } catch (const KelmoError &e) {
            EXPECT_EQ(e.number(), 5) << narrow(c.script);
            EXPECT_EQ(e.description().rfind(L"Invalid procedure call or argument: ", 0), 0u)
                << narrow(e.description());
            EXPECT_NE(e.description().find(c.named), std::wstring::npos)
                << "script: " << narrow(c.script) << "\ndescription: " << narrow(e.description())
                << "\nshould name: " << narrow(c.named);
        }
    }
}

TEST(KeyScriptCharacters, PlainTextStaysCharactersWithTheirCase) {
    expectAll({
        {L"", ""},
        {L"abc", "a b c"},
        {L"Hello!", "H e l l o !"},
        {L"a b", "a U+0020 b"},
        {L"[x]", "[ x ]"},
        {L"\t", "U+0009"},
        {L"\u65e5\u672c", "U+65E5 U+672C"},
        // A surrogate pair is one character; a lone surrogate is kept as written.
        {kGrin, "U+1F600"},
        {L"x" + kGrin + kGrin + L"y", "x U+1F600 U+1F600 y"},
        {kLoneHigh + L"a", "U+D83D a"},
        {L"a" + kLoneLow, "a U+DE00"},
        {kLoneLow + kLoneHigh, "U+DE00 U+D83D"},
        {kLoneHigh, "U+D83D"},
    });
}

TEST(KeyScriptCharacters, LiteralFormsInBracesTypeTheCharacter) {
    expectAll({
        {L"{+}{^}{%}{~}", "+ ^ % ~"},
        {L"{(}{)}", "( )"},
        {L"{{}", "{"},
        {L"{}}", "}"},
        {L"{[}{]}", "[ ]"},
        {L"{a}{A}", "a A"},
        {L"{\u3042}", "U+3042"},
        {L"{" + kGrin + L"}", "U+1F600"},
        {L"{" + kLoneHigh + L"}", "U+D83D"},
        // The closing brace of "{}}" is found past the name, so text may follow it.
        {L"x{}}y{}}", "x } y }"},
        {L"{{}{}}", "{ }"},
    });
}

TEST(KeyScriptNamedKeys, EveryNameOfTheTableWithItsExtendedFlag) {
    expectAll({
        {L"{BACKSPACE}{BS}{BKSP}", "#08 #08 #08"},
        {L"{BREAK}", "#03e"},
        {L"{CAPSLOCK}{CLEAR}", "#14 #0C"},
        {L"{DELETE}{DEL}{DOWN}{END}", "#2Ee #2Ee #28e #23e"},
        {L"{ENTER}{ESC}{ESCAPE}{HELP}", "#0D #1B #1B #2F"},
        {L"{HOME}{INSERT}{INS}{LEFT}", "#24e #2De #2De #25e"},
        {L"{NUMLOCK}{PGDN}{PGUP}{PRTSC}", "#90e #22e #21e #2Ce"},
        {L"{RIGHT}{SCROLLLOCK}{TAB}{UP}", "#27e #91 #09 #26e"},
        {L"{F1}{F2}{F3}{F4}{F5}{F6}{F7}{F8}", "#70 #71 #72 #73 #74 #75 #76 #77"},
        {L"{F9}{F10}{F11}{F12}{F13}{F14}{F15}{F16}", "#78 #79 #7A #7B #7C #7D #7E #7F"},
        {L"{ADD}{SUBTRACT}{MULTIPLY}{DIVIDE}", "#6B #6D #6A #6Fe"},
        {L"~", "#0D"},
    });
}

TEST(KeyScriptNamedKeys, NamesIgnoreCaseButSingleLettersKeepIt) {
    expectAll({
        {L"{left}{Left}{lEfT}", "#25e #25e #25e"},
        {L"{f4}{F4}", "#73 #73"},
        {L"{pgdn}{Divide}", "#22e #6Fe"},
        {L"{f}{F}", "f F"},
    });
}

TEST(KeyScriptNamedKeys, NamesOutsideTheTableAreErrors) {
    expectErrors({
        {L"{FOO}", L"unknown key name \"{FOO}\" at character 1"},
        {L"ab{F17}", L"\"{F17}\" at character 3"},
        {L"{F0}", L"{F0}"},
        {L"{F01}", L"{F01}"},
        {L"{ENTERX}", L"{ENTERX}"},
        {L"{LEFT\t3}", L"{LEFT\t3}"},
        {L"{ab}", L"{ab}"},
        {L"{}a}", L"{}a}"},
        // Two characters are a name, whatever their units.
        {L"{" + kGrin + kGrin + L"}", L"unknown key name"},
        {L"{" + kLoneHigh + L"a}", L"unknown key name"},
        {L"{a" + kLoneLow + L"}", L"unknown key name"},
        // Case folding is ASCII only: no look-alike letters of other scripts.
        {L"{\u0130NS}", L"unknown key name"},
        {L"{\uff26\uff14}", L"unknown key name"},
    });
}

TEST(KeyScriptRepeat, CountsRepeatTheKeyOrCharacter) {
    expectAll({
        {L"{LEFT 42}", "#25e*42"},
        {L"{h 10}", "h*10"},
        {L"{F 4}", "F*4"},
        {L"{F4 2}", "#73*2"},
        {L"{} 3}", "}*3"},
        {L"{{ 2}", "{*2"},
        {L"{~ 3}{+ 2}", "~*3 +*2"},
        {L"{ENTER   5}", "#0D*5"},
        {L"{a 007}", "a*7"},
        {L"{a 1}", "a"},
        {L"{" + kGrin + L" 2}", "U+1F600*2"},
        {L"{a 2147483647}", "a*2147483647"},
        {L"{a 00000000000002147483647}", "a*2147483647"},
    });
}

TEST(KeyScriptRepeat, ACountOfZeroTypesNothingNotEvenItsModifiers) {
    expectAll({
        {L"{X 0}", ""},
        {L"a{LEFT 0}b", "a b"},
        {L"+^{TAB 0}c", "c"},
        {L"+({a 0})", ""},
    });
}

TEST(KeyScriptRepeat, CountsThatAreNotSmallDecimalNumbersAreErrors) {
    expectErrors({
        {L"{LEFT x}", L"the repeat count in \"{LEFT x}\" at character 1 is not a number"},
        {L"{LEFT 4 2}", L"{LEFT 4 2}"},
        {L"{LEFT }", L"{LEFT }"},
        {L"{LEFT -1}", L"{LEFT -1}"},
        {L"{LEFT +1}", L"{LEFT +1}"},
        {L"{LEFT 3 }", L"{LEFT 3 }"},
        {L"{LEFT 0x10}", L"{LEFT 0x10}"},
        {L"{a \uff13}", L"is not a number"},
        {L"{a 2147483648}", L"{a 2147483648}\" at character 1 is larger than 2147483647"},
        {L"{a 4294967296}", L"is larger than"},
        {L"{a 99999999999999999999999999}", L"is larger than"},
    });
}

TEST(KeyScriptModifiers, ARunAppliesToTheNextKeyOnlyAndReleasesInReverse) {
    expectAll({
        {L"+EC", "S+ E S- C"},
        {L"^a", "C+ a C-"},
        {L"%f", "A+ f A-"},
        {L"+^%a", "S+ C+ A+ a A- C- S-"},
        {L"%^+a", "A+ C+ S+ a S- C- A-"},
        {L"^{F4}", "C+ #73 C-"},
        {L"+{TAB 4}", "S+ #09*4 S-"},
        {L"^~", "C+ #0D C-"},
        {L"+{+}", "S+ + S-"},
        {L"^[", "C+ [ C-"},
    });
}

TEST(KeyScriptModifiers, AGroupHoldsItsModifiersForEveryKeyInside) {
    expectAll({
        {L"+(EC)", "S+ E C S-"},
        {L"+(ab)c", "S+ a b S- c"},
        {L"(ab)", "a b"},
        {L"+(a^b)", "S+ a C+ b C- S-"},
        {L"+(^(%(a)b)c)d", "S+ C+ A+ a A- b C- c S- d"},
        {L"(((a)))", "a"},
        {L"^(a{LEFT 2}~)", "C+ a #25e*2 #0D C-"},
        {L"+(a)+(b)", "S+ a S- S+ b S-"},
        {L"^+(x)", "C+ S+ x S- C-"},
        {L"+({(}{)})", "S+ ( ) S-"},
    });
}

TEST(KeyScriptModifiers, GroupsThatTypeNothingPressNothing) {
    expectAll({
        {L"()", ""},
        {L"+()", ""},
        {L"+(^())", ""},
        {L"a+(^()b)", "a S+ b S-"},
        {L"%({x 0})", ""},
    });
}

TEST(KeyScriptModifiers, ATrailingRunIsAcceptedAndPressesNothing) {
    expectAll({
        {L"abc+", "a b c"},
        {L"+", ""},
        {L"^%+", ""},
        {L"+(a)^", "S+ a S-"},
    });
}

TEST(KeyScriptModifiers, RepeatedModifiersDeepGroupsAndUnbalancedParenthesesAreErrors) {
    expectErrors({
        {L"++a", L"the modifier \"+\" at character 2 is already held in \"++a\""},
        {L"+^+a", L"character 3"},
        {L"%a%%b", L"character 4"},
        {L"+(a+b)", L"the modifier \"+\" at character 4 is already held in \"+(a+b)\""},
        {L"+(^(+a))", L"character 5"},
        {L"^(+(%(^a)))", L"character 7"},
        {L"((((a))))", L"\"(\" at character 4 opens a fourth level of groups"},
        {L"+(^(%(+(a))))", L"character 7"},
        {L"(a", L"\"(\" at character 1 is not closed"},
        {L"((a)", L"\"(\" at character 1 is not closed"},
        {L"a)", L"\")\" at character 2 closes no \"(\""},
        {L"(a))", L"\")\" at character 4 closes no \"(\""},
        {L"+)", L"\"+\" at character 1 has no key before \")\""},
        {L"(a^%)", L"the modifier \"^%\" at character 3 has no key"},
    });
}

TEST(KeyScriptLineBreaks, EachLineBreakFormIsOneEnter) {
    expectAll({
        {L"a\r\nb", "a #0D b"},
        {L"a\rb", "a #0D b"},
        {L"a\nb", "a #0D b"},
        {L"\n\r", "#0D #0D"},
        {L"\r\n\r\n", "#0D #0D"},
        {L"\r\r\n", "#0D #0D"},
        {L"+\r\n", "S+ #0D S-"},
        {L"{\n}{\r 2}", "#0D #0D*2"},
    });
}

TEST(KeyScriptErrors, BracesThatAreEmptyStrayOrUnclosedAreErrors) {
    expectErrors({
        {L"{}", L"empty key name \"{}\" at character 1"},
        {L"ab{ }", L"empty key name \"{ }\" at character 3"},
        {L"{ 3}", L"\"{ 3}\""},
        {L"{}a", L"empty key name"},
        {L"a}", L"\"}\" at character 2 closes no \"{\""},
        {L"{}}}", L"character 4"},
        {L"{a}}", L"character 4"},
        {L"{", L"\"{\" at character 1 is not closed"},
        {L"ab{LEFT", L"\"{\" at character 3 is not closed in \"{LEFT\""},
        {L"{{", L"is not closed"},
        {L"+(a{)", L"is not closed"},
    });
}

TEST(KeyScriptErrors, LongOffendingTextIsQuotedShortened) {
    const std::wstring name(5000, L'x');
    try {
        parseKeyScript(L"{" + name + L"}");
        FAIL() << "accepted";
    } catch (const KelmoError &e) {
        EXPECT_LT(e.description().size(), 200u);
        EXPECT_NE(e.description().find(L"{xxxxxxxxxx"), std::wstring::npos);
    }
    // Shortening keeps a surrogate pair whole.
    try {
        parseKeyScript(L"{" + std::wstring(38, L'x') + kGrin + L"}");
        FAIL() << "accepted";
    } catch (const KelmoError &e) {
        EXPECT_NE(e.description().find(L"{" + std::wstring(38, L'x') + L"...\""),
                  std::wstring::npos);
    }
}

TEST(KeyScriptErrors, AnErrorAnywhereRejectsTheWholeScript) {
    // The keys before the fault are not returned: a malformed script types nothing.
    EXPECT_THROW(parseKeyScript(L"Hello, World!{LEFT 3}+(abc)^a{BOGUS}"), KelmoError);
    EXPECT_THROW(parseKeyScript(std::wstring(10000, L'a') + L"(("), KelmoError);
}

TEST(KeyScriptMixed, ATypicalScriptInOrder) {
    EXPECT_EQ(parsed(L"Hello, World! {LEFT 3}+(abc)^a{F4}\u65e5~"),
              "H e l l o , U+0020 W o r l d ! U+0020 #25e*3 S+ a b c S- C+ a C- #73 U+65E5 #0D");
}

TEST(KeyScriptMixed, HugeCountsAndLongScriptsStaySmall) {
    // Counts are carried, not expanded; the output grows with the script, not with the counts.
    const auto actions = parseKeyScript(L"{a 2000000000}{LEFT 2000000000}");
    ASSERT_EQ(actions.size(), 2u);
    EXPECT_EQ(actions[0].repeat, 2000000000u);
    std::wstring longScript;
    for (int i = 0; i < 10000; ++i)
        longScript += L"+^%(a)";
    EXPECT_EQ(parseKeyScript(longScript).size(), 70000u);
}

} // namespace
} // namespace kelmo::platform
