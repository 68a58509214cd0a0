// Folder requests and FldSetD's argument classification.
#include "component/core/folderwork.h"

#include "base/text.h"

namespace kelmo {

FolderRequest FolderRequest::fromText(const std::wstring& text, const SameText& sameText) {
    if (sameText(text, L"?") || sameText(text, L"Browse")) return askUser();
    return FolderRequest(text);
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
            result.source = FolderRequest::fromText(text::trimSpaces(argument), sameText);
    }
    return result;
}

} // namespace kelmo
