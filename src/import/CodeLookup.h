#pragma once
// Fills a code field of the row being written ("codcid" of a client...) with the "cod" of a
// lookup table's row found by the name a source column gives: exactly (accents folded, letter
// case ignored), else by the first phonetically similar name in table order.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sivaro {

class Table;
struct SourceRun;

// What the lookups need of a lookup table, kept while the table does not change: the code of
// the first row of each name without regard to case (the exact step), and the phonetic keys of
// the names (the similarity scan). A key for any length N follows from the name's kept first
// character, the class digits of the whole name and the name's length, so one entry answers
// every N.
class PhoneticIndex {
  public:
    struct Entry {
        std::string digits;       // the kept first character, then the class digits of every letter
        bool firstCoded = false;  // the kept first character has a class digit
        std::int32_t length = 0;  // length of the prepared name
        std::string code;         // the row's "cod" as text
    };

    // Rebuilds the entries when the table, its name field or its contents changed.
    void refresh(Table& table, const std::string& nameField);
    // The code of the first row whose name equals `value` without regard to case, as the
    // engine's locate finds it; false when none does.
    bool exact(std::string_view value, std::string& code) const;
    // The code of the first row similar to `value` (threshold 0.9), or empty when none is.
    std::string firstSimilar(std::string_view value) const;

    static Entry entryFor(std::string_view name);
    // ChaveFonetica(name, n), from the entry.
    static std::string keyOf(const Entry& entry, std::int32_t n);

  private:
    std::vector<Entry> m_entries;
    std::unordered_map<std::string, std::string> m_exact;   // upper-cased name -> first code
    std::array<std::vector<std::uint32_t>, 256> m_byFirst;  // entries by their key's first byte
    size_t m_nameSize = 0;
    std::string m_table;
    std::string m_nameField;
    std::uint64_t m_version = 0;
    bool m_built = false;
};

class CodeLookup {
  public:
    // One lookup for table t of the run (index into run.tables).
    void lookup(SourceRun& run, int t, Table& tCid, const std::string& lookupTable,
                const std::string& codeField, const std::string& nameField,
                const std::string& mark);

  private:
    PhoneticIndex m_index;
};

}  // namespace sivaro
