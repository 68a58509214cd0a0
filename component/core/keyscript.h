// Key scripts in the SendKeys syntax, parsed into the key actions the platform's injector
// delivers in order: modifier presses and releases, named virtual keys and characters, each key
// with a repeat count. A malformed script raises KelmoError 5 and yields no action at all.
#pragma once

#include "platform/keyactions.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelmo {

// The largest repeat count a script may write ({a 2147483647}); larger counts are errors.
inline constexpr std::uint32_t MaxRepeatCount = 0x7FFFFFFF;
// The whole script, checked before anything is returned:
// - "+", "^", "%" press Shift, Ctrl, Alt around the next key, or around every key of the
//   parenthesised group that follows (groups nest up to three levels; a modifier already held
//   by the run or an enclosing group is an error). A run of modifiers at the very end of the
//   script presses nothing; a run directly before ")" is an error.
// - "~", and a line break (CR LF, CR or LF) press Enter once.
// - "{name}" or "{name count}": a named key (case-insensitive) or one character; "{}}" and
//   "{} 3}" name "}". A count of 0 types nothing, and its modifiers are not pressed either.
// - Any other character, "[" and "]" included, is typed as that character; a surrogate pair
//   is one character.
// Keys of a repeat count are not expanded: the action carries the count. Groups that type no
// key leave no action. Throws KelmoError 5 whose description names the offending text.
std::vector<platform::KeyAction> parseKeyScript(std::wstring_view script);

// A chord of raw key events, each a virtual-key code: `key`, then `extra1` and `extra2` where
// given, pressed in that order and released in reverse order.
struct Chord {
    std::uint8_t key = 0;
    std::optional<std::uint8_t> extra1, extra2;
    friend bool operator==(const Chord&, const Chord&) = default;
};

// One piece of a script as Send delivers it.
struct Piece {
    enum class Kind : std::uint8_t {
        Keys,          // typed through the key injector: parseKeyScript(text)
        Chord,         // "{ESC}" or "{TAB}" after up to two modifiers: `chord` pressed once
        RepeatedChord, // "{TAB n}": `chord` pressed `count` times
        PrintScreen,   // "{PRTSC}": one Print Screen key-down with `scan`
    };
    Kind kind = Kind::Keys;
    std::wstring text;     // the piece as written
    Chord chord;           // Chord, RepeatedChord
    std::wstring count;    // RepeatedChord: the count as written, for a script's Integer conversion
    std::uint8_t scan = 0; // PrintScreen: 0 after "%" (the active window), else 1 (the screen)
};

// How Send cuts a script into the pieces it paces one by one: one key with the run of modifiers
// before it (a CR LF pair or a surrogate pair is one key), one brace group ("{}}" and "{} 3}"
// included), or one parenthesised group with the groups and brace groups inside it. i is the
// 1-based position the piece starts at and is left on its last character. Positions are
// 16-bit: a group never closed fails with the overflow error 6.
// A brace piece is told by its ending, ignoring case: "{PRTSC}" is Print Screen; "{ESC}" and
// "{TAB}" are chords with the modifiers among the two characters before them; one holding
// "{TAB " anywhere is a repeated Tab chord, its count between the first blank and the closing
// brace, its modifiers the last two before the first "{". Every other piece is Keys.
Piece nextPiece(const std::wstring& script, std::int32_t& i);

} // namespace kelmo
