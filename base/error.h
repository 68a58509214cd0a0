// KelmoError: the one exception type of the component. It carries an error number and a
// description; the dispatch boundary turns it into an automation error. Small numbers are the
// classic run-time errors (5, 6, 9, 13, 91 ...); a failure of a platform service keeps that
// service's HRESULT (a negative 32-bit value) as its number.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace kelmo {

class KelmoError {
public:
    KelmoError(std::int32_t number, std::wstring description)
        : number_(number), description_(std::move(description)) {}

    std::int32_t number() const { return number_; }
    const std::wstring& description() const { return description_; }

private:
    std::int32_t number_;
    std::wstring description_;
};

namespace errors {
inline constexpr std::int32_t InvalidCall = 5;
inline constexpr std::int32_t Overflow = 6;
inline constexpr std::int32_t SubscriptOutOfRange = 9;
inline constexpr std::int32_t TypeMismatch = 13;
inline constexpr std::int32_t FileNotFound = 53;
inline constexpr std::int32_t PermissionDenied = 70;
inline constexpr std::int32_t PathNotFound = 76;
inline constexpr std::int32_t ObjectNotSet = 91;
inline constexpr std::int32_t InvalidPropertyValue = 380;
inline constexpr std::int32_t InvalidPicture = 481;
inline constexpr std::int32_t NotImplemented = 445;
// RPC_E_SERVERCALL_RETRYLATER: a member that acts was called while another member of the same
// object was still running (from a message pumped during its waits).
inline constexpr std::int32_t Busy = static_cast<std::int32_t>(0x8001010Au);
// CLIPBRD_E_CANT_OPEN: the user's clipboard could not be put back after a paste (another
// program kept it open until the user gave up).
inline constexpr std::int32_t ClipboardNotRestored = static_cast<std::int32_t>(0x800401D0u);

std::wstring standardDescription(std::int32_t number);
[[noreturn]] void raise(std::int32_t number);
[[noreturn]] void raise(std::int32_t number, const std::wstring& detail);
} // namespace errors

// The HRESULT an automation client receives for an error number: 0x800A0000 + n for the
// classic run-time numbers, the number itself for platform HRESULTs.
std::int32_t automationScode(std::int32_t number);

} // namespace kelmo
