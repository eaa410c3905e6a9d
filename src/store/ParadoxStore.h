#pragma once
// The Paradox engine behind TableStore: one shared in-memory table per file within the process
// (every handle sees the rows another posted at once), each handle with its own cursor and its
// own pending row. The files are read at the first open and written when the last handle
// closes or on flush(); meanwhile the .db is locked against other processes.

#include <cstdint>
#include <memory>
#include <string>

#include "store/TableStore.h"

namespace sivaro {

namespace px {
class PxTable;
}
class TDataBaseNew;

// The engine's store whose table handles and queries on the connection's folder go through
// the connection (store/Connection.h); openConnection() makes it.
std::unique_ptr<TableStore> createParadoxStore(std::shared_ptr<TDataBaseNew> connection);

// Field type codes of the table files for a field type, and back (0 / Unknown when none).
std::uint8_t paradoxTypeCode(FieldType type);
FieldType fieldTypeOf(std::uint8_t code);

// True when a handle of this process has the table file open (its path as on disk).
bool tableOpenInProcess(const std::string& dbPath);

}  // namespace sivaro
