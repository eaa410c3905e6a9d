#pragma once
// The working lists of one import: the record's name-value pairs (one per source column, in
// column order) and the column-to-field mapping. Lookups by name ignore letter case and find
// the first entry of that name.

#include <string>
#include <string_view>
#include <vector>

namespace sivaro {

struct RecordPair {
    std::string name;
    std::string value;
    std::string nameUpper;  // the name in capitals (a to z), for the lookups' column marks
};

class RecordList {
  public:
    int size() const { return static_cast<int>(m_pairs.size()); }
    RecordPair& operator[](int i) { return m_pairs[static_cast<size_t>(i)]; }
    const RecordPair& operator[](int i) const { return m_pairs[static_cast<size_t>(i)]; }

    void add(std::string name, std::string value = {});
    int indexOf(std::string_view name) const;          // -1 when missing
    std::string valueOf(std::string_view name) const;  // empty when missing
    // The first pair of that name receives the value; nothing happens when there is none.
    void setValue(std::string_view name, std::string value);
    void clearValues();

  private:
    std::vector<RecordPair> m_pairs;
};

// One entry of a source's ".campos" section: a column and the "{Table}.{field}" it feeds.
struct MappingEntry {
    std::string column;
    std::string mapping;
    std::string tablePart;     // the text before the first "."
    std::string fieldPart;     // after the first ".", at most 100 characters
    std::string keyFieldPart;  // after the first ".", at most 50 characters (key lookup)
    std::string beforeComma;   // the text before the first ","

    static MappingEntry parse(std::string column, std::string mapping);
};

class MappingList {
  public:
    void add(MappingEntry entry) { m_entries.push_back(std::move(entry)); }
    const std::vector<MappingEntry>& entries() const { return m_entries; }
    const MappingEntry* find(std::string_view column) const;  // nullptr when unmapped

  private:
    std::vector<MappingEntry> m_entries;
};

}  // namespace sivaro
