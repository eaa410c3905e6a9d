#pragma once
// The state of the import of one source: its options, lists, target tables and reader. It lives
// from the preparation of the source to its end; its destructor cancels pending rows and closes
// the tables, so that a run stopped by an error leaves every table whole.

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "import/FailedRecords.h"
#include "import/ImportHost.h"
#include "import/LineReader.h"
#include "import/RecordList.h"
#include "import/ReviewList.h"
#include "store/TableStore.h"

namespace sivaro {

struct SourceOptions {
    int limparTabela = 0;  // only 1 empties the tables
    // The names of "CampoChave" without their blanks, empty ones left out ("mar;" is "mar"), and
    // the text they make joined by ";": the list every use of the key reads.
    std::vector<std::string> keyFields;
    std::string campoChave;
    std::string delCamp = "\t";
    int delReg = 0;
    bool umPorLin = true;
    int limiteFalhas = 0;  // failed records that stop the source; 0 or less: no limit
};

// One mapped column as it is written into one target table.
struct WritePlan {
    int pair = 0;       // the pair whose mapping is written
    int valuePair = 0;  // the first pair of that name: its value is the one written
    Field* field = nullptr;
    std::string fieldPartUpper;  // for the normalisations by field name
};

struct TargetTable {
    std::string name;      // as written in the target table list
    std::string fileName;  // name + ".db"
    std::unique_ptr<Table> table;
    std::vector<WritePlan> plan;
    std::vector<char> written;  // fields written during the current record
    bool planValid = false;
    // The code fields of the five lookups ("codcid"...), nullptr where the table has none;
    // found again with the plan.
    std::array<Field*, 5> lookupCodes{};
    std::array<Field*, 4> derived{};  // "raz", "fan", "valbru", "valliq", found with the plan
    std::string fileNameUpper;        // for the rules by table file
};

struct SourceRun {
    std::string source;
    std::string tableList;
    std::string tableListUpper;  // compared with "CIDADE" and "MERCADOR"
    std::string dataFolder;
    std::string dbFolder;  // {data folder}/db, as spelt on disk
    // The branch value the main table's folder was last set for (empty: dbFolder), and the
    // folder found on disk for each branch value met so far.
    std::string branch;
    std::vector<std::pair<std::string, std::string>> branchFolders;
    SourceOptions options;
    MappingList mappings;
    RecordList record;
    std::vector<std::pair<std::string, std::string>> defaults;
    std::vector<TargetTable> tables;
    bool codeMappingFlag = false;

    LineReader reader;
    std::string line;  // the line being read; its room serves every line
    // Record-type sources: a line read but not yet examined for a record start.
    std::string pendingLine;
    bool hasPendingLine = false;

    // The current record as the source has it, for the failed records' file: the number of its
    // first line and its lines as read; the header of a delimited source as read.
    std::string rawHeader;
    std::int64_t recordLine = 0;
    std::vector<std::string> recordLines;
    std::int64_t pendingLineNumber = 0;
    std::unique_ptr<FailedRecords> failed;  // none in a rehearsal

    Gauge gauge;
    SourceSummary summary;
    ReviewList review;  // what the code lookups did

    ~SourceRun();
    void invalidatePlans();  // after a table was reopened or the record list grew

    // The mapping of pair i's name (nullptr when unmapped), and the first pair of each key field
    // (-1 where none feeds it): found once for the record list as it stands, since every record
    // asks for them.
    const MappingEntry* mappingOf(int i);
    const std::vector<int>& keyPairs();
    std::vector<const MappingEntry*> pairMappings;
    std::vector<int> keyPairIndexes;
    int keyPairsFor = -1;                // the record list size keyPairIndexes was found for
    std::vector<std::string> keyValues;  // the key lookup's values, room kept between records

    // Keeps the table a handle has open loaded in the process until closeKept(), with a handle
    // of its own; does nothing when the handle is closed or the table is already kept.
    void keepOpen(Table& handle);
    void closeKept();
    TableStore* store = nullptr;
    std::vector<std::unique_ptr<Table>> kept;
};

}  // namespace sivaro
