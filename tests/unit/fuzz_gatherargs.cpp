// libFuzzer target for FldSetD's argument classification: the input bytes, two at a time as
// UTF-16 units, are split at U+0000 into arguments. Every argument must land in exactly one
// class: the ones with a dot as patterns in their order, the last one ending in "_D" (any case)
// without a dot as the gather name, the last other one as the source ("?" when none).
#include "component/core/folderwork.h"

#include "base/text.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> arguments(const std::uint8_t* data, std::size_t size) {
    std::vector<std::wstring> result(1);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const auto unit = wchar_t(std::uint16_t(data[i] | (data[i + 1] << 8)));
        if (unit == 0)
            result.emplace_back();
        else
            result.back().push_back(unit);
    }
    if (size < 2) result.clear();
    return result;
}

void check(bool condition) {
    if (!condition) std::abort();
}

bool sameText(const std::wstring& a, const std::wstring& b) {
    return kelmo::text::lower(a) == kelmo::text::lower(b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::wstring> args = arguments(data, size);
    const kelmo::GatherArguments classified = kelmo::classifyGatherArguments(args, sameText);

    std::vector<std::wstring> patterns;
    std::wstring gatherName, source = L"?";
    for (const std::wstring& a : args) {
        if (a.find(L'.') != std::wstring::npos)
            patterns.push_back(a);
        else if (kelmo::text::endsWithNoCase(a, L"_D"))
            gatherName = a;
        else
            source = a;
    }
    check(classified.patterns == patterns);
    check(classified.gatherName == gatherName);
    check(classified.source == source);
    check(gatherName.empty() || gatherName.find(L'.') == std::wstring::npos);
    kelmo::asksForFolder(source, sameText);
    return 0;
}
