// The lines of the call trace: one member call written as a script would write it, with what
// came of it and how long it took. Windows-free; the dispatch boundary renders the arguments
// (as traceValue, traceText) and writes the lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelmo::trace {

enum class CallKind { Method, Get, Put };

// A text argument or result in double quotes (quotes doubled), line breaks, tabs and other
// control characters joined in as VBScript names them (`"a" & vbCrLf & "b"`); a text longer
// than LongTextChars shows its first ShownChars characters, then `…" (N chars)`.
inline constexpr std::size_t LongTextChars = 80;
inline constexpr std::size_t ShownChars = 60;
std::wstring traceText(const std::wstring& text);

// An error as the trace and the debugger's output show it: "error 5: description"; platform
// numbers (negative HRESULTs) in hexadecimal, "error 0x8001010A: description"; without a
// description, the number alone.
std::wstring traceError(std::int32_t number, const std::wstring& description);

struct TracedCall {
    std::wstring time;   // when the call began, e.g. "2026-12-07 18:45:01.123"
    std::wstring member; // its name
    CallKind kind = CallKind::Method;
    std::vector<std::wstring> args; // rendered, first to last; an omitted one is empty
    std::wstring outcome;           // a rendered result ("" for none), or traceError's text
    bool failed = false;
    std::int64_t milliseconds = 0;
};

// `time  Member(args) -> result  (N ms)`; `Member = value` for an assignment; a failure
// `!! error n: description` instead of the result. Ends with CR LF.
std::wstring traceLine(const TracedCall& call);

} // namespace kelmo::trace
