#include "import/CodeLookup.h"

#include <algorithm>

#include "import/SourceRun.h"
#include "import/StateSuffix.h"
#include "store/TableStore.h"
#include "util/CodePage.h"
#include "util/StringUtils.h"

namespace sivaro {

namespace {

bool holdsDigit(const std::string& value) {
    return std::any_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

void CodeLookup::lookup(SourceRun& run, Field* code, Table& tCid, const std::string& lookupTable,
                        const std::string& nameField, const std::string& mark, bool bySound) {
    if (code == nullptr) return;
    if (tCid.tableName() != lookupTable || !tCid.active()) {
        // A handle closed by the preparation of the source is opened again even when it
        // already bears the name. The table it leaves stays loaded for the rest of the source,
        // so that lookups in turn in several tables do not read them again at every record.
        run.keepOpen(tCid);
        tCid.close();
        tCid.setTableName(lookupTable);
        tCid.open();
    }
    if (!code->asString().empty()) return;

    const std::string markUpper = upperAscii(mark);
    const int pairs = run.record.size();
    for (int i = 0; i < pairs; ++i) {
        if (run.record[i].nameUpper.find(markUpper) == std::string::npos) continue;
        const std::string typed = run.record[i].value;
        std::string value = typed;
        int state = kNoState;
        if (lookupTable == "cidade") {
            // 'Bom Jesus-RS' is looked up, and kept in the record, as 'Bom Jesus' of RS.
            state = cutStateSuffix(value);
            if (state != kNoState) run.record[i].value = value;
        }
        // An empty name matches nothing, not even a row whose name is empty.
        if (value.empty()) continue;
        LookupIndex& index =
            m_indexes[tCid.databaseName() + "/" + tCid.tableName() + "|" + nameField];
        index.refresh(tCid, nameField);

        LookupIndex::Match m = index.exact(value, state);
        if (m.kind == LookupIndex::Kind::None && bySound && !holdsDigit(value))
            m = index.similar(value, state);
        ReviewList::Item item;
        switch (m.kind) {
            case LookupIndex::Kind::None:
                item.outcome = ReviewList::Outcome::NotFound;
                break;
            case LookupIndex::Kind::Exact:
                item.outcome = ReviewList::Outcome::Exact;
                break;
            case LookupIndex::Kind::ExactOtherState:
                item.outcome = ReviewList::Outcome::ExactOtherState;
                break;
            case LookupIndex::Kind::Similar:
                item.outcome = ReviewList::Outcome::Similar;
                break;
            case LookupIndex::Kind::TooFar:
                item.outcome = ReviewList::Outcome::TooFar;
                break;
        }
        if (m.row != LookupIndex::kNoRow && m.kind != LookupIndex::Kind::TooFar)
            code->setAsString(index.entry(m.row).code);
        if (item.outcome == ReviewList::Outcome::Exact) {
            run.review.add(std::move(item));  // counted only
            continue;
        }
        item.line = run.recordLine;
        item.column = run.record[i].name;
        item.typed = typed;
        item.table = lookupTable;
        if (m.row != LookupIndex::kNoRow) {
            item.name = index.entry(m.row).name;
            item.code = index.entry(m.row).code;
        }
        run.review.add(std::move(item));
    }
}

}  // namespace sivaro
