#pragma once
// Row-level access to the handles of the Paradox engine, for the SQL module: rows by their id,
// which a row keeps as long as it exists, and the bytes of a handle's pending row. Each raises
// EDatabaseError for a closed handle or one of another engine.

#include <cstdint>

#include "store/PxTable.h"
#include "store/TableStore.h"

namespace sivaro::px {

PxTable& tableBehind(Table& handle);
RowId currentRowId(const Table& handle);     // kNoRow without a current row
void moveToRow(Table& handle, RowId id);     // posts a pending row first; raises when `id` is gone
std::uint8_t* pendingRecord(Table& handle);  // the row being edited or inserted

}  // namespace sivaro::px
