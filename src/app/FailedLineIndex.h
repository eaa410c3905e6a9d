#pragma once
// The source line each "linha:" line of the log stands for, for the double click on the log. A
// run may fail at every one of a million records, and adding must cost next to nothing: a line
// is kept as two independent 64-bit hashes of its bytes and its length, in order, with its
// source named by number, and found by a walk from the newest when the operator double-clicks.
// Two different lines alike in both hashes and the length are not to be met.

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
    struct Entry {
        std::uint64_t hash;
        std::uint64_t check;  // another hash of the same bytes
        std::uint32_t size;
        std::uint32_t source;  // in m_sources
        std::int64_t line;
    };
    static Entry entryOf(std::string_view logLine);
    std::vector<std::string> m_sources;
    std::deque<Entry> m_entries;  // grows without moving what it holds into fresh memory
};

}  // namespace sivaro
