#include "store/ParadoxTable.h"

#include <sys/file.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "store/FamilyFiles.h"
#include "store/FieldCodec.h"
#include "store/ParadoxFormat.h"
#include "util/CodePage.h"
#include "util/Errors.h"
#include "util/NumberText.h"
#include "util/Paths.h"

namespace sivaro::px {

namespace {
// One clock for every table of the process, so that a table loaded again never repeats a
// change number a cache already saw.
std::uint64_t nextChange() {
    static std::uint64_t clock = 0;
    return ++clock;
}
}  // namespace

namespace fs = std::filesystem;

namespace {

std::uint16_t rd16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | (p[1] << 8));
}
std::uint32_t rd32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
void wr16(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
void wr32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

std::vector<std::uint8_t> readWhole(const std::string& path) {
    std::ifstream in(osPath(path), std::ios::binary);
    if (!in) throw EDatabaseError("Table " + path + " does not exist or cannot be read");
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

[[noreturn]] void corrupt(const std::string& path, const std::string& fault) {
    throw EDatabaseError("Corrupt table file " + path + ": " + fault);
}

std::string folderOf(const std::string& path) {
    const std::size_t pos = path.find_last_of('/');
    return pos == std::string::npos ? std::string() : path.substr(0, pos);
}

std::string stemOf(const std::string& path) {
    const std::string name = baseName(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

bool lowerExtension(const std::string& path) {
    const std::string name = baseName(path);
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && dot + 1 < name.size() && name[dot + 1] >= 'a' &&
           name[dot + 1] <= 'z';
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

std::string newFamilyName(const std::string& dbPath, const std::string& ext) {
    const std::string folder = folderOf(dbPath);
    const std::string name =
        stemOf(dbPath) + "." + (lowerExtension(dbPath) ? lower1252(ext) : upperAscii(ext));
    return folder.empty() ? name : folder + "/" + name;
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
    if (d.size() < 0x58) corrupt(path, "the file is too short to hold a header");
    h.recordSize = rd16(&d[kRecordSize]);
    h.headerSize = rd16(&d[kHeaderSize]);
    h.type = d[kFileType];
    h.version = d[kVersion];
    const int kb = d[kBlockSizeKb];
    if (kb != 1 && kb != 2 && kb != 4 && kb != 8 && kb != 16 && kb != 32)
        corrupt(path, "block size of " + std::to_string(kb) + " KB");
    h.blockSize = kb * 1024;
    if (h.headerSize < 0x58 || static_cast<std::size_t>(h.headerSize) > d.size())
        corrupt(path, "header size " + std::to_string(h.headerSize) + " past the end of the file");
    const int nf = rd16(&d[kFieldCount]);
    if (nf < 1 || nf > 255) corrupt(path, "bad field count " + std::to_string(nf));
    h.keyCount = rd16(&d[kKeyFieldCount]);
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
    p += 2 * nf + 4 + 4 * nf;
    const int nameSlot = h.version >= 12 ? kTableNameLength7 : kTableNameLength;
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
        for (int i = 0; i < nf; ++i) h.numbers.push_back(rd16(&d[p + 2 * i]));
        p += 2 * nf;
        std::string sort;
        while (p < h.headerSize && d[p] != 0) sort += static_cast<char>(d[p++]);
        h.sortName = sort;
    }
    return h;
}

}  // namespace

bool isBlobType(std::uint8_t type) {
    return type == kMemo || type == kBlob || type == kFmtMemo || type == kOle || type == kGraphic;
}

bool knownFieldType(std::uint8_t type) {
    switch (type) {
        case kAlpha:
        case kDate:
        case kShort:
        case kLong:
        case kCurrency:
        case kNumber:
        case kLogical:
        case kMemo:
        case kBlob:
        case kFmtMemo:
        case kOle:
        case kGraphic:
        case kTime:
        case kTimestamp:
        case kAutoIncField:
        case kBcd:
        case kBytes:
            return true;
        default:
            return false;
    }
}

int fieldBytes(std::uint8_t type, int size) {
    switch (type) {
        case kAlpha:
        case kBytes:
            return size >= 1 ? size : 0;
        case kDate:
        case kLong:
        case kTime:
        case kAutoIncField:
            return size == 4 ? 4 : 0;
        case kShort:
            return size == 2 ? 2 : 0;
        case kCurrency:
        case kNumber:
        case kTimestamp:
            return size == 8 ? 8 : 0;
        case kLogical:
            return size == 1 ? 1 : 0;
        case kBcd:
            return size <= 32 ? kBcdBytes : 0;
        case kMemo:
        case kBlob:
        case kFmtMemo:
        case kOle:
        case kGraphic:
            return size >= kBlobTail && size <= kBlobTail + kBlobLeaderMax ? size : 0;
        default:
            return 0;
    }
}

PxTable::~PxTable() = default;

int PxTable::version() const {
    return m_header[kVersion];
}
int PxTable::codePage() const {
    return version() >= kFirstVersionWithCodePage ? rd16(&m_header[kCodePage]) : 0;
}
int PxTable::blockSizeKb() const {
    return m_header[kBlockSizeKb];
}
int PxTable::sortOrder() const {
    return m_header[kSortOrder];
}

int PxTable::fieldIndex(const std::string& name) const {
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        if (sameText(m_fields[i].name, name)) return static_cast<int>(i);
    return -1;
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
    std::vector<std::uint8_t> d(std::min<std::uint64_t>(fileSize, 0x58));
    in.read(reinterpret_cast<char*>(d.data()), static_cast<std::streamsize>(d.size()));
    if (d.size() >= 4) {
        const std::uint64_t want = std::min<std::uint64_t>(fileSize, rd16(&d[kHeaderSize]));
        if (want > d.size()) {
            d.resize(want);
            in.seekg(0);
            in.read(reinterpret_cast<char*>(d.data()), static_cast<std::streamsize>(want));
        }
    }
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
    t->m_autoInc = rd32(&d[kAutoInc]);
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
    const int bs = blockSizeKb() * 1024;
    const std::size_t blocksOnDisk = static_cast<std::size_t>((fileSize - headerSize) / bs);
    const int blocksInFile = rd16(&d[kBlocksInFile]);
    if (static_cast<std::size_t>(blocksInFile) > blocksOnDisk)
        corrupt(m_path, "the header counts " + std::to_string(blocksInFile) +
                            " blocks, the file holds " + std::to_string(blocksOnDisk));
    const std::uint32_t headerCount = rd32(&d[kRecordCount]);
    const int perBlock = (bs - kBlockHead) / m_recordSize;
    if (perBlock < 1) corrupt(m_path, "records larger than a block");
    if (std::uint64_t(headerCount) > std::uint64_t(blocksInFile) * perBlock)
        corrupt(m_path, "the header counts " + std::to_string(headerCount) +
                            " records, more than its blocks can hold");
    m_rows.reserve(std::size_t(headerCount) * m_recordSize);
    std::vector<char> seen(blocksInFile + 1, 0);
    // The chain mostly runs through the file in order: blocks are read a window of many at a
    // time, one read a window instead of a seek and a read a block.
    const std::size_t window = std::max<std::size_t>(1, (std::size_t(1) << 20) / bs);
    std::vector<std::uint8_t> buffer(window * bs);
    int windowFirst = 0, windowCount = 0;  // the blocks the buffer holds
    int block = rd16(&d[kFirstBlock]);
    if (headerCount == 0 && blocksInFile == 0) block = 0;
    RowId prev = kNoRow;
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
        const int last = static_cast<std::int16_t>(rd16(b + 4));
        if (last < -m_recordSize || (last + m_recordSize) % m_recordSize != 0)
            corrupt(m_path, "block " + std::to_string(block) + " has a bad record offset " +
                                std::to_string(last));
        const int count = (last + m_recordSize) / m_recordSize;
        if (count > perBlock)
            corrupt(m_path, "block " + std::to_string(block) + " claims more records than fit");
        for (int r = 0; r < count; ++r) {
            const std::uint8_t* rec = b + kBlockHead + r * m_recordSize;
            const RowId id = newSlot();
            std::memcpy(&m_rows[std::size_t(id) * m_recordSize], rec, m_recordSize);
            if (keyed()) {
                const std::size_t before = m_order.size();
                if (prev != kNoRow && compareKeys(row(prev), rec, m_keyCount) < 0)
                    m_order.emplace_hint(m_order.end(), id);
                else
                    m_order.insert(id);
                if (m_order.size() == before) corrupt(m_path, "a primary key appears twice");
            }
            prev = id;
            ++m_count;
        }
        block = rd16(b);
    }
    if (std::uint64_t(m_count) != headerCount)
        corrupt(m_path, "the header counts " + std::to_string(headerCount) +
                            " records, its blocks hold " + std::to_string(m_count));
}

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
            const std::uint32_t offset = rd32(tail);
            const std::uint32_t length = rd32(tail + 4);
            const int leader = f->bytes - kBlobTail;
            if (length == 0 || offset == 0) {
                if (offset == 0 && length > static_cast<std::uint32_t>(leader))
                    corrupt(m_path, "a memo of " + std::to_string(length) +
                                        " bytes has no place in " + mbName);
                continue;
            }
            const std::size_t block = offset & ~0xFFu;
            const int entry = offset & 0xFF;
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
                stamp = rd16(&mb[block + 7]);
            } else {
                if (mb[block] != kMbSubBlobs || entry >= kMbSubEntryCount)
                    corrupt(mbName,
                            "memo offset " + std::to_string(offset) + " names no memo entry");
                const std::uint8_t* e = &mb[block + kMbSubEntries + entry * 5];
                const std::size_t start = std::size_t(e[0]) * kMbChunk;
                if (start + length > kMbBlock)
                    corrupt(mbName,
                            "memo entry at " + std::to_string(offset) + " runs past its block");
                data.assign(reinterpret_cast<const char*>(&mb[block + start]), length);
                stamp = rd16(e + 2);
            }
            if (stamp != rd16(tail + 8)) ++m_blobStampMismatches;
            m_blobs.push_back(std::move(data));
            m_blobMods.push_back(rd16(tail + 8));
            wr32(tail, static_cast<std::uint32_t>(m_blobs.size()));
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
        ix.direction = ix.xHeader[0x55];
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

// ---- order ----------------------------------------------------------------------------------

namespace {

bool certainChar(unsigned char c) {
    return c == ' ' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

unsigned char foldAscii(unsigned char c) {
    return c >= 'a' && c <= 'z' ? c - 32 : c;
}

}  // namespace

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
        if (!(ix.direction & 0x20)) continue;
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

RowId PxTable::findKey(const std::uint8_t* record, int keyFields) const {
    if (!keyed() || keyFields < 1) return kNoRow;
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

// ---- blobs ----------------------------------------------------------------------------------

std::string PxTable::blobData(const std::uint8_t* record, const FieldInfo& field) const {
    const std::uint8_t* tail = record + field.offset + field.bytes - kBlobTail;
    const std::uint32_t ref = rd32(tail);
    const std::uint32_t length = rd32(tail + 4);
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
    wr32(tail + 4, static_cast<std::uint32_t>(data.size()));
    if (data.size() > static_cast<std::size_t>(leader)) {
        m_blobs.push_back(data);
        m_blobMods.push_back(1);
        wr32(tail, static_cast<std::uint32_t>(m_blobs.size()));
        wr16(tail + 8, 1);
    }
}

void PxTable::releaseBlobs(const std::uint8_t* oldRecord, const std::uint8_t* newRecord) {
    for (const auto& f : m_fields) {
        if (!isBlobType(f.type)) continue;
        const std::uint32_t a = rd32(oldRecord + f.offset + f.bytes - kBlobTail);
        const std::uint32_t b = rd32(newRecord + f.offset + f.bytes - kBlobTail);
        if (a != 0 && a != b && a <= m_blobs.size()) std::string().swap(m_blobs[a - 1]);
    }
}

// ---- restructure ----------------------------------------------------------------------------

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
                target.size = std::min<int>(old.size, 32);
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
    std::vector<std::uint8_t> rows(inPlace ? 0 : std::size_t(m_slots) * newRecordSize, 0);
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
                    const std::uint32_t ref = rd32(src + from.offset + from.bytes - kBlobTail);
                    if (ref != 0 && ref <= m_blobs.size()) {
                        newBlobs.push_back(m_blobs[ref - 1]);
                        newMods.push_back(m_blobMods[ref - 1]);
                        wr32(dst + to.offset + to.bytes - kBlobTail,
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
                wr32(p + leader + 4, static_cast<std::uint32_t>(text.size()));
                if (text.size() > static_cast<std::size_t>(leader)) {
                    newBlobs.push_back(text);
                    newMods.push_back(1);
                    wr32(p + leader, static_cast<std::uint32_t>(newBlobs.size()));
                    wr16(p + leader + 8, 1);
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
    if (index < m_keyCount && !intSwap && !(target.type == old.type && sameBytes))
        throw EDatabaseError("Field " + fieldName + " is a key field and cannot change type");

    if (!inPlace) {
        m_rows.swap(rows);
        m_blobs.swap(newBlobs);
        m_blobMods.swap(newMods);
    }
    m_fields = fields;
    m_recordSize = newRecordSize;
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
    const int nameSlot = version() >= 12 ? kTableNameLength7 : kTableNameLength;
    std::vector<std::uint8_t> h(m_header.begin(), m_header.begin() + info);
    for (const auto& f : m_fields) {
        h.push_back(f.type);
        h.push_back(static_cast<std::uint8_t>(f.size));
    }
    const int oldPtrs = info + 2 * nf;
    for (int i = 0; i < 4 + 4 * nf; ++i)
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
        h.push_back(std::uint8_t(n));
        h.push_back(std::uint8_t(n >> 8));
    }
    h.insert(h.end(), m_sortName.begin(), m_sortName.end());
    h.push_back(0);
    const std::size_t used = h.size();
    std::size_t size = std::max<std::size_t>(m_header.size(), 0x800);
    while (size < used) size += 0x800;
    h.resize(size, 0);
    wr16(&h[kRecordSize], static_cast<std::uint32_t>(m_recordSize));
    wr16(&h[kHeaderSize], static_cast<std::uint32_t>(size));
    wr16(&h[kRealHeaderSize], static_cast<std::uint32_t>(used));
    return h;
}

// ---- writing --------------------------------------------------------------------------------

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
    wr32(&h[kRecordCount], records);
    wr16(&h[kBlocksUsed], blocks);
    wr16(&h[kBlocksInFile], blocks);
    wr16(&h[kFirstBlock], blocks ? 1 : 0);
    wr16(&h[kLastBlock], blocks);
    wr16(&h[kMaxBlocks], blocks);
    wr16(&h[kFirstFreeBlock], 0);
}

// Every file of the family moves its change stamp with the .db's, keeping their differences.
void bumpStamp(std::vector<std::uint8_t>& h) {
    h[kChangeCount1] = std::uint8_t(h[kChangeCount1] + 1);
}

void writeBlockHead(std::uint8_t* b, std::uint32_t next, std::uint32_t prev, int count, int rs) {
    wr16(b, next);
    wr16(b + 2, prev);
    wr16(b + 4, static_cast<std::uint32_t>(static_cast<std::int16_t>((count - 1) * rs)));
}

// The levels of a .px or .Ynn: leaf blocks first, each upper level after, the root last.
void writeIndexFile(NewFile& out, std::vector<std::uint8_t> header, const IndexEntries& leaf) {
    const int bs = header[kBlockSizeKb] * 1024;
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
                encodeInt(r + leaf.keyLen, 2, level.blocks[e]);
                encodeInt(r + leaf.keyLen + 2, 2,
                          std::min<std::uint32_t>(level.counts[e], kIndexCountMax));
                encodeInt(r + leaf.keyLen + 4, 2, 0);
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
    wr16(&header[kIndexRoot], block);
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
            m_data[0] = kMbHeaderBlock;
            wr16(&m_data[1], 1);
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
                m_data[m_sub] = kMbSubBlobs;
                wr16(&m_data[m_sub + 1], 1);
                m_subEntries = 0;
                m_subNext = kMbSubDataStart;
            }
            // Entries are taken from the last one down, as the original engine fills them.
            const int entry = kMbSubEntryCount - 1 - m_subEntries++;
            std::uint8_t* e = &m_data[m_sub + kMbSubEntries + entry * 5];
            e[0] = static_cast<std::uint8_t>(m_subNext / kMbChunk);
            e[1] = static_cast<std::uint8_t>(chunks);
            wr16(e + 2, mod);
            e[4] = static_cast<std::uint8_t>(len - (chunks - 1) * kMbChunk);
            std::memcpy(&m_data[m_sub + m_subNext], blob.data(), len);
            m_subNext += chunks * kMbChunk;
            return static_cast<std::uint32_t>(m_sub) | static_cast<std::uint32_t>(entry);
        }
        const std::size_t units = (kMbSingleData + len + kMbBlock - 1) / kMbBlock;
        const std::size_t at = m_data.size();
        if (at + units * kMbBlock > 0xFFFFFF00u) throw EDatabaseError("Memo file too large");
        m_data.resize(at + units * kMbBlock, 0);
        m_data[at] = kMbSingleBlob;
        wr16(&m_data[at + 1], static_cast<std::uint32_t>(units));
        wr32(&m_data[at + 3], static_cast<std::uint32_t>(len));
        wr16(&m_data[at + 7], mod);
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
            const bool caseFlag = (ix.direction & 0x0F) != 0;
            if ((upperAscii(name).find(".XG") != std::string::npos || caseFlag) &&
                m_fields[ix.source[i]].type == kAlpha)
                throw EDatabaseError("Cannot write table " + m_path + ": index " + name +
                                     " may ignore letter case, an order this engine cannot "
                                     "reproduce for certain");
        }
        if (ix.direction & 0x10)
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
        const int bs = blockSizeKb() * 1024;
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
                    const std::uint32_t ref = rd32(tail);
                    if (ref == 0 || ref > m_blobs.size()) {
                        wr32(tail, 0);
                        continue;
                    }
                    std::uint16_t mod = m_blobMods[ref - 1];
                    if (mod == 0) mod = 1;
                    wr32(tail, mb.add(m_blobs[ref - 1], mod));
                    wr16(tail + 8, mod);
                }
            }
            if (keyed()) leaf.add(&buf[kBlockHead], number, static_cast<std::uint32_t>(to - from));
            db->write(buf.data(), buf.size());
        }
        setBlockFacts(header, static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(blocks));
        wr32(&header[kAutoInc], m_autoInc);
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
            const int xbs = xh[kBlockSizeKb] * 1024;
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
    std::vector<std::uint8_t> h(0x800, 0);
    int keyLen = 0;
    for (int i = 0; i < m_keyCount; ++i) keyLen += m_fields[i].bytes;
    wr16(&h[kRecordSize], static_cast<std::uint32_t>(keyLen + kIndexTail));
    wr16(&h[kHeaderSize], 0x800);
    h[kFileType] = kPrimaryIndex;
    h[kBlockSizeKb] = m_header[kBlockSizeKb];
    wr16(&h[kFieldCount], static_cast<std::uint32_t>(m_keyCount));
    h[kSortOrder] = m_header[kSortOrder];
    h[kVersion] = m_header[kVersion];
    wr32(&h[kAutoInc], 1);
    int p = kFieldInfo3;
    for (int i = 0; i < m_keyCount; ++i) {
        h[p++] = m_fields[i].type;
        h[p++] = static_cast<std::uint8_t>(m_fields[i].size);
    }
    p += 4;
    const std::string name = stemOf(m_path) + (lowerExtension(m_path) ? ".px" : ".PX");
    std::memcpy(&h[p], name.data(), std::min<std::size_t>(name.size(), kTableNameLength - 1));
    p += version() >= 12 ? kTableNameLength7 : kTableNameLength;
    wr16(&h[kRealHeaderSize], static_cast<std::uint32_t>(p));
    return h;
}

}  // namespace sivaro::px
