// libFuzzer target for the path routines: completion (fullPath, folderPath, deletionPath),
// quoting (quotedPath, quotedProgram, quotedCommand, commandLineArgument) and Exec's launcher
// command. Byte 0 picks quotedCommand's separator; byte 1 = 0xFF repeats a text of up to four
// characters past 32767 (only such short ones: long texts are slow under the sanitizers); every
// further byte is one character (0x80 and above: U+3000 onwards). Only KelmoError may escape, and
// only where the rules raise it; completion only puts a folder in front of the name (inside its
// quotes); quoting adds only the quotes that are missing; and the launcher's command reads back, by
// the command-line rules, as the parts it was made of.
#include "component/core/paths.h"
#include "fakes.h"

#include "base/error.h"
#include "base/text.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace kelmo;

const std::wstring DefFld = L"C:\\My Work\\";
const std::wstring WinDrv = L"E:\\";

void check(bool condition) {
    if (!condition) std::abort();
}

bool contains(const std::wstring& text, wchar_t c) {
    return text.find(c) != std::wstring::npos;
}

// The arguments after the program name, as the C runtime and CommandLineToArgvW read them:
// 2n backslashes and a quote are n backslashes and a quote that opens or closes, 2n+1 are n
// and a literal quote; other backslashes are themselves. ("" inside quotes, where the readers
// differ, is not used: only texts without inner quotes are read back.)
std::vector<std::wstring> commandLineArguments(const std::wstring& line) {
    std::vector<std::wstring> args;
    std::size_t i = 0;
    for (;;) {
        while (i < line.size() && (line[i] == L' ' || line[i] == L'\t'))
            ++i;
        if (i == line.size()) return args;
        std::wstring arg;
        bool inQuotes = false;
        while (i < line.size() && (inQuotes || (line[i] != L' ' && line[i] != L'\t'))) {
            const std::size_t run = line.find_first_not_of(L'\\', i);
            const std::size_t backslashes = (run == std::wstring::npos ? line.size() : run) - i;
            i += backslashes;
            if (i < line.size() && line[i] == L'"') {
                arg.append(backslashes / 2, L'\\');
                if (backslashes % 2)
                    arg += L'"';
                else
                    inQuotes = !inQuotes;
                ++i;
            } else if (backslashes > 0) {
                arg.append(backslashes, L'\\');
            } else {
                arg += line[i++];
            }
        }
        args.push_back(arg);
    }
}

// What a command line reads from a quoted text: what lies between its outer quotes.
std::wstring inside(const std::wstring& quoted) {
    return quoted.substr(1, quoted.size() - 2);
}

// `quoted` is `text` with only the missing outer quotes added, and reads back as its inside.
void checkQuoted(const std::wstring& quoted, const std::wstring& text) {
    check(quoted.size() >= 2 && quoted.front() == L'"' && quoted.back() == L'"');
    const std::size_t front = text.starts_with(L'"') ? 0 : 1;
    const std::size_t back = front + text.size() >= 2 && text.ends_with(L'"') ? 0 : 1;
    check(quoted.size() == front + text.size() + back);
    check(quoted.compare(front, text.size(), text) == 0);
    const std::wstring argument = commandLineArgument(quoted);
    if (!contains(inside(quoted), L'"'))
        check(commandLineArguments(argument) == std::vector<std::wstring>{inside(quoted)});
}

// A path without a drive gets the folder after its opening quotes (WinDrv when the name has a
// backslash, DefFld otherwise); a path with a drive and a network path stay as they are.
std::wstring checkFullPath(PathCompleter& paths, const std::wstring& path) {
    const std::wstring trimmed = text::trimSpaces(path);
    const std::wstring full = paths.fullPath(path);
    std::size_t quotes = 0;
    while (trimmed.size() >= 2 * quotes + 2 && trimmed[quotes] == L'"' &&
           trimmed[trimmed.size() - 1 - quotes] == L'"')
        ++quotes;
    const std::wstring name = trimmed.substr(quotes, trimmed.size() - 2 * quotes);
    if (contains(trimmed, L':') || name.starts_with(L"\\\\")) {
        check(full == trimmed);
    } else {
        const std::wstring& folder = contains(name, L'\\') ? WinDrv : DefFld;
        check(full == trimmed.substr(0, quotes) + folder + trimmed.substr(quotes));
    }
    return full;
}

// A folder path loses one trailing backslash (folderPath: unless it has a drive), then one
// without a drive goes under DefFld when it is a bare name, else under WinDrv without one
// leading backslash.
void checkFolderPaths(PathCompleter& paths, const std::wstring& path) {
    const bool drive = contains(path, L':');
    std::wstring p = path.ends_with(L'\\') ? path.substr(0, path.size() - 1) : path;
    check(paths.folderPath(path) == (drive ? path : paths.deletionPath(path)));
    if (drive) {
        check(paths.deletionPath(path) == p);
    } else if (!contains(p, L'\\')) {
        check(paths.deletionPath(path) == DefFld + p);
    } else {
        if (p.starts_with(L'\\')) p.erase(0, 1);
        check(paths.deletionPath(path) == WinDrv + p);
    }
}

void checkQuotedCommand(PathCompleter& paths, const std::wstring& command, std::int16_t k) {
    std::wstring result;
    try {
        result = paths.quotedCommand(command, k);
    } catch (const KelmoError& e) {
        check(k < 0 && e.number() == errors::InvalidCall);
        return;
    }
    check(k >= 0);
    const auto separator = static_cast<std::size_t>(k);
    const std::wstring program = separator == 0 ? L"" : command.substr(0, separator - 1);
    const std::wstring argument = separator < command.size() ? command.substr(separator) : L"";
    const std::wstring quotedProgram = paths.quotedProgram(program);
    const std::wstring quotedArgument = paths.quotedPath(argument);
    check(result ==
          commandLineArgument(quotedProgram) + L' ' + commandLineArgument(quotedArgument));
    if (!contains(inside(quotedProgram), L'"') && !contains(inside(quotedArgument), L'"'))
        check(commandLineArguments(result) ==
              (std::vector<std::wstring>{inside(quotedProgram), inside(quotedArgument)}));
}

// Exec's command is split at the first "|", else at a blank two or three characters before a
// last ":" at index 4 or beyond, else not at all; only a split beyond 16 bits is an error. Read
// back, it holds every character of the text but blanks and the separator, in order.
void checkLauncherCommand(PathCompleter& paths, const std::wstring& text) {
    std::size_t split = text.find(L'|');
    const std::size_t colon = text.rfind(L':');
    if (split == std::wstring::npos && colon != std::wstring::npos && colon >= 4) {
        if (text[colon - 3] == L' ')
            split = colon - 3;
        else if (text[colon - 2] == L' ')
            split = colon - 2;
    }
    std::wstring command;
    try {
        command = paths.launcherCommand(text);
    } catch (const KelmoError& e) {
        check(e.number() == errors::Overflow && split != std::wstring::npos && split >= 32767);
        return;
    }
    check(command == (split == std::wstring::npos
                          ? commandLineArgument(paths.quotedProgram(text))
                          : paths.quotedCommand(text, static_cast<std::int16_t>(split + 1))));
    if (contains(text, L'"')) return;
    const std::vector<std::wstring> args = commandLineArguments(command);
    check(args.size() == (split == std::wstring::npos ? 1u : 2u));
    std::wstring read, given = text;
    for (const std::wstring& arg : args)
        read += arg;
    if (const std::size_t bar = given.find(L'|'); bar != std::wstring::npos) given.erase(bar, 1);
    std::erase(read, L' ');
    std::erase(given, L' ');
    std::size_t matched = 0;
    for (const wchar_t c : read)
        if (matched < given.size() && c == given[matched]) ++matched;
    check(matched == given.size());
}

std::wstring textOf(const std::uint8_t* data, std::size_t size, bool longer) {
    std::wstring text;
    for (std::size_t i = 0; i < size; ++i)
        text += data[i] < 0x80 ? wchar_t(data[i]) : wchar_t(0x3000 + data[i] - 0x80);
    if (longer && !text.empty()) {
        const std::wstring once = text;
        while (text.size() <= 32767)
            text += once;
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const auto separator = static_cast<std::int16_t>(data[0] - 2);
    const std::wstring text = textOf(data + 2, size - 2, data[1] == 0xFF && size <= 6);

    fakes::FakePlatform fake;
    Tuning tuning;
    tuning.Atom = 1;
    tuning.Mol1 = 1;
    AppTable apps{fake.windows, fake.clock};
    Pacer pacer{fake.services(), tuning, apps};
    PathCompleter paths{pacer};
    paths.setDefaultFolder(DefFld);
    paths.setSystemDriveRoot(WinDrv);

    if (text.size() > 32767) { // only the routines whose cost or errors grow with the length
        checkFullPath(paths, text);
        checkLauncherCommand(paths, text::trimSpaces(text));
        return 0;
    }
    const std::wstring full = checkFullPath(paths, text);
    checkQuoted(paths.quotedPath(text), full);
    const std::wstring trimmed = text::trimSpaces(text);
    checkQuoted(paths.quotedProgram(text), contains(trimmed, L'.') ? full : trimmed);
    if (!contains(text, L'"'))
        check(commandLineArguments(commandLineArgument(L'"' + text + L'"')) ==
              std::vector<std::wstring>{text});
    checkFolderPaths(paths, trimmed);
    checkFolderPaths(paths, text);
    checkQuotedCommand(paths, text, separator);
    checkLauncherCommand(paths, trimmed);
    return 0;
}
