// KelmoBench.exe: timing figures of Kelmo, run by bench/run.sh under a desktop session.
// Each command measures one figure and prints it (a report line with its goal, or raw values the
// script combines with what it measures itself):
//   sleep [sleeps]                 the platform clock's 25 ms sleep
//   pace [reads]                   the pace wait, as the time of AppNum reads
//   launch [runs]                  the launch wait with OD off, from Rest(1)
//   restcpu [runs]                 the process's processor time during Rest(10), and during
//                                  as many steps of the platform alone
//   send <log> [pieces] [runs]     Send's overhead per piece beyond its waits (into KeyRec)
//   usage [windows]                the usage figure over 1-second windows on whole seconds
//   maketext <file> [length]       the test text for the typing figures
//   type <text> <log>              the text through the key injector into KeyRec
//   burst <text> <log>             the text as one bare SendInput burst into KeyRec
//   watch <log> [count]            waits for characters another program types into KeyRec
//   verify <text> <log> [--edit]   what KeyRec received against the text
//   objects [count]                creating the object and a first call, from C++
//   host <script> [count]          the same from cscript, and the host's private bytes
//   viewer <folder> [runs]         FrmShow of a picture and a text until painted
//   start [runs]                   Exec and Run beyond their waits and the launch itself
//   copy <folder> [runs]           FldCopy against xcopy: many small files, one big file
//   popup [runs]                   Popup's 1-second time-out
//   restatoms [runs]               Rest(1, True) with Atom 1 against Atom 25
//   bits                           which build this is: "32-bit" or "64-bit"
// Lines starting with RECORD are the rows of BENCHMARKS.md (see record() in common.h).
#include "common.h"

#include "toolio.h"

#include "base/error.h"

#include <exception>

using namespace kelmo::bench;

namespace {

int buildBits(const Arguments&) {
    emit(std::to_wstring(sizeof(void*) * 8) + L"-bit");
    return 0;
}

struct Command {
    const wchar_t* name;
    int (*run)(const Arguments&);
};

constexpr Command Commands[] = {
    {L"sleep", clockSleep},    {L"pace", paceWait},         {L"launch", launchWait},
    {L"restcpu", restCpu},     {L"send", sendOverhead},     {L"usage", usageWindows},
    {L"maketext", makeText},   {L"type", typeWithInjector}, {L"burst", sendBurst},
    {L"watch", watchRecorder}, {L"verify", verifyReceived}, {L"objects", objectCreation},
    {L"host", hostMemory},     {L"viewer", viewerPainted},  {L"start", launchOwnTime},
    {L"bits", buildBits},      {L"copy", folderCopy},       {L"popup", popupTimeout},
    {L"restatoms", restAtoms},
};

int usage() {
    std::wstring names;
    for (const Command& command : Commands)
        names += std::wstring(names.empty() ? L"" : L"|") + command.name;
    kelmo::testtools::printError(L"usage: KelmoBench.exe " + names + L" [arguments]");
    return 2;
}

} // namespace

int main() {
    const Arguments args = kelmo::testtools::commandLineArguments();
    if (args.empty()) return usage();
    for (const Command& command : Commands) {
        if (args[0] != command.name) continue;
        try {
            return command.run(args);
        } catch (const kelmo::KelmoError& error) {
            kelmo::testtools::printError(L"KelmoBench " + args[0] + L": error " +
                                         std::to_wstring(error.number()) + L": " +
                                         error.description());
            return 1;
        } catch (const std::exception& error) {
            kelmo::testtools::printError(L"KelmoBench " + args[0] + L": " +
                                         kelmo::testtools::fromAscii(error.what()));
            return 1;
        }
    }
    return usage();
}
