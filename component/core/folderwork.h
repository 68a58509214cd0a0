// What the folder members share beyond the object's state: FailureTrap, which runs a pass's
// steps so that a failing step is abandoned and only its error number is remembered;
// FolderRequest, what a pass is asked for (a path, or the user's choice); and the
// classification of FldSetD's arguments into a source, a gather name and wildcard patterns.
#pragma once

#include "base/error.h"

#include <cstdint>
#include <functional>
#include <optional>
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

// The folder a pass works on: the path the script gave, or the one the user chooses in the
// browse dialog and the confirmation box.
class FolderRequest {
public:
    static FolderRequest askUser() { return FolderRequest(std::nullopt); }
    // A script's folder argument, as the caller has trimmed it or not: "?" or "Browse" asks the
    // user; any other text, the empty one included, is the path.
    static FolderRequest fromText(const std::wstring& text, const SameText& sameText);

    bool asksUser() const { return !path_; }
    const std::wstring& path() const { return path_.value(); }

private:
    explicit FolderRequest(std::optional<std::wstring> path) : path_(std::move(path)) {}
    std::optional<std::wstring> path_;
};

// FldSetD's arguments, each classified on its own: one with a dot is a wildcard pattern, one
// ending in "_D" the gather name, any other the source, trimmed (the user chooses when none is
// given). Of the last two kinds the last one given wins.
struct GatherArguments {
    FolderRequest source = FolderRequest::askUser();
    std::wstring gatherName;
    std::vector<std::wstring> patterns; // in the order given
};
GatherArguments classifyGatherArguments(const std::vector<std::wstring>& arguments,
                                        const SameText& sameText);

} // namespace kelmo
