// KeyRecorder: runs KeyRec.exe (tests/tools) for one test and reads back what it received: key
// downs and ups ("v41" / "^41", virtual key in hex; the injector's sentinel F24 left out) and
// the characters.
#pragma once

#include "fixture.h"

#include <optional>
#include <string>

namespace kelmo::test {

class KeyRecorder {
public:
    // Starts the recorder, in front with the focus; an edit control with editMode. `options` go
    // to KeyRec as they are (--stall=<ms>, --hold-clipboard=<ms>).
    explicit KeyRecorder(bool editMode = false, const std::wstring& options = L"");
    // Only prepares the log: whoever starts command(), the window-program build of the recorder
    // (which opens no console), makes the window that attach() then waits for.
    struct StartedElsewhere {};
    explicit KeyRecorder(StartedElsewhere);
    ~KeyRecorder() { stop(); }

    const std::wstring& command() const { return command_; }
    bool attach();
    bool ready() const { return window_ != nullptr; }
    HWND window() const { return window_; }
    void settle() const; // until the log has not grown for a while: raw key events are paced
    // "v10 v41 ^41 ^10"; with `scans` each as "v41:1E", an "e" after an extended key's scan.
    std::string keys(bool scans = false) const;
    std::wstring text() const; // the characters received
    std::wstring stop();       // ends the recorder; in edit mode returns the edit's final text

private:
    KeyRecorder(const wchar_t* program, const std::wstring& options);
    std::wstring log_, command_;
    std::optional<Process> process_;
    HWND window_ = nullptr;
};

std::wstring programFolder(); // the test program's folder, where Kelmo.dll and tools/ are

} // namespace kelmo::test
