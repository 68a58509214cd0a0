// Opening a program, document or folder through the shell's execute call (shell32), from the
// launcher's command line.
#include "platform/win32/shellopen.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>

#include "platform/win32/failures.h"

namespace kelmo::win32 {

namespace {

constexpr wchar_t Blanks[] = L" \t";

// Appends the run of backslashes at `position` to `argument` as the command-line rules read it
// (before a quote: halved, and an odd one escapes the quote) and returns the position after it.
std::size_t readBackslashes(const std::wstring& line, std::size_t position,
                            std::wstring& argument) {
    const std::size_t end = std::min(line.find_first_not_of(L'\\', position), line.size());
    const std::size_t count = end - position;
    if (end == line.size() || line[end] != L'"') {
        argument.append(count, L'\\');
        return end;
    }
    argument.append(count / 2, L'\\');
    if (count % 2 == 0) return end; // the quote opens or closes
    argument += L'"';
    return end + 1;
}

} // namespace

ShellCommand splitShellCommand(const std::wstring& commandLine) {
    ShellCommand command;
    std::size_t position = std::min(commandLine.find_first_not_of(Blanks), commandLine.size());
    bool quoted = false;
    while (position < commandLine.size()) {
        const wchar_t character = commandLine[position];
        if (character == L'\\') {
            position = readBackslashes(commandLine, position, command.file);
            continue;
        }
        if (!quoted && (character == L' ' || character == L'\t')) break;
        if (character == L'"')
            quoted = !quoted;
        else
            command.file += character;
        ++position;
    }
    if (const std::size_t rest = commandLine.find_first_not_of(Blanks, position);
        rest != std::wstring::npos)
        command.parameters = commandLine.substr(rest);
    return command;
}

// The default verb, as a double click would. DDE conversations end before the call returns.
void shellOpen(const std::wstring& commandLine, int showCommand) {
    const ShellCommand command = splitShellCommand(commandLine);
    if (command.file.empty())
        throwIfFailed(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), commandLine.c_str());
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    execute.lpFile = command.file.c_str();
    execute.lpParameters = command.parameters.empty() ? nullptr : command.parameters.c_str();
    execute.nShow = showCommand;
    if (!ShellExecuteExW(&execute)) throwLastError(commandLine.c_str());
}

} // namespace kelmo::win32
