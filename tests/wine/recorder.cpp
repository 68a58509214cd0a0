// Running KeyRec.exe and reading its log.
#include "recorder.h"

#include "pilot.h"

#include <sstream>

namespace kelmo::test {

using testtools::readFileBytes;
using testtools::waitUntil;

namespace {
std::string field(const std::string& line, const std::string& name) {
    const auto at = line.find(" " + name + "=");
    if (at == std::string::npos) return {};
    const auto start = at + name.size() + 2;
    return line.substr(start, line.find(' ', start) - start);
}
} // namespace

std::wstring programFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring program = path;
    return program.substr(0, program.find_last_of(L'\\') + 1);
}

KeyRecorder::KeyRecorder(const wchar_t* program, const std::wstring& options) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    log_ = temp + (L"kelmo-keyrec-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                   std::to_wstring(GetTickCount()) + L".log");
    for (const wchar_t* suffix : {L"", L".hwnd", L".quit", L".text"})
        DeleteFileW((log_ + suffix).c_str());
    command_ = L"\"" + programFolder() + L"tools\\" + program + L"\" \"" + log_ +
               L"\" \"Kelmo KeyRec\"" + options;
}

KeyRecorder::KeyRecorder(StartedElsewhere) : KeyRecorder(L"KeyRecW.exe", L"") {}

KeyRecorder::KeyRecorder(bool editMode, const std::wstring& options)
    : KeyRecorder(L"KeyRec.exe", (editMode ? L" --edit " : L" ") + options) {
    if (process_.emplace(command_).started()) attach();
}

bool KeyRecorder::attach() {
    waitUntil([this] { return !readFileBytes(log_ + L".hwnd").empty(); }, 10'000);
    const std::string hwnd = readFileBytes(log_ + L".hwnd");
    if (!hwnd.empty()) window_ = reinterpret_cast<HWND>(std::stoull(hwnd, nullptr, 16));
    waitUntil([this] { return GetForegroundWindow() == window_; }, 2000); // it has the focus
    return window_ != nullptr;
}

std::wstring KeyRecorder::stop() {
    if (window_ || process_) testtools::writeUtf8File(log_ + L".quit", L"");
    window_ = nullptr;
    if (!process_) return {}; // started elsewhere: it ends by itself
    process_->endsWithin(5000);
    process_.reset();
    const std::string utf8 = readFileBytes(log_ + L".text");
    std::wstring text(utf8.size(), L'\0');
    text.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                    text.data(), static_cast<int>(text.size())));
    return text;
}

void KeyRecorder::settle() const {
    std::size_t size = readFileBytes(log_).size();
    for (int quiet = 0, i = 0; quiet < 4 && i < 100; ++i) {
        Sleep(50);
        const std::size_t now = readFileBytes(log_).size();
        quiet = now == size ? quiet + 1 : 0;
        size = now;
    }
}

std::string KeyRecorder::keys(bool scans) const {
    std::string result;
    std::istringstream lines(readFileBytes(log_));
    for (std::string line; std::getline(lines, line);) {
        const std::string name = line.substr(0, line.find(' ')), vk = field(line, "vk");
        const bool down = name.ends_with("KEYDOWN");
        if ((!down && !name.ends_with("KEYUP")) || vk == "87") continue; // the sentinel: F24
        result += (result.empty() ? "" : " ") + std::string(down ? "v" : "^") + vk;
        if (scans) result += ":" + field(line, "scan") + (field(line, "ext") == "1" ? "e" : "");
    }
    return result;
}

std::wstring KeyRecorder::text() const {
    std::wstring result;
    std::istringstream lines(readFileBytes(log_));
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with("WM_CHAR ") || line.starts_with("WM_SYSCHAR "))
            result += static_cast<wchar_t>(std::stoul(field(line, "ch").substr(2), nullptr, 16));
    return result;
}

} // namespace kelmo::test
