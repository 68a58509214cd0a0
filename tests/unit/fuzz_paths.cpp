// libFuzzer target for the path routines. Byte 0 = 0xFF repeats a text of up to four characters
// past 32767; every further byte is one character (0x80 on: U+3000 on). Quoting must not fail;
// Exec's launcher command raises only beyond 16 bits and, read back by the command-line rules,
// holds the text in order but for blanks and the "|" it was split at.
#include "component/core/paths.h"
#include "fakes.h"

#include <cstdlib>

namespace {

using namespace kelmo;

// The arguments of a command line as the C runtime reads them: 2n backslashes and a quote are
// n backslashes and a quote that opens or closes, 2n+1 are n and a literal quote; other
// backslashes are themselves.
std::vector<std::wstring> argumentsOf(const std::wstring& line) {
    std::vector<std::wstring> args;
    for (std::size_t i = line.find_first_not_of(L' '); i < line.size();
         i = line.find_first_not_of(L' ', i)) {
        std::wstring& arg = args.emplace_back();
        for (bool quoted = false; i < line.size() && (quoted || line[i] != L' ');) {
            const std::size_t slashes = std::min(line.find_first_not_of(L'\\', i), line.size()) - i;
            const bool quote = (i += slashes) < line.size() && line[i] == L'"';
            arg.append(quote ? slashes / 2 : slashes, L'\\');
            if (quote && slashes % 2 == 0) quoted = !quoted;
            if (quote && slashes % 2) arg += L'"';
            if (!quote && slashes == 0) arg += line[i];
            i += quote || slashes == 0;
        }
    }
    return args;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    for (std::size_t i = 1; i < size; ++i)
        text += data[i] < 0x80 ? wchar_t(data[i]) : wchar_t(0x3000 + data[i] - 0x80);
    while (size > 1 && size <= 5 && data[0] == 0xFF && text.size() <= 32767)
        text += text.substr(0, size - 1);
    fakes::FakePlatform fake;
    Tuning tuning;
    tuning.Atom = tuning.Mol1 = 1;
    AppTable apps{fake.windows, fake.clock};
    Pacer pacer{fake.services(), tuning, apps};
    PathCompleter paths{pacer};
    paths.setDefaultFolder(L"C:\\My Work\\");
    paths.setSystemDriveRoot(L"E:\\");
    if (text.size() <= 32767) paths.quotedPath(text);
    std::wstring given = text::trimSpaces(text), command, read;
    try {
        command = paths.launcherCommand(given);
    } catch (const KelmoError& e) {
        if (e.number() != errors::Overflow || given.size() <= 32767) std::abort();
        return 0;
    }
    if (given.find(L'"') != std::wstring::npos) return 0;
    const std::vector<std::wstring> args = argumentsOf(command);
    if (args.empty() || args.size() > 2) std::abort();
    for (const std::wstring& arg : args)
        read += arg;
    if (const std::size_t bar = given.find(L'|'); bar != std::wstring::npos) given.erase(bar, 1);
    std::erase(read, L' ');
    std::erase(given, L' ');
    std::size_t matched = 0; // the given text, in order, within what is read
    for (const wchar_t c : read)
        matched += matched < given.size() && c == given[matched];
    if (matched != given.size()) std::abort();
    return 0;
}
