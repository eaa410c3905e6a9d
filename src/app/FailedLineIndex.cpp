#include "app/FailedLineIndex.h"

#include <cstring>
#include <functional>

namespace sivaro {

FailedLineIndex::Entry FailedLineIndex::entryOf(std::string_view logLine) {
    // Eight bytes a step, multiplied and folded, beside the library's hash of another family.
    std::uint64_t check = 14695981039346656037ull;
    std::size_t i = 0;
    for (; i + 8 <= logLine.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, logLine.data() + i, 8);
        check = (check ^ word) * 0x9E3779B97F4A7C15ull;
        check ^= check >> 29;
    }
    for (; i < logLine.size(); ++i)
        check = (check ^ static_cast<unsigned char>(logLine[i])) * 1099511628211ull;
    return Entry{std::hash<std::string_view>{}(logLine), check,
                 static_cast<std::uint32_t>(logLine.size()), 0, 0};
}

void FailedLineIndex::add(std::string_view logLine, const std::string& source, std::int64_t line) {
    // A run names one source for all its lines: only a new one is stored.
    if (m_sources.empty() || m_sources.back() != source) m_sources.push_back(source);
    Entry entry = entryOf(logLine);
    entry.source = static_cast<std::uint32_t>(m_sources.size() - 1);
    entry.line = line;
    m_entries.push_back(entry);
}

std::optional<std::pair<std::string, std::int64_t>> FailedLineIndex::find(
    std::string_view logLine) const {
    const Entry wanted = entryOf(logLine);
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it)
        if (it->hash == wanted.hash && it->check == wanted.check && it->size == wanted.size)
            return std::pair{m_sources[it->source], it->line};
    return std::nullopt;
}

}  // namespace sivaro
