#pragma once
// SQL values to and from the fields of a table's rows, converted by the field's type as the
// "paradox" module's columns declare them (see SqlModule.h).

#include <cstdint>
#include <string>

#include "store/PxTable.h"
#include "store/TableStore.h"

struct sqlite3_context;
struct sqlite3_value;

namespace sivaro::sql {

// Field i of the record `rec` of `t` as the result of an SQL function; NULL when blank.
void resultField(sqlite3_context* ctx, const px::PxTable& t, const std::uint8_t* rec, int i);

// The text of an SQL value, as SQL holds it (UTF-8).
std::string textOf(sqlite3_value* v);

// Writes an SQL value into field i of the writer's pending row, by the field's type; a value
// the field cannot take raises a conversion error naming the value and the field.
void writeField(Table& w, int i, sqlite3_value* v);

}  // namespace sivaro::sql
