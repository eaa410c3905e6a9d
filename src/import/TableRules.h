#pragma once
// The rules that depend on which table is written and which fields it has, at their fixed
// points of the import run: the type of the main table's "cod", the record checks, the
// normalisations by field name, the per-table rules and the end-of-source statements.

#include <string>

#include "import/CodeLookup.h"

namespace sivaro {

class ImportEngine;
struct MappingEntry;
struct SourceRun;

enum class RecordCheck {
    Keep,
    Drop,             // dropped; the loop goes on at its end-of-file test
    DropAndReadNext,  // dropped; the next record is read at once (no counter, no events)
};

class TableRules {
  public:
    explicit TableRules(ImportEngine& engine);
    ~TableRules();

    // While the mapping list is built: sets the code mapping flag.
    void noteMapping(SourceRun& run, const MappingEntry& entry);
    void codeFieldTypeBefore(SourceRun& run);
    RecordCheck recordChecks(SourceRun& run);
    // "CEP", "NCM", "CGC": rewrites a non-empty value by the field's name (in capitals).
    void normalise(SourceRun& run, const std::string& fieldUpper, std::string& value);
    // Notes the fields the rules look for in table t, with the table's write plan.
    void findRuleFields(SourceRun& run, int t);
    void perTable(SourceRun& run, int t);
    void endOfSource(SourceRun& run);

  private:
    ImportEngine& m_engine;
    CodeLookup m_lookup;
};

}  // namespace sivaro
