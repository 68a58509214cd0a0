// Key actions: what the key injector delivers, in order. Modifier presses and releases, named
// virtual keys and characters, each key with a repeat count. Which keys of a keyboard layout
// type a character is the injector's business; what a key script means is the component's.
#pragma once

#include <cstdint>

namespace kelmo::platform {

enum class Modifier : std::uint8_t { Shift, Ctrl, Alt };

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
    std::uint32_t repeat = 1; // VirtualKey, Character: at least 1

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

} // namespace kelmo::platform
