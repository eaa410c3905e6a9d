#pragma once
// The source line each "linha:" line of the log stands for, for the double click on the log. A
// run may fail at every one of a million records, and adding must cost next to nothing, in time
// and in fresh memory: a line is kept as a 64-bit hash of its bytes and its line's distance from
// the start of its stretch, 12 bytes in order, and found by a walk from the newest when the
// operator double-clicks. A stretch is a run of lines of one source; a million lines hold one.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sivaro {

class FailedLineIndex {
  public:
    // `logLine` in the engine's code page. A line given again answers with its last source line.
    void add(std::string_view logLine, const std::string& source, std::int64_t line);
    // The source and line of `logLine`, or nothing when no failed record gave that line.
    std::optional<std::pair<std::string, std::int64_t>> find(std::string_view logLine) const;

  private:
    // Three 32-bit words, so that the deque packs them without padding.
    struct Entry {
        std::uint32_t hashLow;
        std::uint32_t hashHigh;
        std::uint32_t offset;  // the line, from its stretch's first line
    };
    static_assert(sizeof(Entry) == 12);
    struct Stretch {
        std::size_t firstEntry;
        std::string source;
        std::int64_t firstLine;
    };
    std::vector<Stretch> m_stretches;  // in the order of their first entries
    std::deque<Entry> m_entries;       // grows without moving what it holds into fresh memory
};

}  // namespace sivaro
