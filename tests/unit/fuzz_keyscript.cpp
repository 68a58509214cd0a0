// libFuzzer target for the key-script parser, the input bytes two at a time as UTF-16 units. Only
// error 5 may escape, its description bounded; at most three actions a unit, counts in range, each
// modifier pressed once at a time and released in reverse order, none left held.
#include "component/core/keyscript.h"

#include "base/error.h"

#include <algorithm>
#include <cstdlib>

using namespace kelmo;
using Kind = platform::KeyAction::Kind;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring script;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        script += wchar_t(data[i] | (data[i + 1] << 8));
    std::vector<platform::KeyAction> actions;
    try {
        actions = parseKeyScript(script);
    } catch (const KelmoError& e) {
        if (e.number() != errors::InvalidCall || e.description().size() >= 400) std::abort();
        return 0;
    }
    std::vector<platform::Modifier> held;
    for (const platform::KeyAction& a : actions) {
        const bool press = a.kind == Kind::PressModifier, release = a.kind == Kind::ReleaseModifier;
        if (press && std::ranges::count(held, a.modifier)) std::abort();
        if (release && (held.empty() || held.back() != a.modifier)) std::abort();
        if (!press && !release && (a.repeat < 1 || a.repeat > MaxRepeatCount)) std::abort();
        if (press) held.push_back(a.modifier);
        if (release) held.pop_back();
    }
    if (actions.size() > 3 * script.size() || !held.empty()) std::abort();
    return 0;
}
