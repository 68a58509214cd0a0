// The processor usage statistics on Win32: the registry statistic and GetSystemTimes.
#include <windows.h>

#include <set>

#include "platform/win32/codepages.h"
#include "platform/win32/owned.h"
#include "platform/win32/implementations.h"

namespace kelmo::win32 {

namespace {

std::uint64_t ticksOf(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

class Win32System final : public platform::System {
public:
    std::optional<std::uint32_t> queryDynDataCpuUsage(const std::wstring& key) override {
        // Only the 9x family publishes dynamic data; a system that has no such key now will
        // not grow one, so it is not asked again (each question costs a kernel call).
        if (absentKeys_.count(key)) return std::nullopt;
        RegistryKey statistics;
        const LONG opened =
            RegOpenKeyExA(HKEY_DYN_DATA, narrowText(key, CP_ACP).c_str(), 0, 0, statistics.put());
        if (opened == ERROR_FILE_NOT_FOUND || opened == ERROR_INVALID_HANDLE)
            absentKeys_.insert(key);
        if (opened != ERROR_SUCCESS) return std::nullopt;
        DWORD value = 0, size = sizeof value;
        const LONG queried = RegQueryValueExA(statistics.get(), "KERNEL\\CPUUsage", nullptr,
                                              nullptr, reinterpret_cast<BYTE*>(&value), &size);
        // A key opened without access rights that refuses the query never answers it.
        if (queried == ERROR_ACCESS_DENIED) absentKeys_.insert(key);
        if (queried != ERROR_SUCCESS) return std::nullopt;
        return value;
    }

    std::optional<ProcessorTimes> processorTimes() override {
        FILETIME idle{}, kernel{}, user{};
        if (!GetSystemTimes(&idle, &kernel, &user)) return std::nullopt;
        return ProcessorTimes{ticksOf(idle), ticksOf(kernel), ticksOf(user)};
    }

private:
    std::set<std::wstring> absentKeys_;
};

} // namespace

std::unique_ptr<platform::System> makeSystem() {
    return std::make_unique<Win32System>();
}

} // namespace kelmo::win32
