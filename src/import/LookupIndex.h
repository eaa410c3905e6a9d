#pragma once
// What the code lookups need of one lookup table's name field, kept while the table does not
// change.
// - Exact step: rows by their name with accents folded and letter case ignored, on both sides.
//   Among rows of that name, one of the state asked for comes first (when the table has a state
//   field), then one spelt with the very accents typed, then table order.
// - Similarity scan: a row is a candidate when Semelhante(value, name, length of value, 0.9)
//   holds. Among the candidates of the state asked for (all of them when none is of that
//   state) the best is the one fewest edits away (letters inserted, dropped, replaced or two
//   neighbours swapped, between the names folded and in capitals), then the one whose phonetic
//   key agrees in more places, then the first in table order. A best candidate more than
//   kMaxEdits edits away is answered as too far, so that it is proposed, never taken.
// Phonetic keys are kept per row: a key for any length N follows from the name's kept first
// character, the class digits of the whole name and the name's length, so one entry answers
// every N; candidate rows are found by the first characters of their keys.

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
    static constexpr int kMaxEdits = 2;
    static constexpr std::uint32_t kNoRow = 0xFFFFFFFFu;

    struct Entry {
        std::string digits;       // the kept first character, then the class digits of every letter
        bool firstCoded = false;  // the kept first character has a class digit
        // The key's first four characters, the same for every N of 4 or more (digits, then "0").
        std::uint32_t prefix = 0;
        std::uint64_t prefix8 = 0;  // the first eight, the same for every N of 8 or more
        std::int32_t length = 0;    // length of the prepared name
        std::string code;           // the row's "cod" as text
        std::string name;           // the row's name as the table keeps it
        int state = -1;             // the row's state (StateSuffix.h), -1 when none or unknown
    };

    enum class Kind {
        None,             // no row
        Exact,            // a row of that name (of the state asked for, when one was asked)
        ExactOtherState,  // a row of that name, none of them of the state asked for
        Similar,          // the best candidate of the scan
        TooFar,           // the best candidate, more than kMaxEdits edits away
    };
    struct Match {
        Kind kind = Kind::None;
        std::uint32_t row = kNoRow;
        int edits = 0;  // scan answers: edits between the folded names
    };

    // Builds the index again when the table's rows changed since the last build. The state of
    // a row comes from its field "uf", "est" or "estado", the first the table has.
    void refresh(Table& table, const std::string& nameField);
    bool hasStates() const { return m_hasStates; }
    const Entry& entry(std::uint32_t row) const { return m_entries[row]; }

    // The exact step for `value`, preferring rows of `state` (-1: any row).
    Match exact(std::string_view value, int state) const;
    // The similarity scan for `value`, preferring candidates of `state` (-1: any row). A value
    // whose key holds no class digit after its first character matches nothing.
    Match similar(std::string_view value, int state);

    static Entry entryFor(std::string_view name);
    // ChaveFonetica(name, n), from the entry.
    static std::string keyOf(const Entry& entry, std::int32_t n);
    // Edits from a to b: insertions, deletions, replacements and swaps of two neighbours.
    static int editDistance(std::string_view a, std::string_view b);

  private:
    // The positions in which the row's key for N differs from `key`, once past `allowed`
    // it stops counting (so allowed + 1 means "not similar").
    size_t differences(const Entry& e, const std::string& key, std::int32_t n,
                       size_t allowed) const;
    std::vector<std::uint32_t> candidates(std::string_view value, std::vector<size_t>& diffs) const;
    Match scan(std::string_view value, int state) const;

    void buildSound();

    std::vector<Entry> m_entries;
    // Folded name in capitals -> its first row; further rows of that name through m_nextSame.
    std::unordered_map<std::string, std::uint32_t> m_exact;
    std::vector<std::uint32_t> m_nextSame;
    // The rows by their key's first characters, built on the first scan (a table searched by
    // exact names only never needs them). From N 4 on a key's first four characters, and from
    // N 8 on its first eight, do not depend on N.
    // Each view lists every row under a key made of some of those characters, sorted by key
    // and then by row, so that the rows of one key come in table order: by the first byte; by
    // the first four; by the first eight; by the first eight with one of them left out (a byte
    // set to 0xFF: rows that differ from a key in at most that place), eight views; with two left
    // out, the 28 pairs.
    using View = std::vector<std::pair<std::uint64_t, std::uint32_t>>;
    std::vector<View> m_views;
    std::vector<std::string> m_foldedNames;  // each row's name without accents, in capitals
    bool m_soundBuilt = false;
    std::unordered_map<std::string, Match> m_similar;  // answers already given, by value and state
    size_t m_nameSize = 0;
    std::uint64_t m_version = 0;
    bool m_built = false;
    bool m_hasStates = false;
};

}  // namespace sivaro
