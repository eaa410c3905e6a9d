// The field types of the table files and the facts of a loaded table.

#include "store/PxTable.h"

#include "store/LittleEndian.h"
#include "store/ParadoxFormat.h"
#include "util/CodePage.h"

namespace sivaro::px {

// One clock for every table of the process, so that a table loaded again never repeats a
// change number a cache already saw.
std::uint64_t PxTable::nextChange() {
    static std::uint64_t clock = 0;
    return ++clock;
}

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
            return size <= kBcdDigits ? kBcdBytes : 0;
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
    return version() >= kFirstVersionWithCodePage ? readLe16(&m_header[kCodePage]) : 0;
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

}  // namespace sivaro::px
