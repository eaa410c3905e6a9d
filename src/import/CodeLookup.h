#pragma once
// Fills a code field of the row being written ("codcid" of a client...) with the "cod" of a
// lookup table's row found by the name a source column gives: exactly (accents folded and
// letter case ignored on both sides), else by the most similar name that passes the phonetic
// test (LookupIndex.h), unless even that one is too far from the name typed. A city value may
// end in "-UF": the state is cut off and its rows are searched first. Every lookup is counted
// in the source's review list, and every guess, refusal and miss is listed there.

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
    // nullptr, a table without that code field); moves tCid to the lookup table. Without
    // `bySound` (a name field that holds codes) only exact rows count; a value that holds a
    // digit is never compared by sound, since the phonetic key does not see digits.
    void lookup(SourceRun& run, Field* code, Table& tCid, const std::string& lookupTable,
                const std::string& nameField, const std::string& mark, bool bySound);

  private:
    // One index per lookup table and name field, so that lookups in turn keep theirs.
    std::map<std::string, LookupIndex> m_indexes;
};

}  // namespace sivaro
