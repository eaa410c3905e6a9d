#include "store/FamilyCheck.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>

#include "store/FamilyFiles.h"
#include "store/FieldCodec.h"
#include "store/LittleEndian.h"
#include "store/ParadoxFormat.h"
#include "store/ParadoxStore.h"
#include "store/PxTable.h"
#include "util/CodePage.h"
#include "util/Errors.h"
#include "util/Paths.h"

namespace sivaro::px {

namespace {

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(osPath(path), std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct Block {
    std::uint32_t number = 0;
    std::vector<const std::uint8_t*> records;
};

// The blocks of a table-shaped file in chain order; problems noted, never thrown.
std::vector<Block> chain(const std::vector<std::uint8_t>& d, const std::string& name,
                         std::vector<std::string>& problems) {
    std::vector<Block> out;
    if (d.size() < kFixedHeaderSize) {
        problems.push_back(name + ": too short for a header");
        return out;
    }
    const int rs = readLe16(&d[kRecordSize]);
    const int hs = readLe16(&d[kHeaderSize]);
    const int bs = d[kBlockSizeKb] * kBlockSizeUnit;
    if (rs == 0 || bs == 0 || hs > static_cast<int>(d.size())) {
        problems.push_back(name + ": bad header");
        return out;
    }
    const std::size_t onDisk = (d.size() - hs) / bs;
    std::vector<char> seen(onDisk + 1, 0);
    std::uint32_t b = readLe16(&d[kFirstBlock]);
    if (readLe32(&d[kRecordCount]) == 0 && readLe16(&d[kBlocksInFile]) == 0) b = 0;
    while (b != 0) {
        if (b > onDisk) {
            problems.push_back(name + ": block " + std::to_string(b) + " past the end");
            break;
        }
        if (seen[b]) {
            problems.push_back(name + ": the block chain loops at block " + std::to_string(b));
            break;
        }
        seen[b] = 1;
        const std::uint8_t* p = &d[hs + std::size_t(b - 1) * bs];
        const int last = static_cast<std::int16_t>(readLe16(p + kBlockLastRecord));
        const int count = (last + rs) / rs;
        Block blk;
        blk.number = b;
        if (count < 0 || (last + rs) % rs != 0 || kBlockHead + count * rs > bs) {
            problems.push_back(name + ": block " + std::to_string(b) + " has a bad record offset");
            break;
        }
        for (int r = 0; r < count; ++r) blk.records.push_back(p + kBlockHead + r * rs);
        out.push_back(blk);
        b = readLe16(p + kBlockNext);
    }
    return out;
}

struct Entry {
    std::vector<std::uint8_t> key;
    std::int64_t block, count;
};

// The leaf entries of a .px or .Ynn, walked from its root. Every entry above the leaves must
// hold the first key of the block it points at and the records below it (as a short, so at
// most 32767); the first such fault of the file is noted.
std::vector<Entry> indexLeaves(const std::vector<std::uint8_t>& d, int keyLen,
                               const std::string& name, std::vector<std::string>& problems) {
    std::vector<Entry> out;
    if (d.size() < kFixedHeaderSize) {
        problems.push_back(name + ": too short for a header");
        return out;
    }
    const int rs = readLe16(&d[kRecordSize]);
    const int hs = readLe16(&d[kHeaderSize]);
    const int bs = d[kBlockSizeKb] * kBlockSizeUnit;
    if (rs != keyLen + kIndexTail || bs == 0 || hs > static_cast<int>(d.size())) {
        problems.push_back(name + ": its records do not match the keys they index");
        return out;
    }
    const std::size_t onDisk = (d.size() - hs) / bs;
    const int root = readLe16(&d[kIndexRoot]);
    const int levels = d[kIndexLevels];
    if (readLe32(&d[kRecordCount]) == 0) return out;
    bool upperFault = false;
    struct Subtree {
        const std::uint8_t* firstKey = nullptr;
        std::int64_t records = 0;
    };
    std::function<Subtree(int, int, int)> walk = [&](int block, int level, int depth) {
        Subtree here;
        if (block < 1 || static_cast<std::size_t>(block) > onDisk || depth > 8) {
            problems.push_back(name + ": index block " + std::to_string(block) + " out of range");
            return here;
        }
        const std::uint8_t* p = &d[hs + std::size_t(block - 1) * bs];
        const int last = static_cast<std::int16_t>(readLe16(p + kBlockLastRecord));
        const int count = (last + rs) / rs;
        if (count < 0 || (last + rs) % rs != 0 || kBlockHead + count * rs > bs) {
            problems.push_back(name + ": index block " + std::to_string(block) + " is bad");
            return here;
        }
        for (int r = 0; r < count; ++r) {
            const std::uint8_t* e = p + kBlockHead + r * rs;
            if (r == 0) here.firstKey = e;
            Entry en;
            en.key.assign(e, e + keyLen);
            en.block = decodeInt(e + keyLen + kIndexBlockNumber, 2);
            en.count = decodeInt(e + keyLen + kIndexRecordCount, 2);
            if (level <= 1) {
                here.records += en.count;
                out.push_back(std::move(en));
                continue;
            }
            const Subtree below = walk(static_cast<int>(en.block), level - 1, depth + 1);
            here.records += below.records;
            if (upperFault) continue;
            const std::string where = name + ": entry " + std::to_string(r + 1) +
                                      " of index block " + std::to_string(block) + " (level " +
                                      std::to_string(level) + ")";
            if (!below.firstKey) {
                problems.push_back(where + " points at block " + std::to_string(en.block) +
                                   ", which holds no entry");
                upperFault = true;
            } else if (std::memcmp(below.firstKey, e, keyLen) != 0) {
                problems.push_back(where + " does not hold the first key of block " +
                                   std::to_string(en.block));
                upperFault = true;
            } else if (en.count != std::min<std::int64_t>(below.records, kIndexCountMax)) {
                problems.push_back(where + " counts " + std::to_string(en.count) +
                                   " records, block " + std::to_string(en.block) + " leads to " +
                                   std::to_string(below.records));
                upperFault = true;
            }
        }
        return here;
    };
    walk(root, levels < 1 ? 1 : levels, 0);
    return out;
}

std::string hex(const std::vector<std::uint8_t>& v) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (std::uint8_t b : v) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

const char* letterOf(std::uint8_t type) {
    switch (type) {
        case kAlpha:
            return "A";
        case kDate:
            return "D";
        case kShort:
            return "S";
        case kLong:
            return "I";
        case kAutoIncField:
            return "+";
        case kNumber:
            return "N";
        case kCurrency:
            return "$";
        case kLogical:
            return "L";
        case kMemo:
            return "M";
        case kTime:
            return "T";
        case kTimestamp:
            return "@";
        case kBcd:
            return "#";
        case kBytes:
            return "Y";
        case kBlob:
            return "B";
        case kFmtMemo:
            return "F";
        case kOle:
            return "O";
        case kGraphic:
            return "G";
        default:
            return "?";
    }
}

}  // namespace

FamilyReport inspectFamily(const std::string& dbPath) {
    FamilyReport r;
    std::unique_ptr<PxTable> t;
    try {
        t = PxTable::load(dbPath);
    } catch (const std::exception& e) {
        r.problems.push_back(e.what());
        return r;
    }
    // As the table was loaded: the new family of a switch that waits to be finished.
    const FamilyView view(dbPath);
    const std::vector<std::uint8_t> d = readFile(view.source(dbPath));
    const std::string name = baseName(dbPath);
    r.facts.push_back("file: " + name);
    if (view.switchPending())
        r.facts.push_back(
            "note: an interrupted update waits to be finished; read as its "
            "journal lists the new files");
    r.facts.push_back(std::string("kind: ") + (t->keyed() ? "keyed" : "unkeyed"));
    r.facts.push_back("version: " + std::to_string(t->version()));
    r.facts.push_back("block size: " + std::to_string(t->blockSizeKb()) + " KB");
    r.facts.push_back("records: " + std::to_string(t->rowCount()));
    r.facts.push_back("record size: " + std::to_string(t->recordSize()));
    r.facts.push_back("blocks: " + std::to_string(readLe16(&d[kBlocksInFile])));
    r.facts.push_back("auto-increment counter: " + std::to_string(t->autoInc()));
    r.facts.push_back("sort order: " + t->sortOrderName() + " (" + std::to_string(t->sortOrder()) +
                      ")");
    r.facts.push_back("code page: " + std::to_string(t->codePage()));
    r.facts.push_back("change stamps: " + std::to_string(d[kChangeCount1]) + " " +
                      std::to_string(d[kChangeCount2]));
    for (std::size_t i = 0; i < t->fields().size(); ++i) {
        const FieldInfo& f = t->fields()[i];
        const int shown = isBlobType(f.type) ? f.size - kBlobTail : f.size;
        r.facts.push_back("field " + std::to_string(i + 1) + ": " + cp1252ToUtf8(f.name) + "\t" +
                          letterOf(f.type) + "\t" + std::to_string(shown) +
                          (static_cast<int>(i) < t->keyCount() ? "\t*" : ""));
    }
    if (!knownCodePage(t->codePage()))
        r.facts.push_back("note: code page " + std::to_string(t->codePage()) +
                          " is read without translation");

    std::vector<std::string>& problems = r.problems;
    if (t->blobStampMismatches() > 0)
        problems.push_back(name + ": " + std::to_string(t->blobStampMismatches()) +
                           " memos whose modification number differs from the memo file's");
    const std::vector<Block> blocks = chain(d, name, problems);
    if (t->keyed()) {
        const std::uint8_t* prev = nullptr;
        for (const Block& b : blocks)
            for (const std::uint8_t* rec : b.records) {
                if (prev && t->compareKeys(prev, rec, t->keyCount()) >= 0) {
                    problems.push_back(name + ": rows out of key order in block " +
                                       std::to_string(b.number));
                    break;
                }
                prev = rec;
            }
    }
    if (t->keyed()) {
        int keyLen = 0;
        for (int i = 0; i < t->keyCount(); ++i) keyLen += t->fields()[i].bytes;
        const std::string pxPath = resolvePath(
            dbPath.substr(
                0, dbPath.find_last_of('/') == std::string::npos ? 0 : dbPath.find_last_of('/')),
            baseName(dbPath).substr(0, baseName(dbPath).rfind('.')) + ".PX");
        std::vector<std::uint8_t> px = readFile(view.source(pxPath));
        if (px.empty()) {
            problems.push_back(name + ": keyed table without its primary index (.PX)");
        } else {
            r.facts.push_back("primary index: " + baseName(pxPath) + " (levels " +
                              std::to_string(px.size() > kIndexLevels ? px[kIndexLevels] : 0) +
                              ", change stamps " + std::to_string(px[kChangeCount1]) + " " +
                              std::to_string(px[kChangeCount2]) + ")");
            const std::vector<Entry> leaves = indexLeaves(px, keyLen, baseName(pxPath), problems);
            if (leaves.size() != blocks.size()) {
                problems.push_back(baseName(pxPath) + ": " + std::to_string(leaves.size()) +
                                   " entries for " + std::to_string(blocks.size()) +
                                   " data blocks");
            } else {
                for (std::size_t i = 0; i < leaves.size(); ++i) {
                    const Block& b = blocks[i];
                    const Entry& e = leaves[i];
                    if (e.block != b.number ||
                        e.count != static_cast<std::int64_t>(b.records.size()) ||
                        (!b.records.empty() &&
                         std::memcmp(e.key.data(), b.records[0], keyLen) != 0)) {
                        problems.push_back(baseName(pxPath) + ": entry " + std::to_string(i + 1) +
                                           " does not match data block " +
                                           std::to_string(b.number));
                        break;
                    }
                }
            }
        }
    }
    // Rows by primary key, with their block, for the secondary indexes.
    struct RowAt {
        std::uint32_t block;
        const std::uint8_t* record;
    };
    std::map<std::vector<std::uint8_t>, RowAt> rowOfKey;
    int keyLen = 0;
    for (int i = 0; i < t->keyCount(); ++i) keyLen += t->fields()[i].bytes;
    if (!t->indexes().empty())
        for (const Block& b : blocks)
            for (const std::uint8_t* rec : b.records)
                rowOfKey[std::vector<std::uint8_t>(rec, rec + keyLen)] = {b.number, rec};
    for (const SecondaryIndex& ix : t->indexes()) {
        const std::string xn = baseName(ix.xPath);
        std::string fieldsText;
        for (std::size_t i = 0; i < ix.xFields.size(); ++i)
            fieldsText += (i ? ", " : "") + cp1252ToUtf8(ix.xFields[i].name);
        r.facts.push_back("index: " + xn + " (" + fieldsText + ")");
        const std::vector<std::uint8_t> x = readFile(view.source(ix.xPath));
        const std::vector<Block> xb = chain(x, xn, problems);
        std::size_t rows = 0;
        int xrs = 0, xKeyLen = 0;
        for (std::size_t i = 0; i < ix.xFields.size(); ++i) {
            xrs += ix.xFields[i].bytes;
            if (static_cast<int>(i) < ix.keyCount) xKeyLen += ix.xFields[i].bytes;
        }
        const int indexed = static_cast<int>(ix.xFields.size()) - 1 - t->keyCount();
        int indexedLen = 0;
        for (int i = 0; i < indexed; ++i) indexedLen += ix.xFields[i].bytes;
        // Each indexed field of the .Xnn at its offset there and in the row.
        struct Pair {
            int x, row, bytes;
        };
        std::vector<Pair> pairs;
        for (int i = 0, at = 0; i < indexed; at += ix.xFields[i].bytes, ++i) {
            const int s = i < static_cast<int>(ix.source.size()) ? ix.source[i] : -1;
            if (s < 0 || t->fields()[s].bytes != ix.xFields[i].bytes) {
                problems.push_back(xn + ": field '" + cp1252ToUtf8(ix.xFields[i].name) +
                                   "' is not a field of the table");
                pairs.clear();
                break;
            }
            pairs.push_back({at, t->fields()[s].offset, ix.xFields[i].bytes});
        }
        std::set<std::vector<std::uint8_t>> keysSeen;
        bool rowFault = false;
        const std::uint8_t* prev = nullptr;
        for (const Block& b : xb)
            for (const std::uint8_t* rec : b.records) {
                ++rows;
                if (prev) {
                    int c = 0;
                    for (int k = 0; k < ix.keyCount && c == 0; ++k) {
                        FieldInfo f = ix.xFields[k];
                        f.offset = 0;
                        for (int j = 0; j < k; ++j) f.offset += ix.xFields[j].bytes;
                        c = t->compareField(f, prev, rec);
                    }
                    if (c >= 0)
                        problems.push_back(xn + ": records out of order at record " +
                                           std::to_string(rows));
                }
                prev = rec;
                if (!t->keyed() || rowFault) continue;
                std::vector<std::uint8_t> pk(rec + indexedLen, rec + indexedLen + keyLen);
                auto it = rowOfKey.find(pk);
                const std::int64_t hint = decodeInt(rec + xrs - 2, 2);
                if (it == rowOfKey.end() || it->second.block != hint) {
                    problems.push_back(xn + ": record " + std::to_string(rows) +
                                       " points at no row of the table (" + hex(pk) + ")");
                    rowFault = true;
                    continue;
                }
                for (const Pair& f : pairs)
                    if (std::memcmp(rec + f.x, it->second.record + f.row, f.bytes) != 0) {
                        problems.push_back(xn + ": record " + std::to_string(rows) +
                                           " holds values the row of key " + hex(pk) +
                                           " does not have (a stale index)");
                        rowFault = true;
                        break;
                    }
                if (!rowFault && !keysSeen.insert(pk).second) {
                    problems.push_back(xn + ": the row of key " + hex(pk) + " appears twice");
                    rowFault = true;
                }
            }
        if (rows != static_cast<std::size_t>(t->rowCount()))
            problems.push_back(xn + ": " + std::to_string(rows) + " records for " +
                               std::to_string(t->rowCount()) + " rows");
        if (ix.yPath.empty()) {
            problems.push_back(xn + ": its .Y file is missing");
            continue;
        }
        const std::vector<std::uint8_t> y = readFile(view.source(ix.yPath));
        const std::vector<Entry> yl = indexLeaves(y, xKeyLen, baseName(ix.yPath), problems);
        if (yl.size() != xb.size()) {
            problems.push_back(baseName(ix.yPath) + ": " + std::to_string(yl.size()) +
                               " entries for " + std::to_string(xb.size()) + " blocks of " + xn);
        } else {
            for (std::size_t i = 0; i < yl.size(); ++i)
                if (yl[i].block != xb[i].number ||
                    yl[i].count != static_cast<std::int64_t>(xb[i].records.size()) ||
                    (!xb[i].records.empty() &&
                     std::memcmp(yl[i].key.data(), xb[i].records[0], xKeyLen) != 0)) {
                    problems.push_back(baseName(ix.yPath) + ": entry " + std::to_string(i + 1) +
                                       " does not match block " + std::to_string(xb[i].number) +
                                       " of " + xn);
                    break;
                }
        }
    }
    return r;
}

}  // namespace sivaro::px
