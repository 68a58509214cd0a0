// libFuzzer target for the viewer's line reader: the first bytes choose the limits and the block
// sizes, the rest is the file. The lines must be those of a plain reading of the whole file,
// whatever the blocks, and no more than the limit may be read.
#include "component/core/textlines.h"

#include <algorithm>
#include <cstdlib>

// The file cut where reading stops, split at every CR or CR LF; then the first lines, each cut.
static std::vector<std::string> plainReading(std::string bytes, const kelmo::LineLimits& limits) {
    bytes.resize(std::min(bytes.size(), limits.fileBytes));
    std::vector<std::string> lines;
    for (std::size_t start = 0, i = 0; i <= bytes.size(); ++i)
        if (i == bytes.size() ? start < i : bytes[i] == '\r') {
            lines.push_back(bytes.substr(start, i - start).substr(0, limits.lineBytes));
            i += i + 1 < bytes.size() && bytes[i + 1] == '\n';
            start = i + 1;
        }
    lines.resize(std::min(lines.size(), limits.lines));
    return lines;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    const std::size_t fileBytes = data[2] | (data[3] << 8);
    const kelmo::LineLimits limits{1u + data[0] % 8u, data[1] == 0xFF ? SIZE_MAX : data[1] % 32u,
                                   fileBytes == 0xFFFF ? SIZE_MAX : fileBytes};
    std::uint32_t blocks = data[4] * 2654435761u + 1; // picks the block sizes, 1 to 16 bytes
    const std::string file(reinterpret_cast<const char*>(data) + 5, size - 5);
    std::size_t next = 0;
    const kelmo::ReadBytes read = [&](std::size_t maxBytes) {
        if (maxBytes == 0) std::abort();
        blocks = blocks * 1103515245u + 12345u;
        const std::string bytes =
            file.substr(next, std::min<std::size_t>(maxBytes, 1 + (blocks >> 16) % 16));
        next += bytes.size();
        return bytes;
    };
    if (kelmo::firstLines(read, limits) != plainReading(file, limits) || next > limits.fileBytes)
        std::abort();
    return 0;
}
