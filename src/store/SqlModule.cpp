#include "store/SqlModule.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <unordered_map>

#include "store/FieldCodec.h"
#include "store/ParadoxFormat.h"
#include "store/PxTable.h"
#include "store/RowAccess.h"
#include "util/CodePage.h"
#include "util/Errors.h"

namespace sivaro::sql {

using namespace px;

// What a statement changed, newest last, so that a failed statement can be taken back: the
// ids of inserted rows, the old bytes of the fields an update changed, every field of a
// deleted row. Blob fields keep their data instead of their bytes, whose blob numbers the
// change releases.
struct BoundTable::Undo {
    enum Kind : std::uint8_t { Inserted, Updated, Deleted };
    struct Entry {
        Kind kind;
        RowId row;
        std::size_t start, end;  // of the saved fields in `saved`
    };
    std::vector<Entry> entries;
    std::string saved;               // per field: u16 index, u32 length, the bytes
    std::vector<std::size_t> marks;  // savepoint N: the number of entries when it was set

    void clear() {
        entries.clear();
        saved.clear();
        marks.clear();
    }
};

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

// ---- values out -----------------------------------------------------------------------------

std::string isoDate(std::int64_t days) {
    int y, m, d;
    civilFromDays(days, y, m, d);
    char buf[24];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

std::string isoTime(std::int64_t ms) {
    char buf[32];
    const std::int64_t s = ms / 1000;
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", static_cast<int>(s / 3600),
                  static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
    std::string out = buf;
    if (ms % 1000) {
        std::snprintf(buf, sizeof buf, ".%03d", static_cast<int>(ms % 1000));
        out += buf;
    }
    return out;
}

bool blank(const std::uint8_t* p, int n) {
    return allZero(p, n);
}

void resultText(sqlite3_context* ctx, const std::string& engineText) {
    bool ascii = true;
    for (char c : engineText) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        sqlite3_result_text(ctx, engineText.data(), static_cast<int>(engineText.size()),
                            SQLITE_TRANSIENT);
        return;
    }
    const std::string utf8 = cp1252ToUtf8(engineText);
    sqlite3_result_text(ctx, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

void resultField(sqlite3_context* ctx, const PxTable& t, const std::uint8_t* rec, int i) {
    const FieldInfo& f = t.fields()[i];
    const std::uint8_t* p = rec + f.offset;
    if (isBlobType(f.type)) {
        if (blank(p + f.bytes - kBlobTail + kBlobTailLength, 4)) {
            sqlite3_result_null(ctx);
            return;
        }
        const std::string data = t.blobData(rec, f);
        if (f.type == kMemo || f.type == kFmtMemo)
            resultText(ctx, tableTextToEngine(data, t.codePage()));
        else
            sqlite3_result_blob(ctx, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
        return;
    }
    if (blank(p, f.bytes)) {
        sqlite3_result_null(ctx);
        return;
    }
    switch (f.type) {
        case kAlpha: {
            const auto* text = reinterpret_cast<const char*>(p);
            resultText(ctx,
                       tableTextToEngine(std::string(text, strnlen(text, f.bytes)), t.codePage()));
            return;
        }
        case kShort:
        case kLong:
        case kAutoIncField:
            sqlite3_result_int64(ctx, decodeInt(p, f.bytes));
            return;
        case kNumber:
        case kCurrency:
            sqlite3_result_double(ctx, decodeDouble(p));
            return;
        case kBcd:
            sqlite3_result_double(ctx, decodeBcd(p, f.size));
            return;
        case kLogical:
            sqlite3_result_int(ctx, p[0] == kLogicalTrue ? 1 : 0);
            return;
        case kDate:
            resultText(ctx, isoDate(decodeInt(p, 4)));
            return;
        case kTime:
            resultText(ctx, isoTime(decodeInt(p, 4)));
            return;
        case kTimestamp: {
            const double ms = decodeDouble(p);
            if (!std::isfinite(ms) || std::fabs(ms) > 1e17) {
                sqlite3_result_double(ctx, ms);
                return;
            }
            const auto days = static_cast<std::int64_t>(std::floor(ms / 86400000.0));
            const auto rest = static_cast<std::int64_t>(std::llround(ms - days * 86400000.0));
            resultText(ctx, isoDate(days) + " " + isoTime(rest));
            return;
        }
        case kBytes:
            sqlite3_result_blob(ctx, p, f.bytes, SQLITE_TRANSIENT);
            return;
        default:
            sqlite3_result_null(ctx);
    }
}

// ---- values in ------------------------------------------------------------------------------

std::string textOf(sqlite3_value* v) {
    const auto* p = sqlite3_value_text(v);
    return p ? std::string(reinterpret_cast<const char*>(p), sqlite3_value_bytes(v))
             : std::string();
}

std::string bytesOf(sqlite3_value* v) {
    const void* p = sqlite3_value_blob(v);
    return p ? std::string(static_cast<const char*>(p), sqlite3_value_bytes(v)) : std::string();
}

bool digitsAt(const std::string& s, std::size_t at, std::size_t n, int& out) {
    if (at + n > s.size()) return false;
    out = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

// "yyyy-mm-dd", as SQL's date functions write it.
bool parseIsoDate(const std::string& s, std::int64_t& days) {
    int y, m, d;
    if (s.size() < 10 || s[4] != '-' || s[7] != '-' || !digitsAt(s, 0, 4, y) ||
        !digitsAt(s, 5, 2, m) || !digitsAt(s, 8, 2, d))
        return false;
    days = daysFromCivil(y, m, d);
    return days != 0;
}

// "hh:mm", "hh:mm:ss" or "hh:mm:ss.f" (up to milliseconds) from `at` to the end.
bool parseIsoTime(const std::string& s, std::size_t at, std::int64_t& ms) {
    int h, m, sec = 0, frac = 0;
    if (!digitsAt(s, at, 2, h) || s.size() < at + 5 || s[at + 2] != ':' ||
        !digitsAt(s, at + 3, 2, m))
        return false;
    std::size_t i = at + 5;
    if (i < s.size()) {
        if (s[i] != ':' || !digitsAt(s, i + 1, 2, sec)) return false;
        i += 3;
        if (i < s.size()) {
            if (s[i] != '.') return false;
            const std::size_t digits = s.size() - i - 1;
            if (digits < 1 || digits > 3 || !digitsAt(s, i + 1, digits, frac)) return false;
            for (std::size_t k = digits; k < 3; ++k) frac *= 10;
        }
    }
    if (h > 23 || m > 59 || sec > 59) return false;
    ms = ((h * 60 + m) * 60 + sec) * 1000LL + frac;
    return true;
}

[[noreturn]] void refuse(const std::string& text, const char* kind, const FieldInfo& f) {
    throw EConvertError("'" + text + "' is not a valid " + kind + " value for field '" + f.name +
                        "'");
}

std::string shownText(sqlite3_value* v) {
    return utf8ToCp1252(textOf(v));
}

// Writes an SQL value into field i of the writer's pending row, by the field's type.
void writeField(Table& w, int i, sqlite3_value* v) {
    Field& field = w.field(i);
    const FieldInfo& f = tableBehind(w).fields()[i];
    const int type = sqlite3_value_type(v);
    if (type == SQLITE_NULL) {
        field.clear();
        return;
    }
    switch (f.type) {
        case kAlpha:
        case kMemo:
        case kFmtMemo:
            field.setAsString(type == SQLITE_BLOB ? bytesOf(v) : shownText(v));
            return;
        case kBytes:
        case kBlob:
        case kOle:
        case kGraphic:
            field.setAsString(type == SQLITE_BLOB ? bytesOf(v) : textOf(v));
            return;
        case kShort:
        case kLong:
        case kAutoIncField:
        case kNumber:
        case kCurrency:
        case kBcd:
        case kLogical: {
            if (type == SQLITE_BLOB) refuse("(blob)", "number", f);
            const int numeric = sqlite3_value_numeric_type(v);
            if (numeric == SQLITE_INTEGER) {
                const std::int64_t n = sqlite3_value_int64(v);
                if (f.type == kLogical)
                    field.setValue(n != 0);
                else
                    field.setValue(n);
            } else if (numeric == SQLITE_FLOAT) {
                const double d = sqlite3_value_double(v);
                if (f.type == kLogical)
                    field.setValue(d != 0);
                else
                    field.setValue(d);
            } else {
                // Text SQL cannot read as a number: the field's own reading (the locale's
                // decimal separator, "T"/"F" for logical fields) decides, or refuses.
                field.setAsString(shownText(v));
            }
            return;
        }
        case kDate:
        case kTime:
        case kTimestamp: {
            const char* kind = f.type == kDate   ? "date"
                               : f.type == kTime ? "time"
                                                 : "date and time";
            if (type != SQLITE_TEXT) refuse(shownText(v), kind, f);
            const std::string s = textOf(v);
            std::uint8_t* p = pendingRecord(w) + f.offset;
            std::int64_t days = 0, ms = 0;
            if (f.type == kDate && s.size() == 10 && parseIsoDate(s, days)) {
                encodeInt(p, 4, days);
                return;
            }
            if (f.type == kTime && parseIsoTime(s, 0, ms)) {
                encodeInt(p, 4, ms);
                return;
            }
            if (f.type == kTimestamp && parseIsoDate(s, days) &&
                (s.size() == 10 || ((s[10] == ' ' || s[10] == 'T') && parseIsoTime(s, 11, ms)))) {
                encodeDouble(p, static_cast<double>(days) * 86400000.0 + static_cast<double>(ms));
                return;
            }
            field.setAsString(shownText(v));  // the locale's pattern, or the field's refusal
            return;
        }
        default:
            refuse(shownText(v), "supported", f);
    }
}

// ---- the undo log ---------------------------------------------------------------------------

void saveField(const PxTable& t, const std::uint8_t* rec, int i, std::string& out) {
    const FieldInfo& f = t.fields()[i];
    const std::string data =
        isBlobType(f.type) ? t.blobData(rec, f)
                           : std::string(reinterpret_cast<const char*>(rec + f.offset), f.bytes);
    const auto index = static_cast<std::uint16_t>(i);
    const auto length = static_cast<std::uint32_t>(data.size());
    out.append(reinterpret_cast<const char*>(&index), sizeof index);
    out.append(reinterpret_cast<const char*>(&length), sizeof length);
    out += data;
}

void restoreFields(PxTable& t, std::uint8_t* rec, const std::string& saved, std::size_t start,
                   std::size_t end) {
    while (start < end) {
        std::uint16_t index;
        std::uint32_t length;
        std::memcpy(&index, saved.data() + start, sizeof index);
        std::memcpy(&length, saved.data() + start + sizeof index, sizeof length);
        start += sizeof index + sizeof length;
        const FieldInfo& f = t.fields()[index];
        if (isBlobType(f.type)) {
            // An empty blob was NULL: setBlobData leaves it all zero.
            t.setBlobData(rec, f, saved.substr(start, length));
        } else {
            std::memcpy(rec + f.offset, saved.data() + start, length);
        }
        start += length;
    }
}

// Takes back the changes after the first `keep` entries, newest first. A row deleted and put
// back gets a new id; older entries that name it follow it there.
void undoTo(BoundTable& bound, std::size_t keep) {
    BoundTable::Undo& u = bound.undo();
    Table& w = bound.writer();
    if (w.state() == DataSetState::Edit || w.state() == DataSetState::Insert) w.cancel();
    std::unordered_map<RowId, RowId> moved;
    auto where = [&moved](RowId r) {
        auto it = moved.find(r);
        return it == moved.end() ? r : it->second;
    };
    while (u.entries.size() > keep) {
        const BoundTable::Undo::Entry e = u.entries.back();
        PxTable& t = tableBehind(w);
        switch (e.kind) {
            case BoundTable::Undo::Inserted:
                moveToRow(w, where(e.row));
                w.deleteRecord();
                break;
            case BoundTable::Undo::Updated:
                moveToRow(w, where(e.row));
                w.edit();
                restoreFields(t, pendingRecord(w), u.saved, e.start, e.end);
                w.post();
                break;
            case BoundTable::Undo::Deleted:
                w.insert();
                restoreFields(t, pendingRecord(w), u.saved, e.start, e.end);
                w.post();
                moved[e.row] = currentRowId(w);
                break;
        }
        u.entries.pop_back();
        u.saved.resize(e.start);
    }
}

// ---- the module -----------------------------------------------------------------------------

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
