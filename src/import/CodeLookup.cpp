#include "import/CodeLookup.h"

#include "import/SourceRun.h"
#include "store/TableStore.h"
#include "util/CodePage.h"
#include "util/Phonetic.h"
#include "util/StringUtils.h"

namespace sivaro {

void CodeLookup::lookup(SourceRun& run, Field* code, Table& tCid, const std::string& lookupTable,
                        const std::string& nameField, const std::string& mark) {
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
        std::string value = run.record[i].value;
        if (lookupTable == "cidade") {
            // 'SAO PAULO-SP' is looked up, and kept in the record, as 'SAO PAULO'.
            const size_t dash = value.find('-');
            if (dash != std::string::npos && dash + 3 == value.size()) {
                value.erase(dash);
                run.record[i].value = value;
            }
        }
        // An empty name matches nothing, not even a row whose name is empty.
        if (value.empty()) continue;
        LookupIndex& index =
            m_indexes[tCid.databaseName() + "/" + tCid.tableName() + "|" + nameField];
        index.refresh(tCid, nameField);
        std::string found;
        if (index.exact(TiraAcentos(value), found)) {
            code->setAsString(found);
            continue;
        }
        const std::string similar = index.firstSimilar(value);
        if (!similar.empty()) code->setAsString(similar);
    }
}

}  // namespace sivaro
