#pragma once
// Byte layout of the Paradox table family (.db, .px, .mb, .Xnn, .Ynn); docs/paradox-format.md
// tells the same in prose. All integers in headers are little-endian; field values in records
// are big-endian with the sign bit flipped so that byte order is value order.

#include <cstdint>

namespace sivaro::px {

// Header offsets, shared by every file of the family except the .mb.
constexpr int kRecordSize = 0x00;      // u16
constexpr int kHeaderSize = 0x02;      // u16, a multiple of 0x800
constexpr int kFileType = 0x04;        // u8, FileType below
constexpr int kBlockSizeKb = 0x05;     // u8: 1, 2, 4, 8, 16 or 32
constexpr int kRecordCount = 0x06;     // u32
constexpr int kBlocksUsed = 0x0A;      // u16
constexpr int kBlocksInFile = 0x0C;    // u16
constexpr int kFirstBlock = 0x0E;      // u16, 0 when the table has no block
constexpr int kLastBlock = 0x10;       // u16
constexpr int kIndexRoot = 0x1E;       // u16, root block of a .px or .Ynn
constexpr int kIndexLevels = 0x20;     // u8, levels of a .px or .Ynn
constexpr int kFieldCount = 0x21;      // u16
constexpr int kKeyFieldCount = 0x23;   // u16
constexpr int kSortOrder = 0x29;       // u8: 0 "ascii", 0x11 "ANSII850", 0x62 "ANSIINTL"...
constexpr int kChangeCount1 = 0x2D;    // u8, moves on every write of the family
constexpr int kChangeCount2 = 0x2E;    // u8
constexpr int kVersion = 0x39;         // u8: 3 = 3.0, 4 = 3.5, 5-9 = 4.x, 0x0A-0x0B = 5.x, 0x0C = 7
constexpr int kMaxBlocks = 0x3A;       // u16, equal to the blocks in the file in every sample
constexpr int kAutoInc = 0x49;         // u32, the LAST auto-increment value used
constexpr int kFirstFreeBlock = 0x4D;  // u16
constexpr int kRealHeaderSize = 0x51;  // u16, bytes of the header actually used
constexpr int kIndexFlags = 0x55;      // u8, .Xnn: IndexFlag below
constexpr int kFileVersion3 = 0x58;    // u16, 4.x and later data files
constexpr int kFileVersion4 = 0x5A;    // u16
constexpr int kHighFieldId = 0x64;     // u16, field count + 1
constexpr int kCodePage = 0x6A;        // u16, 4.x and later data files
constexpr int kFieldInfo4 = 0x78;      // (type, size) pairs of 4.x and later data files
constexpr int kFieldInfo3 = 0x58;      // (type, size) pairs of 3.x data files and of indexes
constexpr int kFixedHeaderSize = 0x58;  // the part every file but the .mb starts with

// A header takes a whole number of these; a new one takes one.
constexpr int kHeaderUnit = 0x800;
// kBlockSizeKb counts blocks in these.
constexpr int kBlockSizeUnit = 1024;

// After the (type, size) pairs: a pointer to the table name, then one per field to its name
// (memory addresses of the writer, kept as found).
constexpr int kNamePointerBytes = 4;

constexpr int kTableNameLength7 = 261;  // table name slot, version 7
constexpr int kTableNameLength = 79;    // table name slot, earlier versions
constexpr int kFirstVersionWithCodePage = 5;
constexpr int kVersion7 = 0x0C;        // the first with the long table name slot; the one we create
constexpr int kFileVersion7 = 0x010C;  // the file version words of a version 7 data file

// Bytes of a data header whose meaning the samples do not tell, written as the original engine
// writes them in every table of the samples.
struct HeaderByte {
    int offset;
    std::uint8_t value;
};
constexpr HeaderByte kSampleHeaderBytes[] = {{0x26, 0xFF}, {0x28, 0xFF}, {0x3E, 0x1F}, {0x3F, 0x0F},
                                             {0x56, 0x20}, {0x6C, 1},    {0x6D, 1},    {0x70, 1}};

enum FileType : std::uint8_t {
    kKeyedDb = 0,
    kPrimaryIndex = 1,
    kUnkeyedDb = 2,
    kSecondaryIndexNonIncremental = 3,
    kSecondaryIndexKeys = 4,  // .Ynn
    kSecondaryIndex = 5,
    kSecondaryIndexG = 6,
    kSecondaryIndexKeysG = 7,
    kSecondaryIndexG8 = 8,
};

// The byte at kIndexFlags of a .Xnn: 0 ascending, case-sensitive, values may repeat.
enum IndexFlag : std::uint8_t {
    kIndexCaseBits = 0x0F,  // any of these: letter case ignored
    kIndexDescending = 0x10,
    kIndexUnique = 0x20,
};

// Data block head: next block u16, previous block u16, offset of the last record i16
// ((count - 1) x record size; -record size when the block is empty).
constexpr int kBlockHead = 6;
constexpr int kBlockNext = 0;
constexpr int kBlockPrevious = 2;
constexpr int kBlockLastRecord = 4;

// Field type codes as stored in the header.
enum FieldCode : std::uint8_t {
    kAlpha = 0x01,
    kDate = 0x02,
    kShort = 0x03,
    kLong = 0x04,
    kCurrency = 0x05,
    kNumber = 0x06,
    kLogical = 0x09,
    kMemo = 0x0C,
    kBlob = 0x0D,
    kFmtMemo = 0x0E,
    kOle = 0x0F,
    kGraphic = 0x10,
    kTime = 0x14,
    kTimestamp = 0x15,
    kAutoIncField = 0x16,
    kBcd = 0x17,
    kBytes = 0x18,
};

// The largest long (I, +); its negative is the smallest, since -2^31 would encode as all zero
// bytes, which is NULL.
constexpr std::int64_t kLongMax = 2147483647;
constexpr int kBcdBytes = 17;       // sign/decimals byte and 32 digits
constexpr int kBcdDigits = 32;      // a nibble each, the first in the high half of byte 1
constexpr int kBcdPositive = 0x80;  // in byte 0; a negative value has its digits inverted
constexpr int kBcdMark = 0x40;      // in byte 0 of every value of the samples
constexpr int kBcdDecimals = 0x3F;  // the decimals, in byte 0
constexpr int kBlobTail = 10;       // u32 .mb offset, u32 length, u16 modification number
constexpr int kBlobTailLength = 4;  // within the tail
constexpr int kBlobTailModification = 8;
constexpr int kBlobLeaderMax = 240;  // bytes of a blob kept in the record, before its tail
constexpr int kLogicalFalse = 0x80;
constexpr int kLogicalTrue = 0x81;

// .mb file: 4 KB blocks; block 0 is the header. A block starts with its type (u8) and its
// length in 4 KB units (u16).
constexpr int kMbBlock = 4096;
constexpr int kMbBlockType = 0;   // u8
constexpr int kMbBlockUnits = 1;  // u16
constexpr int kMbHeaderBlock = 0;
constexpr int kMbSingleBlob = 2;  // then u32 length, u16 modification number, the data at 9
constexpr int kMbSubBlobs = 3;    // 64 entries of 5 bytes from 12, data in 16-byte chunks
constexpr int kMbFreeBlock = 4;
constexpr int kMbSingleLength = 3;        // u32
constexpr int kMbSingleModification = 7;  // u16
constexpr int kMbSingleData = 9;
constexpr int kMbSubEntries = 12;
constexpr int kMbSubEntryCount = 64;
constexpr int kMbSubEntryBytes = 5;
constexpr int kMbEntryStart = 0;         // u8, in chunks from the block's start
constexpr int kMbEntryChunks = 1;        // u8
constexpr int kMbEntryModification = 2;  // u16
constexpr int kMbEntryLastChunk = 4;     // u8, bytes used in the last chunk
constexpr int kMbSubDataStart = 0x150;   // 12 + 64 x 5, rounded up to a chunk
constexpr int kMbChunk = 16;
constexpr int kMbSingleIndex = 0xFF;  // low byte of an offset into a type-2 block
// An offset into the .mb: its block's start with the entry (or kMbSingleIndex) as low byte.
constexpr std::uint32_t kMbEntryMask = 0xFF;
constexpr std::uint32_t kMbOffsetMax = 0xFFFFFF00u;  // the .mb grows no further
// Blobs up to this size share a type-3 block; longer ones get type-2 blocks of their own.
constexpr int kMbSmallBlobMax = 2048;

// Index records (.px, .Ynn) end with: block number, record count, and a word the engine
// writes as 0, each a short in the field encoding. An entry above the leaves counts the records
// below it, at most what a short holds.
constexpr int kIndexTail = 6;
constexpr int kIndexBlockNumber = 0;  // within the tail
constexpr int kIndexRecordCount = 2;
constexpr int kIndexZero = 4;
constexpr int kIndexCountMax = 32767;

}  // namespace sivaro::px
