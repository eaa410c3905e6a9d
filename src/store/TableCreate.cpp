#include "store/TableCreate.h"

#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>

#include "store/FamilyFiles.h"
#include "store/LittleEndian.h"
#include "store/ParadoxFormat.h"
#include "store/PxTable.h"
#include "util/CodePage.h"
#include "util/Errors.h"
#include "util/Paths.h"

namespace sivaro::px {

namespace {

// New tables take blocks of 4 KB.
constexpr int kNewBlockSizeKb = 4;

struct TypeOf {
    std::uint8_t code;
    int headerSize;  // -1: the given size
};

bool typeOf(char letter, int size, TypeOf& t, std::string& why) {
    switch (letter) {
        case 'A':
            if (size < 1 || size > 255) return why = "alpha size must be 1 to 255", false;
            t = {kAlpha, size};
            return true;
        case 'D':
            t = {kDate, 4};
            return true;
        case 'S':
            t = {kShort, 2};
            return true;
        case 'I':
            t = {kLong, 4};
            return true;
        case '+':
            t = {kAutoIncField, 4};
            return true;
        case 'N':
            t = {kNumber, 8};
            return true;
        case '$':
            t = {kCurrency, 8};
            return true;
        case 'L':
            t = {kLogical, 1};
            return true;
        case 'T':
            t = {kTime, 4};
            return true;
        case '@':
            t = {kTimestamp, 8};
            return true;
        case '#':
            if (size < 0 || size > 32) return why = "BCD decimals must be 0 to 32", false;
            t = {kBcd, size};
            return true;
        case 'Y':
            if (size < 1 || size > 255) return why = "bytes size must be 1 to 255", false;
            t = {kBytes, size};
            return true;
        case 'M':
        case 'B':
        case 'F':
        case 'O':
        case 'G': {
            const int lo = letter == 'M' || letter == 'F' ? 1 : 0;
            if (size < lo || size > 240)
                return why = "blob size must be " + std::to_string(lo) + " to 240", false;
            const std::uint8_t code = letter == 'M'   ? kMemo
                                      : letter == 'B' ? kBlob
                                      : letter == 'F' ? kFmtMemo
                                      : letter == 'O' ? kOle
                                                      : kGraphic;
            t = {code, size + kBlobTail};
            return true;
        }
        default:
            return why = std::string("unknown field type '") + letter + "'", false;
    }
}

}  // namespace

std::vector<FieldDef> parseSchema(const std::string& text) {
    std::vector<FieldDef> out;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> cols;
        std::size_t start = 0;
        while (true) {
            const std::size_t tab = line.find('\t', start);
            cols.push_back(line.substr(start, tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        const std::string where = "schema line " + std::to_string(number);
        if (cols.size() < 3 || cols.size() > 4 || cols[1].size() != 1)
            throw EDatabaseError(where + ": expected name, TAB, type letter, TAB, size");
        FieldDef f;
        f.name = cols[0];
        f.letter = cols[1][0];
        try {
            std::size_t used = 0;
            f.size = std::stoi(cols[2], &used);
            if (used != cols[2].size()) throw std::invalid_argument("size");
        } catch (const std::exception&) {
            throw EDatabaseError(where + ": size '" + cols[2] + "' is not a number");
        }
        if (cols.size() == 4) {
            if (cols[3] != "*") throw EDatabaseError(where + ": the fourth column must be *");
            f.key = true;
        }
        out.push_back(f);
    }
    return out;
}

void createTable(const std::string& dbPath, const std::vector<FieldDef>& fields) {
    std::error_code ec;
    if (std::filesystem::exists(osPath(dbPath), ec))
        throw EDatabaseError("Table " + dbPath + " already exists");
    if (fields.empty() || fields.size() > 255)
        throw EDatabaseError("Table " + dbPath + " needs 1 to 255 fields");
    std::vector<FieldInfo> infos;
    int keys = 0;
    bool keysDone = false;
    std::set<std::string> names;
    int recordSize = 0;
    bool blobs = false;
    for (const FieldDef& s : fields) {
        const std::string where = "Field '" + s.name + "' of " + dbPath;
        if (s.name.empty() || s.name.size() > 25 || s.name.find('\0') != std::string::npos)
            throw EDatabaseError(where + ": a name must have 1 to 25 characters");
        if (!names.insert(upper1252(s.name)).second)
            throw EDatabaseError(where + ": the name appears twice");
        TypeOf t{};
        std::string why;
        if (!typeOf(s.letter, s.size, t, why)) throw EDatabaseError(where + ": " + why);
        if (s.key) {
            if (keysDone) throw EDatabaseError(where + ": key fields must come first");
            if (isBlobType(t.code)) throw EDatabaseError(where + ": a blob cannot be a key");
            ++keys;
        } else {
            keysDone = true;
        }
        FieldInfo f;
        f.name = s.name;
        f.type = t.code;
        f.size = static_cast<std::uint16_t>(t.headerSize);
        f.bytes = fieldBytes(f.type, f.size);
        f.offset = recordSize;
        recordSize += f.bytes;
        blobs = blobs || isBlobType(f.type);
        infos.push_back(f);
    }
    if (recordSize > kNewBlockSizeKb * kBlockSizeUnit - kBlockHead)
        throw EDatabaseError("Records of " + dbPath + " would not fit a 4 KB block");

    const int nf = static_cast<int>(infos.size());
    std::vector<std::uint8_t> h(kHeaderUnit, 0);
    writeLe16(&h[kRecordSize], static_cast<std::uint32_t>(recordSize));
    writeLe16(&h[kHeaderSize], kHeaderUnit);
    h[kFileType] = keys > 0 ? kKeyedDb : kUnkeyedDb;
    h[kBlockSizeKb] = kNewBlockSizeKb;
    writeLe16(&h[kFieldCount], static_cast<std::uint32_t>(nf));
    writeLe16(&h[kKeyFieldCount], static_cast<std::uint32_t>(keys));
    for (const HeaderByte& b : kSampleHeaderBytes) h[b.offset] = b.value;
    h[kVersion] = kVersion7;
    writeLe16(&h[kFileVersion3], kFileVersion7);
    writeLe16(&h[kFileVersion4], kFileVersion7);
    writeLe16(&h[kHighFieldId], static_cast<std::uint32_t>(nf + 1));
    writeLe16(&h[kCodePage], 1252);
    int p = kFieldInfo4;
    for (const auto& f : infos) {
        h[p++] = f.type;
        h[p++] = static_cast<std::uint8_t>(f.size);
    }
    p += kNamePointerBytes * (1 + nf);
    const std::string tableName = baseName(dbPath);
    std::memcpy(&h[p], tableName.data(),
                std::min<std::size_t>(tableName.size(), kTableNameLength7 - 1));
    p += kTableNameLength7;
    for (const auto& f : infos) {
        std::memcpy(&h[p], f.name.data(), f.name.size());
        p += static_cast<int>(f.name.size()) + 1;
    }
    for (int i = 0; i < nf; ++i) {
        writeLe16(&h[p], static_cast<std::uint32_t>(i + 1));
        p += 2;
    }
    const char* sortName = "ascii";
    std::memcpy(&h[p], sortName, std::strlen(sortName));
    p += static_cast<int>(std::strlen(sortName)) + 1;
    writeLe16(&h[kRealHeaderSize], static_cast<std::uint32_t>(p));

    // An empty family written through the same switch as any other write, then read back
    // once so a fault in what we made shows here and not at the first use.
    NewFile db(dbPath);
    db.write(h.data(), h.size());
    db.finish();
    std::vector<NewFile*> files{&db};
    std::unique_ptr<NewFile> mb;
    if (blobs) {
        const std::string stem = dbPath.substr(0, dbPath.size() - 3);
        const bool lower = dbPath.back() >= 'a';
        mb = std::make_unique<NewFile>(stem + (lower ? ".mb" : ".MB"));
        std::vector<std::uint8_t> block(kMbBlock, 0);
        block[kMbBlockType] = kMbHeaderBlock;
        writeLe16(&block[kMbBlockUnits], 1);
        mb->write(block.data(), block.size());
        mb->finish();
        files.push_back(mb.get());
    }
    switchFamily(dbPath, files, {});
    if (keys > 0) {
        // The .px comes from the engine's own writer, so a new table and a rewritten one agree.
        auto t = PxTable::load(dbPath);
        t->markDirty();
        int fd = -1;
        t->save(fd);
        unlockFile(fd);
    }
}

}  // namespace sivaro::px
