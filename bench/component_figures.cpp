// The component's figures, measured through the registered Kelmo.CKelmo by late binding, the way
// a script calls it: the pace wait, the launch wait with OD off, the processor time a Rest costs
// and the time Send spends beyond the waits it is told to make; and the platform clock's sleep,
// the step the pace waits are made of. The waits count idleness, so each line also gives the
// machine's busy share while it was measured.
#include "component.h"
#include "recorder_log.h"

#include "base/error.h"
#include "platform/win32/implementations.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace kelmo::bench {

namespace {

std::int64_t processCpu100ns() {
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ticks = [](const FILETIME& t) {
        return (std::int64_t(t.dwHighDateTime) << 32) | std::int64_t(t.dwLowDateTime);
    };
    return ticks(kernel) + ticks(user);
}

std::wstring range(const std::vector<double>& values, int decimals) {
    return fixed(minimum(values), decimals) + L".." + fixed(maximum(values), decimals);
}

} // namespace

// A guarded member runs the pause check and one pace wait (Mol1 ms of idleness accumulated in
// Atom-ms steps) before it answers: the time of an AppNum read is the pace wait.
int paceWait(const Arguments& args) {
    const long reads = numberArgument(args, 1, 40);
    const Apartment com;
    const Component kelmo;
    const double nominal = double(kelmo.number(L"Mol1"));
    kelmo.readAppNum(); // the first call settles the usage baseline
    const MachineUsage usage;
    const std::vector<double> ms = timedRuns(reads, 15000, [&] { kelmo.readAppNum(); });
    const double typical = median(ms);
    const bool met = std::abs(typical - nominal) <= nominal * 0.03;
    record(L"pace-wait", L"AppNum read (one pace wait of Mol1 " + fixed(nominal, 0) + L" ms)",
           L"ms", ms, 1, fixed(nominal, 0) + L" ms ±3%", verdict(met));
    emit(L"pace-wait median " + fixed(typical, 1) + L" ms (goal " + fixed(nominal, 0) +
         L" ms ±3%) " + verdict(met) + L"   [" + count(ms.size()) + L" AppNum reads, " +
         range(ms, 1) + L" ms; " + machineBusy(usage) + L"]");
    return 0;
}

// Rest(1) with OD off is one launch wait (Repeat rounds of Mol2 ms of idleness) followed by a
// final 1000 ms of idleness. The same Rest(1) with Repeat = 0 has an empty launch wait, so the
// difference of the two is the launch wait alone; the runs alternate so both see the same load.
int launchWait(const Arguments& args) {
    const long runs = numberArgument(args, 1, 3);
    const Apartment com;
    const Component kelmo;
    kelmo.call(L"ODOff");
    const long repeat = kelmo.number(L"Repeat");
    const double nominal = double(repeat) * double(kelmo.number(L"Mol2"));
    const MachineUsage usage;
    std::vector<double> full, finalOnly;
    timedRuns(runs, 30000, [&] {
        kelmo.setNumber(L"Repeat", repeat);
        full.push_back(timedMs([&] { kelmo.rest(1); }));
        kelmo.setNumber(L"Repeat", 0);
        finalOnly.push_back(timedMs([&] { kelmo.rest(1); }));
    });
    kelmo.setNumber(L"Repeat", repeat);
    const std::vector<double> launchOnly = differences(full, finalOnly);
    const double typical = median(launchOnly);
    const bool met = std::abs(typical - nominal) <= nominal * 0.03;
    record(L"launch-wait", L"Rest(1) minus Rest(1) with Repeat=0", L"ms", launchOnly, 0,
           fixed(nominal, 0) + L" ms ±3%", verdict(met));
    emit(L"launch-wait OD-off median " + fixed(typical, 0) + L" ms (goal " + fixed(nominal, 0) +
         L" ms ±3%) " + verdict(met) + L"   [Rest(1) " + fixed(median(full), 0) +
         L" ms - Rest(1) with Repeat=0 " + fixed(median(finalOnly), 0) + L" ms; " +
         count(full.size()) + L" runs each, " + range(launchOnly, 0) + L" ms; " +
         machineBusy(usage) + L"]");
    return 0;
}

// The process's processor time over `action`, as a share of one core's time over the same
// wall-clock span; the span itself goes to `wallMs`.
template <typename Action> double cpuPercentOf(Action action, std::vector<double>& wallMs) {
    const std::int64_t before = processCpu100ns();
    const Stopwatch watch;
    action();
    const double elapsedMs = watch.elapsedMs();
    wallMs.push_back(elapsedMs);
    return double(processCpu100ns() - before) / 10'000.0 * 100.0 / elapsedMs;
}

// What the steps of a rest cost without the component: Atom-ms sleeps on the platform clock to
// fixed deadlines, each followed by one usage sample, for `spanMs`.
void platformSteps(double spanMs, std::int32_t atomMs) {
    const auto clock = win32::makeClock();
    const auto system = win32::makeSystem();
    const Stopwatch watch;
    for (double deadline = atomMs; deadline <= spanMs; deadline += atomMs) {
        clock->sleep(std::int32_t(std::ceil(std::max(deadline - watch.elapsedMs(), 0.0))));
        system->processorTimes();
    }
}

// The process's own processor time (all its threads, kernel and user) over a Rest(10), as a
// share of one core, against the same number of bare steps of the platform in the same process
// (the floor any rest made of such steps costs), alternating.
int restCpu(const Arguments& args) {
    const long runs = numberArgument(args, 1, 3);
    const Apartment com;
    const Component kelmo;
    const auto atomMs = std::int32_t(kelmo.number(L"Atom"));
    const MachineUsage usage;
    std::vector<double> percent, floorPercent, restMs, floorMs;
    timedRuns(runs, 25000, [&] {
        percent.push_back(cpuPercentOf([&] { kelmo.rest(10); }, restMs));
        floorPercent.push_back(
            cpuPercentOf([&] { platformSteps(restMs.back(), atomMs); }, floorMs));
    });
    const double typical = median(percent);
    record(L"rest-cpu", L"Rest(10), own processor time", L"% of a core", percent, 3, L"< 0.5%",
           verdict(typical < 0.5));
    record(L"rest-cpu", L"the platform's steps alone: sleep and usage sample, as many (peer)",
           L"% of a core", floorPercent, 3, L"-", L"peer");
    emit(L"rest-cpu median " + fixed(typical, 3) + L"% of one core during Rest(10) (goal < 0.5%) " +
         verdict(typical < 0.5) + L"   [" + count(restMs.size()) + L" runs of " +
         fixed(median(restMs) / 1000.0, 1) + L" s, " + range(percent, 3) +
         L"%; the platform's steps alone " + fixed(median(floorPercent), 3) + L"%; " +
         machineBusy(usage) + L"]");
    return 0;
}

// Send with fast pacing (Atom 1, Mol1 1, OD on) of a script of N pieces, into the key recorder.
// Its specified waits: the guard's pace wait, one pace wait before each piece and the launch
// wait, which with OD on is one Mol1 of idleness: (N + 2) * Mol1 ms. What is left is the
// overhead, per piece; it includes the time the recorder takes to handle the keys.
int sendOverhead(const Arguments& args) {
    if (args.size() < 2) throw KelmoError(errors::InvalidCall, L"send <log> [pieces] [runs]");
    const std::wstring log = args[1];
    const long pieces = numberArgument(args, 2, 300);
    const long runs = numberArgument(args, 3, 3);
    waitForRecorderInFront(log);
    const Apartment com;
    const Component kelmo;
    kelmo.paceFast();
    constexpr long FastMs = Component::FastMs;

    const wchar_t* const cycle[] = {L"a", L"+b", L"{%}", L"7", L"{(}"};
    const wchar_t typed[] = L"aB%7(";
    std::wstring script, expected;
    for (long i = 0; i < pieces; ++i) {
        script += cycle[i % 5];
        expected += typed[i % 5];
    }
    const MachineUsage usage;
    const std::vector<double> ms = timedRuns(runs, 1e9, [&] { kelmo.send(script); });

    const double waits = double(pieces + 2) * double(FastMs);
    const double typical = median(ms);
    const double perPiece = (typical - waits) / double(pieces);
    std::wstring all;
    for (std::size_t i = 0; i < ms.size(); ++i)
        all += expected;
    const bool received = loggedCharacters(log) == all;
    std::vector<double> perPieceRuns;
    for (const double run : ms)
        perPieceRuns.push_back((run - waits) / double(pieces));
    record(L"send-overhead", L"Send, per piece beyond its waits", L"ms", perPieceRuns, 2, L"< 2 ms",
           verdict(perPiece < 2.0 && received));
    emit(L"send-overhead " + fixed(perPiece, 2) + L" ms per piece beyond its waits (goal < 2 ms) " +
         verdict(perPiece < 2.0 && received) + L"   [Send of " + count(std::size_t(pieces)) +
         L" pieces: median " + fixed(typical, 0) + L" ms (" + range(ms, 0) +
         L"), specified waits " + fixed(waits, 0) + L" ms; " + count(ms.size()) + L" runs; keys " +
         (received ? L"all received in order" : L"NOT received as sent") + L"; " +
         machineBusy(usage) + L"]");
    return 0;
}

// The platform clock's sleep of one default Atom (25 ms): how much later than asked it returns.
int clockSleep(const Arguments& args) {
    const long sleeps = numberArgument(args, 1, 40);
    const auto clock = win32::makeClock();
    const MachineUsage usage;
    const std::vector<double> ms = timedRuns(sleeps, 1e9, [&] { clock->sleep(25); });
    record(L"clock-sleep", L"Sleep of 25 ms on the platform clock", L"ms", ms, 2, L"-", L"info");
    emit(L"clock-sleep(25 ms) median " + fixed(median(ms), 2) + L" ms (info, no goal)   [" +
         count(ms.size()) + L" sleeps, " + range(ms, 2) + L" ms; " + machineBusy(usage) + L"]");
    return 0;
}

} // namespace kelmo::bench
