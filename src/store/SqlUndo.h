#pragma once
// The undo log of a bound table: what a statement changed, so that a failed statement, or the
// part after a savepoint, can be taken back.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "store/PxTable.h"
#include "store/SqlModule.h"

namespace sivaro::sql {

// What a statement changed, newest last, so that a failed statement can be taken back: the
// ids of inserted rows, the old bytes of the fields an update changed, every field of a
// deleted row. Blob fields keep their data instead of their bytes, whose blob numbers the
// change releases.
struct BoundTable::Undo {
    enum Kind : std::uint8_t { Inserted, Updated, Deleted };
    struct Entry {
        Kind kind;
        px::RowId row;
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

// Appends field i of the record `rec` of `t` to `out`, as the log keeps it.
void saveField(const px::PxTable& t, const std::uint8_t* rec, int i, std::string& out);

// Takes back the changes after the first `keep` entries, newest first. A row deleted and put
// back gets a new id; older entries that name it follow it there.
void undoTo(BoundTable& bound, std::size_t keep);

}  // namespace sivaro::sql
