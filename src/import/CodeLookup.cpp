#include "import/CodeLookup.h"

#include "import/SourceRun.h"
#include "store/TableStore.h"
#include "util/CodePage.h"
#include "util/Phonetic.h"
#include "util/StringUtils.h"

namespace sivaro {

PhoneticIndex::Entry PhoneticIndex::entryFor(std::string_view name) {
    Entry e;
    const std::string prepared = upper1252(TiraAcentos(name));
    e.length = static_cast<std::int32_t>(prepared.size());
    size_t p = 0;
    while (p < prepared.size() && prepared[p] == 'H') ++p;
    if (p == prepared.size()) return e;
    e.digits += prepared[p];
    e.firstCoded = CodigoFonetico(prepared[p]) > 0;
    for (size_t i = p; i < prepared.size(); ++i) {
        const int c = CodigoFonetico(prepared[i]);
        if (c > 0) e.digits += static_cast<char>('0' + c);
    }
    return e;
}

std::string PhoneticIndex::keyOf(const Entry& e, std::int32_t n) {
    std::string key;
    if (e.length < n) {
        key = e.digits;
        key.resize(static_cast<size_t>(n) + 1, '0');
    } else if (n <= 1) {
        // The length test follows the first character's digit, so N 1 keeps that digit.
        key = e.digits.substr(0, e.firstCoded ? 2 : 1);
        if (key.size() < static_cast<size_t>(n)) key.resize(static_cast<size_t>(n), '0');
    } else {
        key = e.digits.substr(0, static_cast<size_t>(n));
        key.resize(static_cast<size_t>(n), '0');
    }
    return key;
}

namespace {

// A key whose characters after the first hold no class digit carries no sound to compare.
bool hasSound(const std::string& key) {
    for (size_t i = 1; i < key.size(); ++i)
        if (key[i] >= '1' && key[i] <= '6') return true;
    return false;
}

}  // namespace

void PhoneticIndex::refresh(Table& table, const std::string& nameField) {
    const std::string identity = table.databaseName() + "/" + table.tableName();
    if (m_built && identity == m_table && nameField == m_nameField &&
        table.changeCount() == m_version)
        return;
    m_entries.clear();
    m_exact.clear();
    for (auto& b : m_byFirst) b.clear();
    Field& name = table.fieldByName(nameField);
    Field& code = table.fieldByName("cod");
    m_nameSize = name.dataType() == FieldType::String ? static_cast<size_t>(name.size()) : 0;
    for (table.first(); !table.eof(); table.next()) {
        const std::string text = name.asString();
        Entry e = entryFor(text);
        e.code = code.asString();
        m_exact.emplace(upper1252(text), e.code);
        // A row whose key starts with "0" (an empty name) goes in the bucket of "0".
        const unsigned char first =
            e.digits.empty() ? '0' : static_cast<unsigned char>(e.digits[0]);
        m_byFirst[first].push_back(static_cast<std::uint32_t>(m_entries.size()));
        m_entries.push_back(std::move(e));
    }
    m_table = identity;
    m_nameField = nameField;
    m_version = table.changeCount();
    m_built = true;
}

bool PhoneticIndex::exact(std::string_view value, std::string& code) const {
    // A text longer than the field can hold matches no row.
    if (m_nameSize > 0 && value.size() > m_nameSize) return false;
    const auto it = m_exact.find(upper1252(value));
    if (it == m_exact.end()) return false;
    code = it->second;
    return true;
}

std::string PhoneticIndex::firstSimilar(std::string_view value) const {
    const std::int32_t n = static_cast<std::int32_t>(value.size());
    const std::string key = ChaveFonetica(value, n);
    if (!hasSound(key)) return {};
    const size_t length = key.size();
    // Semelhante's test, count / length >= 0.9, as the number of positions allowed to differ.
    size_t allowed = 0;
    while (allowed < length &&
           static_cast<double>(length - allowed - 1) / static_cast<double>(length) >= 0.9)
        ++allowed;
    // Where no position may differ, only rows whose key starts like this one can match; their
    // bucket keeps table order, so its first match is the table's first.
    const std::vector<std::uint32_t>* bucket =
        allowed == 0 ? &m_byFirst[static_cast<unsigned char>(key[0])] : nullptr;
    const size_t count = bucket ? bucket->size() : m_entries.size();
    for (size_t k = 0; k < count; ++k) {
        const Entry& e = m_entries[bucket ? (*bucket)[k] : k];
        // The row's key for this N: its digits up to `used`, then "0" up to `keyLength`.
        size_t keyLength;
        size_t used;
        if (e.length < n) {
            keyLength = static_cast<size_t>(n) + 1;
            used = e.digits.size();
        } else if (n <= 1) {
            used = std::min(e.digits.size(), static_cast<size_t>(e.firstCoded ? 2 : 1));
            keyLength = std::max(used, static_cast<size_t>(n));
        } else {
            keyLength = static_cast<size_t>(n);
            used = std::min(e.digits.size(), keyLength);
        }
        size_t different = 0;
        for (size_t j = 0; j < length; ++j) {
            const char c = j < used ? e.digits[j] : (j < keyLength ? '0' : '\0');
            if (c != key[j] && ++different > allowed) break;
        }
        if (different <= allowed) return e.code;
    }
    return {};
}

void CodeLookup::lookup(SourceRun& run, int t, Table& tCid, const std::string& lookupTable,
                        const std::string& codeField, const std::string& nameField,
                        const std::string& mark) {
    Table& table = *run.tables[static_cast<size_t>(t)].table;
    Field* code = table.findField(codeField);
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
        if (upperAscii(run.record[i].name).find(markUpper) == std::string::npos) continue;
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
        m_index.refresh(tCid, nameField);
        std::string found;
        if (m_index.exact(TiraAcentos(value), found)) {
            code->setAsString(found);
            continue;
        }
        const std::string similar = m_index.firstSimilar(value);
        if (!similar.empty()) code->setAsString(similar);
    }
}

}  // namespace sivaro
