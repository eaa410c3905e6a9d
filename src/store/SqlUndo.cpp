// The undo log of a statement on a bound table.

#include "store/SqlUndo.h"

#include <cstring>
#include <unordered_map>

#include "store/ParadoxFormat.h"
#include "store/RowAccess.h"

namespace sivaro::sql {

using namespace px;

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

namespace {

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

}  // namespace

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

}  // namespace sivaro::sql
