#pragma once
// Queries of the Paradox engine: the statement's text is executed by SQLite over the Paradox
// tables of the query's folder (through store/SqlModule.h), so that UPDATE, DELETE and INSERT,
// with SELECT subqueries, change the tables themselves. Table and field names match without
// regard to case (accented letters included); names with blanks or accents are quoted ("..."
// or [...]). Only statements over the tables run: ATTACH, PRAGMA, CREATE and the like are
// refused. A failing statement raises EDatabaseError carrying SQLite's message, its changes
// taken back; the statements before it in the same text stay.

#include <memory>

#include "store/TableStore.h"

namespace sivaro {

// The query's tables are opened through `store` (and so through its connection, if any); the
// query must not outlive the store.
std::unique_ptr<Query> createSqlQuery(TableStore& store);

}  // namespace sivaro
