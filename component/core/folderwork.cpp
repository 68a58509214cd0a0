// FldSetD's argument classification and the folder keywords.
#include "component/core/folderwork.h"

#include "base/text.h"

namespace kelmo {

bool asksForFolder(const std::wstring& request, const SameText& sameText) {
    return sameText(request, L"?") || sameText(request, L"Browse");
}

GatherArguments classifyGatherArguments(const std::vector<std::wstring>& arguments,
                                        const SameText& sameText) {
    GatherArguments result;
    for (const std::wstring& argument : arguments) {
        if (argument.find(L'.') != std::wstring::npos)
            result.patterns.push_back(argument);
        else if (argument.size() >= 2 && sameText(text::right(argument, 2), L"_D"))
            result.gatherName = argument;
        else
            result.source = argument;
    }
    return result;
}

} // namespace kelmo
