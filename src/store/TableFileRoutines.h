#pragma once
// Two routines below the row operations: the auto-increment counter of a table file's header,
// and the restructure of one field.

#include <cstdint>
#include <string>

#include "store/TableStore.h"

namespace sivaro {

// Writes `value` into bytes 73..76 of the table file (".DB" appended when the upper-cased path
// holds no ".DB"; names matched without regard to case). False on any failure, among them a
// missing file and a table that a handle of this process or another process holds open.
bool GravaAutoInc(const std::string& path, std::int32_t value);

// A caller's type number for AlteraCampo: the number of a FieldType (3 integer, 14
// auto-increment...).
constexpr std::uint8_t fieldTypeNumber(FieldType type) {
    return static_cast<std::uint8_t>(type);
}

// Changes one field of a table: its name (cut to 31 characters), its type by the caller's type
// number (fieldTypeNumber above; numbers without an engine type keep the type) and
// its size when `size` > 0, keeping every row. Raises EDatabaseError: "Field 'x' not found",
// a table another handle holds, a change that would lose a value; the table is then unchanged.
void AlteraCampo(const std::string& databaseName, const std::string& tableName,
                 const std::string& fieldName, const std::string& newName, std::uint8_t typeNumber,
                 std::uint16_t size);

}  // namespace sivaro
