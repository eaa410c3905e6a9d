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

// The character of ChaveFonetica(name, n) at position j of the entry, or 0 past its end.
char keyChar(const PhoneticIndex::Entry& e, std::int32_t n, size_t j) {
    size_t keyLength;
    size_t digitsUsed;
    if (e.length < n) {
        keyLength = static_cast<size_t>(n) + 1;
        digitsUsed = e.digits.size();
    } else if (n <= 1) {
        digitsUsed = std::min(e.digits.size(), static_cast<size_t>(e.firstCoded ? 2 : 1));
        keyLength = std::max(digitsUsed, static_cast<size_t>(n));
    } else {
        keyLength = static_cast<size_t>(n);
        digitsUsed = std::min(e.digits.size(), keyLength);
    }
    if (j >= keyLength) return 0;
    return j < digitsUsed ? e.digits[j] : '0';
}

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
    Field& name = table.fieldByName(nameField);
    Field& code = table.fieldByName("cod");
    for (table.first(); !table.eof(); table.next()) {
        Entry e = entryFor(name.asString());
        e.code = code.asString();
        m_entries.push_back(std::move(e));
    }
    m_table = identity;
    m_nameField = nameField;
    m_version = table.changeCount();
    m_built = true;
}

std::string PhoneticIndex::firstSimilar(std::string_view value) const {
    const std::int32_t n = static_cast<std::int32_t>(value.size());
    const std::string key = ChaveFonetica(value, n);
    if (!hasSound(key)) return {};
    const size_t length = key.size();
    for (const Entry& e : m_entries) {
        size_t different = 0;
        size_t j = 0;
        for (; j < length; ++j) {
            if (keyChar(e, n, j) != key[j]) {
                ++different;
                if (static_cast<double>(length - different) / static_cast<double>(length) < 0.9)
                    break;
            }
        }
        if (j == length &&
            static_cast<double>(length - different) / static_cast<double>(length) >= 0.9)
            return e.code;
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
        // already bears the name.
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
        if (tCid.locate(nameField, {TiraAcentos(value)}, true)) {
            code->setAsString(tCid.fieldByName("cod").asString());
            continue;
        }
        m_index.refresh(tCid, nameField);
        const std::string similar = m_index.firstSimilar(value);
        if (!similar.empty()) code->setAsString(similar);
    }
}

}  // namespace sivaro
