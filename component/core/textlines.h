// The lines of a text file as the viewer reads them: the bytes come from the platform in
// blocks, a line ends at CR or CR LF (a lone LF stays in the line), and only the first lines,
// each with its first bytes, are kept. Windows-free, so that it can be fuzzed natively.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace kelmo {

struct LineLimits {
    std::size_t lines;     // lines kept; reading stops after the last of them
    std::size_t lineBytes; // bytes kept of each line, the rest of the line is skipped
    std::size_t fileBytes; // bytes read at most: what lies beyond counts as the file's end
};

// The next bytes of a file, at most `maxBytes` of them; none at its end.
using ReadBytes = std::function<std::string(std::size_t maxBytes)>;

// Reads lines through `read` until the file ends or the limits are reached. A last line
// without its end counts when it holds any byte.
std::vector<std::string> firstLines(const ReadBytes& read, const LineLimits& limits);

} // namespace kelmo
