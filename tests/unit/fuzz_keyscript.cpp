// libFuzzer target for the key-script parser: the input bytes, two at a time as UTF-16 units,
// are parsed as a script. Only error 5 may escape, with a description of bounded length; the
// actions stay within what the parser promises (at most three per script unit, counts in range,
// each modifier pressed once at a time and released in reverse order, none left held).
#include "component/core/keyscript.h"

#include "base/error.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using kelmo::platform::KeyAction;

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

void checkActions(const std::wstring& script, const std::vector<KeyAction>& actions) {
    check(actions.size() <= 3 * script.size());
    std::vector<kelmo::platform::Modifier> held;
    for (const KeyAction& a : actions) {
        if (a.kind == KeyAction::Kind::PressModifier) {
            for (auto m : held)
                check(m != a.modifier);
            held.push_back(a.modifier);
        } else if (a.kind == KeyAction::Kind::ReleaseModifier) {
            check(!held.empty() && held.back() == a.modifier);
            held.pop_back();
        } else {
            check(a.repeat >= 1 && a.repeat <= kelmo::MaxRepeatCount);
        }
    }
    check(held.empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring script;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        script.push_back(wchar_t(std::uint16_t(data[i] | (data[i + 1] << 8))));
    try {
        checkActions(script, kelmo::parseKeyScript(script));
    } catch (const kelmo::KelmoError& e) {
        check(e.number() == kelmo::errors::InvalidCall && e.description().size() < 400);
    }
    return 0;
}
