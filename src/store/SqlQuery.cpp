#include "store/SqlQuery.h"

#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <system_error>

#include "store/SqlModule.h"
#include "util/CodePage.h"
#include "util/Errors.h"
#include "util/Paths.h"

namespace sivaro {

namespace fs = std::filesystem;

namespace {

// ---- names in the statement ------------------------------------------------------------------

// An identifier of the statement's text (UTF-8): bare, or quoted with " [ or `.
struct Identifier {
    std::size_t begin = 0, end = 0;  // in the text, quotes included
    char quote = 0;                  // 0 when bare
    std::string name;                // without its quotes
};

bool identStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}
bool identPart(unsigned char c) {
    return identStart(c) || (c >= '0' && c <= '9') || c == '$';
}

// The identifiers of an SQL text, skipping string literals, comments, numbers and parameters.
std::vector<Identifier> identifiers(const std::string& sql) {
    std::vector<Identifier> out;
    const std::size_t n = sql.size();
    std::size_t i = 0;
    auto quoted = [&](char open, char close) {
        Identifier id;
        id.begin = i;
        id.quote = open;
        std::size_t j = i + 1;
        while (j < n) {
            if (sql[j] == close) {
                if (close != ']' && j + 1 < n && sql[j + 1] == close) {
                    id.name += close;
                    j += 2;
                    continue;
                }
                break;
            }
            id.name += sql[j++];
        }
        id.end = j < n ? j + 1 : n;
        i = id.end;
        return id;
    };
    while (i < n) {
        const auto c = static_cast<unsigned char>(sql[i]);
        if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n') ++i;
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            const std::size_t close = sql.find("*/", i + 2);
            i = close == std::string::npos ? n : close + 2;
        } else if (c == '\'') {
            ++i;
            while (i < n) {
                if (sql[i] == '\'') {
                    if (i + 1 < n && sql[i + 1] == '\'') {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
        } else if (c == '"') {
            out.push_back(quoted('"', '"'));
        } else if (c == '`') {
            out.push_back(quoted('`', '`'));
        } else if (c == '[') {
            out.push_back(quoted('[', ']'));
        } else if (c >= '0' && c <= '9') {
            while (i < n && (identPart(static_cast<unsigned char>(sql[i])) || sql[i] == '.')) ++i;
        } else if (c == '?' || c == ':' || c == '@' || c == '$') {
            ++i;
            while (i < n && identPart(static_cast<unsigned char>(sql[i]))) ++i;
        } else if (identStart(c)) {
            Identifier id;
            id.begin = i;
            while (i < n && identPart(static_cast<unsigned char>(sql[i]))) ++i;
            id.end = i;
            id.name = sql.substr(id.begin, i - id.begin);
            out.push_back(id);
        } else {
            ++i;
        }
    }
    return out;
}

bool sameAsciiCase(const std::string& a, const std::string& b) {
    return upperAscii(a) == upperAscii(b);
}

std::string quoteName(const std::string& utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

// The identifier written with another spelling, in its own quotes where they can hold it.
std::string respell(const Identifier& id, const std::string& utf8) {
    if (id.quote == 0) {
        bool bare = !utf8.empty() && identStart(static_cast<unsigned char>(utf8[0]));
        for (char c : utf8) bare = bare && identPart(static_cast<unsigned char>(c));
        return bare ? utf8 : quoteName(utf8);
    }
    if (id.quote == '[' && utf8.find(']') == std::string::npos) return "[" + utf8 + "]";
    if (id.quote == '`') {
        std::string out = "`";
        for (char c : utf8) {
            if (c == '`') out += '`';
            out += c;
        }
        return out + "`";
    }
    return quoteName(utf8);
}

// ---- the folder -----------------------------------------------------------------------------

// The folder as found on disk: its last name may differ in case ("DB" for "db").
std::string diskFolder(const std::string& folder) {
    std::error_code ec;
    if (fs::is_directory(osPath(folder), ec)) return folder;
    const std::size_t slash = folder.find_last_of('/');
    if (slash == std::string::npos) return resolvePath("", folder);
    return resolvePath(folder.substr(0, slash), folder.substr(slash + 1));
}

// Table files of the folder by their name without extension, in capitals.
std::multimap<std::string, std::string> tableFiles(const std::string& folder) {
    std::multimap<std::string, std::string> files;
    std::error_code ec;
    for (fs::directory_iterator it(osPath(folder), ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code fileEc;
        if (!it->is_regular_file(fileEc)) continue;
        const std::string name = fromOsPath(it->path().filename());
        const std::size_t dot = name.find_last_of('.');
        if (dot == std::string::npos || upperAscii(name.substr(dot)) != ".DB") continue;
        files.emplace(upper1252(name.substr(0, dot)), name);
    }
    return files;
}

// ---- running --------------------------------------------------------------------------------

// Only statements over the tables: nothing that reaches files or the schema.
int authorize(void*, int action, const char* a, const char*, const char*, const char*) {
    switch (action) {
        case SQLITE_SELECT:
        case SQLITE_READ:
        case SQLITE_FUNCTION:
        case SQLITE_TRANSACTION:
        case SQLITE_SAVEPOINT:
        case SQLITE_RECURSIVE:
            return SQLITE_OK;
        case SQLITE_INSERT:
        case SQLITE_UPDATE:
        case SQLITE_DELETE:
            return a && std::strncmp(a, "sqlite_", 7) == 0 ? SQLITE_DENY : SQLITE_OK;
        default:
            return SQLITE_DENY;
    }
}

struct Database {
    sqlite3* db = nullptr;
    ~Database() {
        if (db) sqlite3_close_v2(db);
    }
};

std::string excerpt(const std::string& utf8) {
    std::string s = utf8;
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.pop_back();
    std::size_t start = 0;
    while (start < s.size() && static_cast<unsigned char>(s[start]) <= ' ') ++start;
    s = s.substr(start);
    if (s.size() > 200) s = s.substr(0, 200) + "...";
    return utf8ToCp1252(s);
}

[[noreturn]] void statementError(sqlite3* db, int rc, const std::string& statement) {
    std::string message = sqlite3_errmsg(db);
    if (rc == SQLITE_AUTH)
        message += " (only SELECT, INSERT, UPDATE and DELETE over the folder's tables run here)";
    throw EDatabaseError(utf8ToCp1252(message) + " in the statement: " + excerpt(statement));
}

void runStatements(sqlite3* db, const std::string& sql) {
    const char* tail = sql.c_str();
    const char* const end = tail + sql.size();
    while (tail < end) {
        sqlite3_stmt* st = nullptr;
        const char* next = nullptr;
        int rc = sqlite3_prepare_v2(db, tail, static_cast<int>(end - tail), &st, &next);
        const std::string statement(tail, next ? next : end);
        if (rc != SQLITE_OK) statementError(db, rc, statement);
        tail = next ? next : end;
        if (!st) continue;  // blanks or a comment
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) {
            const std::string message = sqlite3_errmsg(db);
            sqlite3_finalize(st);
            throw EDatabaseError(utf8ToCp1252(message) +
                                 " in the statement: " + excerpt(statement));
        }
        sqlite3_finalize(st);
    }
}

void execute(TableStore& store, const std::string& folderText, const std::string& text) {
    bool empty = true;
    for (char c : text) empty = empty && static_cast<unsigned char>(c) <= ' ';
    if (empty) throw EDatabaseError("No SQL statement to execute");
    const std::string folder = folderText.empty() ? "." : folderText;
    std::string sql = cp1252ToUtf8(text);

    // Names become the spelling of the tables and fields they answer for, so that letter case
    // never matters (SQLite itself folds only A to Z).
    std::vector<Identifier> ids = identifiers(sql);
    const auto files = tableFiles(diskFolder(folder));
    std::vector<std::unique_ptr<sql::BoundTable>> tables;
    std::vector<std::string> tableNames;  // UTF-8, without extension
    std::map<std::string, std::size_t> boundByUpper;
    std::map<std::size_t, std::string> spelling;  // identifier -> its new text
    std::vector<bool> isTable(ids.size(), false);
    for (std::size_t k = 0; k < ids.size(); ++k) {
        const Identifier& id = ids[k];
        if (id.quote == 0 && sqlite3_keyword_check(id.name.c_str(), int(id.name.size()))) continue;
        const std::string upper = upper1252(utf8ToCp1252(id.name));
        auto range = files.equal_range(upper);
        if (range.first == range.second) continue;
        isTable[k] = true;
        auto bound = boundByUpper.find(upper);
        if (bound == boundByUpper.end()) {
            std::string file = range.first->second;
            for (auto it = range.first; it != range.second; ++it)
                if (cp1252ToUtf8(it->second.substr(0, it->second.find_last_of('.'))) == id.name)
                    file = it->second;
            tables.push_back(std::make_unique<sql::BoundTable>(store, folder, file));
            tableNames.push_back(cp1252ToUtf8(file.substr(0, file.find_last_of('.'))));
            bound = boundByUpper.emplace(upper, tables.size() - 1).first;
        }
        const std::string& canonical = tableNames[bound->second];
        if (!sameAsciiCase(id.name, canonical)) spelling[k] = respell(id, canonical);
    }
    std::map<std::string, std::string> fields;  // in capitals -> as declared (UTF-8)
    for (auto& t : tables)
        for (const FieldDescriptor& f : t->writer().fieldDescriptors())
            fields.emplace(upper1252(f.name), cp1252ToUtf8(f.name));
    for (std::size_t k = 0; k < ids.size(); ++k) {
        if (isTable[k]) continue;
        auto f = fields.find(upper1252(utf8ToCp1252(ids[k].name)));
        if (f != fields.end() && !sameAsciiCase(ids[k].name, f->second))
            spelling[k] = respell(ids[k], f->second);
    }
    for (auto it = spelling.rbegin(); it != spelling.rend(); ++it)
        sql.replace(ids[it->first].begin, ids[it->first].end - ids[it->first].begin, it->second);

    std::exception_ptr failure;
    {
        Database d;
        try {
            if (sqlite3_open_v2(":memory:", &d.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                nullptr) != SQLITE_OK)
                throw EDatabaseError("Cannot start the SQL engine: " +
                                     std::string(d.db ? sqlite3_errmsg(d.db) : "out of memory"));
            sqlite3_db_config(d.db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
            sqlite3_db_config(d.db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
            sql::registerParadoxModule(d.db, tables);
            for (std::size_t i = 0; i < tables.size(); ++i) {
                const std::string create = "CREATE VIRTUAL TABLE " + quoteName(tableNames[i]) +
                                           " USING paradox(" + std::to_string(i) + ")";
                char* err = nullptr;
                if (sqlite3_exec(d.db, create.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
                    const std::string message = err ? err : sqlite3_errmsg(d.db);
                    sqlite3_free(err);
                    throw EDatabaseError("Table " + utf8ToCp1252(tableNames[i]) +
                                         " cannot be used in SQL: " + utf8ToCp1252(message));
                }
            }
            sqlite3_set_authorizer(d.db, authorize, nullptr);
            runStatements(d.db, sql);
        } catch (...) {
            failure = std::current_exception();
        }
    }  // closing SQLite takes back an unfinished transaction and releases the cursors

    for (auto& t : tables) {
        try {
            t->close();
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    for (auto& t : tables) {
        if (!t->rollbackError.empty())
            throw EDatabaseError("The changes of a failed statement to table " + t->tableName() +
                                 " could not all be taken back: " + t->rollbackError);
    }
    if (failure) std::rethrow_exception(failure);
}

class SqlQuery final : public Query {
  public:
    explicit SqlQuery(TableStore& store) : m_store(store) {}
    void setDatabaseName(const std::string& folder) override { m_folder = folder; }
    std::vector<std::string>& sql() override { return m_sql; }
    void execSQL() override {
        std::string text;
        for (std::size_t i = 0; i < m_sql.size(); ++i) text += (i ? "\n" : "") + m_sql[i];
        execute(m_store, m_folder, text);
    }

  private:
    TableStore& m_store;
    std::string m_folder;
    std::vector<std::string> m_sql;
};

}  // namespace

std::unique_ptr<Query> createSqlQuery(TableStore& store) {
    return std::make_unique<SqlQuery>(store);
}

}  // namespace sivaro
