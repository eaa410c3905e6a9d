// pxtool: create, inspect and dump Paradox tables.
//   pxtool create TABLE.db SCHEMA.txt   one field a line: name TAB letter TAB size [TAB *]
//   pxtool info TABLE.db                header facts, fields, indexes; exit 1 when unsound
//   pxtool dump TABLE.db                field names, then one row a line, TAB-separated, UTF-8
//   pxtool load TABLE.db ROWS.txt       adds the rows of a text in the dump's format
//   pxtool --version                    the version
// Dump cells: NULL empty, dates yyyy-mm-dd, times hh:mm:ss and timestamps yyyy-mm-dd hh:mm:ss,
// each with .zzz when its milliseconds are not zero, numbers as the shortest text that
// reads back the same value with "." as point, logical T/F, text with "\", line breaks and
// TABs escaped as \\, \n, \r, \t; bytes and binary blobs in hexadecimal.
// Load reads the same cells (timestamps "yyyy-mm-dd hh:mm:ss", times and timestamps with
// optional ".zzz"); its header names the fields filled, in any order and letter case, the others
// staying NULL (an auto-increment field then numbers the row). Blank lines are skipped. The rows
// go in all or none: any refused cell or key leaves the table as it was.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <new>
#include <sstream>
#include <string>

#include "store/FamilyCheck.h"
#include "store/FieldCodec.h"
#include "store/ParadoxStore.h"
#include "store/PxTable.h"
#include "store/RowAccess.h"
#include "store/TableCreate.h"
#include "store/TableStore.h"
#include "util/CodePage.h"
#include "util/Errors.h"
#include "util/Paths.h"
#include "util/Version.h"

using namespace sivaro;

namespace {

int usage() {
    std::cerr << "usage: pxtool create TABLE.db SCHEMA.txt\n"
                 "       pxtool info TABLE.db\n"
                 "       pxtool dump TABLE.db\n"
                 "       pxtool load TABLE.db ROWS.txt\n"
                 "       pxtool --version\n";
    return 2;
}

std::string enginePath(const std::string& arg) {
    std::string p = arg;
    if (baseName(p).find('.') == std::string::npos) p += ".db";
    const std::size_t slash = p.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : p.substr(0, slash);
    const std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
    return utf8ToCp1252(resolvePath(folder, name));
}

std::string escapeCell(const std::string& utf8) {
    std::string out;
    for (char c : utf8) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else
            out += c;
    }
    return out;
}

std::string cell(Table& t, Field& f) {
    if (f.isNull()) return {};
    const FieldValue v = f.value();
    switch (f.dataType()) {
        case FieldType::Date: {
            int y, m, d;
            px::civilFromDays(std::get<std::int64_t>(v), y, m, d);
            char buf[16];
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
            return buf;
        }
        case FieldType::Time: {
            const std::int64_t ms = std::get<std::int64_t>(v);
            char buf[32];
            std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", int(ms / 3600000),
                          int(ms / 60000 % 60), int(ms / 1000 % 60));
            std::string s = buf;
            if (ms % 1000) {
                std::snprintf(buf, sizeof buf, ".%03d", int(ms % 1000));
                s += buf;
            }
            return s;
        }
        case FieldType::DateTime: {
            // The stored milliseconds, not days times a fraction that may not come back whole.
            const px::PxTable& table = px::tableBehind(t);
            const double stored =
                px::decodeDouble(table.row(px::currentRowId(t)) + table.fields()[f.index()].offset);
            const double days = stored / 86400000.0;
            if (!std::isfinite(days) || std::fabs(days) > 1e9) return px::shortestNumber(days);
            std::int64_t dayNumber = static_cast<std::int64_t>(std::floor(days));
            std::int64_t ms = std::llround(stored - static_cast<double>(dayNumber) * 86400000.0);
            if (ms >= 86400000) {
                ++dayNumber;
                ms -= 86400000;
            }
            int y, m, d;
            px::civilFromDays(dayNumber, y, m, d);
            char buf[48];
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d,
                          int(ms / 3600000), int(ms / 60000 % 60), int(ms / 1000 % 60));
            std::string s = buf;
            if (ms % 1000) {
                std::snprintf(buf, sizeof buf, ".%03d", int(ms % 1000));
                s += buf;
            }
            return s;
        }
        case FieldType::Boolean:
            return std::get<bool>(v) ? "T" : "F";
        case FieldType::Float:
        case FieldType::Currency:
        case FieldType::BCD:
            return px::shortestNumber(std::get<double>(v));
        case FieldType::Smallint:
        case FieldType::Integer:
        case FieldType::AutoInc:
            return std::to_string(std::get<std::int64_t>(v));
        case FieldType::Bytes:
        case FieldType::Blob:
        case FieldType::Graphic:
        case FieldType::ParadoxOle: {
            static const char* digits = "0123456789abcdef";
            std::string s;
            for (unsigned char c : std::get<std::string>(v)) {
                s += digits[c >> 4];
                s += digits[c & 15];
            }
            return s;
        }
        default:
            return escapeCell(cp1252ToUtf8(std::get<std::string>(v)));
    }
}

int dump(const std::string& path) {
    auto store = createParadoxStore();
    auto t = store->createTable();
    const std::size_t slash = path.find_last_of('/');
    t->setDatabaseName(slash == std::string::npos ? "." : path.substr(0, slash));
    t->setTableName(slash == std::string::npos ? path : path.substr(slash + 1));
    t->open();
    std::string out;
    for (int i = 0; i < t->fieldCount(); ++i)
        out += (i ? "\t" : "") + escapeCell(cp1252ToUtf8(t->field(i).fieldName()));
    out += "\n";
    for (t->first(); !t->eof(); t->next()) {
        for (int i = 0; i < t->fieldCount(); ++i) out += (i ? "\t" : "") + cell(*t, t->field(i));
        out += "\n";
        if (out.size() > (1 << 20)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    t->close();
    return 0;
}

// ---- load -------------------------------------------------------------------------------------

std::vector<std::string> splitCells(const std::string& line) {
    std::vector<std::string> cells(1);
    for (char c : line) {
        if (c == '\t')
            cells.emplace_back();
        else
            cells.back() += c;
    }
    return cells;
}

// Undoes escapeCell; false for a "\" that starts no escape.
bool unescapeCell(const std::string& cell, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < cell.size(); ++i) {
        if (cell[i] != '\\') {
            out += cell[i];
            continue;
        }
        if (++i == cell.size()) return false;
        switch (cell[i]) {
            case '\\':
                out += '\\';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            default:
                return false;
        }
    }
    return true;
}

bool digits(const std::string& s, std::size_t at, std::size_t n, int& out) {
    if (at + n > s.size()) return false;
    const auto r = std::from_chars(s.data() + at, s.data() + at + n, out);
    return r.ec == std::errc() && r.ptr == s.data() + at + n && s[at] != '-' && s[at] != '+';
}

bool parseIsoDate(const std::string& s, std::int64_t& days) {
    int y, m, d;
    if (s.size() != 10 || s[4] != '-' || s[7] != '-' || !digits(s, 0, 4, y) ||
        !digits(s, 5, 2, m) || !digits(s, 8, 2, d))
        return false;
    days = px::daysFromCivil(y, m, d);
    return days != 0;
}

bool parseIsoTime(const std::string& s, std::int64_t& ms) {
    int h, m, sec, frac = 0;
    if (s.size() < 8 || s[2] != ':' || s[5] != ':' || !digits(s, 0, 2, h) || !digits(s, 3, 2, m) ||
        !digits(s, 6, 2, sec) || h > 23 || m > 59 || sec > 59)
        return false;
    if (s.size() > 8) {
        const std::size_t n = s.size() - 9;
        if (s[8] != '.' || n < 1 || n > 3 || !digits(s, 9, n, frac)) return false;
        for (std::size_t k = n; k < 3; ++k) frac *= 10;
    }
    ms = ((h * 60LL + m) * 60 + sec) * 1000 + frac;
    return true;
}

bool parseHex(const std::string& s, std::string& out) {
    if (s.size() % 2) return false;
    out.clear();
    for (std::size_t i = 0; i < s.size(); i += 2) {
        unsigned value = 0;
        const auto r = std::from_chars(s.data() + i, s.data() + i + 2, value, 16);
        if (r.ec != std::errc() || r.ptr != s.data() + i + 2) return false;
        out += static_cast<char>(value);
    }
    return true;
}

// Writes one cell into the pending row by the field's type; false when the cell does not read.
bool writeCell(Table& t, Field& f, const std::string& cell) {
    if (cell.empty()) {
        f.clear();
        return true;
    }
    switch (f.dataType()) {
        case FieldType::String:
        case FieldType::Memo:
        case FieldType::FmtMemo: {
            std::string text;
            if (!unescapeCell(cell, text)) return false;
            f.setAsString(utf8ToCp1252(text));
            return true;
        }
        case FieldType::Smallint:
        case FieldType::Integer:
        case FieldType::AutoInc: {
            std::int64_t v = 0;
            const auto r = std::from_chars(cell.data(), cell.data() + cell.size(), v);
            if (r.ec != std::errc() || r.ptr != cell.data() + cell.size()) return false;
            f.setValue(v);
            return true;
        }
        case FieldType::Float:
        case FieldType::Currency:
        case FieldType::BCD: {
            double v = 0;
            const auto r = std::from_chars(cell.data(), cell.data() + cell.size(), v);
            if (r.ec != std::errc() || r.ptr != cell.data() + cell.size() || !std::isfinite(v))
                return false;
            f.setValue(v);
            return true;
        }
        case FieldType::Boolean:
            if (cell != "T" && cell != "F" && cell != "True" && cell != "False") return false;
            f.setValue(cell[0] == 'T');
            return true;
        case FieldType::Date: {
            std::int64_t days = 0;
            if (!parseIsoDate(cell, days)) return false;
            f.setValue(days);
            return true;
        }
        case FieldType::Time: {
            std::int64_t ms = 0;
            if (!parseIsoTime(cell, ms)) return false;
            f.setValue(ms);
            return true;
        }
        case FieldType::DateTime: {
            std::int64_t days = 0, ms = 0;
            if (!parseIsoDate(cell.substr(0, 10), days)) return false;
            if (cell.size() > 10 && (cell[10] != ' ' || !parseIsoTime(cell.substr(11), ms)))
                return false;
            // The exact milliseconds, not days times a fraction that may not come back whole.
            const px::FieldInfo& info = px::tableBehind(t).fields()[f.index()];
            px::encodeDouble(px::pendingRecord(t) + info.offset,
                             static_cast<double>(days) * 86400000.0 + static_cast<double>(ms));
            return true;
        }
        case FieldType::Bytes:
        case FieldType::Blob:
        case FieldType::Graphic:
        case FieldType::ParadoxOle: {
            std::string bytes;
            if (!parseHex(cell, bytes)) return false;
            f.setAsString(bytes);
            return true;
        }
        default:
            return false;
    }
}

int load(const std::string& path, const std::string& rowsFile) {
    std::ifstream in(rowsFile, std::ios::binary);
    if (!in) {
        std::cerr << "pxtool: cannot read " << rowsFile << "\n";
        return 1;
    }
    std::string line;
    auto readLine = [&] {
        if (!std::getline(in, line)) return false;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
    };
    if (!readLine()) {
        std::cerr << "pxtool: " << rowsFile << " has no header of field names\n";
        return 1;
    }
    auto store = createParadoxStore();
    auto t = store->createTable();
    const std::size_t slash = path.find_last_of('/');
    t->setDatabaseName(slash == std::string::npos ? "." : path.substr(0, slash));
    t->setTableName(slash == std::string::npos ? path : path.substr(slash + 1));
    t->open();
    const std::string where = rowsFile + " line ";

    std::vector<Field*> fields;
    for (const std::string& cell : splitCells(line)) {
        std::string name;
        Field* f = unescapeCell(cell, name) ? t->findField(utf8ToCp1252(name)) : nullptr;
        if (!f) {
            std::cerr << "pxtool: " << where << "1: table " << cp1252ToUtf8(t->tableName())
                      << " has no field '" << cell << "'\n";
            return 1;
        }
        for (Field* other : fields) {
            if (other == f) {
                std::cerr << "pxtool: " << where << "1: field '" << cell << "' named twice\n";
                return 1;
            }
        }
        fields.push_back(f);
    }

    // The rows go in as they are read. A refused cell, key or unique index takes back the rows
    // already added and the counter, and the table is not written: its files stay byte for
    // byte as they were.
    px::PxTable& table = px::tableBehind(*t);
    const bool wasDirty = table.dirty();
    const std::uint32_t counter = table.autoInc();
    std::vector<px::RowId> added;
    auto refuse = [&](const std::string& at, const std::string& message) {
        std::cerr << "pxtool: " << at << ": " << message << "\n";
        t->cancel();
        for (auto it = added.rbegin(); it != added.rend(); ++it) {
            px::moveToRow(*t, *it);
            t->deleteRecord();
        }
        table.setAutoInc(counter);
        if (!wasDirty) table.markClean();
        t->close();
        return 1;
    };
    // The rows grow in place when their number is known roughly: the file's size over its first
    // row's length, and never more lines than the file can hold. Room reserved and not touched
    // costs no memory, and a reservation refused only leaves the rows to grow as they come.
    std::error_code sizeError;
    const std::uintmax_t fileSize = std::filesystem::file_size(rowsFile, sizeError);
    bool reserved = sizeError.operator bool();
    for (std::size_t n = 2; readLine(); ++n) {
        if (line.empty()) continue;
        if (!reserved) {
            reserved = true;
            const std::uintmax_t guess = std::min<std::uintmax_t>(
                fileSize / (line.size() + 1) * 5 / 4 + 1, fileSize / fields.size() + 1);
            try {
                table.reserveRows(static_cast<std::size_t>(guess));
            } catch (const std::bad_alloc&) {
            }
        }
        const std::vector<std::string> cells = splitCells(line);
        const std::string at = where + std::to_string(n);
        if (cells.size() != fields.size())
            return refuse(at, std::to_string(cells.size()) + " cells for " +
                                  std::to_string(fields.size()) + " fields");
        try {
            t->insert();
            for (std::size_t k = 0; k < cells.size(); ++k)
                if (!writeCell(*t, *fields[k], cells[k]))
                    return refuse(at, "'" + cells[k] + "' is not a value of field '" +
                                          cp1252ToUtf8(fields[k]->fieldName()) + "'");
            t->post();
            added.push_back(px::currentRowId(*t));
        } catch (const std::exception& e) {
            return refuse(at, cp1252ToUtf8(e.what()));
        }
    }
    t->close();
    return 0;
}

int info(const std::string& path) {
    const px::FamilyReport r = px::inspectFamily(path);
    for (const auto& f : r.facts) std::cout << f << "\n";
    if (r.problems.empty()) {
        std::cout << "check: ok\n";
        return 0;
    }
    for (const auto& p : r.problems) std::cout << "problem: " << cp1252ToUtf8(p) << "\n";
    return 1;
}

int create(const std::string& path, const std::string& schemaFile) {
    std::ifstream in(schemaFile, std::ios::binary);
    if (!in) {
        std::cerr << "pxtool: cannot read " << schemaFile << "\n";
        return 1;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    px::createTable(path, px::parseSchema(utf8ToCp1252(text)));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::cout << "pxtool " << kVersion << '\n';
        return 0;
    }
    if (argc < 3) return usage();
    const std::string command = argv[1];
    try {
        if (command == "create" && argc == 4) {
            std::string p = utf8ToCp1252(argv[2]);
            if (baseName(p).find('.') == std::string::npos) p += ".db";
            return create(p, argv[3]);
        }
        if (command == "info" && argc == 3) return info(enginePath(argv[2]));
        if (command == "dump" && argc == 3) return dump(enginePath(argv[2]));
        if (command == "load" && argc == 4) return load(enginePath(argv[2]), argv[3]);
    } catch (const std::exception& e) {
        std::cerr << "pxtool: " << cp1252ToUtf8(e.what()) << "\n";
        return 1;
    }
    return usage();
}
