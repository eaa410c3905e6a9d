#pragma once
// The table engine as the import engine sees it, in the order an import uses it: the set-up of
// the connection (openConnection, store/Connection.h), tables opened by folder and file name,
// emptying a table, their fields, locate, a cursor, row changes, statements (Query) and, for
// the code field's type, exclusive use and the restructure of one field. Every failure raises
// EDatabaseError (EConvertError for a text a field refuses) with the engine's message, naming
// the table, the field or the value; none is silent.

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace sivaro {

// Numbered as the original toolkit's field data types, the numbers callers pass around
// (AlteraCampo's type numbers: 3 integer, 14 auto-increment).
enum class FieldType : int {
    Unknown = 0,
    String = 1,
    Smallint = 2,
    Integer = 3,
    Word = 4,
    Boolean = 5,
    Float = 6,
    Currency = 7,
    BCD = 8,
    Date = 9,
    Time = 10,
    DateTime = 11,
    Bytes = 12,
    VarBytes = 13,
    AutoInc = 14,
    Blob = 15,
    Memo = 16,
    Graphic = 17,
    FmtMemo = 18,
    ParadoxOle = 19,
};

// A field's value in its own type: null, logical, integer kinds, float/currency/BCD, date and
// time kinds as days (dates), milliseconds (times) or days plus fraction (timestamps), text.
// Days count from 1 January 0001 = 1, as the table files do.
using FieldValue = std::variant<std::monostate, bool, std::int64_t, double, std::string>;

// A field of the current row of an open table.
class Field {
  public:
    virtual ~Field() = default;
    virtual const std::string& fieldName() const = 0;
    virtual int index() const = 0;  // position in the table's field order, from 0
    virtual FieldType dataType() const = 0;
    // Characters of a text field; decimals of a BCD field; bytes of a bytes field; for memos and
    // blobs the bytes kept in the record beside the memo file.
    virtual int size() const = 0;
    virtual bool isNull() const = 0;

    // Text conversions by the field's type with the process's format settings: dates
    // "dd/mm/yyyy", numbers with the decimal separator and no thousands separator, logical
    // "T"/"F"/"True"/"False". An empty text clears a number or date field; a text field keeps
    // at most its size. A text that does not convert raises EConvertError naming it and the field.
    virtual std::string asString() const = 0;
    virtual void setAsString(const std::string& text) = 0;
    virtual std::int32_t asInteger() const = 0;
    virtual void setAsInteger(std::int32_t value) = 0;
    virtual double asCurrency() const = 0;
    virtual void setAsCurrency(double value) = 0;
    virtual FieldValue value() const = 0;
    virtual void setValue(const FieldValue& value) = 0;
    virtual void clear() = 0;
};

enum class DataSetState { Inactive, Browse, Edit, Insert };

// A field's definition, as a restructure reads and changes it. `size` as Field::size().
struct FieldDescriptor {
    std::string name;
    FieldType type = FieldType::Unknown;
    int size = 0;
    bool key = false;
};

// A handle on one table file. Handles on the same file share one table within the process:
// a row posted through one is seen at once through every other.
class Table {
  public:
    virtual ~Table() = default;

    virtual void setDatabaseName(const std::string& folder) = 0;  // the folder of the table
    virtual const std::string& databaseName() const = 0;
    // "Cliente.db", or "cidade" for "cidade.db"; matched without regard to case on disk.
    virtual void setTableName(const std::string& name) = 0;
    virtual const std::string& tableName() const = 0;
    virtual void setExclusive(bool exclusive) = 0;

    virtual void open() = 0;  // a missing table, or one another process holds, is an error
    virtual void close() = 0;
    virtual bool active() const = 0;
    virtual void emptyTable() = 0;  // every row deleted; the files stay
    // The type of a field as the table holds it: the table is opened and closed again, as a
    // look at the field of an open table would need; an engine may read the type alone.
    virtual FieldType storedFieldType(const std::string& name) {
        open();
        FieldType type = FieldType::Unknown;
        try {
            type = fieldByName(name).dataType();
        } catch (...) {
            close();
            throw;
        }
        close();
        return type;
    }

    virtual int fieldCount() const = 0;
    virtual Field& field(int index) = 0;
    virtual Field& fieldByName(const std::string& name) = 0;  // error when missing
    virtual Field* findField(const std::string& name) = 0;    // nullptr when missing

    // Field names joined by ";" with one value each; true and the row made current when found.
    virtual bool locate(const std::string& fieldNames, const std::vector<std::string>& values,
                        bool caseInsensitive) = 0;
    virtual void first() = 0;
    virtual void next() = 0;
    virtual bool eof() const = 0;
    virtual std::int64_t recordCount() const = 0;

    virtual void edit() = 0;
    virtual void insert() = 0;
    virtual void post() = 0;  // key and field checks; the posted row stays current
    virtual void cancel() = 0;
    virtual DataSetState state() const = 0;
    bool isInserting() const { return state() == DataSetState::Insert; }

    virtual std::string tableType() const = 0;  // "PARADOX"
    // Grows with every row posted, deleted or emptied through any handle on the same table:
    // lets a cache of the rows know when to build itself again. 0 while closed.
    virtual std::uint64_t changeCount() const = 0;

    // Deletes the current row; the next one (or else the previous one) becomes current.
    virtual void deleteRecord() = 0;
    virtual bool exclusive() const = 0;
    // Writes the table's files now (they are written anyway when its last handle closes).
    virtual void flush() = 0;
    virtual std::vector<FieldDescriptor> fieldDescriptors() const = 0;
    // Changes one field (name, type, size; Unknown type or size 0 keep them) keeping every row,
    // converting values or refusing with an error naming the value that would be lost. Needs
    // the table open for exclusive use; the files are rewritten at once; a failure changes
    // nothing.
    virtual void restructure(int index, const FieldDescriptor& changed) = 0;
};

// An SQL statement that returns no rows, over the tables of its database folder: its lines
// are joined by line breaks and run by execSQL(); clear them with sql().clear().
class Query {
  public:
    virtual ~Query() = default;
    virtual void setDatabaseName(const std::string& folder) = 0;
    virtual std::vector<std::string>& sql() = 0;  // the statement's lines
    virtual void execSQL() = 0;
};

// The engine: makes table handles and queries.
class TableStore {
  public:
    virtual ~TableStore() = default;
    virtual std::unique_ptr<Table> createTable() = 0;
    virtual std::unique_ptr<Query> createQuery() = 0;
};

// The Paradox engine (src/store/ParadoxStore.cpp) without a connection: tables open by folder.
// A table held open here stays locked against other processes: they may read it while this one
// only reads, and neither may change it while the other holds it (see store/FamilyFiles.h).
// Queries run their SQL through SQLite over the folder's tables (store/SqlQuery.h).
std::unique_ptr<TableStore> createParadoxStore();

}  // namespace sivaro
