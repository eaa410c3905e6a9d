// The restructure of one field, every row carried across.

#include "store/PxTable.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "store/FieldCodec.h"
#include "store/LittleEndian.h"
#include "store/ParadoxFormat.h"
#include "util/CodePage.h"
#include "util/Errors.h"
#include "util/NumberText.h"

namespace sivaro::px {

namespace {

// A field's value as text or number, to carry a row across a change of type.
struct Carried {
    bool null = true;
    bool isText = false;
    std::string text;
    double number = 0;
};

Carried carry(const PxTable& t, const FieldInfo& f, const std::uint8_t* rec) {
    Carried c;
    const std::uint8_t* p = rec + f.offset;
    if (isBlobType(f.type)) {
        c.text = t.blobData(rec, f);
        c.null = c.text.empty();
        c.isText = true;
        return c;
    }
    if (allZero(p, f.bytes)) return c;
    c.null = false;
    switch (f.type) {
        case kAlpha:
            c.isText = true;
            c.text.assign(reinterpret_cast<const char*>(p),
                          strnlen(reinterpret_cast<const char*>(p), f.bytes));
            break;
        case kBytes:
            c.isText = true;
            c.text.assign(reinterpret_cast<const char*>(p), f.bytes);
            break;
        case kShort:
        case kLong:
        case kAutoIncField:
        case kDate:
        case kTime:
            c.number = static_cast<double>(decodeInt(p, f.bytes));
            break;
        case kNumber:
        case kCurrency:
        case kTimestamp:
            c.number = decodeDouble(p);
            break;
        case kBcd:
            c.number = decodeBcd(p, f.size);
            break;
        case kLogical:
            c.number = p[0] == kLogicalTrue ? 1 : 0;
            break;
        default:
            break;
    }
    return c;
}

bool numericType(std::uint8_t t) {
    return t == kShort || t == kLong || t == kAutoIncField || t == kNumber || t == kCurrency ||
           t == kBcd;
}

}  // namespace

void PxTable::alterField(int index, const std::string& newName, std::uint8_t newType, int newSize) {
    FieldInfo& old = m_fields.at(index);
    FieldInfo target = old;
    target.name = newName;
    if (newType != 0) target.type = newType;
    if (newSize > 0) target.size = static_cast<std::uint16_t>(newSize);
    if (newType != 0 && newSize <= 0 && target.type != old.type) {
        // A new type keeps the size where it has one of its own.
        switch (target.type) {
            case kShort:
                target.size = 2;
                break;
            case kLong:
            case kAutoIncField:
            case kDate:
            case kTime:
                target.size = 4;
                break;
            case kNumber:
            case kCurrency:
            case kTimestamp:
                target.size = 8;
                break;
            case kLogical:
                target.size = 1;
                break;
            case kBcd:
                target.size = std::min<int>(old.size, kBcdDigits);
                break;
            case kMemo:
            case kBlob:
            case kFmtMemo:
            case kOle:
            case kGraphic: {
                // Text keeps its size as the leader (A20 becomes M20), at most what a record
                // gives a leader; the whole text goes to the memo file all the same. Other
                // types get the smallest leader the blob type takes.
                const bool text = old.type == kAlpha || old.type == kBytes;
                const int smallest = target.type == kMemo || target.type == kFmtMemo ? 1 : 0;
                const int leader = isBlobType(old.type) ? old.size - kBlobTail
                                   : text               ? std::min<int>(old.size, kBlobLeaderMax)
                                                        : smallest;
                target.size = static_cast<std::uint16_t>(std::max(leader, smallest) + kBlobTail);
                break;
            }
            case kAlpha:
            case kBytes:
                // A blob's size is its leader's, as the field shows it (M20 becomes A20).
                if (isBlobType(old.type))
                    target.size = static_cast<std::uint16_t>(std::max(old.size - kBlobTail, 1));
                break;
            default:
                break;
        }
    }
    target.bytes = fieldBytes(target.type, target.size);
    const std::string fieldName = "'" + old.name + "'";
    if (target.bytes <= 0)
        throw EDatabaseError("Field " + fieldName + " cannot take type " +
                             std::to_string(target.type) + " with size " +
                             std::to_string(target.size));
    if (target.name.empty() || target.name.size() > 31)
        throw EDatabaseError("Invalid field name '" + target.name + "'");
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        if (static_cast<int>(i) != index && sameText(m_fields[i].name, target.name))
            throw EDatabaseError("Duplicate field name '" + target.name + "'");
    if (index < m_keyCount && isBlobType(target.type))
        throw EDatabaseError("Field " + fieldName + " is a key field and cannot become a blob");
    bool inIndex = index < m_keyCount;
    for (const auto& ix : m_indexes)
        for (int s : ix.source) inIndex = inIndex || s == index;
    const bool sameBytes = target.bytes == old.bytes;
    const bool intSwap = (old.type == kLong || old.type == kAutoIncField) &&
                         (target.type == kLong || target.type == kAutoIncField);
    if (inIndex && !sameText(target.name, old.name))
        throw EDatabaseError("Field " + fieldName + " belongs to an index and cannot be renamed");
    if (inIndex && !(intSwap || (target.type == old.type && sameBytes)))
        throw EDatabaseError("Field " + fieldName +
                             " belongs to an index; only a change between integer and "
                             "auto-increment is possible");

    // Convert every row into a new layout before touching the table, so a refusal leaves it as
    // it was.
    std::vector<FieldInfo> fields = m_fields;
    fields[index] = target;
    int offset = 0;
    for (auto& f : fields) {
        f.offset = offset;
        offset += f.bytes;
    }
    const int newRecordSize = offset;
    if (newRecordSize > 65535 - kBlockHead)
        throw EDatabaseError("Records of table " + m_path + " would be too large");
    std::uint32_t maxInt = 0;
    // Integer and auto-increment store their values alike: the rows stay as they are, and a
    // table of a million rows is not held twice for the change of "cod" an import makes twice.
    const bool inPlace = intSwap && sameBytes;
    if (inPlace && target.type == kAutoIncField) {
        for (RowId id = 0; id < m_slots; ++id) {
            if (!m_alive[id] || allZero(row(id) + old.offset, 4)) continue;
            const std::int64_t v = decodeInt(row(id) + old.offset, 4);
            if (v > 0) maxInt = std::max<std::uint32_t>(maxInt, std::uint32_t(v));
        }
    }
    LargeVector<std::uint8_t> rows(inPlace ? 0 : std::size_t(m_slots) * newRecordSize, 0);
    std::vector<std::string> newBlobs;
    std::vector<std::uint16_t> newMods;
    const int cp = codePage();
    for (RowId id = 0; id < m_slots && !inPlace; ++id) {
        if (!m_alive[id]) continue;
        const std::uint8_t* src = row(id);
        std::uint8_t* dst = &rows[std::size_t(id) * newRecordSize];
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const FieldInfo& from = m_fields[i];
            const FieldInfo& to = fields[i];
            if (static_cast<int>(i) != index ||
                (from.type == to.type && from.bytes == to.bytes && !isBlobType(to.type) &&
                 to.type != kAlpha) ||
                (intSwap && sameBytes)) {
                if (isBlobType(from.type)) {
                    std::memcpy(dst + to.offset, src + from.offset, from.bytes);
                    const std::uint32_t ref = readLe32(src + from.offset + from.bytes - kBlobTail);
                    if (ref != 0 && ref <= m_blobs.size()) {
                        newBlobs.push_back(m_blobs[ref - 1]);
                        newMods.push_back(m_blobMods[ref - 1]);
                        writeLe32(dst + to.offset + to.bytes - kBlobTail,
                                  static_cast<std::uint32_t>(newBlobs.size()));
                    }
                } else {
                    std::memcpy(dst + to.offset, src + from.offset, from.bytes);
                }
                if (static_cast<int>(i) == index && to.type == kAutoIncField &&
                    !allZero(src + from.offset, 4)) {
                    const std::int64_t v = decodeInt(src + from.offset, 4);
                    if (v > 0) maxInt = std::max<std::uint32_t>(maxInt, std::uint32_t(v));
                }
                continue;
            }
            const Carried c = carry(*this, from, src);
            if (c.null) continue;
            std::uint8_t* p = dst + to.offset;
            auto lost = [&](const std::string& shown) {
                throw EDatabaseError("Field " + fieldName + " cannot change: the value '" + shown +
                                     "' would be lost");
            };
            const std::string shown = c.isText ? c.text : shortestNumber(c.number);
            if (to.type == kAlpha || to.type == kBytes) {
                const std::string text = c.isText ? c.text : shortestNumber(c.number);
                if (text.size() > static_cast<std::size_t>(to.bytes)) lost(shown);
                std::memcpy(p, text.data(), text.size());
            } else if (isBlobType(to.type)) {
                const std::string text = c.isText ? c.text : shortestNumber(c.number);
                const int leader = to.bytes - kBlobTail;
                std::memcpy(p, text.data(), std::min<std::size_t>(leader, text.size()));
                writeLe32(p + leader + kBlobTailLength, static_cast<std::uint32_t>(text.size()));
                if (text.size() > static_cast<std::size_t>(leader)) {
                    newBlobs.push_back(text);
                    newMods.push_back(1);
                    writeLe32(p + leader, static_cast<std::uint32_t>(newBlobs.size()));
                    writeLe16(p + leader + kBlobTailModification, 1);
                }
            } else {
                double v = c.number;
                if (c.isText) {
                    const std::string t = tableTextToEngine(c.text, cp);
                    const std::size_t start = t.find_first_not_of(" \t\n\v\f\r");
                    if (start == std::string::npos ||
                        !parseDecimal(std::string_view(t).substr(start), v) ||
                        !numericType(to.type))
                        lost(shown);
                } else if (!numericType(from.type) || !numericType(to.type)) {
                    if (from.type != to.type) lost(shown);
                }
                switch (to.type) {
                    case kShort:
                        if (v != std::floor(v) || v < -32767 || v > 32767) lost(shown);
                        encodeInt(p, 2, static_cast<std::int64_t>(v));
                        break;
                    case kLong:
                    case kAutoIncField:
                        if (v != std::floor(v) || v < -2147483647.0 || v > 2147483647.0)
                            lost(shown);
                        encodeInt(p, 4, static_cast<std::int64_t>(v));
                        if (to.type == kAutoIncField && v > 0)
                            maxInt = std::max<std::uint32_t>(maxInt, std::uint32_t(v));
                        break;
                    case kNumber:
                    case kCurrency:
                        encodeDouble(p, v);
                        break;
                    case kBcd:
                        if (!encodeBcd(p, to.size, v) || decodeBcd(p, to.size) != v) lost(shown);
                        break;
                    case kDate:
                    case kTime:
                    case kTimestamp:
                    case kLogical:
                        if (from.type != to.type) lost(shown);
                        std::memcpy(p, src + from.offset, to.bytes);
                        break;
                    default:
                        lost(shown);
                }
            }
        }
    }

    if (!inPlace) {
        m_rows.swap(rows);
        m_blobs.swap(newBlobs);
        m_blobMods.swap(newMods);
    }
    m_fields = fields;
    m_recordSize = newRecordSize;
    m_keyHash.clear();  // the key's bytes may have changed
    if (target.type == kAutoIncField) m_autoInc = std::max(m_autoInc, maxInt);
    // The indexes name the field's type too.
    auto patchType = [&](std::vector<std::uint8_t>& header, int infoOffset, int count,
                         const std::vector<int>& map) {
        for (int i = 0; i < count; ++i)
            if (map[i] == index && infoOffset + 2 * i + 1 < static_cast<int>(header.size()))
                header[infoOffset + 2 * i] = target.type;
    };
    std::vector<int> identity;
    for (int i = 0; i < m_keyCount; ++i) identity.push_back(i);
    if (!m_pxHeader.empty()) patchType(m_pxHeader, kFieldInfo3, m_keyCount, identity);
    for (auto& ix : m_indexes) {
        const bool ext = ix.xHeader[kVersion] >= kFirstVersionWithCodePage;
        patchType(ix.xHeader, ext ? kFieldInfo4 : kFieldInfo3, static_cast<int>(ix.source.size()),
                  ix.source);
        for (std::size_t i = 0; i < ix.source.size(); ++i)
            if (ix.source[i] == index) ix.xFields[i].type = target.type;
        if (!ix.yHeader.empty()) {
            std::vector<int> ymap(ix.source.begin(), ix.source.begin() + ix.keyCount);
            patchType(ix.yHeader, kFieldInfo3, ix.keyCount, ymap);
        }
    }
    m_header = buildHeader();
    m_changes = nextChange();
    m_dirty = true;
}

std::vector<std::uint8_t> PxTable::buildHeader() const {
    // The fixed part as read; the field list, names and sort order name laid out anew.
    const bool extended = version() >= kFirstVersionWithCodePage;
    const int info = extended ? kFieldInfo4 : kFieldInfo3;
    const int nf = static_cast<int>(m_fields.size());
    const int nameSlot = version() >= kVersion7 ? kTableNameLength7 : kTableNameLength;
    std::vector<std::uint8_t> h(m_header.begin(), m_header.begin() + info);
    for (const auto& f : m_fields) {
        h.push_back(f.type);
        h.push_back(static_cast<std::uint8_t>(f.size));
    }
    const int oldPtrs = info + 2 * nf;
    for (int i = 0; i < kNamePointerBytes * (1 + nf); ++i)
        h.push_back(oldPtrs + i < static_cast<int>(m_header.size()) ? m_header[oldPtrs + i] : 0);
    std::vector<std::uint8_t> slot(nameSlot, 0);
    std::memcpy(slot.data(), m_tableName.data(),
                std::min<std::size_t>(nameSlot - 1, m_tableName.size()));
    h.insert(h.end(), slot.begin(), slot.end());
    for (const auto& f : m_fields) {
        const std::string name = engineTextToTable(f.name, codePage());
        h.insert(h.end(), name.begin(), name.end());
        h.push_back(0);
    }
    for (int i = 0; i < nf; ++i) {
        const int n = i < static_cast<int>(m_fieldNumbers.size()) ? m_fieldNumbers[i] : i + 1;
        h.resize(h.size() + 2);
        writeLe16(&h[h.size() - 2], static_cast<std::uint32_t>(n));
    }
    h.insert(h.end(), m_sortName.begin(), m_sortName.end());
    h.push_back(0);
    const std::size_t used = h.size();
    std::size_t size = std::max<std::size_t>(m_header.size(), kHeaderUnit);
    while (size < used) size += kHeaderUnit;
    h.resize(size, 0);
    writeLe16(&h[kRecordSize], static_cast<std::uint32_t>(m_recordSize));
    writeLe16(&h[kHeaderSize], static_cast<std::uint32_t>(size));
    writeLe16(&h[kRealHeaderSize], static_cast<std::uint32_t>(used));
    return h;
}

}  // namespace sivaro::px
