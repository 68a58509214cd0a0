// The key-script grammar: what the parser makes of a script (or the error 5 it names the fault
// with), and how Send's cutter divides a script into pieces and classifies each.
#include "component/core/keyscript.h"

#include "fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace kelmo;
using fakes::narrow;

// The actions rendered (see renderKeys), or "! " and what error 5 adds to its standard text.
std::string parsed(const std::wstring& script) {
    try {
        return fakes::renderKeys(parseKeyScript(script));
    } catch (const KelmoError& e) {
        const std::wstring standard = L"Invalid procedure call or argument: ";
        if (e.number() != 5 || e.description().rfind(standard, 0) != 0) return "?";
        return "! " + narrow(e.description().substr(standard.size()));
    }
}

const std::wstring Grin{wchar_t(0xD83D), wchar_t(0xDE00)}; // U+1F600 as UTF-16 units
const std::wstring High(1, wchar_t(0xD83D)), Low(1, wchar_t(0xDE00));
const std::wstring Edges{wchar_t(0xD800), wchar_t(0xDC00), wchar_t(0xDBFF), wchar_t(0xDFFF)};

// A malformed script is error 5; its description names the fault, where it is and the text.
TEST(KeyScript, ParsesEveryFormAndNamesTheFaultOfAMalformedOne) {
    // clang-format off
    const std::pair<std::vector<std::wstring>, std::string> rows[] = {
        {{L"Hi![x]\t" + Grin + Edges}, "H i ! [ x ] U+0009 U+1F600 U+10000 U+10FFFF"},
        {{L"{+}{^}{%}{~}{(}{)}{[}{]}{A}{\u3042}{" + Grin + L"}{" + High + L"}x{}}y{{}{}}"},
         "+ ^ % ~ ( ) [ ] A U+3042 U+1F600 U+D83D x } y { }"},
        // Every key name, extended or not, in any letter case.
        {{L"{BackSpace}{BS}{bksp}{BREAK}{CAPSLOCK}{CLEAR}{DELETE}{DEL}{DOWN}{END}{ENTER}{ESC}{ESCAPE}{HELP}{HOME}"
          L"{INSERT}{INS}{lEfT}{NUMLOCK}{PGDN}{PGUP}{PRTSC}{RIGHT}{SCROLLLOCK}{tab}{UP}{ADD}{SUBTRACT}{MULTIPLY}{DIVIDE}"},
         "#08 #08 #08 #03e #14 #0C #2Ee #2Ee #28e #23e #0D #1B #1B #2F #24e #2De #2De #25e #90e #22e #21e #2Ce #27e #91 #09 "
         "#26e #6B #6D #6A #6Fe"},
        {{L"{F1}{F2}{F3}{F4}{F5}{F6}{F7}{F8}{F9}{F10}{F11}{F12}{F13}{F14}{F15}{F16}{f}"},
         "#70 #71 #72 #73 #74 #75 #76 #77 #78 #79 #7A #7B #7C #7D #7E #7F f"},
        {{L"{LEFT 42}{F 4}{F4 2}{} 3}{{ 2}{ENTER   5}{a 007}{a 1}{" + Grin + L" 2}{b 00000000000002147483647}"},
         "#25e*42 F*4 #73*2 }*3 {*2 #0D*5 a*7 a U+1F600*2 b*2147483647"},
        {{L"+EC^a%f+^%a^{F4}+{TAB 4}^~"}, "S+ E S- C C+ a C- A+ f A- S+ C+ A+ a A- C- S- C+ #73 C- S+ #09*4 S- C+ #0D C-"},
        {{L"+(EC)(ab)+(^(%(a)b)c)d(((a)))"}, "S+ E C S- a b S+ C+ A+ a A- b C- c S- d a"},
        // No key, or a count of 0, presses nothing, not even the modifiers.
        {{L"()+()+(^())%({x 0})a+(^()b)+(a)^%+{X 0}{LEFT 0}+^{TAB 0}+({a 0})"}, "a S+ b S- S+ a S-"},
        {{High + L"a" + Low + High}, "U+D83D a U+DE00 U+D83D"}, // lone halves stay as written
        {{L"\r\na\r\nb\rc\nd\n\r\r\r\n+\r\n{\n}{\r 2}"}, "#0D a #0D b #0D c #0D d #0D #0D #0D #0D S+ #0D S- #0D #0D*2"},
        {{L"{LEFT x}"}, R"~(! the repeat count in "{LEFT x}" at character 1 is not a number)~"},
        {{L"{a 99999999999999999999999}", L"{a \uff13}", L"{LEFT 4 2}", L"{LEFT }", L"{LEFT -1}", L"{LEFT +1}",
          L"{LEFT 3 }", L"{LEFT 0x10}"}, "! the repeat count in "},
        {{L"^(+(%(^a)))"}, R"~(! the modifier "^" at character 7 is already held in "^(+(%(^a)))")~"},
        {{L"((((a))))"}, R"~(! "(" at character 4 opens a fourth level of groups in "((((a))))")~"},
        {{L"((a)"}, R"~(! "(" at character 1 is not closed)~"},
        {{L"(a^%)"}, R"~(! the modifier "^%" at character 3 has no key before ")")~"},
        {{L"{}a"}, R"~(! empty key name "{}" at character 1)~"},
        {{L"0123456789a}"}, R"~(! "}" at character 12 closes no "{" in "123456789a}")~"},
        {{L"+(a{)"}, R"~(! "{" at character 4 is not closed in "{)")~"},
        // A long text is shortened, never between the halves of a pair; 40 units are quoted whole.
        {{L"{" + std::wstring(38, L'x') + L"}"}, R"(! unknown key name "{)" + std::string(38, 'x') + R"(}" at character 1)"},
        {{L"{" + std::wstring(38, L'x') + Grin + L"}"},
         R"(! unknown key name "{)" + std::string(38, 'x') + R"(..." at character 1)"},
    };
    // clang-format on
    for (const auto& [scripts, expected] : rows)
        for (const std::wstring& script : scripts) // an error by the start of its description
            EXPECT_EQ(parsed(script).substr(0, expected.starts_with("! ") ? expected.size()
                                                                          : std::string::npos),
                      expected)
                << narrow(script);
}

// Each piece as written, and after ":" how Send delivers it unless it is typed: "prtsc" and its
// scan code, or the chord's keys and a repeat count as written.
std::string cut(const std::wstring& script) {
    std::string pieces;
    const auto key = [](std::optional<std::uint8_t> k) {
        return k ? " " + std::to_string(*k) : "";
    };
    for (std::int32_t i = 1; i <= static_cast<std::int32_t>(script.size()); ++i) {
        const Piece p = nextPiece(script, i);
        pieces += (pieces.empty() ? "" : " | ") + narrow(p.text);
        if (p.kind == Piece::Kind::PrintScreen) pieces += ": prtsc" + key(p.scan);
        if (p.kind == Piece::Kind::Chord || p.kind == Piece::Kind::RepeatedChord)
            pieces += ":" + key(p.chord.key) + key(p.chord.extra1) + key(p.chord.extra2);
        if (p.kind == Piece::Kind::RepeatedChord) pieces += " x'" + narrow(p.count) + "'";
    }
    return pieces;
}

TEST(KeyScript, SendCutsOneKeyWithItsModifiersOneBraceGroupOrOneGroupAndTellsRawKeys) {
    // clang-format off
    const std::pair<std::wstring, std::string> rows[] = {
        {L"ab+%c+(ab){}}{} 3}{}", "a | b | +%c | +(ab) | {}} | {} 3} | {}"},
        {L"(a(b)c)+(a{)}b)+(a{esc}{tab 2})", "(a(b)c) | +(a{)}b) | +(a{esc}{tab 2})"},
        {L"a\r\nb\r" + Edges + High + L"x",
         "a | <U+000D><U+000A> | b | <U+000D> | <U+D800><U+DC00> | <U+DBFF><U+DFFF> | <U+D83D> | x"},
        {L"{ESC}^{Esc}%{tab}%%{tab}+^{tab}+%^{tab}",
         "{ESC}: 27 | ^{Esc}: 17 27 | %{tab}: 18 9 | %%{tab}: 18 9 | +^{tab}: 16 17 9 | +%^{tab}: 18 17 9"},
        {L"{tab  1 }+^%{tab 2}{TAB x}", "{tab  1 }: 9 x' 1 ' | +^%{tab 2}: 17 18 9 x'2' | {TAB x}: 9 x'x'"},
        // Told by the ending alone, as the key-script convention of raw keys reads them.
        {L"{%{PRTSC}{x{esc}{+^{tab}", "{%{PRTSC}: prtsc 0 | {x{esc}: 27 | {+^{tab}: 16 17 9"},
    };
    // clang-format on
    for (const auto& [script, pieces] : rows)
        EXPECT_EQ(cut(script), pieces) << narrow(script);
    // Positions are 16-bit: a group that runs past them is an overflow, wherever it started.
    for (const std::wstring& unclosed : {L"(" + std::wstring(40000, L'a'), std::wstring(L"{")}) {
        std::int32_t i = 1;
        EXPECT_EQ(fakes::errorNumberOf([&] { nextPiece(unclosed, i); }), errors::Overflow);
    }
}

} // namespace
