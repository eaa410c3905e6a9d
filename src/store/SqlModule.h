#pragma once
// The virtual-table module "paradox" through which SQLite reads and changes Paradox tables.
// A virtual table made by CREATE VIRTUAL TABLE name USING paradox(N) is the table bound as
// number N: its fields are the columns, its rows the rows, a row's id the rowid. Columns are
// INTEGER (integer kinds, auto-increment, logical as 0/1), REAL (float, currency, BCD), TEXT
// (text and memos in UTF-8, dates 'yyyy-mm-dd', times 'hh:mm:ss', timestamps 'yyyy-mm-dd
// hh:mm:ss') or BLOB (bytes, binary blobs); values written are converted back by the field's
// type. Every change goes through a handle of the shared table, so other handles see it at once
// and the table's files get it like any other change. The changes of a statement that fails
// are undone.

#include <memory>
#include <string>
#include <vector>

#include "store/TableStore.h"

struct sqlite3;

namespace sivaro::sql {

// A table of the statement's folder, opened for the length of the statement.
class BoundTable {
  public:
    BoundTable(TableStore& store, const std::string& folder, const std::string& tableName);
    ~BoundTable();
    BoundTable(const BoundTable&) = delete;
    BoundTable& operator=(const BoundTable&) = delete;

    const std::string& tableName() const { return m_tableName; }
    Table& writer() { return *m_writer; }
    std::unique_ptr<Table> openHandle() const;  // another handle on the same shared table
    void close();  // the files are written when no other handle holds the table

    struct Undo;
    Undo& undo() { return *m_undo; }
    // Set when the undo of a failed statement itself failed: the table may hold part of it.
    std::string rollbackError;

  private:
    TableStore& m_store;
    std::string m_folder, m_tableName;
    std::unique_ptr<Table> m_writer;
    std::unique_ptr<Undo> m_undo;
};

// Registers the module on `db`; `tables` must outlive the virtual tables made with it.
void registerParadoxModule(sqlite3* db, std::vector<std::unique_ptr<BoundTable>>& tables);

// The CREATE TABLE text that declares the fields of an open table as columns (UTF-8).
std::string declareColumns(Table& table);

}  // namespace sivaro::sql
