// libFuzzer target for the key-script parser: the input bytes, two at a time as UTF-16 units,
// are parsed as a script. Only error 5 may escape, with a description of bounded length; the
// actions stay within what the parser promises (at most three per script unit, counts in range,
// each modifier pressed once at a time and released in reverse order, none left held).
#include "component/core/keyscript.h"

#include "base/error.h"

#include <algorithm>
#include <cstdint>
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
    bool kept = actions.size() <= 3 * script.size();
    for (const platform::KeyAction& a : actions) {
        if (a.kind == Kind::PressModifier) kept &= std::ranges::count(held, a.modifier) == 0;
        if (a.kind == Kind::PressModifier) held.push_back(a.modifier);
        if (a.kind == Kind::ReleaseModifier) kept &= !held.empty() && held.back() == a.modifier;
        if (a.kind == Kind::ReleaseModifier && kept) held.pop_back();
        if (a.kind == Kind::VirtualKey || a.kind == Kind::Character)
            kept &= a.repeat >= 1 && a.repeat <= MaxRepeatCount;
    }
    if (!kept || !held.empty()) std::abort();
    return 0;
}
