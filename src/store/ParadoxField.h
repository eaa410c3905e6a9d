#pragma once
// The engine's field handle behind the Field interface: one field of a table handle, reading the
// handle's current row and writing its pending row.

#include <cstdint>
#include <string>

#include "store/ParadoxFormat.h"
#include "store/ParadoxStore.h"
#include "store/PxTable.h"
#include "store/TableStore.h"

namespace sivaro::px {

class ParadoxTable;

class ParadoxField final : public Field {
  public:
    ParadoxField(ParadoxTable& owner, int index) : m_owner(owner), m_index(index) {}
    const std::string& fieldName() const override;
    int index() const override { return m_index; }
    FieldType dataType() const override { return fieldTypeOf(info().type); }
    // Blobs count the bytes kept in the record, as schemas and pxtool show them.
    int size() const override {
        return isBlobType(info().type) ? info().size - kBlobTail : info().size;
    }
    bool isNull() const override;
    std::string asString() const override;
    void setAsString(const std::string& text) override;
    std::int32_t asInteger() const override;
    void setAsInteger(std::int32_t value) override;
    double asCurrency() const override;
    void setAsCurrency(double value) override;
    FieldValue value() const override;
    void setValue(const FieldValue& value) override;
    void clear() override;

  private:
    const FieldInfo& info() const;
    const std::uint8_t* readBytes() const;  // nullptr when there is no current row
    std::uint8_t* writeBytes();             // the pending row; raises outside edit and insert
    double number() const;
    void setNumber(double v, const std::string* text = nullptr);  // `text` as the caller gave it
    [[noreturn]] void refuse(const std::string& text, const std::string& kind) const;
    ParadoxTable& m_owner;
    int m_index;
};

}  // namespace sivaro::px
