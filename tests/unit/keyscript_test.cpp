// The key-script parser: characters, named keys, repeat counts, modifier scope and groups, line
// breaks, and every malformed form (error 5 naming the text, no action returned).
#include "component/core/keyscript.h"

#include "fakes.h"

#include <gtest/gtest.h>

namespace kelmo {

using platform::KeyAction;
namespace {

using fakes::narrow;

std::string render(const std::vector<platform::KeyAction>& actions) {
    return fakes::renderKeys(actions);
}

// U+1F600 as the two UTF-16 units a script holds on Windows (wchar_t may be wider here).
const std::wstring Grin{wchar_t(0xD83D), wchar_t(0xDE00)};
const std::wstring LoneHigh(1, wchar_t(0xD83D));
const std::wstring LoneLow(1, wchar_t(0xDE00));

// Each script parses to the actions given.
void expectAll(const std::vector<std::pair<std::wstring, std::string>>& cases) {
    for (const auto& [script, actions] : cases) {
        SCOPED_TRACE("script: " + narrow(script));
        try {
            EXPECT_EQ(render(parseKeyScript(script)), actions);
        } catch (const KelmoError& e) {
            ADD_FAILURE() << "raised " << narrow(e.description());
        }
    }
}

// Each script is rejected with error 5, and the description names the text given.
void expectErrors(const std::vector<std::pair<std::wstring, std::wstring>>& cases) {
    for (const auto& [script, named] : cases) {
        SCOPED_TRACE("script: " + narrow(script));
        try {
            ADD_FAILURE() << "accepted as " << render(parseKeyScript(script));
        } catch (const KelmoError& e) {
            EXPECT_EQ(e.number(), 5);
            EXPECT_EQ(e.description().rfind(L"Invalid procedure call or argument: ", 0), 0u);
            EXPECT_NE(e.description().find(named), std::wstring::npos)
                << narrow(e.description()) << "\nshould name: " << narrow(named);
        }
    }
}
// Each script is rejected, and the description quotes the whole script.
void expectQuotedErrors(const std::vector<std::wstring>& scripts) {
    for (const auto& script : scripts)
        expectErrors({{script, L"\"" + script + L"\""}});
}

TEST(KeyScript, PlainTextAndLiteralFormsInBracesTypeTheirCharacters) {
    expectAll({{L"", ""},
               {L"Hello!", "H e l l o !"},
               {L"[x]\t", "[ x ] U+0009"},
               // A surrogate pair is one character; a lone surrogate is kept as written.
               {L"x" + Grin + Grin + L"y", "x U+1F600 U+1F600 y"},
               {LoneHigh + L"a", "U+D83D a"},
               {L"a" + LoneLow + LoneHigh, "a U+DE00 U+D83D"},
               {L"{+}{^}{%}{~}{(}{)}{[}{]}", "+ ^ % ~ ( ) [ ]"},
               {L"{a}{A}{\u3042}", "a A U+3042"},
               {L"{" + Grin + L"}{" + LoneHigh + L"}", "U+1F600 U+D83D"},
               // The closing brace of "{}}" is found past the name, so text may follow it.
               {L"x{}}y{}}", "x } y }"},
               {L"{{}{}}", "{ }"}});
}

TEST(KeyScript, NamedKeysIgnoreCaseAndCarryTheirExtendedFlag) {
    expectAll({{L"{BACKSPACE}{BS}{BKSP}{BREAK}", "#08 #08 #08 #03e"},
               {L"{CAPSLOCK}{CLEAR}{DELETE}{DEL}", "#14 #0C #2Ee #2Ee"},
               {L"{DOWN}{END}{ENTER}{ESC}{ESCAPE}", "#28e #23e #0D #1B #1B"},
               {L"{HELP}{HOME}{INSERT}{INS}{LEFT}", "#2F #24e #2De #2De #25e"},
               {L"{NUMLOCK}{PGDN}{PGUP}{PRTSC}", "#90e #22e #21e #2Ce"},
               {L"{RIGHT}{SCROLLLOCK}{TAB}{UP}", "#27e #91 #09 #26e"},
               {L"{F1}{F2}{F3}{F4}{F5}{F6}{F7}{F8}", "#70 #71 #72 #73 #74 #75 #76 #77"},
               {L"{F9}{F10}{F11}{F12}{F13}{F14}{F15}{F16}", "#78 #79 #7A #7B #7C #7D #7E #7F"},
               {L"{ADD}{SUBTRACT}{MULTIPLY}{DIVIDE}", "#6B #6D #6A #6Fe"},
               {L"~", "#0D"},
               {L"{left}{Left}{lEfT}{f4}{pgdn}{Divide}", "#25e #25e #25e #73 #22e #6Fe"},
               {L"{f}{F}", "f F"}}); // a single letter keeps its case
    expectErrors({{L"{FOO}", L"unknown key name \"{FOO}\" at character 1"},
                  {L"ab{F17}", L"\"{F17}\" at character 3"},
                  // Two characters are a name, whatever their units; case folding is ASCII only.
                  {L"{" + Grin + Grin + L"}", L"unknown key name"},
                  {L"{" + LoneHigh + L"a}", L"unknown key name"},
                  {L"{a" + LoneLow + L"}", L"unknown key name"},
                  {L"{\u0130NS}", L"unknown key name"},
                  {L"{\uff26\uff14}", L"unknown key name"}});
    expectQuotedErrors({L"{F0}", L"{F01}", L"{ENTERX}", L"{LEFT\t3}", L"{ab}", L"{}a}"});
}

TEST(KeyScript, ACountRepeatsTheKeyAndZeroTypesNothingNotEvenItsModifiers) {
    expectAll({{L"{LEFT 42}{h 10}{F 4}{F4 2}", "#25e*42 h*10 F*4 #73*2"},
               {L"{} 3}{{ 2}{~ 3}{+ 2}", "}*3 {*2 ~*3 +*2"},
               {L"{ENTER   5}{a 007}{a 1}", "#0D*5 a*7 a"},
               {L"{" + Grin + L" 2}", "U+1F600*2"},
               {L"{a 2147483647}{b 00000000000002147483647}", "a*2147483647 b*2147483647"},
               {L"{X 0}", ""},
               {L"a{LEFT 0}b", "a b"},
               {L"+^{TAB 0}c", "c"},
               {L"+({a 0})", ""}});
    expectErrors({{L"{LEFT x}", L"the repeat count in \"{LEFT x}\" at character 1 is not a number"},
                  {L"{a \uff13}", L"is not a number"},
                  {L"{a 2147483648}", L"{a 2147483648}\" at character 1 is larger than 2147483647"},
                  {L"{a 4294967296}", L"is larger than"},
                  {L"{a 99999999999999999999999999}", L"is larger than"}});
    expectQuotedErrors(
        {L"{LEFT 4 2}", L"{LEFT }", L"{LEFT -1}", L"{LEFT +1}", L"{LEFT 3 }", L"{LEFT 0x10}"});
}

TEST(KeyScript, ModifiersHoldForTheNextKeyOrGroupAndReleaseInReverse) {
    expectAll({{L"+EC^a%f", "S+ E S- C C+ a C- A+ f A-"},
               {L"+^%a", "S+ C+ A+ a A- C- S-"},
               {L"%^+a", "A+ C+ S+ a S- C- A-"},
               {L"^{F4}+{TAB 4}^~+{+}^[", "C+ #73 C- S+ #09*4 S- C+ #0D C- S+ + S- C+ [ C-"},
               {L"+(EC)(ab)", "S+ E C S- a b"},
               {L"+(ab)c", "S+ a b S- c"},
               {L"+(a^b)", "S+ a C+ b C- S-"},
               {L"+(^(%(a)b)c)d", "S+ C+ A+ a A- b C- c S- d"},
               {L"(((a)))", "a"},
               {L"^(a{LEFT 2}~)", "C+ a #25e*2 #0D C-"},
               {L"+(a)+(b)", "S+ a S- S+ b S-"},
               {L"^+(x)", "C+ S+ x S- C-"},
               {L"+({(}{)})", "S+ ( ) S-"},
               // Groups that type nothing press nothing; a trailing run presses nothing.
               {L"()+()+(^())%({x 0})", ""},
               {L"a+(^()b)", "a S+ b S-"},
               {L"abc+", "a b c"},
               {L"+", ""},
               {L"^%+", ""},
               {L"+(a)^", "S+ a S-"}});
    expectErrors({{L"++a", L"the modifier \"+\" at character 2 is already held in \"++a\""},
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
                  {L"(a^%)", L"the modifier \"^%\" at character 3 has no key"}});
}

TEST(KeyScript, EachLineBreakFormIsOneEnter) {
    expectAll({{L"a\r\nb\rc\nd", "a #0D b #0D c #0D d"},
               {L"\n\r", "#0D #0D"},
               {L"\r\n\r\n", "#0D #0D"},
               {L"\r\r\n", "#0D #0D"},
               {L"+\r\n", "S+ #0D S-"},
               {L"{\n}{\r 2}", "#0D #0D*2"}});
}

TEST(KeyScript, BracesThatAreEmptyStrayOrUnclosedAreErrors) {
    expectErrors(
        {{L"{}", L"empty key name \"{}\" at character 1"},
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
         // A long offending text is shortened, never between the halves of a surrogate pair.
         {L"{" + std::wstring(5000, L'x') + L"}", L"\"{" + std::wstring(39, L'x') + L"...\""},
         {L"{" + std::wstring(38, L'x') + Grin + L"}", L"{" + std::wstring(38, L'x') + L"...\""}});
}

TEST(KeyScript, AnErrorAnywhereRejectsTheWholeScript) {
    // The keys before the fault are not returned: a malformed script types nothing.
    EXPECT_THROW(parseKeyScript(L"Hello, World!{LEFT 3}+(abc)^a{BOGUS}"), KelmoError);
    EXPECT_THROW(parseKeyScript(std::wstring(10000, L'a') + L"(("), KelmoError);
}

TEST(KeyScript, ATypicalScriptInOrderAndHugeCountsStaySmall) {
    expectAll({{L"Hello, World! {LEFT 3}+(abc)^a{F4}\u65e5~",
                "H e l l o , U+0020 W o r l d ! U+0020 #25e*3 S+ a b c S- C+ a C- #73 U+65E5 #0D"},
               {L"{a 2000000000}{LEFT 2000000000}", "a*2000000000 #25e*2000000000"}});
    // Counts are carried, not expanded; the output grows with the script, not with the counts.
    std::wstring longScript;
    for (int i = 0; i < 10000; ++i)
        longScript += L"+^%(a)";
    EXPECT_EQ(parseKeyScript(longScript).size(), 70000u);
}

} // namespace
} // namespace kelmo
