#include "store/ParadoxStore.h"

#include <cstring>

#include "store/Connection.h"
#include "store/FamilyFiles.h"
#include "store/FieldCodec.h"
#include "store/FieldText.h"
#include "store/ParadoxFormat.h"
#include "store/ParadoxTable.h"
#include "store/PxTable.h"
#include "store/RowAccess.h"
#include "store/SqlQuery.h"
#include "util/CodePage.h"
#include "util/Errors.h"
#include "util/Paths.h"

namespace sivaro {

using namespace px;

std::uint8_t paradoxTypeCode(FieldType type) {
    switch (type) {
        case FieldType::String:
            return kAlpha;
        case FieldType::Smallint:
            return kShort;
        case FieldType::Integer:
            return kLong;
        case FieldType::Boolean:
            return kLogical;
        case FieldType::Float:
            return kNumber;
        case FieldType::Currency:
            return kCurrency;
        case FieldType::BCD:
            return kBcd;
        case FieldType::Date:
            return kDate;
        case FieldType::Time:
            return kTime;
        case FieldType::DateTime:
            return kTimestamp;
        case FieldType::Bytes:
            return kBytes;
        case FieldType::AutoInc:
            return kAutoIncField;
        case FieldType::Blob:
            return kBlob;
        case FieldType::Memo:
            return kMemo;
        case FieldType::Graphic:
            return kGraphic;
        case FieldType::FmtMemo:
            return kFmtMemo;
        case FieldType::ParadoxOle:
            return kOle;
        default:
            return 0;
    }
}

FieldType fieldTypeOf(std::uint8_t code) {
    switch (code) {
        case kAlpha:
            return FieldType::String;
        case kShort:
            return FieldType::Smallint;
        case kLong:
            return FieldType::Integer;
        case kLogical:
            return FieldType::Boolean;
        case kNumber:
            return FieldType::Float;
        case kCurrency:
            return FieldType::Currency;
        case kBcd:
            return FieldType::BCD;
        case kDate:
            return FieldType::Date;
        case kTime:
            return FieldType::Time;
        case kTimestamp:
            return FieldType::DateTime;
        case kBytes:
            return FieldType::Bytes;
        case kAutoIncField:
            return FieldType::AutoInc;
        case kBlob:
            return FieldType::Blob;
        case kMemo:
            return FieldType::Memo;
        case kGraphic:
            return FieldType::Graphic;
        case kFmtMemo:
            return FieldType::FmtMemo;
        case kOle:
            return FieldType::ParadoxOle;
        default:
            return FieldType::Unknown;
    }
}

namespace {

class ParadoxStore final : public TableStore {
  public:
    explicit ParadoxStore(std::shared_ptr<TDataBaseNew> connection)
        : m_connection(std::move(connection)) {}
    std::unique_ptr<Table> createTable() override {
        return std::make_unique<ParadoxTable>(m_connection);
    }
    std::unique_ptr<Query> createQuery() override { return createSqlQuery(*this); }

  private:
    std::shared_ptr<TDataBaseNew> m_connection;
};

}  // namespace

namespace px {

namespace {
ParadoxTable& engineHandle(const Table& handle) {
    auto* t = dynamic_cast<ParadoxTable*>(const_cast<Table*>(&handle));
    if (!t) throw EDatabaseError("Table " + handle.tableName() + " is not a Paradox table");
    if (!t->active())
        throw EDatabaseError("Cannot perform this operation on a closed table (" +
                             handle.tableName() + ")");
    return *t;
}
}  // namespace

PxTable& tableBehind(Table& handle) {
    return engineHandle(handle).table();
}
RowId currentRowId(const Table& handle) {
    return engineHandle(handle).currentRow();
}
void moveToRow(Table& handle, RowId id) {
    engineHandle(handle).moveTo(id);
}
std::uint8_t* pendingRecord(Table& handle) {
    return engineHandle(handle).pendingBytes(handle.tableName());
}

}  // namespace px

bool tableOpenInProcess(const std::string& dbPath) {
    return px::openInProcess(dbPath);
}

std::unique_ptr<TableStore> createParadoxStore() {
    return std::make_unique<ParadoxStore>(nullptr);
}

std::unique_ptr<TableStore> createParadoxStore(std::shared_ptr<TDataBaseNew> connection) {
    return std::make_unique<ParadoxStore>(std::move(connection));
}

}  // namespace sivaro
