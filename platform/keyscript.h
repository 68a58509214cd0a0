// Key scripts in the SendKeys syntax, parsed into the actions an injector performs in order:
// modifier presses and releases, named virtual keys and characters, each key with a repeat
// count. Platform-neutral: which keys of a keyboard layout type a character is the injector's
// business. A malformed script raises KelmoError 5 and yields no action at all.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kelmo::platform {

enum class Modifier : std::uint8_t { Shift, Ctrl, Alt };

// The largest repeat count a script may write ({a 2147483647}); larger counts are errors.
inline constexpr std::uint32_t kMaxRepeatCount = 0x7FFFFFFF;

struct KeyAction {
    enum class Kind : std::uint8_t {
        PressModifier,   // hold `modifier` down until the matching ReleaseModifier
        ReleaseModifier, // let `modifier` go; releases come in reverse order of the presses
        VirtualKey,      // press and release `virtualKey` `repeat` times
        Character,       // type `character` `repeat` times
    };
    Kind kind = Kind::Character;
    Modifier modifier = Modifier::Shift; // PressModifier, ReleaseModifier
    bool extended = false;               // VirtualKey: sent with the extended-key flag
    std::uint16_t virtualKey = 0;        // VirtualKey
    char32_t character = 0;   // Character: a code point (a lone surrogate stays as written)
    std::uint32_t repeat = 1; // VirtualKey, Character: 1 to kMaxRepeatCount

    static KeyAction press(Modifier m) { return {Kind::PressModifier, m, false, 0, 0, 0}; }
    static KeyAction release(Modifier m) { return {Kind::ReleaseModifier, m, false, 0, 0, 0}; }
    static KeyAction key(std::uint16_t vk, bool extended, std::uint32_t repeat = 1) {
        return {Kind::VirtualKey, Modifier::Shift, extended, vk, 0, repeat};
    }
    static KeyAction text(char32_t ch, std::uint32_t repeat = 1) {
        return {Kind::Character, Modifier::Shift, false, 0, ch, repeat};
    }

    friend bool operator==(const KeyAction&, const KeyAction&) = default;
};

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
std::vector<KeyAction> parseKeyScript(std::wstring_view script);

} // namespace kelmo::platform
