#pragma once
// The engine's table handle behind the Table interface: a handle has its own cursor and its own
// pending row over a table shared by every handle on the same file.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/Connection.h"
#include "store/FamilyFiles.h"
#include "store/FieldCodec.h"
#include "store/ParadoxField.h"
#include "store/ParadoxFormat.h"
#include "store/ParadoxStore.h"
#include "store/PxTable.h"
#include "store/Rehearsal.h"
#include "store/SharedTable.h"
#include "store/TableStore.h"
#include "util/Errors.h"
#include "util/Paths.h"

namespace sivaro::px {

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
        m_locateKnown = false;
        if (m_attached) m_attached->detach(this);
        m_attached = nullptr;
        release(s);
    }

    bool active() const override { return m_shared != nullptr; }

    FieldType storedFieldType(const std::string& name) override {
        // The header alone tells, unless the table is loaded here (its rows and fields may be
        // ahead of the files) or a switch of its files waits to be finished by a load.
        if (!m_shared && !m_tableName.empty() && !rehearsing()) {
            const std::string path = filePath();
            if (!openInProcess(path))
                if (const std::uint8_t type = PxTable::storedFieldType(path, name))
                    return fieldTypeOf(type);
        }
        return Table::storedFieldType(name);
    }

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
        m_locateKnown = false;
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
        if (!s->writable)
            throw EDatabaseError("Table " + s->path + " is read only" + s->readOnlyReason);
        if (rehearsing()) s->rehearsed = true;  // a change of a rehearsal is never written
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
    // locate(): the field numbers of the last field list, while the table stays open, and the
    // buffers of its probe and of the row put aside meanwhile.
    std::string m_locateNames;
    std::vector<int> m_locateFields;
    bool m_locateKnown = false;
    std::vector<std::uint8_t> m_locateProbe, m_locateAside;
};

}  // namespace sivaro::px
