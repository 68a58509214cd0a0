// Send for real: key scripts arriving in the key recorder's window with the scan codes and
// extended flags the injector gives them, chords and Print Screen as raw events, the count's
// conversion, and a script typed at the desktop.
#include "recorder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace kelmo::test;
using Keys = ComTest;

TEST_F(Keys, ScriptsArriveAsTheirKeysAndCharacters) {
    const struct {
        const wchar_t* script;
        std::uint32_t error; // 0 when Send succeeds
        const char* keys;    // with scan codes when it has a ":"; nullptr: the characters count
        const wchar_t* text;
    } rows[] = {
        {L"+(a^(b))c", 0, "v10 v41 ^41 v11 v42 ^42 ^11 ^10 v43 ^43", nullptr},
        {L"a\r\n{LEFT}{F4}", 0, "v41:1E ^41:1E v0D:1C ^0D:1C v25:4Be ^25:4Be v73:3E ^73:3E",
         nullptr},
        {L"%+{TAB}^{esc}{esc 2}+%^{tab}+{tab &H2}{tab 0}{PRTSC}%{PRTSC}", 0,
         "v12:00 v10:00 v09:00 ^09:00 ^10:00 ^12:00 v11:00 v1B:00 ^1B:00 ^11:00 v1B:01 ^1B:01 "
         "v1B:01 ^1B:01 v12:00 v11:00 v09:00 ^09:00 ^11:00 ^12:00 v10:00 v09:00 ^09:00 ^10:00 "
         "v10:00 v09:00 ^09:00 ^10:00 v2C:01 v2C:00",
         nullptr}, // Print Screen: key downs alone
        {L"{x 3}{+}{^}{%}{~}{(}{)}{{}{}}{[}{]}{} 3}+(a{)}b)\u65e5\u672c\u8a9e", 0, nullptr,
         L"xxx+^%~(){}[]}}}A)B\u65e5\u672c\u8a9e"},
        {L"a{tab x}", 0x800A000D, "v41 ^41", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.script)));
        KeyRecorder recorder;
        ASSERT_TRUE(recorder.ready());
        LateBound k; // created with the recorder in front: it is application 0
        fastPacing(k);
        const auto r = k.call(L"Send", {Arg(row.script)});
        recorder.settle();
        EXPECT_EQ(r.hr == S_OK ? 0u : static_cast<std::uint32_t>(r.scode), row.error);
        if (row.keys)
            EXPECT_EQ(recorder.keys(std::strchr(row.keys, ':') != nullptr), row.keys);
        else
            EXPECT_EQ(recorder.text(), row.text);
    }
}

// The desktop is no application: with only the desktop in front, Send types nothing.
TEST_F(Keys, WithOnlyTheDesktopInFrontSendFailsInsteadOfTypingIntoIt) {
    SetForegroundWindow(GetDesktopWindow());
    LateBound k; // the desktop is application 0
    fastPacing(k);
    EXPECT_TRUE(k.call(L"Send", {Arg(L"%{F4}")}).description.find(L"no window is in front") !=
                std::wstring::npos);
}

} // namespace
