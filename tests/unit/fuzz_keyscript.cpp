// libFuzzer target for the key-script parser: the input bytes, taken two at a time as UTF-16
// units, are parsed as a script. Only KelmoError may escape; the result must stay within the
// bounds the parser promises (no more actions than the script allows, counts within range,
// presses and releases balanced and properly nested).
#include "component/core/keyscript.h"

#include "base/error.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using kelmo::platform::KeyAction;

namespace {

std::wstring utf16Units(const std::uint8_t* data, std::size_t size) {
    std::wstring script;
    script.reserve(size / 2);
    for (std::size_t i = 0; i + 1 < size; i += 2)
        script.push_back(wchar_t(std::uint16_t(data[i] | (data[i + 1] << 8))));
    return script;
}

void check(bool condition) {
    if (!condition) std::abort();
}

void checkActions(const std::wstring& script, const std::vector<KeyAction>& actions) {
    // Each script unit yields at most one key and one press and release of a modifier.
    check(actions.size() <= 3 * script.size());
    std::vector<kelmo::platform::Modifier> held;
    for (const KeyAction& a : actions) {
        switch (a.kind) {
        case KeyAction::Kind::PressModifier:
            for (auto m : held)
                check(m != a.modifier);
            held.push_back(a.modifier);
            check(held.size() <= 3);
            break;
        case KeyAction::Kind::ReleaseModifier:
            check(!held.empty() && held.back() == a.modifier);
            held.pop_back();
            break;
        case KeyAction::Kind::VirtualKey:
        case KeyAction::Kind::Character:
            check(a.repeat >= 1 && a.repeat <= kelmo::MaxRepeatCount);
            break;
        }
    }
    check(held.empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring script = utf16Units(data, size);
    try {
        checkActions(script, kelmo::parseKeyScript(script));
    } catch (const kelmo::KelmoError& e) {
        check(e.number() == kelmo::errors::InvalidCall);
        check(e.description().size() < 400);
    }
    return 0;
}
