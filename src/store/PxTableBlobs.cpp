// Memo and blob data of the rows.

#include "store/PxTable.h"

#include <algorithm>
#include <cstring>

#include "store/LittleEndian.h"
#include "store/ParadoxFormat.h"

namespace sivaro::px {

std::string PxTable::blobData(const std::uint8_t* record, const FieldInfo& field) const {
    const std::uint8_t* tail = record + field.offset + field.bytes - kBlobTail;
    const std::uint32_t ref = readLe32(tail);
    const std::uint32_t length = readLe32(tail + kBlobTailLength);
    if (ref != 0 && ref <= m_blobs.size()) return m_blobs[ref - 1];
    const std::uint32_t leader = static_cast<std::uint32_t>(field.bytes - kBlobTail);
    return std::string(reinterpret_cast<const char*>(record + field.offset),
                       std::min(length, leader));
}

void PxTable::setBlobData(std::uint8_t* record, const FieldInfo& field, const std::string& data) {
    std::uint8_t* p = record + field.offset;
    const int leader = field.bytes - kBlobTail;
    std::memset(p, 0, field.bytes);
    if (data.empty()) return;
    std::memcpy(p, data.data(), std::min<std::size_t>(leader, data.size()));
    std::uint8_t* tail = p + leader;
    writeLe32(tail + kBlobTailLength, static_cast<std::uint32_t>(data.size()));
    if (data.size() > static_cast<std::size_t>(leader)) {
        m_blobs.push_back(data);
        m_blobMods.push_back(1);
        writeLe32(tail, static_cast<std::uint32_t>(m_blobs.size()));
        writeLe16(tail + kBlobTailModification, 1);
    }
}

void PxTable::releaseBlobs(const std::uint8_t* oldRecord, const std::uint8_t* newRecord) {
    for (const auto& f : m_fields) {
        if (!isBlobType(f.type)) continue;
        const std::uint32_t a = readLe32(oldRecord + f.offset + f.bytes - kBlobTail);
        const std::uint32_t b = readLe32(newRecord + f.offset + f.bytes - kBlobTail);
        if (a != 0 && a != b && a <= m_blobs.size()) std::string().swap(m_blobs[a - 1]);
    }
}

}  // namespace sivaro::px
