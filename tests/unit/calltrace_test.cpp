// The call trace's lines: texts as a script writes them, long ones shortened, and each kind of
// call with its outcome.
#include "component/core/calltrace.h"

#include <gtest/gtest.h>

using namespace kelmo::trace;

TEST(CallTrace, ShowsTextsAsAScriptWritesThemAndEachKindOfCallWithItsOutcome) {
    const std::pair<std::wstring, std::wstring> rows[] = {
        {L"", L"\"\""},
        {L"say \"hi\"\n", L"\"say \"\"hi\"\"\" & vbLf"},
        {L"a\r\nb\tc", L"\"a\" & vbCrLf & \"b\" & vbTab & \"c\""},
        {std::wstring(L"\r\r\n\x1b\0", 5), L"vbCr & vbCrLf & ChrW(27) & vbNullChar"},
        {std::wstring(80, L'a'), L'"' + std::wstring(80, L'a') + L'"'},
        // A surrogate pair is never cut in half.
        {std::wstring(59, L'a') + L"\xD83D\xDE00" + std::wstring(40, L'b'),
         L'"' + std::wstring(59, L'a') + L"…\" (101 chars)"},
    };
    for (const auto& [text, shown] : rows)
        EXPECT_EQ(traceText(text), shown) << shown;
    const std::pair<TracedCall, std::wstring> calls[] = {
        {{L"T", L"ODOn", CallKind::Method, {}, L"", false, 0}, L"T  ODOn()  (0 ms)\r\n"},
        {{L"T", L"Popup", CallKind::Method, {L"\"x\"", L"", L"0"}, L"-1", false, 2000},
         L"T  Popup(\"x\", , 0) -> -1  (2000 ms)\r\n"},
        {{L"T", L"Atom", CallKind::Get, {}, L"10", false, 0}, L"T  Atom -> 10  (0 ms)\r\n"},
        {{L"T", L"FldFiles", CallKind::Get, {L"\"a\""}, L"[object]", false, 1},
         L"T  FldFiles(\"a\") -> [object]  (1 ms)\r\n"},
        {{L"T", L"Atom", CallKind::Put, {L"5"}, L"", false, 0}, L"T  Atom = 5  (0 ms)\r\n"},
        {{L"T", L"Send", CallKind::Method, {L"\"x\""}, traceError(5, L"bad"), true, 3},
         L"T  Send(\"x\")  !! error 5: bad  (3 ms)\r\n"},
    };
    for (const auto& [call, line] : calls)
        EXPECT_EQ(traceLine(call), line);
    EXPECT_EQ(traceError(static_cast<std::int32_t>(0x80020003u), L""), L"error 0x80020003");
}
