// The shared pieces of KelmoBench: stopwatch, Unix wall clock, statistics, formatting, output
// and files.
#include "common.h"

#include "toolio.h"

#include "base/error.h"

#include "platform/win32/implementations.h"
#include "platform/win32/perfcounter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <tuple>
#include <utility>

namespace kelmo::bench {

namespace {

// FILETIME counts 100 ns from 1601; Unix time starts 11644473600 seconds later.
constexpr std::int64_t UnixEpochIn100ns = 116444736000000000LL;

using WallClockReader = VOID(WINAPI*)(LPFILETIME);

// The precise wall clock where the system has one (Windows 8 and later), else the tick-based one.
WallClockReader wallClockReader() {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const FARPROC precise =
        kernel ? GetProcAddress(kernel, "GetSystemTimePreciseAsFileTime") : nullptr;
    if (!precise) return &GetSystemTimeAsFileTime;
    return reinterpret_cast<WallClockReader>(reinterpret_cast<void*>(precise));
}

} // namespace

Stopwatch::Stopwatch() : start_(win32::performanceCounter()) {}

double Stopwatch::elapsedMs() const {
    return double(win32::performanceCounter() - start_) * 1000.0 /
           double(win32::performanceFrequency());
}

std::int64_t unixMicroseconds() {
    FILETIME now{};
    wallClockReader()(&now);
    const std::int64_t ticks =
        (std::int64_t(now.dwHighDateTime) << 32) | std::int64_t(now.dwLowDateTime);
    return (ticks - UnixEpochIn100ns) / 10;
}

namespace {

// Busy and total processor time so far, in 100 ns units (kernel time includes idle time).
std::pair<std::uint64_t, std::uint64_t> machineTimes() {
    const auto times = win32::makeSystem()->processorTimes();
    if (!times) return {0, 0};
    const std::uint64_t total = times->kernel + times->user;
    return {total - times->idle, total};
}

} // namespace

MachineUsage::MachineUsage() {
    std::tie(busy_, total_) = machineTimes();
}

double MachineUsage::percent() const {
    const auto [busy, total] = machineTimes();
    return total > total_ ? double(busy - busy_) * 100.0 / double(total - total_) : 0.0;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

Spread spreadOf(std::vector<double> values) {
    if (values.empty()) return {};
    std::sort(values.begin(), values.end());
    const auto rank = [&](double share) {
        const auto index = static_cast<std::size_t>(std::ceil(share * double(values.size())));
        return values[std::clamp<std::size_t>(index, 1, values.size()) - 1];
    };
    return {median(values), rank(0.1), rank(0.9), values.size()};
}

void record(const std::wstring& figure, const std::wstring& row, const std::wstring& unit,
            const std::vector<double>& values, int decimals, const std::wstring& goal,
            const std::wstring& verdict) {
    const Spread spread = spreadOf(values);
    emit(L"RECORD\t" + figure + L"\t" + row + L"\t" + unit + L"\t" +
         fixed(spread.median, decimals) + L"\t" + fixed(spread.p10, decimals) + L"\t" +
         fixed(spread.p90, decimals) + L"\t" + std::to_wstring(spread.count) + L"\t" + goal +
         L"\t" + verdict);
}

double minimum(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

double maximum(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

std::wstring fixed(double value, int decimals) {
    wchar_t buffer[64];
    swprintf(buffer, 64, L"%.*f", decimals, value);
    return buffer;
}

std::wstring verdict(bool met) {
    return met ? L"PASS" : L"MISS";
}

std::wstring count(std::size_t n) {
    return std::to_wstring(n);
}

std::wstring machineBusy(const MachineUsage& usage) {
    return L"machine busy " + fixed(usage.percent(), 0) + L"%";
}

std::vector<double> differences(const std::vector<double>& a, const std::vector<double>& b,
                                double minus) {
    std::vector<double> result;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        result.push_back(a[i] - b[i] - minus);
    return result;
}

void emit(const std::wstring& line) {
    testtools::printLine(line);
}

std::wstring requiredArgument(const Arguments& args, std::size_t index, const wchar_t* usage) {
    if (index >= args.size()) throw KelmoError(errors::InvalidCall, usage);
    return args[index];
}

long numberArgument(const Arguments& args, std::size_t index, long fallback) {
    if (index >= args.size()) return fallback;
    const auto value = testtools::parseNumber(args[index]);
    return value ? long(*value) : fallback;
}

bool hasFlag(const Arguments& args, const wchar_t* flag) {
    return std::find(args.begin(), args.end(), flag) != args.end();
}

std::wstring readUtf8File(const std::wstring& path) {
    return testtools::fromUtf8(readFileBytes(path));
}

bool writeUtf8(const std::wstring& path, const std::wstring& text) {
    return testtools::writeUtf8File(path, text);
}

} // namespace kelmo::bench
