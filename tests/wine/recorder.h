// KeyRecorder: runs tests/tools KeyRec.exe for one test and reads back what it received, as
// compact tokens: "v41"/"^41" key down/up (virtual key in hex), "c0061" a character. The
// injector's sentinel key (F24) is left out.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kelmo::test {

struct KeyMessage {
    std::string message; // WM_KEYDOWN, WM_SYSKEYUP, WM_CHAR ...
    std::string vk;      // hex, "--" for characters
    std::string scan;    // hex
    bool extended = false;
    std::string ch; // U+XXXX or "-"
};

class KeyRecorder {
public:
    // Starts the recorder window (in front, with the focus); an EDIT control with editMode.
    // `options` go to KeyRec as they are (--stall=<ms>, --hold-clipboard=<ms>).
    explicit KeyRecorder(bool editMode = false, const std::wstring& options = L"");
    // Prepares the log without starting the recorder: whoever starts command() (the runner's
    // Exec) does that; attach() then waits for its window. The command is the window-program
    // build of the recorder, which opens no console window of its own.
    struct StartedElsewhere {};
    explicit KeyRecorder(StartedElsewhere);
    const std::wstring& command() const { return command_; }
    bool attach();
    KeyRecorder(const KeyRecorder&) = delete;
    KeyRecorder& operator=(const KeyRecorder&) = delete;
    ~KeyRecorder();

    bool ready() const { return window_ != nullptr; }
    HWND window() const { return window_; }
    std::vector<KeyMessage> messages() const;
    // Waits until the log has not grown for a while: raw key events are paced, not waited for.
    void settle() const;
    // Key downs and ups: "v10 v41 ^41 ^10".
    std::string keys() const;
    // The characters received.
    std::wstring text() const;
    // Ends the recorder; in edit mode returns the edit control's final text.
    std::wstring stop();

private:
    void prepare(const wchar_t* program, bool editMode, const std::wstring& options);

    std::wstring log_;
    std::wstring command_;
    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

// The folder of the test program (build/win), where Kelmo.dll and tools/ are.
std::wstring programFolder();

} // namespace kelmo::test
