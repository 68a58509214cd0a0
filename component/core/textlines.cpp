// Reading the first lines of a text file block by block.
#include "component/core/textlines.h"

#include <algorithm>
#include <utility>

namespace kelmo {

namespace {

constexpr std::size_t BlockBytes = 64 * 1024;

// Cuts lines off the bytes as they come. A CR ends a line at once; an LF right after it, even
// in the next block, belongs to that end.
class LineCutter {
public:
    explicit LineCutter(const LineLimits& limits) : limits_(limits) {}

    bool full() const { return lines_.size() >= limits_.lines; }

    void take(const std::string& block) {
        for (const char byte : block) {
            if (full()) return;
            if (std::exchange(afterCr_, false) && byte == '\n') continue;
            if (byte == '\r') {
                endLine();
                afterCr_ = true;
            } else {
                started_ = true;
                if (line_.size() < limits_.lineBytes) line_.push_back(byte);
            }
        }
    }

    std::vector<std::string> finish() {
        if (started_ && !full()) endLine();
        return std::move(lines_);
    }

private:
    void endLine() {
        lines_.push_back(std::move(line_));
        line_.clear();
        started_ = false;
    }

    const LineLimits limits_;
    std::vector<std::string> lines_;
    std::string line_;     // the kept start of the line under way
    bool started_ = false; // the line under way holds a byte
    bool afterCr_ = false; // the byte before ended a line with CR
};

} // namespace

std::vector<std::string> firstLines(const ReadBytes& read, const LineLimits& limits) {
    LineCutter cutter(limits);
    for (std::size_t left = limits.fileBytes; left > 0 && !cutter.full();) {
        std::string block = read(std::min(left, BlockBytes));
        if (block.empty()) break;
        if (block.size() > left) block.resize(left);
        left -= block.size();
        cutter.take(block);
    }
    return cutter.finish();
}

} // namespace kelmo
