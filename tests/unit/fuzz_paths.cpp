// libFuzzer target for the path routines: byte 0 = 0xFF repeats a text of up to four characters
// past 32767, every further byte is a character (0x80 on: U+3000 on). Quoting must not fail; Exec's
// command raises only past 16 bits and holds the text in order, but blanks and the "|" split at.
#include "component/core/paths.h"
#include "fakes.h"

#include <cstdlib>

using namespace kelmo;

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
    std::wstring given = text::trimSpaces(text), command;
    try {
        command = paths.launcherCommand(given);
    } catch (const KelmoError& e) {
        if (e.number() != errors::Overflow || given.size() <= 32767) std::abort();
        return 0;
    }
    if (given.find(L'"') != std::wstring::npos) return 0;
    if (const std::size_t bar = given.find(L'|'); bar != std::wstring::npos) given.erase(bar, 1);
    std::erase(given, L' ');
    std::size_t matched = 0; // the given text, in order, within the command
    for (const wchar_t c : command)
        matched += matched < given.size() && c == given[matched];
    if (matched != given.size()) std::abort();
    return 0;
}
