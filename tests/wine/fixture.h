// The fixture of the Wine-side tests: an apartment per test, fast pacing, a temporary folder and
// a started process that go with the test, and the error info a failure left.
#pragma once

#include "latebound.h"
#include "toolio.h"

#include "platform/win32/owned.h"

#include <gtest/gtest.h>

namespace kelmo::test {

// The apartment is there before the members of a derived fixture and gone after them.
class ComTest : public ::testing::Test {
protected:
    ComTest() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComTest() override {
        if (initialised_) CoUninitialize();
    }
    void SetUp() override { ASSERT_TRUE(initialised_); }

private:
    bool initialised_;
};

// One 1 ms sample between actions and after typing, each idle (Speed 101): a loaded machine
// cannot hold a test that does not measure pacing. FastPacingJs: the same for a script's `k`.
inline void fastPacing(const LateBound& k) {
    for (const auto& [name, value] : {std::pair{L"Atom", 1}, {L"Mol1", 1}, {L"Speed", 101}})
        k.put(name, Arg(value));
    k.call(L"ODOn");
}
inline constexpr wchar_t FastPacingJs[] = L"k.Atom = 1; k.Mol1 = 1; k.Speed = 101; k.ODOn();\n";

// Deletes `path` and everything below it, read-only files too; links are removed, not followed.
inline void removeTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    const win32::Search search(FindFirstFileW((path + L"\\*").c_str(), &found));
    for (bool more = bool(search); more; more = FindNextFileW(search.get(), &found)) {
        const std::wstring name = found.cFileName, inner = path + L"\\" + name;
        const DWORD kind = found.dwFileAttributes;
        if (name == L"." || name == L"..") continue;
        SetFileAttributesW(inner.c_str(), FILE_ATTRIBUTE_NORMAL);
        if ((kind & FILE_ATTRIBUTE_DIRECTORY) && !(kind & FILE_ATTRIBUTE_REPARSE_POINT))
            removeTree(inner);
        else // a link to a folder is removed, not followed
            (kind & FILE_ATTRIBUTE_DIRECTORY ? RemoveDirectoryW : DeleteFileW)(inner.c_str());
    }
    RemoveDirectoryW(path.c_str());
}

// A new folder under %TEMP% ("kelmo-<tag>-<process>-<n>"), deleted with its content at the end.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& tag = L"test") {
        wchar_t temp[MAX_PATH] = {};
        const std::wstring stem = std::wstring(temp, GetTempPathW(MAX_PATH, temp)) + L"kelmo-" +
                                  tag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-";
        for (unsigned n = GetTickCount(); path_.empty(); ++n)
            if (CreateDirectoryW((stem + std::to_wstring(n)).c_str(), nullptr) ||
                GetLastError() != ERROR_ALREADY_EXISTS)
                path_ = stem + std::to_wstring(n);
    }
    ~TempFolder() { removeTree(path_); }

    const std::wstring& path() const { return path_; } // without a final backslash
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }
    // Writes the file `name` with these bytes (text: as UTF-8); gives its full path.
    std::wstring write(const std::wstring& name, std::string_view bytes) const {
        testtools::writeFileBytes(*this / name, bytes);
        return *this / name;
    }
    std::wstring write(const std::wstring& name, std::wstring_view text) const {
        return write(name, std::string_view(testtools::toUtf8(text)));
    }

private:
    std::wstring path_;
};

// A process started from a command line; ended, if it still runs, when the object goes.
class Process {
public:
    explicit Process(std::wstring commandLine) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION created{};
        if (CreateProcessW(0, commandLine.data(), 0, 0, FALSE, 0, 0, 0, &startup, &created))
            process_.reset(created.hProcess), thread_.reset(created.hThread);
    }
    ~Process() {
        if (process_) TerminateProcess(process_.get(), 1);
    }
    bool started() const { return bool(process_); }
    bool endsWithin(DWORD timeoutMs) const {
        return WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0;
    }
    HANDLE thread() const { return thread_.get(); }

private:
    win32::Handle process_, thread_;
};

inline std::wstring cscript(const std::wstring& script, const std::wstring& arguments = L"") {
    return L"cscript.exe //nologo \"" + script + L"\" " + arguments;
}

// A script host whose object, with fast pacing, makes `call` and then writes the file `after`
// in `folder`: for a call that must end the run, the file's absence shows it did.
inline std::wstring scriptEndingAt(const TempFolder& folder, const std::wstring& call) {
    return cscript(
        folder.write(L"ends.js", L"var k = new ActiveXObject('Kelmo.CKelmo');\n" +
                                     std::wstring(FastPacingJs) + call +
                                     L";\nnew ActiveXObject('Scripting.FileSystemObject')"
                                     L".CreateTextFile(WScript.Arguments(0)).Close();\n"),
        L"\"" + folder / L"after" + L"\"");
}

struct TakenErrorInfo {
    std::wstring source, description;
    GUID interfaceId{};
};

// The calling thread's error info, taken (it is cleared by taking it).
inline TakenErrorInfo takeErrorInfo() {
    win32::ComPtr<IErrorInfo> info;
    win32::Bstr source, description;
    GUID id{};
    if (GetErrorInfo(0, info.put()) == S_OK && info)
        info->GetSource(source.put()), info->GetDescription(description.put()), info->GetGUID(&id);
    return {win32::textOf(source.get()), win32::textOf(description.get()), id};
}

} // namespace kelmo::test
