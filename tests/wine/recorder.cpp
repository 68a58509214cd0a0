// Running KeyRec.exe and reading its log.
#include "recorder.h"

#include "toolio.h"

#include <sstream>

namespace kelmo::test {

namespace {
void createEmptyFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

std::wstring fromUtf8(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                    wide.data(), static_cast<int>(wide.size())));
    return wide;
}

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
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

void KeyRecorder::prepare(const wchar_t* program, bool editMode, const std::wstring& options) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    log_ = std::wstring(temp) + L"kelmo-keyrec-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount()) + L".log";
    for (const wchar_t* suffix : {L"", L".hwnd", L".quit", L".text"})
        DeleteFileW((log_ + suffix).c_str());
    command_ = L"\"" + programFolder() + L"tools\\" + program + L"\" \"" + log_ +
               L"\" \"Kelmo KeyRec\"" + (editMode ? L" --edit" : L"") + L" " + options;
}

KeyRecorder::KeyRecorder(bool editMode, const std::wstring& options) {
    prepare(L"KeyRec.exe", editMode, options);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring command = command_;
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process_))
        attach();
}

KeyRecorder::KeyRecorder(StartedElsewhere) {
    prepare(L"KeyRecW.exe", false, L"");
}

bool KeyRecorder::attach() {
    for (int i = 0; i < 200 && !window_; ++i) {
        Sleep(50);
        const std::string hwnd = kelmo::testtools::readFileBytes(log_ + L".hwnd");
        if (!hwnd.empty()) window_ = reinterpret_cast<HWND>(std::stoul(hwnd, nullptr, 16));
    }
    // Wait until it really has the focus.
    for (int i = 0; i < 100 && window_ && GetForegroundWindow() != window_; ++i)
        Sleep(20);
    return window_ != nullptr;
}

KeyRecorder::~KeyRecorder() {
    stop();
}

std::wstring KeyRecorder::stop() {
    if (!process_.hProcess) {
        if (window_) createEmptyFile(log_ + L".quit"); // started elsewhere: it ends by itself
        window_ = nullptr;
        return {};
    }
    createEmptyFile(log_ + L".quit");
    if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0)
        TerminateProcess(process_.hProcess, 1);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
    process_ = {};
    return kelmo::testtools::fileExists(log_ + L".text")
               ? fromUtf8(kelmo::testtools::readFileBytes(log_ + L".text"))
               : L"";
}

std::vector<KeyMessage> KeyRecorder::messages() const {
    std::vector<KeyMessage> result;
    std::istringstream lines(kelmo::testtools::readFileBytes(log_));
    for (std::string line; std::getline(lines, line);) {
        KeyMessage m;
        m.message = line.substr(0, line.find(' '));
        m.vk = field(line, "vk");
        m.scan = field(line, "scan");
        m.extended = field(line, "ext") == "1";
        m.ch = field(line, "ch");
        if (m.vk == "87") continue; // the injector's sentinel
        result.push_back(m);
    }
    return result;
}

void KeyRecorder::settle() const {
    std::size_t size = kelmo::testtools::readFileBytes(log_).size();
    for (int quiet = 0, i = 0; quiet < 4 && i < 100; ++i) {
        Sleep(50);
        const std::size_t now = kelmo::testtools::readFileBytes(log_).size();
        quiet = now == size ? quiet + 1 : 0;
        size = now;
    }
}

std::string KeyRecorder::keys() const {
    std::string result;
    for (const auto& m : messages()) {
        const bool down = m.message == "WM_KEYDOWN" || m.message == "WM_SYSKEYDOWN";
        const bool up = m.message == "WM_KEYUP" || m.message == "WM_SYSKEYUP";
        if (!down && !up) continue;
        if (!result.empty()) result += ' ';
        result += (down ? "v" : "^") + m.vk;
    }
    return result;
}

std::wstring KeyRecorder::text() const {
    std::wstring result;
    for (const auto& m : messages())
        if ((m.message == "WM_CHAR" || m.message == "WM_SYSCHAR") && m.ch.size() > 2)
            result += static_cast<wchar_t>(std::stoul(m.ch.substr(2), nullptr, 16));
    return result;
}

} // namespace kelmo::test
