// PathCompleter: turns the short paths scripts give into full, quoted paths and command lines.
// A path without a drive is taken from the system drive root when it has a backslash, from the
// default folder when it is a bare name; a network path (\\server\share) is complete as it is,
// and a quoted name is completed inside its quotes. Trimming removes plain spaces only.
#pragma once

#include "component/core/pacer.h"

#include <cstdint>
#include <string>

namespace kelmo {

// A quoted argument as a command line reads it: backslashes right before the closing quote
// would escape it ("C:\Work\" would run on into what follows), so they are doubled.
std::wstring commandLineArgument(const std::wstring& quoted);

class PathCompleter {
public:
    explicit PathCompleter(Pacer& pacer) : pacer_(pacer) {}

    // DefFld: always ends with "\".
    const std::wstring& defaultFolder() const { return defaultFolder_; }
    void setDefaultFolder(const std::wstring& folder);
    // WinDrv: drive letter, colon, backslash.
    const std::wstring& systemDriveRoot() const { return systemDriveRoot_; }
    void setSystemDriveRoot(const std::wstring& root) { systemDriveRoot_ = root; }

    std::wstring fullPath(const std::wstring& path) const;
    // A folder path as the folder members complete it (the path comes trimmed): one trailing
    // backslash dropped unless there is a drive; a bare name inside DefFld (the empty path is
    // DefFld itself); a path with backslashes under WinDrv, one leading backslash dropped.
    std::wstring folderPath(const std::wstring& path) const;
    // FldDelete's completion of an untrimmed path: one trailing backslash dropped even with a
    // drive, then as folderPath.
    std::wstring deletionPath(const std::wstring& path) const;
    // The full path in double quotes (only the missing ones added), then one PaceWait.
    std::wstring quotedPath(const std::wstring& path);
    // A name with a dot as quotedPath; a bare program name only quoted, not completed.
    std::wstring quotedProgram(const std::wstring& program);
    // The program before the 1-based `separator` position and the argument after it, quoted
    // and joined by one blank, each read by a command line as it stands; the separator itself
    // is dropped.
    std::wstring quotedCommand(const std::wstring& command, std::int16_t separator);
    // Exec's command for the launcher, from its trimmed text: split into a program and one
    // argument at the first "|", else at a blank just before a drive letter further right than
    // the start; otherwise one program, document or folder.
    std::wstring launcherCommand(const std::wstring& text);

private:
    std::wstring completedFolder(std::wstring path) const;

    Pacer& pacer_;
    std::wstring defaultFolder_;
    std::wstring systemDriveRoot_;
};

} // namespace kelmo
