// Send for real: key scripts arriving in the key recorder's window with the scan codes and
// extended flags the injector gives them, Send's chords and Print Screen as raw events, the
// errors of the count conversion and of a script typed at the desktop.
#include "fixture.h"
#include "recorder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace kelmo::test;
using Keys = ComTest;

TEST_F(Keys, ScriptsArriveAsTheirKeysAndCharacters) {
    struct Row {
        const wchar_t* script;
        std::uint32_t error; // 0 when Send succeeds
        const char* keys;
        const wchar_t* text; // the characters received, or nullptr
    };
    const Row rows[] = {
        {L"+(a^(b))c~", 0, "v10 v41 ^41 v11 v42 ^42 ^11 ^10 v43 ^43 v0D ^0D", nullptr},
        {L"a\r\nb{LEFT}{F4}", 0,
         "v41:1E ^41:1E v0D:1C ^0D:1C v42:30 ^42:30 v25:4Be ^25:4Be v73:3E ^73:3E", nullptr},
        {L"%+{TAB}^{esc}{esc 2}", 0,
         "v12:00 v10:00 v09:00 ^09:00 ^10:00 ^12:00 v11:00 v1B:00 ^1B:00 ^11:00 v1B:01 ^1B:01 "
         "v1B:01 ^1B:01",
         nullptr},
        {L"+%^{tab}+{tab &H2}{tab 0}abc+", 0,
         "v12 v11 v09 ^09 ^11 ^12 v10 v09 ^09 ^10 v10 v09 ^09 ^10 v41 ^41 v42 ^42 v43 ^43",
         nullptr},
        {L"{PRTSC}%{PRTSC}", 0, "v2C:01 v2C:00", nullptr}, // key downs alone
        {L"{x 3}{+}{^}{%}{~}{(}{)}{{}{}}{[}{]}{} 3}+(a{)}b)", 0, nullptr, L"xxx+^%~(){}[]}}}A)B"},
        {L"Hello, World! [x]\u65e5\u672c\u8a9e", 0, nullptr,
         L"Hello, World! [x]\u65e5\u672c\u8a9e"},
        {L"a{tab x}", 0x800A000D, "v41 ^41", nullptr},
        {L"a{tab 40000}", 0x800A0006, "v41 ^41", nullptr},
        {L"a{NOSUCHKEY}", 0x800A0005, "v41 ^41", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.script)));
        KeyRecorder recorder;
        ASSERT_TRUE(recorder.ready());
        LateBound k; // created with the recorder in front: it is application 0
        fastPacing(k);
        const auto r = k.call(L"Send", {Arg(row.script)});
        recorder.settle();
        EXPECT_EQ(r.hr == S_OK ? 0u : static_cast<std::uint32_t>(r.scode), row.error);
        if (row.keys) {
            const bool scans = std::string(row.keys).find(':') != std::string::npos;
            EXPECT_EQ(recorder.keys(scans), row.keys);
        }
        if (row.text) {
            EXPECT_EQ(recorder.text(), row.text);
        }
    }
}

// The desktop is no application: with only the desktop in front, Send types nothing.
TEST_F(Keys, WithOnlyTheDesktopInFrontSendFailsInsteadOfTypingIntoIt) {
    SetForegroundWindow(GetDesktopWindow());
    LateBound k; // the desktop is application 0
    fastPacing(k);
    const auto r = k.call(L"Send", {Arg(L"%{F4}")});
    EXPECT_NE(r.description.find(L"no window is in front"), std::wstring::npos);
}

} // namespace
