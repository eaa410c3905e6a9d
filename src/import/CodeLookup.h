#pragma once
// Fills a code field of the row being written ("codcid" of a client...) with the "cod" of a
// lookup table's row found by the name a source column gives: exactly (accents folded, letter
// case ignored), else by the first phonetically similar name in table order.

#include <map>
#include <string>

#include "import/LookupIndex.h"

namespace sivaro {

class Field;
class Table;
struct SourceRun;

class CodeLookup {
  public:
    // One lookup into `code`, a field of the row being written (nothing happens when it is
    // nullptr, a table without that code field); moves tCid to the lookup table.
    void lookup(SourceRun& run, Field* code, Table& tCid, const std::string& lookupTable,
                const std::string& nameField, const std::string& mark);

  private:
    // One index per lookup table and name field, so that lookups in turn keep theirs.
    std::map<std::string, LookupIndex> m_indexes;
};

}  // namespace sivaro
