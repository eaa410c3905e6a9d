#include "import/LineReader.h"

#include <algorithm>
#include <cstring>

#include "util/Cp1252Literal.h"
#include "util/Errors.h"
#include "util/Paths.h"

namespace sivaro {

namespace {
constexpr size_t kBufferSize = 1 << 16;
constexpr char kCtrlZ = 26;
}  // namespace

LineReader::~LineReader() {
    close();
}

void LineReader::open(const std::string& path) {
    close();
    m_file = std::fopen(osPath(path).c_str(), "rb");
    if (m_file == nullptr)
        throw EInOutError("Não foi possível abrir o arquivo "_cp1252 + path + ": " +
                          std::strerror(errno));
    m_path = path;
    m_buffer.resize(kBufferSize);
    m_pos = m_end = 0;
    m_ended = false;
}

void LineReader::close() {
    if (m_file != nullptr) std::fclose(m_file);
    m_file = nullptr;
    m_pos = m_end = 0;
    m_ended = true;
}

bool LineReader::fill() {
    if (m_ended || m_file == nullptr) return false;
    m_end = std::fread(m_buffer.data(), 1, m_buffer.size(), m_file);
    m_pos = 0;
    if (m_end == 0) {
        if (std::ferror(m_file)) throw EInOutError("Erro de leitura no arquivo " + m_path);
        m_ended = true;
        return false;
    }
    return true;
}

int LineReader::peekByte() {
    if (m_pos >= m_end && !fill()) return -1;
    const char c = m_buffer[m_pos];
    if (c == kCtrlZ) {
        m_ended = true;
        m_pos = m_end = 0;
        return -1;
    }
    return static_cast<unsigned char>(c);
}

bool LineReader::eof() {
    return peekByte() < 0;
}

std::string LineReader::readLine() {
    std::string line;
    readLine(line);
    return line;
}

void LineReader::readLine(std::string& line) {
    line.clear();
    scanLine([&](const char* begin, const char* end) { line.append(begin, end); });
}

std::string LineReader::readLine(std::size_t keep) {
    std::string line;
    scanLine([&](const char* begin, const char* end) {
        if (line.size() < keep)
            line.append(begin, std::min(static_cast<std::size_t>(end - begin), keep - line.size()));
    });
    return line;
}

void LineReader::skipLine() {
    scanLine([](const char*, const char*) {});
}

template <class Keep>
void LineReader::scanLine(Keep keep) {
    for (;;) {
        if (m_pos >= m_end && !fill()) return;
        // Scan the buffered bytes for the next LF, CR or Ctrl-Z in one go.
        const char* begin = m_buffer.data() + m_pos;
        const char* end = m_buffer.data() + m_end;
        const char* p = begin;
        while (p < end && *p != '\n' && *p != '\r' && *p != kCtrlZ) ++p;
        keep(begin, p);
        m_pos += static_cast<size_t>(p - begin);
        if (p == end) continue;
        if (*p == kCtrlZ) {
            m_ended = true;
            m_pos = m_end = 0;
            return;
        }
        ++m_pos;
        if (*p == '\n') return;
        // A CR ends the line only when an LF follows it; otherwise it is dropped.
        if (peekByte() == '\n') {
            ++m_pos;
            return;
        }
    }
}

}  // namespace sivaro
