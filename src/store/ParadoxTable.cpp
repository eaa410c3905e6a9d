#include "store/ParadoxTable.h"

#include <cstring>

#include "store/FieldCodec.h"
#include "store/ParadoxFormat.h"
#include "util/CodePage.h"
#include "util/Errors.h"

namespace sivaro::px {

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
                // Past the field's range the next value would read back as NULL or another
                // number: the row is refused, the counter left as it is.
                const std::int64_t next = static_cast<std::int64_t>(counter) + 1;
                if (next > kLongMax)
                    throw EDatabaseError("Cannot post to table " + m_tableName +
                                         ": the next value of auto-increment field '" + f.name +
                                         "' (" + std::to_string(next) +
                                         ") is past the largest the field holds (" +
                                         std::to_string(kLongMax) + ")");
                encodeInt(p, 4, next);
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
    // An import looks the same fields up at every record: their numbers are found once while
    // the handle stays open.
    if (!m_locateKnown || fieldNames != m_locateNames) {
        std::vector<int> found;
        std::size_t start = 0;
        while (start <= fieldNames.size()) {
            std::size_t end = fieldNames.find(';', start);
            if (end == std::string::npos) end = fieldNames.size();
            std::string name = fieldNames.substr(start, end - start);
            while (!name.empty() && name.front() == ' ') name.erase(0, 1);
            while (!name.empty() && name.back() == ' ') name.pop_back();
            const int i = t.fieldIndex(name);
            if (i < 0)
                throw EDatabaseError("Field '" + name + "' not found in table " + m_tableName);
            found.push_back(i);
            start = end + 1;
        }
        m_locateFields = std::move(found);
        m_locateNames = fieldNames;
        m_locateKnown = true;
    }
    const std::vector<int>& idx = m_locateFields;
    static const std::string kNoValue;
    auto wanted = [&](std::size_t k) -> const std::string& {
        return k < values.size() ? values[k] : kNoValue;
    };
    // The wanted values in record form, converted as a write of the field would convert them.
    // The row being browsed waits aside; the buffers go round without being made anew.
    const DataSetState saved = m_state;
    m_locateAside.swap(m_buffer);
    m_buffer.assign(t.recordSize(), 0);
    m_state = DataSetState::Insert;
    bool tooLong = false;
    try {
        for (std::size_t k = 0; k < idx.size(); ++k) {
            const std::string& v = wanted(k);
            const FieldInfo& f = t.fields()[idx[k]];
            if (f.type == kAlpha && v.size() > static_cast<std::size_t>(f.bytes)) tooLong = true;
            if (!isBlobType(f.type)) m_fields[idx[k]]->setAsString(v);
        }
    } catch (...) {
        m_buffer.swap(m_locateAside);
        m_state = saved;
        throw;
    }
    m_locateProbe.swap(m_buffer);
    m_buffer.swap(m_locateAside);
    m_state = saved;
    const std::vector<std::uint8_t>& probe = m_locateProbe;
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
                    match = caseInsensitive ? sameText(text, wanted(k)) : text == wanted(k);
                } else if (caseInsensitive && f.type == kAlpha) {
                    const std::string text = tableTextToEngine(
                        std::string(
                            reinterpret_cast<const char*>(rec + f.offset),
                            strnlen(reinterpret_cast<const char*>(rec + f.offset), f.bytes)),
                        cp);
                    match = sameText(text, wanted(k));
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

}  // namespace sivaro::px
