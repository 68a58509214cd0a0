// Shared pieces of KelmoBench: the stopwatch, the wall clock in Unix time, medians, number
// formatting, report lines, UTF-8 files and the per-figure entry points the command line picks.
#pragma once

#include <windows.h>

#include "toolio.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kelmo::bench {

using testtools::readFileBytes;

using Arguments = std::vector<std::wstring>;

// Elapsed time on the performance counter.
class Stopwatch {
public:
    Stopwatch();
    double elapsedMs() const;

private:
    std::int64_t start_;
};

// The wall clock in microseconds since 1970, the clock shell tools read too ($EPOCHREALTIME).
std::int64_t unixMicroseconds();

// The whole machine's busy share since construction, from the platform's processor times (what
// the pace waits read), in percent.
class MachineUsage {
public:
    MachineUsage();
    double percent() const;

private:
    std::uint64_t busy_ = 0, total_ = 0;
};

double median(std::vector<double> values);
// The median and the 10th and 90th percentiles (nearest rank) of the values.
struct Spread {
    double median = 0, p10 = 0, p90 = 0;
    std::size_t count = 0;
};
Spread spreadOf(std::vector<double> values);
double minimum(const std::vector<double>& values);
double maximum(const std::vector<double>& values);

// A number with the given decimals, "12.3".
std::wstring fixed(double value, int decimals);
std::wstring verdict(bool met);
std::wstring count(std::size_t n);
// "machine busy 12%": the machine's busy share since `usage` was constructed.
std::wstring machineBusy(const MachineUsage& usage);
// a[i] - b[i] - minus, run by run, as far as both go.
std::vector<double> differences(const std::vector<double>& a, const std::vector<double>& b,
                                double minus = 0);
// One line on stdout at once (the shell script reads the output as it comes).
void emit(const std::wstring& line);

// One row of a figure's table in BENCHMARKS.md, on stdout for bench/run.sh to collect:
// "RECORD <figure> <row> <unit> <median> <p10> <p90> <count> <goal> <verdict>", tab-separated.
// A peer's row has the goal "-" and the verdict "peer".
void record(const std::wstring& figure, const std::wstring& row, const std::wstring& unit,
            const std::vector<double>& values, int decimals, const std::wstring& goal,
            const std::wstring& verdict);

// The argument at `index`; a KelmoError naming the command's `usage` when it is absent.
std::wstring requiredArgument(const Arguments& args, std::size_t index, const wchar_t* usage);
// The argument at `index` as a whole number, or `fallback` when it is absent.
long numberArgument(const Arguments& args, std::size_t index, long fallback);
bool hasFlag(const Arguments& args, const wchar_t* flag);

std::wstring readUtf8File(const std::wstring& path);
bool writeUtf8(const std::wstring& path, const std::wstring& text);

// The figures, one per command (component_figures.cpp, usage_windows.cpp, typing.cpp).
int clockSleep(const Arguments& args);
int paceWait(const Arguments& args);
int launchWait(const Arguments& args);
int restCpu(const Arguments& args);
int sendOverhead(const Arguments& args);
int usageWindows(const Arguments& args);
int makeText(const Arguments& args);
int typeWithInjector(const Arguments& args);
int sendBurst(const Arguments& args);
int watchRecorder(const Arguments& args);
int verifyReceived(const Arguments& args);
int objectCreation(const Arguments& args);
int hostMemory(const Arguments& args);
int viewerPainted(const Arguments& args);
int launchOwnTime(const Arguments& args);
int folderCopy(const Arguments& args);
int popupTimeout(const Arguments& args);
int restAtoms(const Arguments& args);

} // namespace kelmo::bench
