#pragma once
// One Paradox table loaded whole into memory: its header, fields, rows in key order (or in
// arrival order when unkeyed), blobs and maintained secondary indexes. Changes stay in memory;
// save() writes a packed family (.db, .px, .mb, .Xnn/.Ynn) that replaces the old one as a whole
// (see FamilyFiles.h). Every fault of a file raises EDatabaseError naming the file and the fault.

#include <cstdint>
#include <istream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "util/LargeBuffer.h"

namespace sivaro::px {

class FamilyView;

struct FieldInfo {
    std::string name;  // Windows-1252
    std::uint8_t type = 0;
    std::uint16_t size = 0;  // as in the header: characters, bytes, or a BCD's decimals
    int offset = 0;          // in the record
    int bytes = 0;           // in the record
};

bool isBlobType(std::uint8_t type);
int fieldBytes(std::uint8_t type, int size);  // 0 for an unknown type
bool knownFieldType(std::uint8_t type);

// A maintained secondary index: its .Xnn (a keyed table of the indexed fields, the primary key
// fields and the data block number of the row) and its .Ynn (the .Xnn's own primary index).
struct SecondaryIndex {
    std::string xPath, yPath;  // files on disk ("" for a missing .Ynn)
    std::vector<std::uint8_t> xHeader, yHeader;
    std::vector<FieldInfo> xFields;  // the last one is the block number
    std::vector<int> source;         // table field of each xField except the last
    int keyCount = 0;                // .Xnn key fields (indexed and primary key fields)
    std::uint8_t direction = 0;      // the .Xnn byte at kIndexFlags (IndexFlag)
};

using RowId = std::uint32_t;
constexpr RowId kNoRow = 0xFFFFFFFFu;

class PxTable {
  public:
    // Loads the family of the .db at `dbPath` (an engine path, already resolved on disk).
    static std::unique_ptr<PxTable> load(const std::string& dbPath);
    // The type code of field `name` (any letter case) as the header of the .db at `dbPath`
    // holds it, the rows left unread; 0 when the header cannot tell: no such field, a file that
    // cannot be read or is damaged, or a switch of the family that waits to be finished.
    static std::uint8_t storedFieldType(const std::string& dbPath, const std::string& name);
    ~PxTable();

    const std::string& path() const { return m_path; }
    const std::vector<FieldInfo>& fields() const { return m_fields; }
    int keyCount() const { return m_keyCount; }
    bool keyed() const { return m_keyCount > 0; }
    int recordSize() const { return m_recordSize; }
    int version() const;
    int codePage() const;
    int blockSizeKb() const;
    int sortOrder() const;
    const std::string& sortOrderName() const { return m_sortName; }
    std::uint32_t autoInc() const { return m_autoInc; }
    void setAutoInc(std::uint32_t value) { m_autoInc = value, m_dirty = true; }
    const std::vector<SecondaryIndex>& indexes() const { return m_indexes; }
    bool hasPrimaryIndexFile() const { return !m_pxHeader.empty(); }
    int fieldIndex(const std::string& name) const;  // -1 when missing; case-insensitive

    // Rows. A RowId stays the same for a row as long as it exists (edits included).
    std::int64_t rowCount() const { return m_count; }
    const std::uint8_t* row(RowId id) const { return &m_rows[std::size_t(id) * m_recordSize]; }
    RowId firstRow() const;
    RowId nextRow(RowId id) const;
    // The row after the position of `record`'s key (keyed), used when the current row is gone.
    RowId rowAfter(const std::uint8_t* record) const;
    bool alive(RowId id) const { return id < m_alive.size() && m_alive[id]; }
    // First row whose first `keyFields` key fields equal the record's; kNoRow when none.
    RowId findKey(const std::uint8_t* record, int keyFields) const;
    // Room for `more` rows beyond those held, for a caller that knows roughly how many it
    // adds: the rows then grow in place instead of being moved at every doubling.
    void reserveRows(std::size_t more);
    // Key and order checks; raises "Key violation" for a duplicate primary key.
    RowId insertRow(const std::uint8_t* record);
    void updateRow(RowId id, const std::uint8_t* record);
    void deleteRow(RowId id);
    void clearRows();
    std::uint64_t eraseGeneration() const { return m_eraseGen; }
    std::uint64_t changeCount() const { return m_changes; }

    // Blobs: the last 10 bytes of a blob field in memory hold a blob number + 1 (0 when the data
    // is all in the leader), the length and the modification number.
    std::string blobData(const std::uint8_t* record, const FieldInfo& field) const;
    void setBlobData(std::uint8_t* record, const FieldInfo& field, const std::string& data);
    void releaseBlobs(const std::uint8_t* oldRecord, const std::uint8_t* newRecord);

    // Restructure of one field (name, type code, size); rows converted or the change refused
    // with a message naming the field and the value that would be lost.
    void alterField(int index, const std::string& newName, std::uint8_t newType, int newSize);

    int compareKeys(const std::uint8_t* a, const std::uint8_t* b, int keyFields) const;
    // One field of two records in the table's sort order (the field's offset applies to both).
    int compareField(const FieldInfo& f, const std::uint8_t* a, const std::uint8_t* b) const;
    // True when alpha text of key fields can be ordered for certain under the sort order.
    bool orderCertain(const std::uint8_t* record, std::string* why) const;
    // Raises "Key violation" when a unique secondary index already holds the record's values
    // in a row other than `self`.
    void checkUniqueIndexes(const std::uint8_t* record, RowId self) const;

    // Memos whose modification number differs from their .mb entry's (the original engine
    // reports them as modified by another program); read all the same.
    int blobStampMismatches() const { return m_blobStampMismatches; }

    bool dirty() const { return m_dirty; }
    void markDirty() { m_dirty = true; }
    // For a caller that has taken back every change since the files were read or written: the
    // files hold the table, so closing it writes nothing.
    void markClean() { m_dirty = false; }
    // Writes the packed family; `lockFd` receives the descriptor that holds the new .db's lock.
    void save(int& lockFd);

  private:
    PxTable() = default;
    // One clock for every table of the process (see changeCount()).
    static std::uint64_t nextChange();
    // Letters a to z as A to Z: the international sort orders ignore letter case.
    static unsigned char foldAscii(unsigned char c);
    struct Probe {
        const std::uint8_t* record;
        int fields;
    };
    struct KeyLess {
        using is_transparent = void;
        const PxTable* table;
        bool operator()(RowId a, RowId b) const;
        bool operator()(RowId a, const Probe& p) const;
        bool operator()(const Probe& p, RowId a) const;
    };
    RowId newSlot();
    // The whole-key lookup through m_keyHash: the row, or kNoRow when the hash has no live row
    // of that key (the caller then asks m_order).
    RowId hashedRow(const std::uint8_t* record) const;
    void buildKeyHash() const;
    void hashRow(RowId id) const;  // an entry for the row's key, when the hash is built
    std::size_t keyBytes() const;  // the key fields lead the record
    void readDataBlocks(std::istream& in, std::uint64_t fileSize);
    void readBlobs(const std::string& mbPath, const FamilyView& view);
    void readIndexes(const FamilyView& view);
    std::vector<std::uint8_t> buildHeader() const;
    std::vector<std::uint8_t> primaryIndexHeader() const;

    std::string m_path;
    std::vector<std::uint8_t> m_header;  // as read, changed only where we keep facts
    std::vector<std::uint8_t> m_pxHeader;
    std::string m_pxPath;
    std::vector<std::uint8_t> m_mbHeader;
    std::string m_mbPath;
    std::vector<FieldInfo> m_fields;
    std::vector<int> m_fieldNumbers;
    std::string m_tableName;
    std::string m_sortName;
    int m_keyCount = 0;
    int m_recordSize = 0;
    std::uint32_t m_autoInc = 0;
    bool m_dirty = false;

    LargeVector<std::uint8_t> m_rows;
    std::vector<std::uint8_t> m_alive;
    std::vector<RowId> m_freeSlots;
    RowId m_slots = 0;
    std::int64_t m_count = 0;
    std::uint64_t m_eraseGen = 0;
    std::uint64_t m_changes = 0;  // the last change of the rows, on the process-wide clock
    std::set<RowId, KeyLess> m_order{KeyLess{this}};
    // Rows by a hash of their whole key, open addressing, kNoRow for a free place; built at the
    // first whole-key lookup of a large table, as a walk down m_order costs a cache miss a level.
    // Only a cache: m_order stays the authority, and an entry counts only while its row is alive
    // and has the key, so an entry left behind by a delete or a key change is passed over.
    mutable LargeVector<RowId> m_keyHash;
    mutable std::size_t m_keyHashEntries = 0;
    std::vector<std::string> m_blobs;
    std::vector<std::uint16_t> m_blobMods;
    std::vector<SecondaryIndex> m_indexes;
    int m_blobStampMismatches = 0;
};

}  // namespace sivaro::px
