// libFuzzer target for FldSetD's arguments, UTF-16 units split at U+0000. The ones with a dot are
// the patterns in order, the last one ending in "_D" (any case) the gather name, the last other
// one, trimmed, the source, which asks the user when it is "?" or "Browse" (any case) or missing.
#include "component/core/folderwork.h"

#include "base/text.h"

#include <cstdlib>

using namespace kelmo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::wstring> args(size >= 2 ? 1 : 0), patterns;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const auto unit = wchar_t(data[i] | (data[i + 1] << 8));
        unit == 0 ? args.emplace_back() : args.back() += unit;
    }
    const auto same = [](const auto& a, const auto& b) { return text::lower(a) == text::lower(b); };
    std::wstring gatherName, source = L"?";
    for (const std::wstring& a : args)
        (a.find(L'.') != std::wstring::npos ? patterns.emplace_back()
         : text::endsWithNoCase(a, L"_D")   ? gatherName
                                            : source) = a;
    source = text::trimSpaces(source);
    const bool asks = same(source, L"?") || same(source, L"Browse");
    const GatherArguments got = classifyGatherArguments(args, same);
    if (got.patterns != patterns || got.gatherName != gatherName || got.source.asksUser() != asks ||
        (!asks && got.source.path() != source))
        std::abort();
    return 0;
}
