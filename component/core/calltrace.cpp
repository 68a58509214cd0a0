// The call trace's lines (see calltrace.h).
#include "component/core/calltrace.h"

#include "base/text.h"

#include <cwchar>

namespace kelmo::trace {
namespace {

// VBScript's name of a control character, ChrW(n) for those without one.
std::wstring controlName(wchar_t c, wchar_t next) {
    if (c == L'\r' && next == L'\n') return L"vbCrLf";
    if (c == L'\r') return L"vbCr";
    if (c == L'\n') return L"vbLf";
    if (c == L'\t') return L"vbTab";
    if (c == L'\0') return L"vbNullChar";
    return L"ChrW(" + std::to_wstring(static_cast<unsigned>(c)) + L")";
}

// The text as VBScript writes it: quoted runs joined with the names of control characters.
std::wstring scriptLiteral(const std::wstring& text) {
    std::wstring literal;
    bool open = false; // inside a quoted run
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c < L' ') {
            if (open) literal += L'"';
            open = false;
            if (!literal.empty()) literal += L" & ";
            const wchar_t next = i + 1 < text.size() ? text[i + 1] : L'\0';
            literal += controlName(c, next);
            if (c == L'\r' && next == L'\n') ++i;
            continue;
        }
        if (!open) literal += literal.empty() ? L"\"" : L" & \"";
        open = true;
        literal += c == L'"' ? L"\"\"" : std::wstring(1, c);
    }
    if (open) literal += L'"';
    return literal.empty() ? L"\"\"" : literal;
}

} // namespace

std::wstring traceText(const std::wstring& text) {
    if (text.size() <= LongTextChars) return scriptLiteral(text);
    return scriptLiteral(text::cut(text, ShownChars) + L"…") + L" (" +
           std::to_wstring(text.size()) + L" chars)";
}

std::wstring traceError(std::int32_t number, const std::wstring& description) {
    std::wstring shown = std::to_wstring(number);
    if (number < 0) {
        wchar_t hex[16];
        std::swprintf(hex, 16, L"0x%08X", static_cast<unsigned>(number));
        shown = hex;
    }
    return L"error " + shown + (description.empty() ? L"" : L": " + description);
}

std::wstring traceLine(const TracedCall& call) {
    std::wstring line = call.time + L"  " + call.member;
    const bool put = call.kind == CallKind::Put && !call.args.empty();
    const std::size_t listed = put ? call.args.size() - 1 : call.args.size();
    if (listed > 0 || call.kind == CallKind::Method) {
        line += L'(';
        for (std::size_t i = 0; i < listed; ++i)
            line += (i ? L", " : L"") + call.args[i];
        line += L')';
    }
    if (put) line += L" = " + call.args.back();
    if (call.failed)
        line += L"  !! " + call.outcome;
    else if (!call.outcome.empty())
        line += L" -> " + call.outcome;
    return line + L"  (" + std::to_wstring(call.milliseconds) + L" ms)\r\n";
}

} // namespace kelmo::trace
