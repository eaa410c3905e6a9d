#pragma once
// The source line each "linha:" line of the log stands for, for the double click on the log. A
// run may fail at every one of a million records: each line is kept as its bytes in one buffer,
// found by a hash of them, with its source named by number.

#include <QHash>

#include <cstdint>
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
        std::size_t at;  // in m_text
        std::size_t size;
        std::uint32_t source;  // in m_sources
        std::int64_t line;
    };
    std::string m_text;
    std::vector<std::string> m_sources;
    QHash<std::uint64_t, Entry> m_entries;
};

}  // namespace sivaro
