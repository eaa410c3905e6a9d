#pragma once
// What the code lookups need of one lookup table's name field, kept while the table does not
// change: the code of the first row of each name without regard to case (the exact step), and
// the phonetic keys of the names (the similarity scan). A key for any length N follows from the
// name's kept first character, the class digits of the whole name and the name's length, so
// one entry answers every N. Answers are those of the engine's locate and of a scan with
// Semelhante at 0.9 in table order.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sivaro {

class Table;

class LookupIndex {
  public:
    struct Entry {
        std::string digits;       // the kept first character, then the class digits of every letter
        bool firstCoded = false;  // the kept first character has a class digit
        // The key's first four characters, the same for every N of 4 or more (digits, then "0").
        std::uint32_t prefix = 0;
        std::int32_t length = 0;  // length of the prepared name
        std::string code;         // the row's "cod" as text
    };

    // Builds the index again when the table's rows changed since the last build.
    void refresh(Table& table, const std::string& nameField);
    // The code of the first row whose name equals `value` without regard to case; false when
    // none does.
    bool exact(std::string_view value, std::string& code) const;
    // The code of the first row similar to `value` (threshold 0.9), or empty when none is.
    std::string firstSimilar(std::string_view value);

    static Entry entryFor(std::string_view name);
    // ChaveFonetica(name, n), from the entry.
    static std::string keyOf(const Entry& entry, std::int32_t n);

  private:
    bool similar(const Entry& e, const std::string& key, std::int32_t n, size_t allowed) const;
    std::string scan(std::string_view value) const;

    std::vector<Entry> m_entries;
    std::unordered_map<std::string, std::string> m_exact;   // upper-cased name -> first code
    std::array<std::vector<std::uint32_t>, 256> m_byFirst;  // rows by their key's first byte
    // Rows by their key's first four bytes with one of them left out (byte j set to 0xFF):
    // every row that differs from a key in at most one of those four places.
    std::array<std::unordered_map<std::uint32_t, std::vector<std::uint32_t>>, 4> m_byPrefix;
    // The same with two of them left out (the six pairs j < k): rows that differ from a key in
    // at most two of those places.
    std::array<std::unordered_map<std::uint32_t, std::vector<std::uint32_t>>, 6> m_byPrefixPairs;
    // Rows by their key's first four bytes, all of them.
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> m_byWholePrefix;
    std::unordered_map<std::string, std::string> m_similar;  // answers already given
    size_t m_nameSize = 0;
    std::uint64_t m_version = 0;
    bool m_built = false;
};

}  // namespace sivaro
