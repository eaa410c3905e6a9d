// pxtool: create, inspect and dump Paradox tables.
//   pxtool create TABLE.db SCHEMA.txt   one field a line: name TAB letter TAB size [TAB *]
//   pxtool info TABLE.db                header facts, fields, indexes; exit 1 when unsound
//   pxtool dump TABLE.db                field names, then one row a line, TAB-separated, UTF-8
// Dump cells: NULL empty, dates yyyy-mm-dd, times hh:mm:ss, numbers as the shortest text that
// reads back the same value with "." as point, logical T/F, text with "\", line breaks and
// TABs escaped as \\, \n, \r, \t; bytes and binary blobs in hexadecimal.

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "store/FamilyCheck.h"
#include "store/FieldCodec.h"
#include "store/ParadoxStore.h"
#include "store/TableCreate.h"
#include "store/TableStore.h"
#include "util/CodePage.h"
#include "util/Errors.h"
#include "util/Paths.h"

using namespace sivaro;

namespace {

int usage() {
    std::cerr << "usage: pxtool create TABLE.db SCHEMA.txt\n"
                 "       pxtool info TABLE.db\n"
                 "       pxtool dump TABLE.db\n";
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

std::string cell(Field& f) {
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
            const double days = std::get<double>(v);
            if (!std::isfinite(days) || std::fabs(days) > 1e9) return px::shortestNumber(days);
            const double dayNumber = std::floor(days);
            const std::int64_t ms =
                static_cast<std::int64_t>(std::llround((days - dayNumber) * 86400000.0));
            int y, m, d;
            px::civilFromDays(static_cast<std::int64_t>(dayNumber), y, m, d);
            char buf[48];
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d,
                          int(ms / 3600000), int(ms / 60000 % 60), int(ms / 1000 % 60));
            return buf;
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
        for (int i = 0; i < t->fieldCount(); ++i) out += (i ? "\t" : "") + cell(t->field(i));
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
    } catch (const std::exception& e) {
        std::cerr << "pxtool: " << cp1252ToUtf8(e.what()) << "\n";
        return 1;
    }
    return usage();
}
