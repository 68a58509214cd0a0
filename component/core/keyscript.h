// Key scripts in the SendKeys syntax, parsed into the key actions the platform's injector
// delivers in order: modifier presses and releases, named virtual keys and characters, each key
// with a repeat count. A malformed script raises KelmoError 5 and yields no action at all.
#pragma once

#include "platform/keyactions.h"

#include <cstdint>
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

// How Send cuts a script into the pieces it paces one by one: one key with the run of modifiers
// before it (a CR LF pair or a surrogate pair is one key), one brace group ("{}}" and "{} 3}"
// included), or one parenthesised group with the groups and brace groups inside it. i is the
// 1-based position the piece starts at and is left on its last character. Positions are
// 16-bit: a group never closed fails with the overflow error 6.
std::wstring nextPiece(const std::wstring& script, std::int32_t& i);

} // namespace kelmo
