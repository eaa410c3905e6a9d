#include "app/FailedLineIndex.h"

#include <functional>

namespace sivaro {

namespace {

std::uint64_t hashOf(std::string_view text) {
    return std::hash<std::string_view>{}(text);
}

}  // namespace

void FailedLineIndex::add(std::string_view logLine, const std::string& source, std::int64_t line) {
    // A run names one source for all its lines: only a new one is stored.
    if (m_sources.empty() || m_sources.back() != source) m_sources.push_back(source);
    const Entry entry{m_text.size(), logLine.size(),
                      static_cast<std::uint32_t>(m_sources.size() - 1), line};
    m_text.append(logLine);
    // Two lines of one hash: the later wins, and the earlier finds nothing rather than the
    // later's source line, as find compares the bytes.
    m_entries.insert(hashOf(logLine), entry);
}

std::optional<std::pair<std::string, std::int64_t>> FailedLineIndex::find(
    std::string_view logLine) const {
    const auto it = m_entries.constFind(hashOf(logLine));
    if (it == m_entries.cend()) return std::nullopt;
    const Entry& entry = it.value();
    if (std::string_view(m_text).substr(entry.at, entry.size) != logLine) return std::nullopt;
    return std::pair{m_sources[entry.source], entry.line};
}

}  // namespace sivaro
