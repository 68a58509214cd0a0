// Opening a program, document or folder by the shell's associations without the command
// interpreter: the launcher's command line split back into the file and its parameters and
// handed to the shell's execute call, so that no character of a name is the interpreter's.
#pragma once

#include <string>

namespace kelmo::win32 {

struct ShellCommand {
    std::wstring file;
    std::wstring parameters;
};

// The first argument of `commandLine` read by the command-line rules (quotes group blanks,
// backslashes before a quote are halved), the rest after the blanks that follow it verbatim.
ShellCommand splitShellCommand(const std::wstring& commandLine);

// Opens the first argument of `commandLine` with the rest as its parameters, shown as
// `showCommand`, without any system box. Throws KelmoError with the system's error when the
// shell cannot open it.
void shellOpen(const std::wstring& commandLine, int showCommand);

} // namespace kelmo::win32
