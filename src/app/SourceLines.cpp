#include "app/SourceLines.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "util/Cp1252Literal.h"
#include "util/Errors.h"
#include "util/Paths.h"

namespace sivaro {

namespace {
constexpr std::int64_t kStride = 1024;
constexpr std::size_t kChunk = 1 << 20;
constexpr char kCtrlZ = 26;
}  // namespace

SourceLines::SourceLines(const std::string& path) : m_path(path) {
    m_in.open(osPath(path), std::ios::binary);
    if (!m_in)
        throw EInOutError("Não foi possível abrir o arquivo "_cp1252 + path + ": " +
                          std::strerror(errno));
    // A folder opens as a stream on some systems; reading it fails.
    char probe;
    m_in.read(&probe, 1);
    if (m_in.bad() || (m_in.fail() && !m_in.eof()))
        throw EInOutError("Não foi possível ler o arquivo "_cp1252 + path);
    m_in.clear();
    m_checkpoints.push_back(0);
}

std::size_t SourceLines::readAt(std::int64_t offset, char* into, std::size_t size) {
    m_in.clear();
    m_in.seekg(offset);
    m_in.read(into, static_cast<std::streamsize>(size));
    const auto got = static_cast<std::size_t>(m_in.gcount());
    if (m_in.bad()) throw EInOutError("Erro de leitura no arquivo " + m_path);
    return got;
}

void SourceLines::scanTo(std::int64_t line) {
    std::vector<char> buffer(kChunk);
    while (!m_endKnown && m_scanLine < line) {
        const std::size_t got = readAt(m_scanPos, buffer.data(), buffer.size());
        const char* begin = buffer.data();
        const char* end = begin + got;
        bool textEnds = got < buffer.size();
        if (const void* z = std::memchr(begin, kCtrlZ, got)) {
            end = static_cast<const char*>(z);
            textEnds = true;
        }
        const char* p = begin;
        while (m_scanLine < line) {
            const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
            if (lf == nullptr) break;
            p = static_cast<const char*>(lf) + 1;
            ++m_scanLine;
            m_lineStart = m_scanPos + (p - begin);
            if (m_scanLine % kStride == 0) m_checkpoints.push_back(m_lineStart);
        }
        if (m_scanLine >= line) {
            m_scanPos = m_lineStart;
            return;
        }
        m_scanPos += end - begin;
        if (textEnds) {
            // The bytes after the last LF, if any, are the last line.
            if (m_lineStart < m_scanPos) {
                ++m_scanLine;
                m_lineStart = m_scanPos;
                if (m_scanLine % kStride == 0) m_checkpoints.push_back(m_lineStart);
            }
            m_endKnown = true;
        }
    }
}

std::int64_t SourceLines::offsetOf(std::int64_t line) {
    if (line < 0) return -1;
    scanTo(line);
    if (line > m_scanLine || (m_endKnown && line == m_scanLine)) return -1;
    if (line == m_scanLine) return m_lineStart;
    // Walk from the nearest checkpoint below the line.
    const std::int64_t k = line / kStride;
    std::int64_t offset = m_checkpoints[static_cast<std::size_t>(k)];
    std::int64_t at = k * kStride;
    std::vector<char> buffer(kChunk);
    while (at < line) {
        const std::size_t got = readAt(offset, buffer.data(), buffer.size());
        if (got == 0) return -1;
        const char* p = buffer.data();
        const char* end = p + got;
        while (at < line) {
            const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
            if (lf == nullptr) break;
            p = static_cast<const char*>(lf) + 1;
            ++at;
        }
        offset += p - buffer.data();
    }
    return offset;
}

SourceLines::Block SourceLines::read(std::int64_t first, std::int64_t minLines,
                                     std::int64_t maxLines, std::size_t maxBytes,
                                     std::size_t keep) {
    Block block;
    block.first = first;
    std::int64_t offset = offsetOf(first);
    if (offset < 0) {
        block.reachesEnd = true;
        return block;
    }
    std::vector<char> buffer(kChunk);
    std::size_t bytes = 0;
    std::string line;
    bool inLine = false;
    for (;;) {
        const std::size_t got = readAt(offset, buffer.data(), buffer.size());
        const char* p = buffer.data();
        const char* end = p + got;
        bool textEnds = got < buffer.size();
        if (const void* z = std::memchr(p, kCtrlZ, got)) {
            end = static_cast<const char*>(z);
            textEnds = true;
        }
        while (p < end) {
            const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
            const char* stop = lf != nullptr ? lf : end;
            for (const char* q = p; q < stop && line.size() < keep; ++q)
                if (*q != '\r') line += *q;
            inLine = true;
            if (lf == nullptr) {
                p = end;
                break;
            }
            p = lf + 1;
            bytes += line.size() + 1;
            block.lines.push_back(std::move(line));
            line.clear();
            inLine = false;
            const auto taken = static_cast<std::int64_t>(block.lines.size());
            if (taken >= maxLines || (taken >= minLines && bytes >= maxBytes)) {
                // Whether more lines follow is learnt from the next byte.
                offset += p - buffer.data();
                const std::size_t next = readAt(offset, buffer.data(), 1);
                block.reachesEnd = next == 0 || buffer[0] == kCtrlZ;
                return block;
            }
        }
        offset += p - buffer.data();
        if (textEnds) {
            if (inLine) block.lines.push_back(std::move(line));
            block.reachesEnd = true;
            return block;
        }
    }
}

}  // namespace sivaro
