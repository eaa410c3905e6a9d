#include "import/RecordList.h"

#include "util/CodePage.h"

namespace sivaro {

void RecordList::add(std::string name, std::string value) {
    std::string upper = upperAscii(name);
    m_pairs.push_back({std::move(name), std::move(value), std::move(upper)});
}

int RecordList::indexOf(std::string_view name) const {
    for (size_t i = 0; i < m_pairs.size(); ++i)
        if (sameText(m_pairs[i].name, name)) return static_cast<int>(i);
    return -1;
}

std::string RecordList::valueOf(std::string_view name) const {
    const int i = indexOf(name);
    return i < 0 ? std::string() : m_pairs[static_cast<size_t>(i)].value;
}

void RecordList::setValue(std::string_view name, std::string value) {
    const int i = indexOf(name);
    if (i >= 0) m_pairs[static_cast<size_t>(i)].value = std::move(value);
}

void RecordList::clearValues() {
    for (RecordPair& p : m_pairs) p.value.clear();
}

MappingEntry MappingEntry::parse(std::string column, std::string mapping) {
    MappingEntry e;
    const size_t dot = mapping.find('.');
    // Without a ".", the original's Copy(mapping, Pos + 1, n) takes the text from its start.
    const size_t from = dot == std::string::npos ? 0 : dot + 1;
    e.tablePart = dot == std::string::npos ? std::string() : mapping.substr(0, dot);
    e.fieldPart = mapping.substr(from, 100);
    e.keyFieldPart = mapping.substr(from, 50);
    e.beforeComma = mapping.substr(0, mapping.find(','));
    e.column = std::move(column);
    e.mapping = std::move(mapping);
    return e;
}

const MappingEntry* MappingList::find(std::string_view column) const {
    for (const MappingEntry& e : m_entries)
        if (sameText(e.column, column)) return &e;
    return nullptr;
}

}  // namespace sivaro
