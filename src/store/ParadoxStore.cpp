#include "store/ParadoxStore.h"

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <unordered_map>

#include "store/Connection.h"
#include "store/FamilyFiles.h"
#include "store/FieldCodec.h"
#include "store/FieldText.h"
#include "store/ParadoxFormat.h"
#include "store/ParadoxTable.h"
#include "store/RowAccess.h"
#include "store/SqlQuery.h"
#include "util/CodePage.h"
#include "util/Errors.h"
#include "util/Paths.h"

namespace sivaro {

namespace fs = std::filesystem;
using namespace px;

std::uint8_t paradoxTypeCode(FieldType type) {
    switch (type) {
        case FieldType::String:
            return kAlpha;
        case FieldType::Smallint:
            return kShort;
        case FieldType::Integer:
            return kLong;
        case FieldType::Boolean:
            return kLogical;
        case FieldType::Float:
            return kNumber;
        case FieldType::Currency:
            return kCurrency;
        case FieldType::BCD:
            return kBcd;
        case FieldType::Date:
            return kDate;
        case FieldType::Time:
            return kTime;
        case FieldType::DateTime:
            return kTimestamp;
        case FieldType::Bytes:
            return kBytes;
        case FieldType::AutoInc:
            return kAutoIncField;
        case FieldType::Blob:
            return kBlob;
        case FieldType::Memo:
            return kMemo;
        case FieldType::Graphic:
            return kGraphic;
        case FieldType::FmtMemo:
            return kFmtMemo;
        case FieldType::ParadoxOle:
            return kOle;
        default:
            return 0;
    }
}

FieldType fieldTypeOf(std::uint8_t code) {
    switch (code) {
        case kAlpha:
            return FieldType::String;
        case kShort:
            return FieldType::Smallint;
        case kLong:
            return FieldType::Integer;
        case kLogical:
            return FieldType::Boolean;
        case kNumber:
            return FieldType::Float;
        case kCurrency:
            return FieldType::Currency;
        case kBcd:
            return FieldType::BCD;
        case kDate:
            return FieldType::Date;
        case kTime:
            return FieldType::Time;
        case kTimestamp:
            return FieldType::DateTime;
        case kBytes:
            return FieldType::Bytes;
        case kAutoIncField:
            return FieldType::AutoInc;
        case kBlob:
            return FieldType::Blob;
        case kMemo:
            return FieldType::Memo;
        case kGraphic:
            return FieldType::Graphic;
        case kFmtMemo:
            return FieldType::FmtMemo;
        case kOle:
            return FieldType::ParadoxOle;
        default:
            return FieldType::Unknown;
    }
}

namespace {

// One table file opened in this process, shared by its handles.
struct SharedTable {
    std::string key;
    std::string path;
    std::unique_ptr<PxTable> table;
    int lockFd = -1;
    int handles = 0;
    bool exclusive = false;
    bool writable = true;
    bool lockedForWrite = false;  // the .db's lock is exclusive
};

EDatabaseError inUse(const std::string& path) {
    return EDatabaseError("Table " + path + " is in use by another program");
}

std::map<std::string, SharedTable*>& registry() {
    static std::map<std::string, SharedTable*> tables;
    return tables;
}

std::string registryKey(const std::string& path) {
    // The canonical form of a path costs a system call per component, and an import opens the
    // same few tables again at every record (lookups in turn, branch folders): keep it.
    static std::unordered_map<std::string, std::string> known;
    std::error_code ec;
    const std::string absolute =
        !path.empty() && path[0] == '/' ? path : fs::current_path(ec).string() + "/" + path;
    if (const auto it = known.find(absolute); it != known.end()) return it->second;
    const fs::path canonical = fs::weakly_canonical(osPath(path), ec);
    std::string key = ec ? path : canonical.string();
    // Only a path that names an existing file is kept: a missing one may appear under
    // another spelling later.
    if (!ec && fs::exists(canonical, ec)) known.emplace(absolute, key);
    return key;
}

SharedTable* acquire(const std::string& path, bool exclusive) {
    const std::string key = registryKey(path);
    auto& reg = registry();
    auto it = reg.find(key);
    if (it != reg.end()) {
        SharedTable* s = it->second;
        if (exclusive || s->exclusive)
            throw EDatabaseError(
                "Table " + path + " is open" + (s->exclusive ? " for exclusive use" : "") +
                "; it cannot be opened " + (exclusive ? "for exclusive use" : "again") + " now");
        ++s->handles;
        return s;
    }
    std::error_code ec;
    if (!fs::is_regular_file(osPath(path), ec))
        throw EDatabaseError("Table " + path + " does not exist");
    const bool writable = ::access(osPath(path).c_str(), W_OK) == 0;
    int fd = lockFile(path, writable, exclusive);
    if (fd == -2) throw inUse(path);
    if (fd < 0) throw EDatabaseError("Table " + path + " cannot be opened");
    bool lockedForWrite = exclusive;
    if (writable && fs::exists(osPath(path + ".switch"), ec)) {
        // A writer stopped in the middle of replacing the family: finish its work, then lock
        // the .db that now bears the name.
        if (!lockedForWrite && !upgradeLock(fd)) {
            unlockFile(fd);
            throw inUse(path);
        }
        try {
            recoverFamily(path);
        } catch (...) {
            unlockFile(fd);
            throw;
        }
        unlockFile(fd);
        fd = lockFile(path, writable, true);
        if (fd == -2) throw inUse(path);
        if (fd < 0) throw EDatabaseError("Table " + path + " cannot be opened");
        lockedForWrite = true;
    } else if (writable) {
        recoverFamily(path);
    }
    auto s = std::make_unique<SharedTable>();
    s->key = key;
    s->path = path;
    s->lockFd = fd;
    s->writable = writable;
    s->exclusive = exclusive;
    s->lockedForWrite = lockedForWrite;
    try {
        s->table = PxTable::load(path);
    } catch (...) {
        unlockFile(fd);
        throw;
    }
    s->handles = 1;
    reg[key] = s.get();
    return s.release();
}

void flushShared(SharedTable* s) {
    if (!s->table->dirty()) return;
    if (!s->writable) throw EDatabaseError("Table " + s->path + " is read only");
    int newFd = -1;
    s->table->save(newFd);
    if (newFd >= 0) {
        unlockFile(s->lockFd);
        s->lockFd = newFd;
        s->lockedForWrite = true;
    }
}

void release(SharedTable* s) {
    if (--s->handles > 0) return;
    std::unique_ptr<SharedTable> owned(s);
    registry().erase(s->key);
    // The files must be complete and current once no handle holds the table.
    try {
        flushShared(s);
    } catch (...) {
        unlockFile(s->lockFd);
        throw;
    }
    unlockFile(s->lockFd);
}

std::string fieldTypeName(std::uint8_t type) {
    switch (type) {
        case kAlpha:
            return "string";
        case kDate:
            return "date";
        case kTime:
            return "time";
        case kTimestamp:
            return "date and time";
        case kLogical:
            return "boolean";
        case kShort:
        case kLong:
        case kAutoIncField:
            return "integer";
        default:
            return "floating point";
    }
}

class ParadoxTable;

class ParadoxField final : public Field {
  public:
    ParadoxField(ParadoxTable& owner, int index) : m_owner(owner), m_index(index) {}
    const std::string& fieldName() const override;
    int index() const override { return m_index; }
    FieldType dataType() const override { return fieldTypeOf(info().type); }
    // Blobs count the bytes kept in the record, as schemas and pxtool show them.
    int size() const override {
        return isBlobType(info().type) ? info().size - kBlobTail : info().size;
    }
    bool isNull() const override;
    std::string asString() const override;
    void setAsString(const std::string& text) override;
    std::int32_t asInteger() const override;
    void setAsInteger(std::int32_t value) override;
    double asCurrency() const override;
    void setAsCurrency(double value) override;
    FieldValue value() const override;
    void setValue(const FieldValue& value) override;
    void clear() override;

  private:
    const FieldInfo& info() const;
    const std::uint8_t* readBytes() const;  // nullptr when there is no current row
    std::uint8_t* writeBytes();             // the pending row; raises outside edit and insert
    double number() const;
    void setNumber(double v, const std::string& shown);
    [[noreturn]] void refuse(const std::string& text, const std::string& kind) const;
    ParadoxTable& m_owner;
    int m_index;
};

class ParadoxTable final : public Table {
  public:
    explicit ParadoxTable(std::shared_ptr<TDataBaseNew> connection)
        : m_connection(std::move(connection)) {}
    ~ParadoxTable() override {
        try {
            close();
        } catch (...) {
            // A destructor cannot report; close() explicitly to see the error.
        }
    }
    void setDatabaseName(const std::string& folder) override {
        checkInactive();
        m_database = folder;
    }
    const std::string& databaseName() const override { return m_database; }
    void setTableName(const std::string& name) override {
        checkInactive();
        m_tableName = name;
    }
    const std::string& tableName() const override { return m_tableName; }
    void setExclusive(bool exclusive) override {
        checkInactive();
        m_exclusive = exclusive;
    }
    bool exclusive() const override { return m_exclusive; }

    void open() override {
        if (m_shared) return;
        if (m_tableName.empty()) throw EDatabaseError("No table name given");
        TDataBaseNew* via = connection();
        m_shared = acquire(filePath(), m_exclusive);
        if (via) {
            try {
                via->attach(this);
            } catch (...) {
                SharedTable* s = m_shared;
                m_shared = nullptr;
                release(s);
                throw;
            }
            m_attached = via;
        }
        m_fields.clear();
        for (std::size_t i = 0; i < table().fields().size(); ++i)
            m_fields.push_back(std::make_unique<ParadoxField>(*this, static_cast<int>(i)));
        m_state = DataSetState::Browse;
        first();
    }

    void close() override {
        if (!m_shared) return;
        if (m_state == DataSetState::Insert || m_state == DataSetState::Edit) cancel();
        SharedTable* s = m_shared;
        m_shared = nullptr;
        m_state = DataSetState::Inactive;
        m_fields.clear();
        if (m_attached) m_attached->detach(this);
        m_attached = nullptr;
        release(s);
    }

    bool active() const override { return m_shared != nullptr; }

    void emptyTable() override {
        if (!m_shared) {
            SharedTable* s = acquire(filePath(), false);
            try {
                checkWritable(s);
                s->table->clearRows();
            } catch (...) {
                release(s);
                throw;
            }
            release(s);
            return;
        }
        checkWritable(m_shared);
        if (m_state == DataSetState::Edit || m_state == DataSetState::Insert) cancel();
        table().clearRows();
        m_current = kNoRow;
        m_eof = true;
    }

    int fieldCount() const override { return static_cast<int>(m_fields.size()); }
    Field& field(int index) override {
        checkActive();
        if (index < 0 || index >= fieldCount())
            throw EDatabaseError("Field index " + std::to_string(index) + " out of range in " +
                                 m_tableName);
        return *m_fields[index];
    }
    Field& fieldByName(const std::string& name) override {
        Field* f = findField(name);
        if (!f) throw EDatabaseError("Field '" + name + "' not found in table " + m_tableName);
        return *f;
    }
    Field* findField(const std::string& name) override {
        if (!m_shared) return nullptr;
        const int i = table().fieldIndex(name);
        return i < 0 ? nullptr : m_fields[i].get();
    }

    bool locate(const std::string& fieldNames, const std::vector<std::string>& values,
                bool caseInsensitive) override;

    void first() override {
        checkActive();
        checkBrowse();
        m_current = table().firstRow();
        m_eof = m_current == kNoRow;
        remember();
    }

    void next() override {
        checkActive();
        checkBrowse();
        if (m_current == kNoRow) {
            m_eof = true;
            return;
        }
        const RowId n = table().alive(m_current) ? table().nextRow(m_current)
                                                 : table().rowAfter(m_currentCopy.data());
        if (n == kNoRow) {
            m_eof = true;
            if (!table().alive(m_current)) m_current = kNoRow;
            return;
        }
        m_current = n;
        remember();
    }

    bool eof() const override { return !m_shared || m_eof; }
    std::int64_t recordCount() const override { return m_shared ? table().rowCount() : 0; }

    void edit() override {
        checkActive();
        if (m_state == DataSetState::Edit || m_state == DataSetState::Insert) return;
        if (m_current == kNoRow || !table().alive(m_current))
            throw EDatabaseError("No current record in table " + m_tableName);
        checkWritable(m_shared);
        m_buffer.assign(table().row(m_current), table().row(m_current) + table().recordSize());
        m_state = DataSetState::Edit;
    }

    void insert() override {
        checkActive();
        if (m_state == DataSetState::Edit || m_state == DataSetState::Insert) post();
        checkWritable(m_shared);
        m_buffer.assign(table().recordSize(), 0);
        m_state = DataSetState::Insert;
    }

    void post() override;

    void cancel() override {
        if (m_state != DataSetState::Edit && m_state != DataSetState::Insert) return;
        if (m_state == DataSetState::Edit && table().alive(m_current)) {
            table().releaseBlobs(m_buffer.data(), table().row(m_current));
        } else {
            std::vector<std::uint8_t> none(m_buffer.size(), 0);
            table().releaseBlobs(m_buffer.data(), none.data());
        }
        m_buffer.clear();
        m_state = DataSetState::Browse;
    }

    DataSetState state() const override { return m_state; }
    std::string tableType() const override { return "PARADOX"; }
    std::uint64_t changeCount() const override {
        return m_shared ? m_shared->table->changeCount() : 0;
    }

    void deleteRecord() override {
        checkActive();
        if (m_state == DataSetState::Insert) {
            cancel();
            return;
        }
        if (m_state == DataSetState::Edit) cancel();
        if (m_current == kNoRow || !table().alive(m_current))
            throw EDatabaseError("No current record in table " + m_tableName);
        checkWritable(m_shared);
        const RowId gone = m_current;
        RowId n = table().nextRow(gone);
        table().deleteRow(gone);
        if (n == kNoRow) {
            // The last row went: the previous one becomes current, as a grid shows it.
            RowId prev = kNoRow;
            for (RowId r = table().firstRow(); r != kNoRow; r = table().nextRow(r)) prev = r;
            n = prev;
        }
        m_current = n;
        m_eof = n == kNoRow;
        remember();
    }

    void flush() override {
        checkActive();
        flushShared(m_shared);
    }

    std::vector<FieldDescriptor> fieldDescriptors() const override {
        std::vector<FieldDescriptor> out;
        if (!m_shared) return out;
        for (std::size_t i = 0; i < table().fields().size(); ++i) {
            const FieldInfo& f = table().fields()[i];
            out.push_back({f.name, fieldTypeOf(f.type),
                           isBlobType(f.type) ? f.size - kBlobTail : f.size,
                           static_cast<int>(i) < table().keyCount()});
        }
        return out;
    }

    void restructure(int index, const FieldDescriptor& changed) override {
        checkActive();
        if (!m_exclusive)
            throw EDatabaseError("Table " + m_tableName + " must be opened exclusively");
        checkBrowse();
        checkWritable(m_shared);
        if (index < 0 || index >= fieldCount())
            throw EDatabaseError("Field index " + std::to_string(index) + " out of range");
        std::uint8_t code = 0;
        if (changed.type != FieldType::Unknown) {
            code = paradoxTypeCode(changed.type);
            if (code == 0)
                throw EDatabaseError("Table " + m_tableName + " cannot hold a field of type " +
                                     std::to_string(static_cast<int>(changed.type)));
        }
        const std::uint8_t finalType = code ? code : table().fields()[index].type;
        const int size =
            changed.size > 0 && isBlobType(finalType) ? changed.size + kBlobTail : changed.size;
        table().alterField(index, changed.name, code, size);
        flushShared(m_shared);
        m_fields.clear();
        for (std::size_t i = 0; i < table().fields().size(); ++i)
            m_fields.push_back(std::make_unique<ParadoxField>(*this, static_cast<int>(i)));
        first();
    }

    // For the row access of the SQL module.
    RowId currentRow() const {
        if (!m_shared || m_current == kNoRow || !table().alive(m_current)) return kNoRow;
        return m_current;
    }
    void moveTo(RowId id) {
        checkActive();
        checkBrowse();
        if (!table().alive(id))
            throw EDatabaseError("Row " + std::to_string(id) + " of table " + m_tableName +
                                 " no longer exists");
        m_current = id;
        m_eof = false;
        remember();
    }

    // For the fields.
    PxTable& table() const { return *m_shared->table; }
    const std::uint8_t* currentBytes() const {
        if (!m_shared) return nullptr;
        if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
            return m_buffer.data();
        if (m_current == kNoRow || !table().alive(m_current)) return nullptr;
        return table().row(m_current);
    }
    std::uint8_t* pendingBytes(const std::string& field) {
        if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
            throw EDatabaseError("Table " + m_tableName +
                                 " is not in edit or insert mode (field '" + field + "')");
        return m_buffer.data();
    }

  private:
    // The connection this handle goes through: the one whose folder is the handle's.
    TDataBaseNew* connection() const {
        if (!m_connection || !m_connection->serves(m_database)) return nullptr;
        if (!m_connection->connected())
            throw EDatabaseError("Database " + m_connection->databaseName() + " is not open");
        return m_connection.get();
    }
    std::string filePath() const {
        std::string name = m_tableName;
        if (baseName(name).find('.') == std::string::npos) name += ".db";
        if (const TDataBaseNew* via = connection()) return resolvePath(via->folder(), name);
        if (m_database.empty()) return resolvePath(".", name).substr(2);
        return resolvePath(m_database, name);
    }
    void checkInactive() const {
        if (m_shared) throw EDatabaseError("Cannot perform this operation on an open table");
    }
    void checkActive() const {
        if (!m_shared)
            throw EDatabaseError("Cannot perform this operation on a closed table (" + m_tableName +
                                 ")");
    }
    void checkBrowse() {
        if (m_state == DataSetState::Edit || m_state == DataSetState::Insert) post();
    }
    // Changes need the table for this process alone: the shared lock turns exclusive here.
    static void checkWritable(SharedTable* s) {
        if (!s->writable) throw EDatabaseError("Table " + s->path + " is read only");
        if (s->lockedForWrite) return;
        if (!upgradeLock(s->lockFd)) throw inUse(s->path);
        s->lockedForWrite = true;
    }
    void remember() {
        if (m_current != kNoRow && table().keyed())
            m_currentCopy.assign(table().row(m_current),
                                 table().row(m_current) + table().recordSize());
    }

    std::shared_ptr<TDataBaseNew> m_connection;
    TDataBaseNew* m_attached = nullptr;
    std::string m_database, m_tableName;
    bool m_exclusive = false;
    SharedTable* m_shared = nullptr;
    std::vector<std::unique_ptr<ParadoxField>> m_fields;
    DataSetState m_state = DataSetState::Inactive;
    RowId m_current = kNoRow;
    bool m_eof = true;
    std::vector<std::uint8_t> m_buffer;
    std::vector<std::uint8_t> m_currentCopy;
};

// ---- fields ---------------------------------------------------------------------------------

const FieldInfo& ParadoxField::info() const {
    return m_owner.table().fields()[m_index];
}
const std::string& ParadoxField::fieldName() const {
    return info().name;
}
const std::uint8_t* ParadoxField::readBytes() const {
    const std::uint8_t* rec = m_owner.currentBytes();
    return rec ? rec + info().offset : nullptr;
}
std::uint8_t* ParadoxField::writeBytes() {
    return m_owner.pendingBytes(info().name) + info().offset;
}

bool ParadoxField::isNull() const {
    const std::uint8_t* p = readBytes();
    if (!p) return true;
    if (isBlobType(info().type)) {
        const std::uint8_t* tail = p + info().bytes - kBlobTail;
        return allZero(tail + 4, 4);
    }
    return allZero(p, info().bytes);
}

void ParadoxField::refuse(const std::string& text, const std::string& kind) const {
    throw EConvertError("'" + text + "' is not a valid " + kind + " value for field '" +
                        info().name + "'");
}

double ParadoxField::number() const {
    const std::uint8_t* p = readBytes();
    if (!p || isNull()) return 0;
    const FieldInfo& f = info();
    switch (f.type) {
        case kShort:
        case kLong:
        case kAutoIncField:
        case kDate:
        case kTime:
            return static_cast<double>(decodeInt(p, f.bytes));
        case kNumber:
        case kCurrency:
        case kTimestamp:
            return decodeDouble(p);
        case kBcd:
            return decodeBcd(p, f.size);
        case kLogical:
            return p[0] == kLogicalTrue ? 1 : 0;
        default:
            break;
    }
    double v = 0;
    const std::string text = asString();
    if (!parseNumber(text, v)) refuse(text, "floating point");
    return v;
}

void ParadoxField::setNumber(double v, const std::string& shown) {
    const FieldInfo& f = info();
    std::uint8_t* p = writeBytes();
    switch (f.type) {
        case kShort:
            if (v != std::floor(v) || v < -32767 || v > 32767) refuse(shown, "integer");
            encodeInt(p, 2, static_cast<std::int64_t>(v));
            return;
        case kLong:
        case kAutoIncField:
            if (v != std::floor(v) || v < -2147483647.0 || v > 2147483647.0)
                refuse(shown, "integer");
            encodeInt(p, 4, static_cast<std::int64_t>(v));
            return;
        case kNumber:
        case kCurrency:
            if (!std::isfinite(v)) refuse(shown, "floating point");
            encodeDouble(p, v);
            return;
        case kBcd:
            if (!encodeBcd(p, f.size, v)) refuse(shown, "BCD");
            return;
        default:
            setAsString(shown);
    }
}

std::string ParadoxField::asString() const {
    const std::uint8_t* p = readBytes();
    if (!p || isNull()) return {};
    const FieldInfo& f = info();
    const int cp = m_owner.table().codePage();
    switch (f.type) {
        case kAlpha:
            return tableTextToEngine(
                std::string(reinterpret_cast<const char*>(p),
                            strnlen(reinterpret_cast<const char*>(p), f.bytes)),
                cp);
        case kShort:
        case kLong:
        case kAutoIncField:
            return std::to_string(decodeInt(p, f.bytes));
        case kNumber:
        case kCurrency:
            return formatNumberText(decodeDouble(p));
        case kBcd:
            return formatNumberText(decodeBcd(p, f.size));
        case kDate:
            return formatDate(decodeInt(p, 4));
        case kTime:
            return formatTime(decodeInt(p, 4));
        case kTimestamp: {
            const double ms = decodeDouble(p);
            if (!std::isfinite(ms) || std::fabs(ms) > 1e17) return formatNumberText(ms);
            const std::int64_t days = static_cast<std::int64_t>(std::floor(ms / 86400000.0));
            const std::int64_t rest = static_cast<std::int64_t>(ms - days * 86400000.0);
            return rest == 0 ? formatDate(days) : formatDate(days) + " " + formatTime(rest);
        }
        case kLogical:
            return p[0] == kLogicalTrue ? "True" : "False";
        case kMemo:
        case kFmtMemo:
            return tableTextToEngine(m_owner.table().blobData(m_owner.currentBytes(), f), cp);
        case kBlob:
        case kOle:
        case kGraphic:
            return m_owner.table().blobData(m_owner.currentBytes(), f);
        case kBytes:
            return std::string(reinterpret_cast<const char*>(p), f.bytes);
        default:
            return {};
    }
}

void ParadoxField::setAsString(const std::string& text) {
    const FieldInfo& f = info();
    const int cp = m_owner.table().codePage();
    std::uint8_t* p = writeBytes();
    switch (f.type) {
        case kAlpha: {
            const std::string stored = engineTextToTable(text.substr(0, f.bytes), cp);
            std::memset(p, 0, f.bytes);
            std::memcpy(p, stored.data(), stored.size());
            return;
        }
        case kBytes:
            std::memset(p, 0, f.bytes);
            std::memcpy(p, text.data(), std::min<std::size_t>(text.size(), f.bytes));
            return;
        case kMemo:
        case kFmtMemo:
        case kBlob:
        case kOle:
        case kGraphic: {
            std::uint8_t* rec = m_owner.pendingBytes(f.name);
            std::vector<std::uint8_t> old(rec + f.offset, rec + f.offset + f.bytes);
            const bool isText = f.type == kMemo || f.type == kFmtMemo;
            m_owner.table().setBlobData(rec, f, isText ? engineTextToTable(text, cp) : text);
            (void)old;
            return;
        }
        default:
            break;
    }
    bool blank = true;
    for (char c : text) blank = blank && static_cast<unsigned char>(c) <= ' ';
    if (blank) {
        std::memset(p, 0, f.bytes);
        return;
    }
    switch (f.type) {
        case kShort:
        case kLong:
        case kAutoIncField: {
            std::int64_t v = 0;
            if (!parseInteger(text, v)) refuse(text, "integer");
            setNumber(static_cast<double>(v), text);
            return;
        }
        case kNumber:
        case kCurrency:
        case kBcd: {
            double v = 0;
            if (!parseNumber(text, v)) refuse(text, "floating point");
            setNumber(v, text);
            return;
        }
        case kDate: {
            std::int64_t days = 0;
            if (!parseDate(text, days)) refuse(text, "date");
            encodeInt(p, 4, days);
            return;
        }
        case kTime: {
            std::int64_t ms = 0;
            if (!parseTime(text, ms)) refuse(text, "time");
            encodeInt(p, 4, ms);
            return;
        }
        case kTimestamp: {
            std::string t = text;
            while (!t.empty() && static_cast<unsigned char>(t.front()) <= ' ') t.erase(0, 1);
            const std::size_t space = t.find(' ');
            std::int64_t days = 0, ms = 0;
            if (!parseDate(t.substr(0, space), days)) refuse(text, "date and time");
            if (space != std::string::npos) {
                std::string rest = t.substr(space + 1);
                bool restBlank = true;
                for (char c : rest) restBlank = restBlank && static_cast<unsigned char>(c) <= ' ';
                if (!restBlank && !parseTime(rest, ms)) refuse(text, "date and time");
            }
            encodeDouble(p, static_cast<double>(days) * 86400000.0 + static_cast<double>(ms));
            return;
        }
        case kLogical: {
            if (sameText(text, "T") || sameText(text, "True"))
                p[0] = kLogicalTrue;
            else if (sameText(text, "F") || sameText(text, "False"))
                p[0] = kLogicalFalse;
            else
                refuse(text, "boolean");
            return;
        }
        default:
            refuse(text, fieldTypeName(f.type));
    }
}

std::int32_t ParadoxField::asInteger() const {
    if (isNull()) return 0;
    const FieldInfo& f = info();
    if (f.type == kAlpha || f.type == kMemo) {
        std::int64_t v = 0;
        const std::string text = asString();
        if (!parseInteger(text, v) || v < INT32_MIN || v > INT32_MAX) refuse(text, "integer");
        return static_cast<std::int32_t>(v);
    }
    const double v = std::nearbyint(number());
    if (!(v >= INT32_MIN && v <= INT32_MAX)) refuse(asString(), "integer");
    return static_cast<std::int32_t>(v);
}

void ParadoxField::setAsInteger(std::int32_t value) {
    const FieldInfo& f = info();
    if (f.type == kAlpha || f.type == kMemo || f.type == kFmtMemo) {
        setAsString(std::to_string(value));
        return;
    }
    if (f.type == kDate || f.type == kTime) {
        encodeInt(writeBytes(), 4, value);
        return;
    }
    if (f.type == kLogical) {
        writeBytes()[0] = value ? kLogicalTrue : kLogicalFalse;
        return;
    }
    setNumber(value, std::to_string(value));
}

double ParadoxField::asCurrency() const {
    return number();
}

void ParadoxField::setAsCurrency(double value) {
    const FieldInfo& f = info();
    if (f.type == kAlpha || f.type == kMemo || f.type == kFmtMemo) {
        setAsString(formatNumberText(value));
        return;
    }
    setNumber(value, formatNumberText(value));
}

FieldValue ParadoxField::value() const {
    if (isNull()) return std::monostate{};
    const FieldInfo& f = info();
    const std::uint8_t* p = readBytes();
    switch (f.type) {
        case kShort:
        case kLong:
        case kAutoIncField:
        case kDate:
        case kTime:
            return decodeInt(p, f.bytes);
        case kNumber:
        case kCurrency:
            return decodeDouble(p);
        case kBcd:
            return decodeBcd(p, f.size);
        case kTimestamp:
            return decodeDouble(p) / 86400000.0;
        case kLogical:
            return p[0] == kLogicalTrue;
        default:
            return asString();
    }
}

void ParadoxField::setValue(const FieldValue& v) {
    const FieldInfo& f = info();
    if (std::holds_alternative<std::monostate>(v)) {
        clear();
        return;
    }
    if (const auto* s = std::get_if<std::string>(&v)) {
        setAsString(*s);
        return;
    }
    if (const auto* b = std::get_if<bool>(&v)) {
        if (f.type == kLogical)
            writeBytes()[0] = *b ? kLogicalTrue : kLogicalFalse;
        else
            setAsInteger(*b ? 1 : 0);
        return;
    }
    double d = 0;
    if (const auto* i = std::get_if<std::int64_t>(&v))
        d = static_cast<double>(*i);
    else
        d = std::get<double>(v);
    switch (f.type) {
        case kDate:
        case kTime:
            if (!(d >= INT32_MIN && d <= INT32_MAX))
                refuse(formatNumberText(d), f.type == kDate ? "date" : "time");
            encodeInt(writeBytes(), 4, static_cast<std::int64_t>(std::floor(d)));
            return;
        case kTimestamp:
            encodeDouble(writeBytes(), d * 86400000.0);
            return;
        case kLogical:
            writeBytes()[0] = d != 0 ? kLogicalTrue : kLogicalFalse;
            return;
        case kAlpha:
        case kMemo:
        case kFmtMemo:
            setAsString(formatNumberText(d));
            return;
        default:
            setNumber(d, formatNumberText(d));
    }
}

void ParadoxField::clear() {
    const FieldInfo& f = info();
    if (isBlobType(f.type)) {
        m_owner.table().setBlobData(m_owner.pendingBytes(f.name), f, std::string());
        return;
    }
    std::memset(writeBytes(), 0, f.bytes);
}

// ---- posting and locating -------------------------------------------------------------------

void ParadoxTable::post() {
    checkActive();
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert) return;
    PxTable& t = table();
    std::string why;
    if (!t.orderCertain(m_buffer.data(), &why))
        throw EDatabaseError("Cannot post to table " + m_tableName + ": " + why);
    t.checkUniqueIndexes(m_buffer.data(), m_state == DataSetState::Edit ? m_current : kNoRow);
    if (m_state == DataSetState::Insert) {
        std::uint32_t counter = t.autoInc();
        for (const FieldInfo& f : t.fields()) {
            if (f.type != kAutoIncField) continue;
            std::uint8_t* p = m_buffer.data() + f.offset;
            if (allZero(p, 4)) {
                encodeInt(p, 4, static_cast<std::int64_t>(counter) + 1);
            }
        }
        m_current = t.insertRow(m_buffer.data());
        // The counter holds the last value used, and never goes down.
        for (const FieldInfo& f : t.fields()) {
            if (f.type != kAutoIncField) continue;
            const std::int64_t v = decodeInt(m_buffer.data() + f.offset, 4);
            if (v > static_cast<std::int64_t>(counter)) counter = static_cast<std::uint32_t>(v);
        }
        if (counter != t.autoInc()) t.setAutoInc(counter);
    } else {
        if (!t.alive(m_current))
            throw EDatabaseError("The row being edited in " + m_tableName +
                                 " was deleted through another handle");
        std::vector<std::uint8_t> old(t.row(m_current), t.row(m_current) + t.recordSize());
        t.updateRow(m_current, m_buffer.data());
        t.releaseBlobs(old.data(), m_buffer.data());
    }
    m_buffer.clear();
    m_state = DataSetState::Browse;
    m_eof = false;
    remember();
}

bool ParadoxTable::locate(const std::string& fieldNames, const std::vector<std::string>& values,
                          bool caseInsensitive) {
    checkActive();
    checkBrowse();
    PxTable& t = table();
    std::vector<int> idx;
    std::size_t start = 0;
    while (start <= fieldNames.size()) {
        std::size_t end = fieldNames.find(';', start);
        if (end == std::string::npos) end = fieldNames.size();
        std::string name = fieldNames.substr(start, end - start);
        while (!name.empty() && name.front() == ' ') name.erase(0, 1);
        while (!name.empty() && name.back() == ' ') name.pop_back();
        const int i = t.fieldIndex(name);
        if (i < 0) throw EDatabaseError("Field '" + name + "' not found in table " + m_tableName);
        idx.push_back(i);
        start = end + 1;
    }
    // The wanted values in record form, converted as a write of the field would convert them.
    const DataSetState saved = m_state;
    std::vector<std::uint8_t> probe(t.recordSize(), 0);
    std::vector<std::uint8_t> keep;
    keep.swap(m_buffer);
    m_buffer = probe;
    m_state = DataSetState::Insert;
    std::vector<std::string> texts;
    bool tooLong = false;
    try {
        for (std::size_t k = 0; k < idx.size(); ++k) {
            const std::string v = k < values.size() ? values[k] : std::string();
            texts.push_back(v);
            const FieldInfo& f = t.fields()[idx[k]];
            if (f.type == kAlpha && v.size() > static_cast<std::size_t>(f.bytes)) tooLong = true;
            if (!isBlobType(f.type)) m_fields[idx[k]]->setAsString(v);
        }
    } catch (...) {
        m_buffer.swap(keep);
        m_state = saved;
        throw;
    }
    probe.swap(m_buffer);
    m_buffer.swap(keep);
    m_state = saved;
    if (tooLong) return false;

    bool needsText = false;
    for (int i : idx) {
        const std::uint8_t type = t.fields()[i].type;
        needsText = needsText || isBlobType(type) || (caseInsensitive && type == kAlpha);
    }
    bool keyPrefix = !needsText && static_cast<int>(idx.size()) <= t.keyCount();
    for (std::size_t k = 0; keyPrefix && k < idx.size(); ++k) keyPrefix = idx[k] == int(k);
    RowId found = kNoRow;
    if (keyPrefix) {
        found = t.findKey(probe.data(), static_cast<int>(idx.size()));
    } else {
        const int cp = t.codePage();
        for (RowId r = t.firstRow(); r != kNoRow && found == kNoRow; r = t.nextRow(r)) {
            const std::uint8_t* rec = t.row(r);
            bool match = true;
            for (std::size_t k = 0; k < idx.size() && match; ++k) {
                const FieldInfo& f = t.fields()[idx[k]];
                if (isBlobType(f.type)) {
                    const std::string text = tableTextToEngine(t.blobData(rec, f), cp);
                    match = caseInsensitive ? sameText(text, texts[k]) : text == texts[k];
                } else if (caseInsensitive && f.type == kAlpha) {
                    const std::string text = tableTextToEngine(
                        std::string(
                            reinterpret_cast<const char*>(rec + f.offset),
                            strnlen(reinterpret_cast<const char*>(rec + f.offset), f.bytes)),
                        cp);
                    match = sameText(text, texts[k]);
                } else {
                    match = std::memcmp(rec + f.offset, probe.data() + f.offset, f.bytes) == 0;
                }
            }
            if (match) found = r;
        }
    }
    if (found == kNoRow) return false;
    m_current = found;
    m_eof = false;
    remember();
    return true;
}

class ParadoxStore final : public TableStore {
  public:
    explicit ParadoxStore(std::shared_ptr<TDataBaseNew> connection)
        : m_connection(std::move(connection)) {}
    std::unique_ptr<Table> createTable() override {
        return std::make_unique<ParadoxTable>(m_connection);
    }
    std::unique_ptr<Query> createQuery() override { return createSqlQuery(*this); }

  private:
    std::shared_ptr<TDataBaseNew> m_connection;
};

}  // namespace

namespace px {

namespace {
ParadoxTable& engineHandle(const Table& handle) {
    auto* t = dynamic_cast<ParadoxTable*>(const_cast<Table*>(&handle));
    if (!t) throw EDatabaseError("Table " + handle.tableName() + " is not a Paradox table");
    if (!t->active())
        throw EDatabaseError("Cannot perform this operation on a closed table (" +
                             handle.tableName() + ")");
    return *t;
}
}  // namespace

PxTable& tableBehind(Table& handle) {
    return engineHandle(handle).table();
}
RowId currentRowId(const Table& handle) {
    return engineHandle(handle).currentRow();
}
void moveToRow(Table& handle, RowId id) {
    engineHandle(handle).moveTo(id);
}
std::uint8_t* pendingRecord(Table& handle) {
    return engineHandle(handle).pendingBytes(handle.tableName());
}

}  // namespace px

bool tableOpenInProcess(const std::string& dbPath) {
    return registry().count(registryKey(dbPath)) > 0;
}

std::unique_ptr<TableStore> createParadoxStore() {
    return std::make_unique<ParadoxStore>(nullptr);
}

std::unique_ptr<TableStore> createParadoxStore(std::shared_ptr<TDataBaseNew> connection) {
    return std::make_unique<ParadoxStore>(std::move(connection));
}

}  // namespace sivaro
