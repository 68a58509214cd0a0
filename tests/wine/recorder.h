// KeyRecorder: runs KeyRec.exe (tests/tools) for one test and reads back the key downs and ups
// it received ("v41" / "^41", virtual key in hex; the injector's sentinels F23 and F24 left
// out) and the characters; programFolder(): where Kelmo.dll and tools/ are.
#pragma once

#include "fixture.h"
#include "pilot.h"

#include <optional>
#include <sstream>
#include <utility>
#include <vector>

namespace kelmo::test {

inline std::wstring programFolder() {
    wchar_t path[MAX_PATH] = {};
    const std::wstring program(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return program.substr(0, program.find_last_of(L'\\') + 1);
}

class KeyRecorder {
public:
    // Starts the recorder in front with the focus; an edit with editMode; `options` as KeyRec's.
    explicit KeyRecorder(bool editMode = false, const std::wstring& options = L"")
        : KeyRecorder(L"KeyRec.exe", (editMode ? L" --edit " : L" ") + options) {
        if (process_.emplace(command_).started()) attach();
    }
    // Only prepares the log: whoever starts command() makes the window attach() waits for.
    struct StartedElsewhere {};
    explicit KeyRecorder(StartedElsewhere) : KeyRecorder(L"KeyRecW.exe", L"") {}
    ~KeyRecorder() { stop(); }

    const std::wstring& command() const { return command_; }
    bool attach() { // waits until the recorder is in front with the focus
        testtools::waitUntil([&] { return !read(L".hwnd").empty(); }, 10'000);
        return (window_ = HWND(std::strtoull(read(L".hwnd").c_str(), nullptr, 16))) != nullptr;
    }
    bool ready() const { return window_ != nullptr; }
    HWND window() const { return window_; }
    void settle() const { // until the log has not grown for 200 ms: raw key events are paced
        std::size_t size = read(L"").size();
        for (int quiet = 0, i = 0; quiet < 4 && i < 100; ++i) {
            Sleep(50);
            const std::size_t now = read(L"").size();
            quiet = now == std::exchange(size, now) ? quiet + 1 : 0;
        }
    }
    // "v10 v41 ^41 ^10"; with `scans` each as "v41:1E", an "e" after an extended key's scan.
    std::string keys(bool scans = false) const {
        std::string result;
        for (const auto& [message, entry] : entries())
            if (message.find("KEY") != std::string::npos && entry.substr(1, 2) != "86" &&
                entry.substr(1, 2) != "87") // not the sentinels F23, F24
                result += (result.empty() ? "" : " ") + (scans ? entry : entry.substr(0, 3));
        return result;
    }
    std::wstring text() const { // the characters received ("WM_CHAR ch=U+3042")
        std::wstring result;
        for (const auto& [message, entry] : entries())
            if (message == "WM_CHAR" || message == "WM_SYSCHAR")
                result += wchar_t(std::stoul(entry.substr(5), nullptr, 16));
        return result;
    }
    std::wstring stop() { // ends the recorder; in edit mode returns the edit's final text
        testtools::writeFileBytes(log_ + L".quit", "");
        const HWND window = std::exchange(window_, nullptr); // one started elsewhere ends itself
        testtools::waitUntil([window] { return !IsWindow(window); }, 5000);
        if (!process_ || !process_->endsWithin(5000)) return {};
        process_.reset();
        return testtools::fromUtf8(read(L".text"));
    }

private:
    KeyRecorder(const wchar_t* program, const std::wstring& options)
        : log_(folder_ / L"keys.log"), command_(L"\"" + programFolder() + L"tools\\" + program +
                                                L"\" \"" + log_ + L"\"" + options) {}
    std::string read(const wchar_t* suffix) const {
        return testtools::readFileBytes(log_ + suffix);
    }
    // Each line of the log as its message and the rest: {"WM_KEYDOWN", "v41:1E"}.
    std::vector<std::pair<std::string, std::string>> entries() const {
        std::vector<std::pair<std::string, std::string>> found;
        std::istringstream log(read(L""));
        for (std::string message, entry; log >> message >> entry;)
            found.emplace_back(message, entry);
        return found;
    }

    const TempFolder folder_{L"keyrec"};
    const std::wstring log_, command_;
    std::optional<Process> process_;
    HWND window_ = nullptr;
};

} // namespace kelmo::test
