#include "app/FailedLineIndex.h"

#include <algorithm>
#include <functional>
#include <limits>

namespace sivaro {

namespace {

std::uint64_t hashOf(std::string_view logLine) {
    // The library's hash takes the length in: a line and its beginning differ.
    return std::hash<std::string_view>{}(logLine);
}

}  // namespace

void FailedLineIndex::add(std::string_view logLine, const std::string& source, std::int64_t line) {
    // A run names one source for all its lines, so the name is kept once a stretch. A new
    // stretch starts where the source changes or the line does not fit the current one's offsets
    // (a line before its first, or four thousand million lines past it).
    const bool fits = !m_stretches.empty() && m_stretches.back().source == source &&
                      line >= m_stretches.back().firstLine &&
                      static_cast<std::uint64_t>(line - m_stretches.back().firstLine) <=
                          std::numeric_limits<std::uint32_t>::max();
    if (!fits) m_stretches.push_back(Stretch{m_entries.size(), source, line});
    const std::uint64_t hash = hashOf(logLine);
    m_entries.push_back(Entry{static_cast<std::uint32_t>(hash),
                              static_cast<std::uint32_t>(hash >> 32),
                              static_cast<std::uint32_t>(line - m_stretches.back().firstLine)});
}

std::optional<std::pair<std::string, std::int64_t>> FailedLineIndex::find(
    std::string_view logLine) const {
    const std::uint64_t hash = hashOf(logLine);
    const auto low = static_cast<std::uint32_t>(hash);
    const auto high = static_cast<std::uint32_t>(hash >> 32);
    for (std::size_t i = m_entries.size(); i-- > 0;) {
        const Entry& entry = m_entries[i];
        if (entry.hashLow != low || entry.hashHigh != high) continue;
        // The last stretch that starts at or before this entry holds it.
        const auto after = std::upper_bound(
            m_stretches.begin(), m_stretches.end(), i,
            [](std::size_t index, const Stretch& s) { return index < s.firstEntry; });
        const Stretch& stretch = *(after - 1);
        return std::pair{stretch.source, stretch.firstLine + entry.offset};
    }
    return std::nullopt;
}

}  // namespace sivaro
