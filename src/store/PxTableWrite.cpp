// Writing the packed family: data blocks, the memo file, the primary and secondary indexes.

#include "store/PxTable.h"

#include <sys/file.h>

#include <algorithm>
#include <cstring>

#include "store/FamilyFiles.h"
#include "store/FieldCodec.h"
#include "store/LittleEndian.h"
#include "store/ParadoxFormat.h"
#include "util/CodePage.h"
#include "util/Errors.h"
#include "util/Paths.h"

namespace sivaro::px {

namespace {

// Leaf entries of an index: for each block, the key of its first record, its number and count.
struct IndexEntries {
    int keyLen = 0;
    std::vector<std::uint8_t> keys;
    std::vector<std::uint32_t> blocks;
    std::vector<std::uint32_t> counts;
    std::size_t size() const { return blocks.size(); }
    void add(const std::uint8_t* key, std::uint32_t block, std::uint32_t count) {
        keys.insert(keys.end(), key, key + keyLen);
        blocks.push_back(block);
        counts.push_back(count);
    }
};

void setBlockFacts(std::vector<std::uint8_t>& h, std::uint32_t records, std::uint32_t blocks) {
    writeLe32(&h[kRecordCount], records);
    writeLe16(&h[kBlocksUsed], blocks);
    writeLe16(&h[kBlocksInFile], blocks);
    writeLe16(&h[kFirstBlock], blocks ? 1 : 0);
    writeLe16(&h[kLastBlock], blocks);
    writeLe16(&h[kMaxBlocks], blocks);
    writeLe16(&h[kFirstFreeBlock], 0);
}

// Every file of the family moves its change stamp with the .db's, keeping their differences.
void bumpStamp(std::vector<std::uint8_t>& h) {
    h[kChangeCount1] = std::uint8_t(h[kChangeCount1] + 1);
}

void writeBlockHead(std::uint8_t* b, std::uint32_t next, std::uint32_t prev, int count, int rs) {
    writeLe16(b + kBlockNext, next);
    writeLe16(b + kBlockPrevious, prev);
    writeLe16(b + kBlockLastRecord,
              static_cast<std::uint32_t>(static_cast<std::int16_t>((count - 1) * rs)));
}

// The levels of a .px or .Ynn: leaf blocks first, each upper level after, the root last.
void writeIndexFile(NewFile& out, std::vector<std::uint8_t> header, const IndexEntries& leaf) {
    const int bs = header[kBlockSizeKb] * kBlockSizeUnit;
    const int rs = leaf.keyLen + kIndexTail;
    const int per = (bs - kBlockHead) / rs;
    if (per < 2) throw EDatabaseError("Keys of " + out.finalPath() + " are too long for a block");
    out.write(header.data(), header.size());
    std::uint32_t block = 0, total = 0;
    int levels = 0;
    IndexEntries level = leaf;
    std::vector<std::uint8_t> buf(bs);
    while (level.size() > 0) {
        ++levels;
        IndexEntries upper;
        upper.keyLen = leaf.keyLen;
        const std::size_t n = level.size();
        const std::uint32_t firstOfLevel = block + 1;
        const std::size_t blocksHere = (n + per - 1) / per;
        for (std::size_t bi = 0; bi < blocksHere; ++bi) {
            std::fill(buf.begin(), buf.end(), 0);
            const std::size_t from = bi * per, to = std::min(n, from + per);
            ++block;
            writeBlockHead(buf.data(), bi + 1 < blocksHere ? block + 1 : 0, bi > 0 ? block - 1 : 0,
                           static_cast<int>(to - from), rs);
            std::uint32_t sum = 0;
            for (std::size_t e = from; e < to; ++e) {
                std::uint8_t* r = &buf[kBlockHead + (e - from) * rs];
                std::memcpy(r, &level.keys[e * leaf.keyLen], leaf.keyLen);
                encodeInt(r + leaf.keyLen + kIndexBlockNumber, 2, level.blocks[e]);
                encodeInt(r + leaf.keyLen + kIndexRecordCount, 2,
                          std::min<std::uint32_t>(level.counts[e], kIndexCountMax));
                encodeInt(r + leaf.keyLen + kIndexZero, 2, 0);
                sum += level.counts[e];
            }
            total += static_cast<std::uint32_t>(to - from);
            out.write(buf.data(), buf.size());
            upper.add(&level.keys[from * leaf.keyLen], block, sum);
        }
        (void)firstOfLevel;
        if (blocksHere == 1) break;
        level = std::move(upper);
    }
    if (block > 65535) throw EDatabaseError("Index " + out.finalPath() + " would be too large");
    setBlockFacts(header, total, block);
    writeLe16(&header[kIndexRoot], block);
    header[kIndexLevels] = static_cast<std::uint8_t>(levels);
    bumpStamp(header);
    out.writeAt(0, header.data(), header.size());
}

// .mb built in memory: the header block, then type-3 blocks of small blobs and type-2 blocks.
class MbBuilder {
  public:
    explicit MbBuilder(const std::vector<std::uint8_t>& header) {
        if (header.size() == kMbBlock) {
            m_data = header;
        } else {
            m_data.assign(kMbBlock, 0);
            m_data[kMbBlockType] = kMbHeaderBlock;
            writeLe16(&m_data[kMbBlockUnits], 1);
        }
    }
    std::uint32_t add(const std::string& blob, std::uint16_t mod) {
        const std::size_t len = blob.size();
        if (len <= static_cast<std::size_t>(kMbSmallBlobMax)) {
            const int chunks = static_cast<int>((len + kMbChunk - 1) / kMbChunk);
            if (m_sub == 0 || m_subEntries == kMbSubEntryCount ||
                m_subNext + chunks * kMbChunk > kMbBlock) {
                m_sub = m_data.size();
                m_data.resize(m_data.size() + kMbBlock, 0);
                m_data[m_sub + kMbBlockType] = kMbSubBlobs;
                writeLe16(&m_data[m_sub + kMbBlockUnits], 1);
                m_subEntries = 0;
                m_subNext = kMbSubDataStart;
            }
            // Entries are taken from the last one down, as the original engine fills them.
            const int entry = kMbSubEntryCount - 1 - m_subEntries++;
            std::uint8_t* e = &m_data[m_sub + kMbSubEntries + entry * kMbSubEntryBytes];
            e[kMbEntryStart] = static_cast<std::uint8_t>(m_subNext / kMbChunk);
            e[kMbEntryChunks] = static_cast<std::uint8_t>(chunks);
            writeLe16(e + kMbEntryModification, mod);
            e[kMbEntryLastChunk] = static_cast<std::uint8_t>(len - (chunks - 1) * kMbChunk);
            std::memcpy(&m_data[m_sub + m_subNext], blob.data(), len);
            m_subNext += chunks * kMbChunk;
            return static_cast<std::uint32_t>(m_sub) | static_cast<std::uint32_t>(entry);
        }
        const std::size_t units = (kMbSingleData + len + kMbBlock - 1) / kMbBlock;
        const std::size_t at = m_data.size();
        if (at + units * kMbBlock > kMbOffsetMax) throw EDatabaseError("Memo file too large");
        m_data.resize(at + units * kMbBlock, 0);
        m_data[at + kMbBlockType] = kMbSingleBlob;
        writeLe16(&m_data[at + kMbBlockUnits], static_cast<std::uint32_t>(units));
        writeLe32(&m_data[at + kMbSingleLength], static_cast<std::uint32_t>(len));
        writeLe16(&m_data[at + kMbSingleModification], mod);
        std::memcpy(&m_data[at + kMbSingleData], blob.data(), len);
        return static_cast<std::uint32_t>(at) | kMbSingleIndex;
    }
    const std::vector<std::uint8_t>& data() const { return m_data; }

  private:
    std::vector<std::uint8_t> m_data;
    std::size_t m_sub = 0;
    int m_subEntries = 0;
    int m_subNext = 0;
};

}  // namespace

void PxTable::save(int& lockFd) {
    // Refusals first: nothing is written unless every file of the family can be made exact.
    std::vector<RowId> order;
    order.reserve(static_cast<std::size_t>(m_count));
    if (keyed()) {
        for (RowId id : m_order) order.push_back(id);
    } else {
        for (RowId id = 0; id < m_slots; ++id)
            if (m_alive[id]) order.push_back(id);
    }
    for (const auto& ix : m_indexes) {
        const std::string name = baseName(ix.xPath);
        if (ix.yHeader.empty())
            throw EDatabaseError("Cannot write table " + m_path + ": index " + name +
                                 " has no companion .Y file");
        for (std::size_t i = 0; i < ix.source.size(); ++i) {
            if (ix.source[i] < 0 || m_fields[ix.source[i]].bytes != ix.xFields[i].bytes)
                throw EDatabaseError("Cannot write table " + m_path + ": index " + name +
                                     " names a field the table does not have");
            const bool caseFlag = (ix.direction & kIndexCaseBits) != 0;
            if ((upperAscii(name).find(".XG") != std::string::npos || caseFlag) &&
                m_fields[ix.source[i]].type == kAlpha)
                throw EDatabaseError("Cannot write table " + m_path + ": index " + name +
                                     " may ignore letter case, an order this engine cannot "
                                     "reproduce for certain");
        }
        if (ix.direction & kIndexDescending)
            throw EDatabaseError("Cannot write table " + m_path + ": index " + name +
                                 " is descending, which this engine does not maintain");
    }
    if (sortOrder() != 0) {
        std::string why;
        for (RowId id : order)
            if (!orderCertain(row(id), &why))
                throw EDatabaseError("Cannot write table " + m_path + ": " + why);
    }

    std::vector<NewFile*> files;
    std::vector<std::unique_ptr<NewFile>> owned;
    auto make = [&](const std::string& path) {
        owned.push_back(std::make_unique<NewFile>(path));
        files.push_back(owned.back().get());
        return owned.back().get();
    };
    try {
        NewFile* db = make(m_path);
        const int bs = blockSizeKb() * kBlockSizeUnit;
        const int per = (bs - kBlockHead) / m_recordSize;
        std::vector<std::uint8_t> header = m_header;
        db->write(header.data(), header.size());

        bool hasBlobs = false;
        for (const auto& f : m_fields) hasBlobs = hasBlobs || isBlobType(f.type);
        MbBuilder mb(m_mbHeader);

        int keyLen = 0;
        for (int i = 0; i < m_keyCount; ++i) keyLen += m_fields[i].bytes;
        IndexEntries leaf;
        leaf.keyLen = keyLen;
        std::vector<std::uint32_t> blockOf(m_indexes.empty() ? 0 : m_slots, 0);

        const std::size_t n = order.size();
        const std::size_t blocks = (n + per - 1) / per;
        if (blocks > 65535)
            throw EDatabaseError("Table " + m_path + " would need more than 65535 blocks");
        std::vector<std::uint8_t> buf(bs);
        for (std::size_t b = 0; b < blocks; ++b) {
            std::fill(buf.begin(), buf.end(), 0);
            const std::size_t from = b * per, to = std::min(n, from + per);
            const std::uint32_t number = static_cast<std::uint32_t>(b + 1);
            writeBlockHead(buf.data(), b + 1 < blocks ? number + 1 : 0, b > 0 ? number - 1 : 0,
                           static_cast<int>(to - from), m_recordSize);
            for (std::size_t r = from; r < to; ++r) {
                std::uint8_t* rec = &buf[kBlockHead + (r - from) * m_recordSize];
                std::memcpy(rec, row(order[r]), m_recordSize);
                if (!blockOf.empty()) blockOf[order[r]] = number;
                if (!hasBlobs) continue;
                for (const auto& f : m_fields) {
                    if (!isBlobType(f.type)) continue;
                    std::uint8_t* tail = rec + f.offset + f.bytes - kBlobTail;
                    const std::uint32_t ref = readLe32(tail);
                    if (ref == 0 || ref > m_blobs.size()) {
                        writeLe32(tail, 0);
                        continue;
                    }
                    std::uint16_t mod = m_blobMods[ref - 1];
                    if (mod == 0) mod = 1;
                    writeLe32(tail, mb.add(m_blobs[ref - 1], mod));
                    writeLe16(tail + kBlobTailModification, mod);
                }
            }
            if (keyed()) leaf.add(&buf[kBlockHead], number, static_cast<std::uint32_t>(to - from));
            db->write(buf.data(), buf.size());
        }
        setBlockFacts(header, static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(blocks));
        writeLe32(&header[kAutoInc], m_autoInc);
        bumpStamp(header);
        db->writeAt(0, header.data(), header.size());

        std::string mbPath, pxPath;
        if (hasBlobs) {
            mbPath = m_mbPath.empty() ? newFamilyName(m_path, "MB") : m_mbPath;
            NewFile* f = make(mbPath);
            f->write(mb.data().data(), mb.data().size());
        }
        if (keyed()) {
            pxPath = m_pxPath.empty() ? newFamilyName(m_path, "PX") : m_pxPath;
            std::vector<std::uint8_t> ph = m_pxHeader;
            if (ph.empty()) ph = primaryIndexHeader();
            NewFile* f = make(pxPath);
            writeIndexFile(*f, ph, leaf);
        }
        for (auto& ix : m_indexes) {
            // The .Xnn: indexed fields, primary key fields, block number; sorted by its keys.
            std::vector<FieldInfo> xf = ix.xFields;
            int off = 0;
            for (auto& f : xf) {
                f.offset = off;
                off += f.bytes;
            }
            const int xrs = off;
            std::vector<std::uint8_t> xr(n * xrs, 0);
            for (std::size_t r = 0; r < n; ++r) {
                std::uint8_t* dst = &xr[r * xrs];
                const std::uint8_t* src = row(order[r]);
                for (std::size_t i = 0; i < ix.source.size(); ++i)
                    std::memcpy(dst + xf[i].offset, src + m_fields[ix.source[i]].offset,
                                xf[i].bytes);
                encodeInt(dst + xf.back().offset, 2, blockOf[order[r]]);
            }
            auto cmp = [&](std::size_t a, std::size_t b) {
                for (int k = 0; k < ix.keyCount; ++k) {
                    const int c = compareField(xf[k], &xr[a * xrs], &xr[b * xrs]);
                    if (c != 0) return c < 0;
                }
                return false;
            };
            std::vector<std::size_t> xo(n);
            for (std::size_t i = 0; i < n; ++i) xo[i] = i;
            std::stable_sort(xo.begin(), xo.end(), cmp);
            if (sortOrder() != 0)
                for (std::size_t i = 1; i < n; ++i)
                    for (int k = 0; k < ix.keyCount; ++k) {
                        const FieldInfo& f = xf[k];
                        if (f.type != kAlpha) continue;
                        const std::uint8_t* a = &xr[xo[i - 1] * xrs + f.offset];
                        const std::uint8_t* b = &xr[xo[i] * xrs + f.offset];
                        if (std::memcmp(a, b, f.bytes) == 0) continue;
                        bool caseOnly = true;
                        for (int c = 0; c < f.bytes && caseOnly; ++c)
                            caseOnly = foldAscii(a[c]) == foldAscii(b[c]);
                        if (caseOnly)
                            throw EDatabaseError(
                                "Cannot write table " + m_path + ": the values '" +
                                std::string(reinterpret_cast<const char*>(a),
                                            strnlen(reinterpret_cast<const char*>(a), f.bytes)) +
                                "' and '" +
                                std::string(reinterpret_cast<const char*>(b),
                                            strnlen(reinterpret_cast<const char*>(b), f.bytes)) +
                                "' differ only in letter case, whose order in \"" + m_sortName +
                                "\" is not known for certain");
                    }
            std::vector<std::uint8_t> xh = ix.xHeader;
            const int xbs = xh[kBlockSizeKb] * kBlockSizeUnit;
            const int xper = (xbs - kBlockHead) / xrs;
            const std::size_t xblocks = (n + xper - 1) / xper;
            if (xblocks > 65535) throw EDatabaseError("Index " + ix.xPath + " would be too large");
            NewFile* xfile = make(ix.xPath);
            xfile->write(xh.data(), xh.size());
            IndexEntries yleaf;
            for (int k = 0; k < ix.keyCount; ++k) yleaf.keyLen += xf[k].bytes;
            std::vector<std::uint8_t> xb(xbs);
            for (std::size_t b = 0; b < xblocks; ++b) {
                std::fill(xb.begin(), xb.end(), 0);
                const std::size_t from = b * xper, to = std::min(n, from + xper);
                const std::uint32_t number = static_cast<std::uint32_t>(b + 1);
                writeBlockHead(xb.data(), b + 1 < xblocks ? number + 1 : 0, b > 0 ? number - 1 : 0,
                               static_cast<int>(to - from), xrs);
                for (std::size_t r = from; r < to; ++r)
                    std::memcpy(&xb[kBlockHead + (r - from) * xrs], &xr[xo[r] * xrs], xrs);
                yleaf.add(&xb[kBlockHead], number, static_cast<std::uint32_t>(to - from));
                xfile->write(xb.data(), xb.size());
            }
            setBlockFacts(xh, static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(xblocks));
            bumpStamp(xh);
            xfile->writeAt(0, xh.data(), xh.size());
            NewFile* yfile = make(ix.yPath);
            writeIndexFile(*yfile, ix.yHeader, yleaf);
        }
        for (NewFile* f : files) f->finish();
        // Lock the new .db before it takes the table's name (see FamilyFiles.h).
        lockFd = -1;
        if (::flock(db->fd(), LOCK_EX | LOCK_NB) == 0) lockFd = db->releaseFd();
        switchFamily(m_path, files, {});
        m_header = header;
        if (!mbPath.empty()) m_mbPath = mbPath;
        if (!pxPath.empty()) {
            m_pxPath = pxPath;
            if (m_pxHeader.empty()) m_pxHeader = primaryIndexHeader();
            bumpStamp(m_pxHeader);
        }
        for (auto& ix : m_indexes) {
            bumpStamp(ix.xHeader);
            bumpStamp(ix.yHeader);
        }
        m_dirty = false;
    } catch (...) {
        discardNewFiles(files);
        throw;
    }
}

std::vector<std::uint8_t> PxTable::primaryIndexHeader() const {
    // A .px of the table's version: its key fields, 0x58 onwards as in every sample.
    std::vector<std::uint8_t> h(kHeaderUnit, 0);
    int keyLen = 0;
    for (int i = 0; i < m_keyCount; ++i) keyLen += m_fields[i].bytes;
    writeLe16(&h[kRecordSize], static_cast<std::uint32_t>(keyLen + kIndexTail));
    writeLe16(&h[kHeaderSize], kHeaderUnit);
    h[kFileType] = kPrimaryIndex;
    h[kBlockSizeKb] = m_header[kBlockSizeKb];
    writeLe16(&h[kFieldCount], static_cast<std::uint32_t>(m_keyCount));
    h[kSortOrder] = m_header[kSortOrder];
    h[kVersion] = m_header[kVersion];
    writeLe32(&h[kAutoInc], 1);
    int p = kFieldInfo3;
    for (int i = 0; i < m_keyCount; ++i) {
        h[p++] = m_fields[i].type;
        h[p++] = static_cast<std::uint8_t>(m_fields[i].size);
    }
    p += 4;
    const std::string name = stemOf(m_path) + (lowerExtension(m_path) ? ".px" : ".PX");
    std::memcpy(&h[p], name.data(), std::min<std::size_t>(name.size(), kTableNameLength - 1));
    p += version() >= kVersion7 ? kTableNameLength7 : kTableNameLength;
    writeLe16(&h[kRealHeaderSize], static_cast<std::uint32_t>(p));
    return h;
}

}  // namespace sivaro::px
