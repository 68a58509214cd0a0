// The call trace's lines: texts as a script writes them, long ones shortened, and each kind of
// call with its outcome.
#include "component/core/calltrace.h"

#include <gtest/gtest.h>

using namespace kelmo::trace;

TEST(CallTrace, ShowsTextsAsAScriptWritesThemAndEachKindOfCallWithItsOutcome) {
    const std::pair<std::wstring, std::wstring> rows[] = {
        {L"", L"\"\""},
        {L"say \"hi\"", L"\"say \"\"hi\"\"\""},
        {L"a\r\nb\tc", L"\"a\" & vbCrLf & \"b\" & vbTab & \"c\""},
        {L"\r\r\n", L"vbCr & vbCrLf"},
        {std::wstring(L"x\x1by", 3), L"\"x\" & ChrW(27) & \"y\""},
        {std::wstring(80, L'a'), L'"' + std::wstring(80, L'a') + L'"'},
        {std::wstring(81, L'a'), L'"' + std::wstring(60, L'a') + L"…\" (81 chars)"},
        // A surrogate pair is never cut in half.
        {std::wstring(59, L'a') + L"\xD83D\xDE00" + std::wstring(40, L'b'),
         L'"' + std::wstring(59, L'a') + L"…\" (101 chars)"},
    };
    for (const auto& [text, shown] : rows)
        EXPECT_EQ(traceText(text), shown) << shown;
    const std::pair<TracedCall, std::wstring> calls[] = {
        {{L"T", L"Exec", CallKind::Method, {L"\"notepad\""}, L"1", false, 532},
         L"T  Exec(\"notepad\") -> 1  (532 ms)\r\n"},
        {{L"T", L"ODOn", CallKind::Method, {}, L"", false, 0}, L"T  ODOn()  (0 ms)\r\n"},
        {{L"T", L"Popup", CallKind::Method, {L"\"x\"", L"", L"", L"0"}, L"-1", false, 2000},
         L"T  Popup(\"x\", , , 0) -> -1  (2000 ms)\r\n"},
        {{L"T", L"Atom", CallKind::Get, {}, L"10", false, 0}, L"T  Atom -> 10  (0 ms)\r\n"},
        {{L"T", L"FldFiles", CallKind::Get, {L"\"a.txt\""}, L"[object]", false, 1},
         L"T  FldFiles(\"a.txt\") -> [object]  (1 ms)\r\n"},
        {{L"T", L"Atom", CallKind::Put, {L"5"}, L"", false, 0}, L"T  Atom = 5  (0 ms)\r\n"},
        {{L"T", L"Send", CallKind::Method, {L"\"x\""}, traceError(5, L"bad"), true, 3},
         L"T  Send(\"x\")  !! error 5: bad  (3 ms)\r\n"},
    };
    for (const auto& [call, line] : calls)
        EXPECT_EQ(traceLine(call), line);
    EXPECT_EQ(traceError(static_cast<std::int32_t>(0x8001010Au), L"busy"),
              L"error 0x8001010A: busy");
    EXPECT_EQ(traceError(static_cast<std::int32_t>(0x80020003u), L""), L"error 0x80020003");
}
