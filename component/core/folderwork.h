// What the folder members share beyond the object's state: FailureTrap, which runs a pass's
// steps so that a failing step is abandoned and only its error number is remembered, and the
// classification of FldSetD's arguments into a source, a gather name and wildcard patterns.
#pragma once

#include "base/error.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kelmo {

// The latest failure of the steps run through it; 0 when none is remembered.
class FailureTrap {
public:
    std::int32_t number() const { return number_; }
    bool failed() const { return number_ != 0; }
    void forget() { number_ = 0; }
    void remember(std::int32_t number) { number_ = number; }

    // Runs `step`; a KelmoError abandons it and is remembered. True when the step completed.
    template <typename Step> bool run(Step&& step) {
        try {
            std::forward<Step>(step)();
            return true;
        } catch (const KelmoError& error) {
            number_ = error.number();
            return false;
        }
    }

private:
    std::int32_t number_ = 0;
};

// Compares two texts as the platform's text comparison does (case-insensitive).
using SameText = std::function<bool(const std::wstring&, const std::wstring&)>;

// "?" or "Browse": the user chooses the folder.
bool asksForFolder(const std::wstring& request, const SameText& sameText);

// FldSetD's arguments, each classified on its own: one with a dot is a wildcard pattern, one
// ending in "_D" the gather name, any other the source ("?" when none is given). Of the last
// two kinds the last one given wins.
struct GatherArguments {
    std::wstring source = L"?";
    std::wstring gatherName;
    std::vector<std::wstring> patterns; // in the order given
};
GatherArguments classifyGatherArguments(const std::vector<std::wstring>& arguments,
                                        const SameText& sameText);

} // namespace kelmo
