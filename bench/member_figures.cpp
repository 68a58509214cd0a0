// The figures of the members a user compares with what they would otherwise use: creating the
// object and making a first call (from this C++ client; the script host's side is hostMemory),
// the viewer until it has painted, Exec and Run beyond their waits and the program's own start,
// FldCopy against xcopy, Popup's time-out and Rest at a fine and a coarse Atom. Each prints a
// report line and the RECORD rows of its table in BENCHMARKS.md.
#include "component.h"

#include "base/error.h"
#include "platform/win32/owned.h"

#include <psapi.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>

namespace kelmo::bench {

namespace {

// The title of BenchWindow.exe's window (bench/window.cpp).
constexpr wchar_t TargetTitle[] = L"KelmoBench target";

// Runs `poll` on a thread of its own every half millisecond or so until it returns true or
// the watcher is destroyed; the time it returned true, on the stopwatch given.
class Watcher {
public:
    Watcher(const Stopwatch& clock, std::function<bool()> poll)
        : clock_(clock), poll_(std::move(poll)),
          thread_(CreateThread(nullptr, 0, &Watcher::run, this, 0, nullptr)) {}
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;
    ~Watcher() {
        stop_ = true;
        WaitForSingleObject(thread_.get(), INFINITE);
    }
    // When the poll first succeeded, in ms on the clock; negative when it never did.
    double seenAtMs() const { return seenAtMs_; }

private:
    static DWORD WINAPI run(void* self) {
        auto& watcher = *static_cast<Watcher*>(self);
        while (!watcher.stop_) {
            if (watcher.poll_()) {
                watcher.seenAtMs_ = watcher.clock_.elapsedMs();
                return 0;
            }
            SwitchToThread();
        }
        return 0;
    }

    const Stopwatch& clock_;
    std::function<bool()> poll_;
    std::atomic<bool> stop_{false};
    std::atomic<double> seenAtMs_{-1};
    win32::Handle thread_;
};

std::int64_t privateBytes(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters))
        return -1;
    // Wine workaround: its PrivateUsage stays 0; PagefileUsage is the same commit charge (on
    // Windows the two are equal).
    return std::int64_t(counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage);
}

// A process started from a command line, its standard output read line by line.
class ChildProcess {
public:
    explicit ChildProcess(std::wstring commandLine, bool readOutput = false) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        HANDLE writeEnd = nullptr;
        if (readOutput) {
            HANDLE readEnd = nullptr;
            if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
                throw KelmoError(errors::InvalidCall, L"CreatePipe failed");
            output_.reset(readEnd);
            SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdOutput = writeEnd;
            startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
            startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        }
        PROCESS_INFORMATION created{};
        const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr,
                                            readOutput, 0, nullptr, nullptr, &startup, &created);
        if (writeEnd) CloseHandle(writeEnd);
        if (!started) throw KelmoError(errors::FileNotFound, L"cannot start " + commandLine);
        process_.reset(created.hProcess);
        win32::Handle thread(created.hThread);
    }

    HANDLE handle() const { return process_.get(); }
    // The next line of output without its line break; nothing at the end of the output.
    std::optional<std::string> readLine() {
        std::string line;
        char c = 0;
        DWORD got = 0;
        while (ReadFile(output_.get(), &c, 1, &got, nullptr) && got == 1) {
            if (c == '\n') return line;
            if (c != '\r') line += c;
        }
        if (line.empty()) return std::nullopt;
        return line;
    }
    DWORD waitForExit(DWORD ms = INFINITE) const {
        WaitForSingleObject(process_.get(), ms);
        DWORD code = 1;
        GetExitCodeProcess(process_.get(), &code);
        return code;
    }

private:
    win32::Handle process_;
    win32::Handle output_;
};

std::wstring quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

std::wstring siblingProgram(const wchar_t* name) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return (std::filesystem::path(self).parent_path() / name).wstring();
}

HWND targetInFront() {
    const HWND target = FindWindowW(nullptr, TargetTitle);
    return target && GetForegroundWindow() == target ? target : nullptr;
}

// Closes the bench's target window and waits until none is left.
void closeTargets() {
    for (int i = 0; i < 500; ++i) {
        const HWND target = FindWindowW(nullptr, TargetTitle);
        if (!target) return;
        PostMessageW(target, WM_CLOSE, 0, 0);
        Sleep(10);
    }
}

std::vector<double> ratios(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> result;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (b[i] > 0) result.push_back(a[i] / b[i]);
    return result;
}

// A bitmap file of one colour.
void writePicture(const std::wstring& path, LONG width, LONG height, COLORREF colour) {
    const DWORD rowBytes = DWORD(width) * 3, pixelBytes = rowBytes * DWORD(height);
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + pixelBytes;
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    for (DWORD i = 0; i < pixelBytes; i += 3) {
        bytes += char(GetBValue(colour));
        bytes += char(GetGValue(colour));
        bytes += char(GetRValue(colour));
    }
    if (!testtools::writeFileBytes(path, bytes))
        throw KelmoError(errors::PathNotFound, L"cannot write " + path);
}

} // namespace

// objects [count]: creating Kelmo.CKelmo by its ProgID and reading Atom late-bound, from this
// C++ client, in batches of 1,000, against Scripting.Dictionary created and asked its Count the
// same way; and this process's private bytes after the first object and after all of them.
int objectCreation(const Arguments& args) {
    const long total = numberArgument(args, 1, 10000);
    constexpr long Batch = 1000;
    const Apartment com;
    const auto batches = [&](const wchar_t* progId, const wchar_t* member) {
        std::vector<double> msPerObject;
        for (long done = 0; done < total; done += Batch) {
            const Stopwatch watch;
            for (long i = 0; i < Batch; ++i)
                win32::get(win32::createObject(progId).get(), member);
            msPerObject.push_back(watch.elapsedMs() / double(Batch));
        }
        return msPerObject;
    };
    win32::get(win32::createObject(L"Kelmo.CKelmo").get(), L"Atom"); // loads the DLL
    const std::int64_t before = privateBytes(GetCurrentProcess());
    const std::vector<double> kelmo = batches(L"Kelmo.CKelmo", L"Atom");
    const std::int64_t after = privateBytes(GetCurrentProcess());
    const std::vector<double> peer = batches(L"Scripting.Dictionary", L"Count");
    const double typical = median(kelmo);
    const double grownKb = double(after - before) / 1024.0;
    record(L"objects", L"C++ client: Kelmo.CKelmo created, Atom read", L"ms per object", kelmo, 3,
           L"< 1 ms", verdict(typical < 1.0));
    record(L"objects", L"C++ client: Scripting.Dictionary created, Count read (peer)",
           L"ms per object", peer, 3, L"-", L"peer");
    record(L"objects",
           L"C++ client: private bytes grown over " + count(std::size_t(total)) + L" objects",
           L"KB", {grownKb}, 0, L"-", L"info");
    emit(L"objects C++ median " + fixed(typical, 3) + L" ms per object (goal < 1 ms) " +
         verdict(typical < 1.0) + L"   [" + count(std::size_t(total)) +
         L" objects; Scripting.Dictionary " + fixed(median(peer), 3) + L" ms; private bytes " +
         fixed(double(before) / 1024.0, 0) + L" KB -> " + fixed(double(after) / 1024.0, 0) +
         L" KB]");
    return 0;
}

// host <script> [count]: the same from cscript: the script (bench/objects.js) prints "BASE"
// after its first object, "KELMO <ms>" and "PEER <ms>" per 1,000 objects, "DONE" after the
// last, pausing after BASE and DONE while this reads the host's private bytes.
int hostMemory(const Arguments& args) {
    const std::wstring script = requiredArgument(args, 1, L"host <script> [count]");
    const long total = numberArgument(args, 2, 10000);
    ChildProcess host(L"cscript.exe //nologo " + quoted(script) + L" " + std::to_wstring(total),
                      true);
    std::vector<double> kelmo, peer;
    std::int64_t before = -1, after = -1;
    while (const auto line = host.readLine()) {
        if (*line == "BASE") before = privateBytes(host.handle());
        if (*line == "DONE") after = privateBytes(host.handle());
        if (line->rfind("KELMO ", 0) == 0) kelmo.push_back(std::stod(line->substr(6)) / 1000.0);
        if (line->rfind("PEER ", 0) == 0) peer.push_back(std::stod(line->substr(5)) / 1000.0);
    }
    host.waitForExit(10000);
    if (kelmo.empty()) throw KelmoError(errors::InvalidCall, L"the script reported no batch");
    const double typical = median(kelmo);
    record(L"objects", L"cscript (JScript): Kelmo.CKelmo created, Atom read", L"ms per object",
           kelmo, 3, L"< 1 ms", verdict(typical < 1.0));
    record(L"objects", L"cscript (JScript): Scripting.Dictionary created, Count read (peer)",
           L"ms per object", peer, 3, L"-", L"peer");
    const bool known = before >= 0 && after >= 0;
    if (known)
        record(L"objects",
               L"cscript: private bytes grown over " + count(std::size_t(total)) + L" objects",
               L"KB", {double(after - before) / 1024.0}, 0, L"-", L"info");
    emit(L"objects cscript median " + fixed(typical, 3) + L" ms per object (goal < 1 ms) " +
         verdict(typical < 1.0) + L"   [Scripting.Dictionary " + fixed(median(peer), 3) +
         L" ms; host private bytes " +
         (known ? fixed(double(before) / 1024.0, 0) + L" KB -> " +
                      fixed(double(after) / 1024.0, 0) + L" KB"
                : std::wstring(L"not readable")) +
         L"]");
    return 0;
}

// viewer <folder> [runs]: FrmShow(file, 1) with fast pacing, from the call until the viewer is
// visible and painted: for a picture of one colour, until the window's centre has that colour;
// for a text of 100 lines, until no part of the window waits to be painted.
int viewerPainted(const Arguments& args) {
    const std::wstring folder = requiredArgument(args, 1, L"viewer <folder> [runs]");
    const long runs = numberArgument(args, 2, 5);
    const COLORREF pictureColour = RGB(0, 128, 255);
    const std::wstring picture = folder + L"\\picture.bmp", text = folder + L"\\text.txt";
    writePicture(picture, 640, 480, pictureColour);
    std::wstring lines;
    for (int i = 1; i <= 100; ++i)
        lines += L"Line " + std::to_wstring(i) + L" of the text the viewer shows.\r\n";
    writeUtf8(text, lines);
    const Apartment com;
    const Component kelmo;
    kelmo.paceFast();
    const auto viewer = [] {
        const HWND window = FindWindowW(L"KelmoViewer", nullptr);
        return window && IsWindowVisible(window) ? window : nullptr;
    };
    const auto pictureShown = [&] {
        const HWND window = viewer();
        if (!window) return false;
        RECT client{};
        GetClientRect(window, &client);
        const HDC dc = GetDC(window);
        const COLORREF centre = GetPixel(dc, client.right / 2, client.bottom / 2);
        ReleaseDC(window, dc);
        return centre == pictureColour;
    };
    const auto textShown = [&] {
        const HWND window = viewer();
        return window && !GetUpdateRect(window, nullptr, FALSE);
    };
    const auto timeToPainted = [&](const std::wstring& file, std::function<bool()> painted) {
        std::vector<double> ms;
        for (long run = 0; run < runs; ++run) {
            const Stopwatch watch;
            const Watcher watcher(watch, painted);
            kelmo.call(L"FrmShow", {win32::Variant(file), win32::Variant(1L)});
            if (watcher.seenAtMs() >= 0) ms.push_back(watcher.seenAtMs());
        }
        return ms;
    };
    const std::vector<double> pictureMs = timeToPainted(picture, pictureShown);
    const std::vector<double> textMs = timeToPainted(text, textShown);
    const bool pictureMet = pictureMs.size() == std::size_t(runs) && median(pictureMs) < 100;
    const bool textMet = textMs.size() == std::size_t(runs) && median(textMs) < 100;
    record(L"viewer", L"FrmShow of a 640x480 picture", L"ms to painted", pictureMs, 1, L"< 100 ms",
           verdict(pictureMet));
    record(L"viewer", L"FrmShow of a 100-line text", L"ms to painted", textMs, 1, L"< 100 ms",
           verdict(textMet));
    emit(L"viewer picture " + fixed(median(pictureMs), 1) + L" ms, text " +
         fixed(median(textMs), 1) + L" ms to painted (goal < 100 ms) " +
         verdict(pictureMet && textMet) + L"   [" + count(pictureMs.size()) + L" and " +
         count(textMs.size()) + L" of " + count(std::size_t(runs)) + L" runs seen painted]");
    return 0;
}

// start [runs]: Exec and Run of BenchWindow.exe (a window and nothing else) with fast pacing,
// against the same launch without the component: the launcher command Exec uses (start.exe
// where there is one, as Exec does) and the program started directly (as Run does), each timed
// until the window is in front. Own time: the member's time minus its specified waits and
// minus that launch; and how long after the window came to the front the member returned.
int launchOwnTime(const Arguments& args) {
    const long runs = numberArgument(args, 1, 5);
    const std::wstring program = siblingProgram(L"BenchWindow.exe");
    wchar_t launcher[MAX_PATH];
    const bool hasLauncher =
        SearchPathW(nullptr, L"start.exe", nullptr, MAX_PATH, launcher, nullptr) != 0;
    const Apartment com;
    const Component kelmo;
    kelmo.paceFast();
    closeTargets();

    // Times the call into `total`, and into `afterFront` how long after the target's window
    // came to the front it returned (when the watcher saw it come).
    const auto timeMember = [&](const wchar_t* member, std::initializer_list<win32::Variant> a,
                                std::vector<double>& total, std::vector<double>& afterFront) {
        const Stopwatch watch;
        const Watcher watcher(watch, [] { return targetInFront() != nullptr; });
        kelmo.call(member, a);
        const double returned = watch.elapsedMs();
        total.push_back(returned);
        if (watcher.seenAtMs() >= 0) afterFront.push_back(returned - watcher.seenAtMs());
    };
    const auto timeDirect = [&](const std::wstring& commandLine, bool untilInputIdle) {
        const Stopwatch watch;
        ChildProcess child(commandLine);
        if (untilInputIdle) WaitForInputIdle(child.handle(), 10000);
        while (!targetInFront() && watch.elapsedMs() < 10000)
            SwitchToThread();
        return watch.elapsedMs();
    };
    const std::wstring viaLauncher =
        hasLauncher ? L"start.exe " + quoted(program) : quoted(program);
    std::vector<double> exec, execAfterFront, run, runAfterFront, directLauncher, direct;
    for (long i = 0; i < runs; ++i) {
        directLauncher.push_back(timeDirect(viaLauncher, false));
        closeTargets();
        timeMember(L"Exec", {win32::Variant(quoted(program))}, exec, execAfterFront);
        closeTargets();
        direct.push_back(timeDirect(quoted(program), true));
        closeTargets();
        timeMember(L"Run", {win32::Variant(program), win32::Variant(1L)}, run, runAfterFront);
        closeTargets();
    }
    // Exec: the guard's pace wait and one launch wait (OD on: Mol1); Run: the same and one
    // Atom before the first input-idle check.
    const double execWaits = 2.0 * Component::FastMs, runWaits = 3.0 * Component::FastMs;
    const std::vector<double> execOwn = differences(exec, directLauncher, execWaits);
    const std::vector<double> runOwn = differences(run, direct, runWaits);
    const bool execMet = median(execOwn) < 50, runMet = median(runOwn) < 50;
    const std::wstring launcherRow =
        hasLauncher ? L"start.exe started directly, until the window is in front (peer)"
                    : L"the program started directly, until its window is in front (peer)";
    record(L"launch", L"Exec: own time beyond its waits and the launch", L"ms", execOwn, 1,
           L"< 50 ms", verdict(execMet));
    record(L"launch", L"Exec: returned after the window came to the front", L"ms", execAfterFront,
           1, L"-", L"info");
    record(L"launch", L"Exec: whole call", L"ms", exec, 1, L"-", L"info");
    record(L"launch", launcherRow, L"ms", directLauncher, 1, L"-", L"peer");
    record(L"launch", L"Run: own time beyond its waits and the launch", L"ms", runOwn, 1,
           L"< 50 ms", verdict(runMet));
    record(L"launch", L"Run: returned after the window came to the front", L"ms", runAfterFront, 1,
           L"-", L"info");
    record(L"launch", L"Run: whole call", L"ms", run, 1, L"-", L"info");
    record(L"launch", L"the program started directly, ready and in front (peer)", L"ms", direct, 1,
           L"-", L"peer");
    emit(L"launch own time Exec " + fixed(median(execOwn), 1) + L" ms, Run " +
         fixed(median(runOwn), 1) + L" ms beyond waits and launch (goal < 50 ms) " +
         verdict(execMet && runMet) + L"   [Exec " + fixed(median(exec), 0) + L" ms vs " +
         (hasLauncher ? L"start.exe " : L"direct ") + fixed(median(directLauncher), 0) +
         L" ms; Run " + fixed(median(run), 0) + L" ms vs direct " + fixed(median(direct), 0) +
         L" ms; returned " + fixed(median(execAfterFront), 0) + L" / " +
         fixed(median(runAfterFront), 0) + L" ms after the window came to the front; " +
         count(exec.size()) + L" runs]");
    return 0;
}

namespace {

namespace fs = std::filesystem;

void makeSource(const fs::path& small, const fs::path& big, long files, long bigMb) {
    fs::create_directories(small);
    fs::create_directories(big);
    const std::string content(4096, 'k');
    for (long i = 0; i < files; ++i) {
        const fs::path folder = small / (L"d" + std::to_wstring(i / 100));
        fs::create_directories(folder);
        writeUtf8((folder / (L"f" + std::to_wstring(i) + L".txt")).wstring(),
                  std::wstring(content.begin(), content.end()));
    }
    std::string block(1 << 20, '\0');
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = char(i * 2654435761u >> 24);
    win32::Handle file(CreateFileW((big / "big.bin").c_str(), GENERIC_WRITE, 0, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    for (long i = 0; i < bigMb; ++i) {
        DWORD written = 0;
        WriteFile(file.get(), block.data(), DWORD(block.size()), &written, nullptr);
    }
}

std::uint64_t treeBytes(const fs::path& root) {
    std::uint64_t bytes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) bytes += entry.file_size();
    return bytes;
}

} // namespace

// copy <folder> [runs] [files] [MB]: FldCopy of a tree of small files and of one big file,
// against `xcopy /e /i /q /y` of the same source in the same prefix, alternating, each copy
// into a fresh destination; rates in MB/s and FldCopy's as a share of xcopy's, run by run.
int folderCopy(const Arguments& args) {
    const fs::path root = requiredArgument(args, 1, L"copy <folder> [runs] [files] [MB]");
    const long runs = numberArgument(args, 2, 3);
    const long files = numberArgument(args, 3, 1000);
    const long bigMb = numberArgument(args, 4, 200);
    fs::remove_all(root);
    const fs::path small = root / "source" / "small", big = root / "source" / "big";
    makeSource(small, big, files, bigMb);
    const Apartment com;
    const Component kelmo;
    kelmo.paceFast();
    struct Case {
        std::wstring label;
        fs::path source;
        std::vector<double> kelmo, xcopy;
    };
    Case cases[] = {{std::to_wstring(files) + L" files of 4 KB", small, {}, {}},
                    {L"one file of " + std::to_wstring(bigMb) + L" MB", big, {}, {}}};
    for (Case& c : cases) {
        const std::uint64_t bytes = treeBytes(c.source);
        const double mb = double(bytes) / 1048576.0;
        for (long run = 0; run < runs; ++run) {
            const fs::path toKelmo = root / (L"k" + std::to_wstring(run));
            const fs::path toXcopy = root / (L"x" + std::to_wstring(run)) / c.source.filename();
            fs::create_directories(toKelmo);
            const double kelmoMs = timedMs([&] {
                kelmo.call(L"FldCopy", {win32::Variant(c.source.wstring()),
                                        win32::Variant((toKelmo / c.source.filename()).wstring())});
            });
            const double xcopyMs = timedMs([&] {
                ChildProcess xcopy(L"xcopy.exe " + quoted(c.source.wstring()) + L" " +
                                       quoted(toXcopy.wstring() + L"\\") + L" /e /i /q /y",
                                   true);
                while (xcopy.readLine()) { // its count of files copied stays out of the report
                }
                xcopy.waitForExit();
            });
            if (treeBytes(toKelmo / c.source.filename()) != bytes || treeBytes(toXcopy) != bytes)
                throw KelmoError(errors::InvalidCall, L"a copy is incomplete: " + c.label);
            c.kelmo.push_back(mb * 1000.0 / kelmoMs);
            c.xcopy.push_back(mb * 1000.0 / xcopyMs);
            fs::remove_all(toKelmo);
            fs::remove_all(toXcopy.parent_path());
        }
    }
    std::wstring line = L"folder copy";
    bool allMet = true;
    for (const Case& c : cases) {
        std::vector<double> share = ratios(c.kelmo, c.xcopy);
        for (double& s : share)
            s *= 100.0;
        const bool met = median(share) >= 90.0;
        allMet = allMet && met;
        record(L"copy", L"FldCopy, " + c.label, L"MB/s", c.kelmo, 1, L"-", L"info");
        record(L"copy", L"xcopy /e, " + c.label + L" (peer)", L"MB/s", c.xcopy, 1, L"-", L"peer");
        record(L"copy", L"FldCopy's rate as a share of xcopy's, " + c.label, L"%", share, 0,
               L">= 90%", verdict(met));
        line += L"; " + c.label + L": " + fixed(median(share), 0) + L"% of xcopy (" +
                fixed(median(c.kelmo), 1) + L" vs " + fixed(median(c.xcopy), 1) + L" MB/s)";
    }
    emit(line + L" (goal >= 90%) " + verdict(allMet) + L"   [" + std::to_wstring(runs) +
         L" runs each]");
    fs::remove_all(root);
    return 0;
}

// popup [runs]: Popup with a 1-second time-out and fast pacing, nobody answering.
int popupTimeout(const Arguments& args) {
    const long runs = numberArgument(args, 1, 5);
    const Apartment com;
    const Component kelmo;
    kelmo.paceFast();
    const std::vector<double> ms = timedRuns(runs, 1e9, [&] {
        kelmo.call(L"Popup",
                   {win32::Variant(std::wstring(L"KelmoBench")), win32::Variant(1L),
                    win32::Variant(std::wstring(L"KelmoBench popup")), win32::Variant(0L)});
    });
    const double typical = median(ms);
    const bool met = std::abs(typical - 1000.0) <= 30.0;
    record(L"popup", L"Popup with a time-out of 1 s", L"ms", ms, 1, L"1000 ms ±3%", verdict(met));
    emit(L"popup 1 s time-out returned after " + fixed(typical, 1) + L" ms (goal 1000 ms ±3%) " +
         verdict(met) + L"   [" + count(ms.size()) + L" runs]");
    return 0;
}

// restatoms [runs]: Rest(1, True) with Atom 1 against Atom 25, alternating.
int restAtoms(const Arguments& args) {
    const long runs = numberArgument(args, 1, 3);
    const Apartment com;
    const Component kelmo;
    const MachineUsage usage;
    std::vector<double> fine, coarse;
    for (long run = 0; run < runs; ++run) {
        for (const long atom : {1L, 25L}) {
            kelmo.setNumber(L"Atom", atom);
            const double ms = timedMs([&] {
                kelmo.call(L"Rest", {win32::Variant(1L), win32::Variant(true)});
            });
            (atom == 1 ? fine : coarse).push_back(ms);
        }
    }
    const std::vector<double> ratio = ratios(fine, coarse);
    const bool met = median(ratio) <= 1.1;
    record(L"rest-atoms", L"Rest(1, True) with Atom 1", L"ms", fine, 0, L"-", L"info");
    record(L"rest-atoms", L"Rest(1, True) with Atom 25", L"ms", coarse, 0, L"-", L"info");
    record(L"rest-atoms", L"Atom 1 against Atom 25", L"x", ratio, 3, L"<= 1.1x", verdict(met));
    emit(L"rest-atoms Rest(1, True) Atom 1 " + fixed(median(fine), 0) + L" ms vs Atom 25 " +
         fixed(median(coarse), 0) + L" ms: " + fixed(median(ratio), 3) + L"x (goal <= 1.1x) " +
         verdict(met) + L"   [" + count(fine.size()) + L" runs each; " + machineBusy(usage) + L"]");
    return 0;
}

} // namespace kelmo::bench
