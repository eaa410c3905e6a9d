// Reading a family into memory: the header, the data blocks, the memo file, the indexes.

#include "store/PxTable.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "store/FamilyFiles.h"
#include "store/FieldCodec.h"
#include "store/LittleEndian.h"
#include "store/ParadoxFormat.h"
#include "util/CodePage.h"
#include "util/Errors.h"
#include "util/Paths.h"

namespace sivaro::px {

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> readWhole(const std::string& path) {
    std::ifstream in(osPath(path), std::ios::binary);
    if (!in) throw EDatabaseError("Table " + path + " does not exist or cannot be read");
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

[[noreturn]] void corrupt(const std::string& path, const std::string& fault) {
    throw EDatabaseError("Corrupt table file " + path + ": " + fault);
}

// The file of the family with this extension (any letter case), or "" when there is none.
std::string familyFile(const std::string& dbPath, const std::string& ext, const FamilyView& view) {
    const std::string folder = folderOf(dbPath);
    const std::string wanted = upperAscii(stemOf(dbPath) + "." + ext);
    for (const std::string& w : view.written())
        if (upperAscii(baseName(w)) == wanted) return w;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(osPath(folder.empty() ? "." : folder), ec)) {
        const std::string name = fromOsPath(e.path().filename());
        const std::string path = folder.empty() ? name : folder + "/" + name;
        if (upperAscii(name) == wanted) return view.present(path) ? path : std::string();
    }
    return {};
}

struct ParsedHeader {
    int headerSize = 0, recordSize = 0, blockSize = 0, version = 0, type = 0;
    std::vector<FieldInfo> fields;
    std::vector<int> numbers;
    std::string tableName, sortName;
    int keyCount = 0;
};

// Reads the fixed part and the field list of any file of the family but the .mb.
ParsedHeader parseHeader(const std::vector<std::uint8_t>& d, const std::string& path,
                         bool dataFile) {
    ParsedHeader h;
    if (d.size() < kFixedHeaderSize) corrupt(path, "the file is too short to hold a header");
    h.recordSize = readLe16(&d[kRecordSize]);
    h.headerSize = readLe16(&d[kHeaderSize]);
    h.type = d[kFileType];
    h.version = d[kVersion];
    const int kb = d[kBlockSizeKb];
    if (kb != 1 && kb != 2 && kb != 4 && kb != 8 && kb != 16 && kb != 32)
        corrupt(path, "block size of " + std::to_string(kb) + " KB");
    h.blockSize = kb * kBlockSizeUnit;
    if (h.headerSize < kFixedHeaderSize || static_cast<std::size_t>(h.headerSize) > d.size())
        corrupt(path, "header size " + std::to_string(h.headerSize) + " past the end of the file");
    const int nf = readLe16(&d[kFieldCount]);
    if (nf < 1 || nf > 255) corrupt(path, "bad field count " + std::to_string(nf));
    h.keyCount = readLe16(&d[kKeyFieldCount]);
    if (h.keyCount > nf) corrupt(path, "key field count past the field count");
    // Index files of the primary kind (.px, .Ynn) keep the short header of the 3.x era.
    const bool extended = h.type != kPrimaryIndex && h.type != kSecondaryIndexKeys &&
                          h.type != kSecondaryIndexKeysG && h.version >= kFirstVersionWithCodePage;
    int p = extended ? kFieldInfo4 : kFieldInfo3;
    if (p + 2 * nf > h.headerSize) corrupt(path, "bad field count " + std::to_string(nf));
    int offset = 0;
    for (int i = 0; i < nf; ++i) {
        FieldInfo f;
        f.type = d[p + 2 * i];
        f.size = d[p + 2 * i + 1];
        f.bytes = fieldBytes(f.type, f.size);
        if (f.bytes <= 0)
            corrupt(path, "field " + std::to_string(i + 1) + " has the unknown type " +
                              std::to_string(f.type) + " or size " + std::to_string(f.size));
        f.offset = offset;
        offset += f.bytes;
        h.fields.push_back(f);
    }
    const int expected = offset + (h.type == kPrimaryIndex || h.type == kSecondaryIndexKeys ||
                                           h.type == kSecondaryIndexKeysG
                                       ? kIndexTail
                                       : 0);
    if (h.recordSize != expected)
        corrupt(path, "record size " + std::to_string(h.recordSize) +
                          " does not match its fields (" + std::to_string(expected) + ")");
    if (!dataFile) return h;
    p += 2 * nf + kNamePointerBytes * (1 + nf);
    const int nameSlot = h.version >= kVersion7 ? kTableNameLength7 : kTableNameLength;
    auto readText = [&](int& q) {
        std::string s;
        while (q < h.headerSize && d[q] != 0) s += static_cast<char>(d[q++]);
        if (q >= h.headerSize) corrupt(path, "the field names run past the header");
        ++q;
        return s;
    };
    if (p + nameSlot > h.headerSize) corrupt(path, "the field names run past the header");
    int q = p;
    h.tableName = readText(q);
    p += nameSlot;
    for (auto& f : h.fields) f.name = readText(p);
    if (p + 2 * nf <= h.headerSize) {
        for (int i = 0; i < nf; ++i) h.numbers.push_back(readLe16(&d[p + 2 * i]));
        p += 2 * nf;
        std::string sort;
        while (p < h.headerSize && d[p] != 0) sort += static_cast<char>(d[p++]);
        h.sortName = sort;
    }
    return h;
}

// The header of a .db, whole: its fixed part says how long it is.
std::vector<std::uint8_t> readHeaderBytes(std::istream& in, std::uint64_t fileSize) {
    std::vector<std::uint8_t> d(std::min<std::uint64_t>(fileSize, kFixedHeaderSize));
    in.read(reinterpret_cast<char*>(d.data()), static_cast<std::streamsize>(d.size()));
    if (d.size() >= 4) {
        const std::uint64_t want = std::min<std::uint64_t>(fileSize, readLe16(&d[kHeaderSize]));
        if (want > d.size()) {
            d.resize(want);
            in.seekg(0);
            in.read(reinterpret_cast<char*>(d.data()), static_cast<std::streamsize>(want));
        }
    }
    return d;
}

}  // namespace

std::uint8_t PxTable::storedFieldType(const std::string& dbPath, const std::string& name) {
    try {
        if (FamilyView(dbPath).switchPending()) return 0;
        std::ifstream in(osPath(dbPath), std::ios::binary);
        if (!in) return 0;
        in.seekg(0, std::ios::end);
        const std::uint64_t fileSize = static_cast<std::uint64_t>(in.tellg());
        in.seekg(0);
        const std::vector<std::uint8_t> d = readHeaderBytes(in, fileSize);
        if (!in) return 0;
        const ParsedHeader h = parseHeader(d, dbPath, true);
        if (h.type != kKeyedDb && h.type != kUnkeyedDb) return 0;
        const int cp = h.version >= kFirstVersionWithCodePage ? readLe16(&d[kCodePage]) : 0;
        for (const FieldInfo& f : h.fields)
            if (sameText(tableTextToEngine(f.name, cp), name)) return f.type;
    } catch (const std::exception&) {
        // A load tells what is wrong.
    }
    return 0;
}

std::unique_ptr<PxTable> PxTable::load(const std::string& dbPath) {
    std::unique_ptr<PxTable> t(new PxTable);
    t->m_path = dbPath;
    t->m_changes = nextChange();
    // Files keep their final names here; what is read comes from where the view says.
    const FamilyView view(dbPath);
    // The header whole, the blocks one at a time: a large table is held once, as rows.
    std::ifstream in(osPath(view.source(dbPath)), std::ios::binary);
    if (!in) throw EDatabaseError("Table " + dbPath + " does not exist or cannot be read");
    in.seekg(0, std::ios::end);
    const std::uint64_t fileSize = static_cast<std::uint64_t>(in.tellg());
    in.seekg(0);
    const std::vector<std::uint8_t> d = readHeaderBytes(in, fileSize);
    const ParsedHeader h = parseHeader(d, dbPath, true);
    if (h.type != kKeyedDb && h.type != kUnkeyedDb)
        corrupt(dbPath, "file type " + std::to_string(h.type) + " is not a data table");
    t->m_header.assign(d.begin(), d.begin() + h.headerSize);
    t->m_fields = h.fields;
    const int cp = t->codePage();
    for (auto& f : t->m_fields) f.name = tableTextToEngine(f.name, cp);
    t->m_fieldNumbers = h.numbers;
    t->m_tableName = h.tableName;
    t->m_sortName = h.sortName;
    t->m_keyCount = h.type == kKeyedDb ? h.keyCount : 0;
    if (h.type == kKeyedDb && h.keyCount == 0) corrupt(dbPath, "a keyed table without key fields");
    for (int i = 0; i < t->m_keyCount; ++i)
        if (isBlobType(t->m_fields[i].type)) corrupt(dbPath, "a blob field in the key");
    t->m_recordSize = h.recordSize;
    t->m_autoInc = readLe32(&d[kAutoInc]);
    t->readDataBlocks(in, fileSize);
    t->readBlobs(familyFile(dbPath, "MB", view), view);
    if (t->keyed()) {
        t->m_pxPath = familyFile(dbPath, "PX", view);
        if (!t->m_pxPath.empty()) {
            const std::vector<std::uint8_t> px = readWhole(view.source(t->m_pxPath));
            const ParsedHeader ph = parseHeader(px, t->m_pxPath, false);
            t->m_pxHeader.assign(px.begin(), px.begin() + ph.headerSize);
        }
    }
    t->readIndexes(view);
    return t;
}

void PxTable::readDataBlocks(std::istream& in, std::uint64_t fileSize) {
    const std::vector<std::uint8_t>& d = m_header;
    const int headerSize = static_cast<int>(m_header.size());
    const int bs = blockSizeKb() * kBlockSizeUnit;
    const std::size_t blocksOnDisk = static_cast<std::size_t>((fileSize - headerSize) / bs);
    const int blocksInFile = readLe16(&d[kBlocksInFile]);
    if (static_cast<std::size_t>(blocksInFile) > blocksOnDisk)
        corrupt(m_path, "the header counts " + std::to_string(blocksInFile) +
                            " blocks, the file holds " + std::to_string(blocksOnDisk));
    const std::uint32_t headerCount = readLe32(&d[kRecordCount]);
    const int perBlock = (bs - kBlockHead) / m_recordSize;
    if (perBlock < 1) corrupt(m_path, "records larger than a block");
    if (std::uint64_t(headerCount) > std::uint64_t(blocksInFile) * perBlock)
        corrupt(m_path, "the header counts " + std::to_string(headerCount) +
                            " records, more than its blocks can hold");
    m_rows.reserve(std::size_t(headerCount) * m_recordSize);
    m_alive.reserve(headerCount);
    std::vector<char> seen(blocksInFile + 1, 0);
    // The chain mostly runs through the file in order: blocks are read a window of many at a
    // time, one read a window instead of a seek and a read a block.
    const std::size_t window = std::max<std::size_t>(1, (std::size_t(1) << 20) / bs);
    std::vector<std::uint8_t> buffer(window * bs);
    int windowFirst = 0, windowCount = 0;  // the blocks the buffer holds
    int block = readLe16(&d[kFirstBlock]);
    if (headerCount == 0 && blocksInFile == 0) block = 0;
    while (block != 0) {
        if (block > blocksInFile)
            corrupt(m_path, "block " + std::to_string(block) + " is past the end of the file");
        if (seen[block]) corrupt(m_path, "the block chain loops at block " + std::to_string(block));
        seen[block] = 1;
        if (block < windowFirst || block >= windowFirst + windowCount) {
            windowFirst = block;
            windowCount = static_cast<int>(
                std::min<std::size_t>(window, std::size_t(blocksInFile) - std::size_t(block) + 1));
            in.clear();
            in.seekg(static_cast<std::streamoff>(headerSize + std::uint64_t(block - 1) * bs));
            in.read(reinterpret_cast<char*>(buffer.data()),
                    static_cast<std::streamsize>(std::size_t(windowCount) * bs));
            if (!in) corrupt(m_path, "block " + std::to_string(block) + " cannot be read");
        }
        const std::uint8_t* b = buffer.data() + std::size_t(block - windowFirst) * bs;
        const int last = static_cast<std::int16_t>(readLe16(b + kBlockLastRecord));
        if (last < -m_recordSize || (last + m_recordSize) % m_recordSize != 0)
            corrupt(m_path, "block " + std::to_string(block) + " has a bad record offset " +
                                std::to_string(last));
        const int count = (last + m_recordSize) / m_recordSize;
        if (count > perBlock)
            corrupt(m_path, "block " + std::to_string(block) + " claims more records than fit");
        // A block's records join the rows at once: while a table loads, slots are handed out
        // in order.
        if (std::uint64_t(m_slots) + count > std::uint64_t(kNoRow - 1))
            throw EDatabaseError("Table " + m_path + " is full");
        const RowId first = m_slots;
        m_rows.insert(m_rows.end(), b + kBlockHead,
                      b + kBlockHead + std::size_t(count) * m_recordSize);
        m_alive.insert(m_alive.end(), std::size_t(count), 1);
        m_slots += static_cast<RowId>(count);
        for (int r = 0; r < count; ++r) {
            if (keyed()) {
                // Rows mostly come in key order: the hint places each after the last with one
                // comparison, and searches the whole order only for one that does not.
                const std::size_t before = m_order.size();
                m_order.emplace_hint(m_order.end(), first + static_cast<RowId>(r));
                if (m_order.size() == before) corrupt(m_path, "a primary key appears twice");
            }
            ++m_count;
        }
        block = readLe16(b + kBlockNext);
    }
    if (std::uint64_t(m_count) != headerCount)
        corrupt(m_path, "the header counts " + std::to_string(headerCount) +
                            " records, its blocks hold " + std::to_string(m_count));
}

void PxTable::readBlobs(const std::string& mbPath, const FamilyView& view) {
    std::vector<const FieldInfo*> blobFields;
    for (const auto& f : m_fields)
        if (isBlobType(f.type)) blobFields.push_back(&f);
    if (blobFields.empty()) return;
    m_mbPath = mbPath;
    std::vector<std::uint8_t> mb;
    if (!mbPath.empty()) {
        mb = readWhole(view.source(mbPath));
        if (mb.size() >= kMbBlock) m_mbHeader.assign(mb.begin(), mb.begin() + kMbBlock);
    }
    const std::string mbName = mbPath.empty() ? newFamilyName(m_path, "MB") : mbPath;
    for (RowId id = 0; id < m_slots; ++id) {
        if (!m_alive[id]) continue;
        std::uint8_t* rec = &m_rows[std::size_t(id) * m_recordSize];
        for (const FieldInfo* f : blobFields) {
            std::uint8_t* tail = rec + f->offset + f->bytes - kBlobTail;
            const std::uint32_t offset = readLe32(tail);
            const std::uint32_t length = readLe32(tail + kBlobTailLength);
            const int leader = f->bytes - kBlobTail;
            if (length == 0 || offset == 0) {
                if (offset == 0 && length > static_cast<std::uint32_t>(leader))
                    corrupt(m_path, "a memo of " + std::to_string(length) +
                                        " bytes has no place in " + mbName);
                continue;
            }
            const std::size_t block = offset & ~kMbEntryMask;
            const int entry = offset & kMbEntryMask;
            if (mb.empty() || block + kMbBlock > mb.size() || block == 0)
                corrupt(mbName, "memo offset " + std::to_string(offset) + " outside the file");
            std::string data;
            std::uint16_t stamp = 0;
            if (entry == kMbSingleIndex) {
                if (mb[block] != kMbSingleBlob)
                    corrupt(mbName, "block at " + std::to_string(block) + " is not a blob block");
                if (block + kMbSingleData + std::size_t(length) > mb.size())
                    corrupt(mbName, "blob of " + std::to_string(length) + " bytes at " +
                                        std::to_string(block) + " runs past the end");
                data.assign(reinterpret_cast<const char*>(&mb[block + kMbSingleData]), length);
                stamp = readLe16(&mb[block + kMbSingleModification]);
            } else {
                if (mb[block] != kMbSubBlobs || entry >= kMbSubEntryCount)
                    corrupt(mbName,
                            "memo offset " + std::to_string(offset) + " names no memo entry");
                const std::uint8_t* e = &mb[block + kMbSubEntries + entry * kMbSubEntryBytes];
                const std::size_t start = std::size_t(e[kMbEntryStart]) * kMbChunk;
                if (start + length > kMbBlock)
                    corrupt(mbName,
                            "memo entry at " + std::to_string(offset) + " runs past its block");
                data.assign(reinterpret_cast<const char*>(&mb[block + start]), length);
                stamp = readLe16(e + kMbEntryModification);
            }
            if (stamp != readLe16(tail + kBlobTailModification)) ++m_blobStampMismatches;
            m_blobs.push_back(std::move(data));
            m_blobMods.push_back(readLe16(tail + kBlobTailModification));
            writeLe32(tail, static_cast<std::uint32_t>(m_blobs.size()));
        }
    }
}

void PxTable::readIndexes(const FamilyView& view) {
    const std::string folder = folderOf(m_path);
    const std::string stem = upperAscii(stemOf(m_path));
    std::error_code ec;
    std::vector<std::string> xs;
    std::set<std::string> seen;
    auto consider = [&](const std::string& path) {
        const std::string up = upperAscii(baseName(path));
        if (up.size() == stem.size() + 4 && up.compare(0, stem.size() + 2, stem + ".X") == 0 &&
            view.present(path) && seen.insert(up).second)
            xs.push_back(path);
    };
    for (const std::string& w : view.written()) consider(w);
    for (const auto& e : fs::directory_iterator(osPath(folder.empty() ? "." : folder), ec)) {
        const std::string name = fromOsPath(e.path().filename());
        consider(folder.empty() ? name : folder + "/" + name);
    }
    std::sort(xs.begin(), xs.end());
    for (const std::string& x : xs) {
        SecondaryIndex ix;
        ix.xPath = x;
        const std::vector<std::uint8_t> xd = readWhole(view.source(x));
        const ParsedHeader xh = parseHeader(xd, x, true);
        ix.xHeader.assign(xd.begin(), xd.begin() + xh.headerSize);
        ix.xFields = xh.fields;
        ix.keyCount = xh.keyCount;
        ix.direction = ix.xHeader[kIndexFlags];
        const std::string ext = baseName(x).substr(baseName(x).size() - 2);
        ix.yPath = familyFile(m_path, "Y" + upperAscii(ext), view);
        if (!ix.yPath.empty()) {
            const std::vector<std::uint8_t> yd = readWhole(view.source(ix.yPath));
            const ParsedHeader yh = parseHeader(yd, ix.yPath, false);
            ix.yHeader.assign(yd.begin(), yd.begin() + yh.headerSize);
        }
        for (std::size_t i = 0; i + 1 < ix.xFields.size(); ++i)
            ix.source.push_back(fieldIndex(tableTextToEngine(ix.xFields[i].name, codePage())));
        m_indexes.push_back(std::move(ix));
    }
}

}  // namespace sivaro::px
