#include "store/SqlModule.h"

#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "store/ParadoxFormat.h"
#include "store/PxTable.h"
#include "store/RowAccess.h"
#include "store/SqlUndo.h"
#include "store/SqlValues.h"
#include "util/CodePage.h"
#include "util/Errors.h"

namespace sivaro::sql {

using namespace px;

BoundTable::BoundTable(TableStore& store, const std::string& folder, const std::string& tableName)
    : m_store(store), m_folder(folder), m_tableName(tableName), m_undo(std::make_unique<Undo>()) {
    m_writer = openHandle();
}

BoundTable::~BoundTable() {
    try {
        close();
    } catch (...) {
        // A destructor cannot report; the statement runner closes explicitly.
    }
}

std::unique_ptr<Table> BoundTable::openHandle() const {
    auto t = m_store.createTable();
    t->setDatabaseName(m_folder);
    t->setTableName(m_tableName);
    t->open();
    return t;
}

void BoundTable::close() {
    if (!m_writer) return;
    std::unique_ptr<Table> w = std::move(m_writer);
    w->close();
}

namespace {

struct VTab {
    sqlite3_vtab base{};
    BoundTable* bound = nullptr;
};

struct Cursor {
    sqlite3_vtab_cursor base{};
    std::unique_ptr<Table> handle;
    bool single = false;
    bool eof = true;
};

constexpr int kScan = 0;
constexpr int kByRowid = 1;

int fail(sqlite3_vtab* vt, const std::exception& e) {
    sqlite3_free(vt->zErrMsg);
    vt->zErrMsg = sqlite3_mprintf("%s", cp1252ToUtf8(e.what()).c_str());
    if (dynamic_cast<const std::bad_alloc*>(&e)) return SQLITE_NOMEM;
    return std::strcmp(e.what(), "Key violation") == 0 ? SQLITE_CONSTRAINT : SQLITE_ERROR;
}

BoundTable& boundOf(sqlite3_vtab* vt) {
    return *reinterpret_cast<VTab*>(vt)->bound;
}

int xConnect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out,
             char** err) {
    auto& tables = *static_cast<std::vector<std::unique_ptr<BoundTable>>*>(aux);
    const long n = argc > 3 ? std::strtol(argv[3], nullptr, 10) : -1;
    if (n < 0 || n >= static_cast<long>(tables.size())) {
        *err = sqlite3_mprintf("no bound table for this virtual table");
        return SQLITE_ERROR;
    }
    try {
        const std::string declaration = declareColumns(tables[n]->writer());
        const int rc = sqlite3_declare_vtab(db, declaration.c_str());
        if (rc != SQLITE_OK) {
            *err = sqlite3_mprintf("%s", sqlite3_errmsg(db));
            return rc;
        }
        auto* vt = new VTab;
        vt->bound = tables[n].get();
        *out = &vt->base;
        return SQLITE_OK;
    } catch (const std::exception& e) {
        *err = sqlite3_mprintf("%s", cp1252ToUtf8(e.what()).c_str());
        return SQLITE_ERROR;
    }
}

int xDisconnect(sqlite3_vtab* vt) {
    delete reinterpret_cast<VTab*>(vt);
    return SQLITE_OK;
}

int xBestIndex(sqlite3_vtab* vt, sqlite3_index_info* info) {
    for (int k = 0; k < info->nConstraint; ++k) {
        const auto& c = info->aConstraint[k];
        if (c.usable && c.iColumn == -1 && c.op == SQLITE_INDEX_CONSTRAINT_EQ) {
            info->aConstraintUsage[k].argvIndex = 1;
            info->aConstraintUsage[k].omit = 1;
            info->idxNum = kByRowid;
            info->estimatedCost = 1;
            info->estimatedRows = 1;
            return SQLITE_OK;
        }
    }
    try {
        const auto rows = tableBehind(boundOf(vt).writer()).rowCount();
        info->idxNum = kScan;
        info->estimatedCost = static_cast<double>(rows) + 10;
        info->estimatedRows = rows + 1;
        return SQLITE_OK;
    } catch (const std::exception& e) {
        return fail(vt, e);
    }
}

int xOpen(sqlite3_vtab* vt, sqlite3_vtab_cursor** out) {
    try {
        auto c = std::make_unique<Cursor>();
        c->handle = boundOf(vt).openHandle();
        *out = &c.release()->base;
        return SQLITE_OK;
    } catch (const std::exception& e) {
        return fail(vt, e);
    }
}

int xClose(sqlite3_vtab_cursor* cur) {
    std::unique_ptr<Cursor> c(reinterpret_cast<Cursor*>(cur));
    try {
        c->handle->close();
    } catch (...) {
        // The bound table's own handle stays open: nothing is written here.
    }
    return SQLITE_OK;
}

int xFilter(sqlite3_vtab_cursor* cur, int idxNum, const char*, int argc, sqlite3_value** argv) {
    auto* c = reinterpret_cast<Cursor*>(cur);
    try {
        c->single = idxNum == kByRowid;
        if (c->single) {
            c->eof = true;
            if (argc < 1 || sqlite3_value_numeric_type(argv[0]) != SQLITE_INTEGER) return SQLITE_OK;
            const sqlite3_int64 id = sqlite3_value_int64(argv[0]);
            if (id < 0 || id >= kNoRow || !tableBehind(*c->handle).alive(static_cast<RowId>(id)))
                return SQLITE_OK;
            moveToRow(*c->handle, static_cast<RowId>(id));
            c->eof = false;
            return SQLITE_OK;
        }
        c->handle->first();
        c->eof = c->handle->eof();
        return SQLITE_OK;
    } catch (const std::exception& e) {
        return fail(cur->pVtab, e);
    }
}

int xNext(sqlite3_vtab_cursor* cur) {
    auto* c = reinterpret_cast<Cursor*>(cur);
    try {
        if (c->single) {
            c->eof = true;
            return SQLITE_OK;
        }
        c->handle->next();
        c->eof = c->handle->eof();
        return SQLITE_OK;
    } catch (const std::exception& e) {
        return fail(cur->pVtab, e);
    }
}

int xEof(sqlite3_vtab_cursor* cur) {
    return reinterpret_cast<Cursor*>(cur)->eof ? 1 : 0;
}

int xColumn(sqlite3_vtab_cursor* cur, sqlite3_context* ctx, int i) {
    // An UPDATE does not need the columns it leaves alone: they are not even read.
    if (sqlite3_vtab_nochange(ctx)) return SQLITE_OK;
    auto* c = reinterpret_cast<Cursor*>(cur);
    try {
        const RowId id = currentRowId(*c->handle);
        const PxTable& t = tableBehind(*c->handle);
        if (id == kNoRow || i < 0 || i >= static_cast<int>(t.fields().size())) {
            sqlite3_result_null(ctx);
            return SQLITE_OK;
        }
        resultField(ctx, t, t.row(id), i);
        return SQLITE_OK;
    } catch (const std::exception& e) {
        return fail(cur->pVtab, e);
    }
}

int xRowid(sqlite3_vtab_cursor* cur, sqlite3_int64* out) {
    auto* c = reinterpret_cast<Cursor*>(cur);
    try {
        *out = currentRowId(*c->handle);
        return SQLITE_OK;
    } catch (const std::exception& e) {
        return fail(cur->pVtab, e);
    }
}

RowId rowIdOf(sqlite3_value* v, const std::string& table) {
    const sqlite3_int64 id = sqlite3_value_int64(v);
    if (sqlite3_value_type(v) != SQLITE_INTEGER || id < 0 || id >= kNoRow)
        throw EDatabaseError("No row " + textOf(v) + " in table " + table);
    return static_cast<RowId>(id);
}

int xUpdate(sqlite3_vtab* vt, int argc, sqlite3_value** argv, sqlite3_int64* rowid) {
    BoundTable& bound = boundOf(vt);
    Table& w = bound.writer();
    BoundTable::Undo& u = bound.undo();
    try {
        PxTable& t = tableBehind(w);
        const int fields = static_cast<int>(t.fields().size());
        if (argc == 1) {
            const RowId id = rowIdOf(argv[0], bound.tableName());
            moveToRow(w, id);
            const std::size_t start = u.saved.size();
            for (int i = 0; i < fields; ++i) saveField(t, t.row(id), i, u.saved);
            try {
                w.deleteRecord();
            } catch (...) {
                u.saved.resize(start);
                throw;
            }
            u.entries.push_back({BoundTable::Undo::Deleted, id, start, u.saved.size()});
            return SQLITE_OK;
        }
        if (argc != fields + 2)
            throw EDatabaseError("Wrong number of values for " + bound.tableName());
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
            if (sqlite3_value_type(argv[1]) != SQLITE_NULL)
                throw EDatabaseError("The rows of table " + bound.tableName() +
                                     " are numbered by the table: a rowid cannot be given");
            w.insert();
            try {
                for (int i = 0; i < fields; ++i) writeField(w, i, argv[2 + i]);
                w.post();
            } catch (...) {
                w.cancel();
                throw;
            }
            const RowId id = currentRowId(w);
            u.entries.push_back({BoundTable::Undo::Inserted, id, 0, 0});
            *rowid = id;
            return SQLITE_OK;
        }
        const RowId id = rowIdOf(argv[0], bound.tableName());
        if (sqlite3_value_numeric_type(argv[1]) != SQLITE_INTEGER ||
            sqlite3_value_int64(argv[1]) != sqlite3_value_int64(argv[0]))
            throw EDatabaseError("The rowid of a row of table " + bound.tableName() +
                                 " cannot change");
        moveToRow(w, id);
        w.edit();
        const std::size_t start = u.saved.size();
        try {
            for (int i = 0; i < fields; ++i) {
                if (sqlite3_value_nochange(argv[2 + i])) continue;
                saveField(t, t.row(id), i, u.saved);
                writeField(w, i, argv[2 + i]);
            }
            w.post();
        } catch (...) {
            w.cancel();
            u.saved.resize(start);
            throw;
        }
        u.entries.push_back({BoundTable::Undo::Updated, id, start, u.saved.size()});
        return SQLITE_OK;
    } catch (const std::exception& e) {
        return fail(vt, e);
    }
}

int xBegin(sqlite3_vtab* vt) {
    boundOf(vt).undo().clear();
    return SQLITE_OK;
}

int xSync(sqlite3_vtab*) {
    return SQLITE_OK;
}

int xCommit(sqlite3_vtab* vt) {
    boundOf(vt).undo().clear();
    return SQLITE_OK;
}

int rollbackTo(sqlite3_vtab* vt, std::size_t keep) {
    BoundTable& bound = boundOf(vt);
    try {
        undoTo(bound, keep);
        return SQLITE_OK;
    } catch (const std::exception& e) {
        if (bound.rollbackError.empty()) bound.rollbackError = e.what();
        return fail(vt, e);
    }
}

int xRollback(sqlite3_vtab* vt) {
    const int rc = rollbackTo(vt, 0);
    boundOf(vt).undo().clear();
    return rc;
}

int xSavepoint(sqlite3_vtab* vt, int n) {
    auto& u = boundOf(vt).undo();
    const auto level = static_cast<std::size_t>(n);
    if (u.marks.size() < level + 1) u.marks.resize(level + 1, u.entries.size());
    u.marks[level] = u.entries.size();
    return SQLITE_OK;
}

int xRelease(sqlite3_vtab* vt, int n) {
    auto& u = boundOf(vt).undo();
    if (u.marks.size() > static_cast<std::size_t>(n)) u.marks.resize(n);
    return SQLITE_OK;
}

int xRollbackTo(sqlite3_vtab* vt, int n) {
    auto& u = boundOf(vt).undo();
    const auto level = static_cast<std::size_t>(n);
    if (level >= u.marks.size()) return SQLITE_OK;
    const int rc = rollbackTo(vt, u.marks[level]);
    u.marks.resize(level + 1);
    return rc;
}

sqlite3_module makeModule() {
    sqlite3_module m{};
    m.iVersion = 2;
    m.xCreate = xConnect;
    m.xConnect = xConnect;
    m.xBestIndex = xBestIndex;
    m.xDisconnect = xDisconnect;
    m.xDestroy = xDisconnect;
    m.xOpen = xOpen;
    m.xClose = xClose;
    m.xFilter = xFilter;
    m.xNext = xNext;
    m.xEof = xEof;
    m.xColumn = xColumn;
    m.xRowid = xRowid;
    m.xUpdate = xUpdate;
    m.xBegin = xBegin;
    m.xSync = xSync;
    m.xCommit = xCommit;
    m.xRollback = xRollback;
    m.xSavepoint = xSavepoint;
    m.xRelease = xRelease;
    m.xRollbackTo = xRollbackTo;
    return m;
}

const sqlite3_module kModule = makeModule();

const char* columnType(std::uint8_t type) {
    switch (type) {
        case kShort:
        case kLong:
        case kAutoIncField:
        case kLogical:
            return "INTEGER";
        case kNumber:
        case kCurrency:
        case kBcd:
            return "REAL";
        case kBytes:
        case kBlob:
        case kOle:
        case kGraphic:
            return "BLOB";
        default:
            return "TEXT";
    }
}

}  // namespace

std::string declareColumns(Table& table) {
    const PxTable& t = tableBehind(table);
    std::string out = "CREATE TABLE x(";
    for (std::size_t i = 0; i < t.fields().size(); ++i) {
        if (i) out += ", ";
        out += '"';
        for (char c : cp1252ToUtf8(t.fields()[i].name)) {
            if (c == '"') out += '"';
            out += c;
        }
        out += "\" ";
        out += columnType(t.fields()[i].type);
    }
    return out + ")";
}

void registerParadoxModule(sqlite3* db, std::vector<std::unique_ptr<BoundTable>>& tables) {
    const int rc = sqlite3_create_module(db, "paradox", &kModule, &tables);
    if (rc != SQLITE_OK)
        throw EDatabaseError(std::string("Cannot register the table module: ") +
                             sqlite3_errmsg(db));
}

}  // namespace sivaro::sql
