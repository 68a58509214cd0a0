// The object's tuning: the public variables a script assigns to pace the run, every default
// of the object's state, and the longest text its boxes show, written once here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelmo {

namespace defaults {
inline constexpr std::int32_t Atom = 25;      // ms slept per idle sample
inline constexpr std::int32_t Mol1 = 100;     // idle ms of PaceWait, and SettleMs under ODOn
inline constexpr std::int32_t Mol2 = 1000;    // SettleMs under ODOff
inline constexpr std::int32_t Speed = 90;     // usage percent from which a sample counts busy
inline constexpr bool ODflag = true;          // LaunchWait settles one round only
inline constexpr std::int16_t Repeat = 5;     // LaunchWait's rounds while ODflag is False
inline constexpr std::int32_t RestMax = 10;   // seconds of Rest and RestOld given 0
inline constexpr std::int32_t SettleMs = 100; // idle ms of one LaunchWait round
inline constexpr std::int16_t IEIdleMs = 600; // browser not-busy ms that Send waits for
} // namespace defaults

// Message boxes show no more of their text than about a screen full. The rest is cut off
// before the box is made: laying out a text of a million characters holds the box back for
// a minute, with no way to pause.
inline constexpr std::size_t BoxTextChars = 8192;

// The tuning variables, stored and read by the script without checks or side effects.
struct Tuning {
    std::int32_t Atom = defaults::Atom;
    std::int32_t Mol1 = defaults::Mol1;
    std::int32_t Mol2 = defaults::Mol2;
    std::int32_t Speed = defaults::Speed;
    bool ODflag = defaults::ODflag;
    std::int16_t Repeat = defaults::Repeat;
    std::int32_t RestMax = defaults::RestMax;
};

} // namespace kelmo
