#include "import/FailedRecords.h"

#include <filesystem>

#include "import/RunHistory.h"
#include "util/CodePage.h"
#include "util/Errors.h"
#include "util/Paths.h"

namespace sivaro {

namespace fs = std::filesystem;

FailedRecords::FailedRecords(std::string path, std::string source, Layout layout)
    : m_path(std::move(path)),
      m_temp(m_path + ".tmp"),
      m_source(std::move(source)),
      m_layout(std::move(layout)) {
    if (m_layout.delimiter.empty()) m_layout.delimiter = "\t";
}

FailedRecords::~FailedRecords() {
    if (!m_out) return;
    m_out.reset();
    std::error_code ec;
    fs::remove(osPath(m_temp), ec);
}

std::string FailedRecords::clean(std::string text) const {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    if (m_layout.delimited) {
        for (std::size_t at = text.find(m_layout.delimiter); at != std::string::npos;
             at = text.find(m_layout.delimiter, at + 1))
            text.replace(at, m_layout.delimiter.size(), " ");
        return text;
    }
    // No line but a record's own may start a record.
    const std::string& start = m_layout.recordStart;
    if (start.empty()) return text;
    char other = '?';
    for (char c : std::string("?#_~")) {
        other = c;
        if (start.find(c) == std::string::npos) break;
    }
    for (std::size_t at = text.find(start); at != std::string::npos; at = text.find(start, at))
        text[at] = other;
    return text;
}

std::string FailedRecords::withColumns(const std::string& line, const std::string& first,
                                       const std::string& second) const {
    const std::string& d = m_layout.delimiter;
    const std::string columns = first + d + second + d;
    // "DelReg" 1 takes the first and the last character off: the columns go inside them.
    if (m_layout.delReg == 1 && !line.empty()) return line.substr(0, 1) + columns + line.substr(1);
    return columns + line;
}

void FailedRecords::write(const std::string& line) {
    *m_out << line << "\r\n";
}

void FailedRecords::add(std::int64_t line, const std::vector<std::string>& lines,
                        const std::string& message) {
    if (!m_out) {
        m_out = std::make_unique<std::ofstream>(osPath(m_temp), std::ios::binary | std::ios::trunc);
        if (!*m_out) throw EInOutError("Unable to write to " + m_temp);
        if (m_layout.delimited) {
            // Column names the source does not have, so that no mapping takes them.
            std::string first = "linha_origem", second = "erro_importacao";
            const std::string header = upperAscii(m_layout.header);
            while (header.find(upperAscii(first)) != std::string::npos) first += "_";
            while (header.find(upperAscii(second)) != std::string::npos) second += "_";
            write(withColumns(m_layout.header, first, second));
        } else {
            write(clean("linha_origem\terro_importacao\tregistros com erro de " + m_source));
        }
    }
    const std::string number = std::to_string(line);
    if (m_layout.delimited) {
        write(withColumns(lines.empty() ? std::string() : lines[0], number, clean(message)));
    } else {
        write(clean(number + "\t" + message));
        for (const std::string& l : lines) write(l);
        write("");
    }
    ++m_count;
}

void FailedRecords::finish(RunHistory* history) {
    std::error_code ec;
    if (!m_out) {
        if (!fs::exists(osPath(m_path), ec)) return;
        // The older file's records are not this run's failures.
        if (history) {
            history->beforeFileChange(m_path);
            history->fileChangeComing(m_path, "");
        }
        fs::remove(osPath(m_path), ec);
        if (history) history->afterFileChange(m_path);
        return;
    }
    m_out->flush();
    const bool ok = static_cast<bool>(*m_out);
    m_out.reset();
    if (!ok) {
        fs::remove(osPath(m_temp), ec);
        throw EInOutError("Unable to write to " + m_path);
    }
    if (history) {
        history->beforeFileChange(m_path);
        history->fileChangeComing(m_path, m_temp);
    }
    fs::rename(osPath(m_temp), osPath(m_path), ec);
    if (ec) {
        fs::remove(osPath(m_temp), ec);
        throw EInOutError("Unable to write to " + m_path + ": " + ec.message());
    }
    if (history) history->afterFileChange(m_path);
}

}  // namespace sivaro
