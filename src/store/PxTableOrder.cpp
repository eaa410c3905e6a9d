// The rows in key order: comparisons, lookups, inserts, updates and deletes.

#include "store/PxTable.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>

#include "store/ParadoxFormat.h"
#include "util/Errors.h"

namespace sivaro::px {

RowId PxTable::newSlot() {
    if (keyed() && !m_freeSlots.empty()) {
        const RowId id = m_freeSlots.back();
        m_freeSlots.pop_back();
        m_alive[id] = 1;
        return id;
    }
    if (m_slots == kNoRow - 1) throw EDatabaseError("Table " + m_path + " is full");
    const RowId id = m_slots++;
    m_rows.resize(std::size_t(m_slots) * m_recordSize);
    m_alive.push_back(1);
    return id;
}

namespace {

bool certainChar(unsigned char c) {
    return c == ' ' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

unsigned char PxTable::foldAscii(unsigned char c) {
    return c >= 'a' && c <= 'z' ? c - 32 : c;
}

int PxTable::compareField(const FieldInfo& f, const std::uint8_t* a, const std::uint8_t* b) const {
    if (f.type == kAlpha && sortOrder() != 0) {
        // International orders: letters without regard to case, then the bytes to settle ties
        // (a tie that orderCertain() refuses to write).
        for (int i = 0; i < f.bytes; ++i) {
            const unsigned char x = foldAscii(a[f.offset + i]), y = foldAscii(b[f.offset + i]);
            if (x != y) return x < y ? -1 : 1;
            if (x == 0) break;
        }
    }
    return std::memcmp(a + f.offset, b + f.offset, f.bytes);
}

int PxTable::compareKeys(const std::uint8_t* a, const std::uint8_t* b, int keyFields) const {
    for (int i = 0; i < keyFields; ++i) {
        const int c = compareField(m_fields[i], a, b);
        if (c != 0) return c;
    }
    return 0;
}

bool PxTable::KeyLess::operator()(RowId a, RowId b) const {
    return table->compareKeys(table->row(a), table->row(b), table->m_keyCount) < 0;
}
bool PxTable::KeyLess::operator()(RowId a, const Probe& p) const {
    return table->compareKeys(table->row(a), p.record, p.fields) < 0;
}
bool PxTable::KeyLess::operator()(const Probe& p, RowId a) const {
    return table->compareKeys(p.record, table->row(a), p.fields) < 0;
}

bool PxTable::orderCertain(const std::uint8_t* record, std::string* why) const {
    if (sortOrder() == 0) return true;
    std::vector<int> ordered;
    for (int i = 0; i < m_keyCount; ++i) ordered.push_back(i);
    for (const auto& ix : m_indexes)
        for (int s : ix.source)
            if (s >= 0) ordered.push_back(s);
    for (int i : ordered) {
        const FieldInfo& f = m_fields[i];
        if (f.type != kAlpha) continue;
        for (int k = 0; k < f.bytes && record[f.offset + k] != 0; ++k)
            if (!certainChar(record[f.offset + k])) {
                if (why)
                    *why = "the place of '" + std::string(1, char(record[f.offset + k])) +
                           "' in the sort order \"" + m_sortName + "\" of field '" + f.name +
                           "' is not known for certain, so its index cannot be kept exact";
                return false;
            }
    }
    return true;
}

void PxTable::checkUniqueIndexes(const std::uint8_t* record, RowId self) const {
    for (const auto& ix : m_indexes) {
        if (!(ix.direction & kIndexUnique)) continue;
        const int indexed = static_cast<int>(ix.source.size()) - m_keyCount;
        for (RowId id = 0; id < m_slots; ++id) {
            if (!m_alive[id] || id == self) continue;
            bool same = true;
            for (int k = 0; k < indexed && same; ++k) {
                const FieldInfo& f = m_fields[ix.source[k]];
                same = std::memcmp(row(id) + f.offset, record + f.offset, f.bytes) == 0;
            }
            if (same) throw EDatabaseError("Key violation");
        }
    }
}

RowId PxTable::firstRow() const {
    if (keyed()) return m_order.empty() ? kNoRow : *m_order.begin();
    for (RowId id = 0; id < m_slots; ++id)
        if (m_alive[id]) return id;
    return kNoRow;
}

RowId PxTable::nextRow(RowId id) const {
    if (keyed()) {
        auto it = m_order.upper_bound(id);
        return it == m_order.end() ? kNoRow : *it;
    }
    for (RowId n = id + 1; n < m_slots; ++n)
        if (m_alive[n]) return n;
    return kNoRow;
}

RowId PxTable::rowAfter(const std::uint8_t* record) const {
    if (!keyed()) return kNoRow;
    auto it = m_order.upper_bound(Probe{record, m_keyCount});
    return it == m_order.end() ? kNoRow : *it;
}

namespace {

// Below this many rows a walk down the order is as quick as the hash.
constexpr std::int64_t kKeyHashFrom = 1024;

std::size_t hashOf(const std::uint8_t* bytes, std::size_t size) {
    return std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char*>(bytes), size));
}

}  // namespace

std::size_t PxTable::keyBytes() const {
    const FieldInfo& last = m_fields[m_keyCount - 1];
    return std::size_t(last.offset + last.bytes);
}

void PxTable::buildKeyHash() const {
    std::size_t places = 64;
    while (places < std::size_t(m_count) * 2 + 2) places *= 2;
    m_keyHash.assign(places, kNoRow);
    m_keyHashEntries = 0;
    for (RowId id : m_order) hashRow(id);
}

void PxTable::hashRow(RowId id) const {
    if (m_keyHash.empty()) return;
    // Entries left behind by deletes and key changes count too: at half full the hash is made
    // anew from the live rows.
    if ((m_keyHashEntries + 1) * 2 > m_keyHash.size()) return buildKeyHash();
    const std::size_t mask = m_keyHash.size() - 1;
    std::size_t at = hashOf(row(id), keyBytes()) & mask;
    while (m_keyHash[at] != kNoRow) at = (at + 1) & mask;
    m_keyHash[at] = id;
    ++m_keyHashEntries;
}

RowId PxTable::hashedRow(const std::uint8_t* record) const {
    if (m_keyHash.empty()) {
        if (m_count < kKeyHashFrom) return kNoRow;
        buildKeyHash();
    }
    const std::size_t bytes = keyBytes();
    const std::size_t mask = m_keyHash.size() - 1;
    // A key compares equal in every sort order only when its bytes are equal.
    for (std::size_t at = hashOf(record, bytes) & mask; m_keyHash[at] != kNoRow;
         at = (at + 1) & mask) {
        const RowId id = m_keyHash[at];
        if (alive(id) && std::memcmp(row(id), record, bytes) == 0) return id;
    }
    return kNoRow;
}

RowId PxTable::findKey(const std::uint8_t* record, int keyFields) const {
    if (!keyed() || keyFields < 1) return kNoRow;
    if (keyFields >= m_keyCount) {
        const RowId id = hashedRow(record);
        if (id != kNoRow) return id;
    }
    auto it = m_order.lower_bound(Probe{record, std::min(keyFields, m_keyCount)});
    if (it != m_order.end() && compareKeys(row(*it), record, keyFields) == 0) return *it;
    return kNoRow;
}

void PxTable::reserveRows(std::size_t more) {
    const std::size_t rows = std::min<std::size_t>(std::size_t(m_slots) + more, kNoRow - 1);
    m_rows.reserve(rows * m_recordSize);
    m_alive.reserve(rows);
}

RowId PxTable::insertRow(const std::uint8_t* record) {
    const RowId id = newSlot();
    std::memcpy(&m_rows[std::size_t(id) * m_recordSize], record, m_recordSize);
    if (keyed() && !m_order.insert(id).second) {
        m_alive[id] = 0;
        m_freeSlots.push_back(id);
        throw EDatabaseError("Key violation");
    }
    if (keyed()) hashRow(id);
    ++m_count;
    m_changes = nextChange();
    m_dirty = true;
    return id;
}

void PxTable::updateRow(RowId id, const std::uint8_t* record) {
    std::uint8_t* target = &m_rows[std::size_t(id) * m_recordSize];
    if (keyed() && compareKeys(target, record, m_keyCount) != 0) {
        // The key moves: take the row out, try it at its new place, put it back on failure.
        std::vector<std::uint8_t> old(target, target + m_recordSize);
        m_order.erase(id);
        ++m_eraseGen;
        std::memcpy(target, record, m_recordSize);
        if (!m_order.insert(id).second) {
            std::memcpy(&m_rows[std::size_t(id) * m_recordSize], old.data(), m_recordSize);
            m_order.insert(id);
            throw EDatabaseError("Key violation");
        }
        hashRow(id);
    } else {
        std::memcpy(target, record, m_recordSize);
    }
    m_changes = nextChange();
    m_dirty = true;
}

void PxTable::deleteRow(RowId id) {
    if (!alive(id)) return;
    if (keyed()) m_order.erase(id);
    std::vector<std::uint8_t> none(m_recordSize, 0);
    releaseBlobs(row(id), none.data());
    m_alive[id] = 0;
    if (keyed()) m_freeSlots.push_back(id);
    --m_count;
    ++m_eraseGen;
    m_changes = nextChange();
    m_dirty = true;
}

void PxTable::clearRows() {
    m_order.clear();
    m_keyHash.clear();
    m_rows.clear();
    m_alive.clear();
    m_freeSlots.clear();
    m_slots = 0;
    m_count = 0;
    m_blobs.clear();
    m_blobMods.clear();
    ++m_eraseGen;
    m_changes = nextChange();
    m_dirty = true;
}

}  // namespace sivaro::px
