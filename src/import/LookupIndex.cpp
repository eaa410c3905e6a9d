#include "import/LookupIndex.h"

#include <algorithm>

#include "store/TableStore.h"
#include "util/CodePage.h"
#include "util/Phonetic.h"
#include "util/StringUtils.h"

namespace sivaro {

namespace {

constexpr std::uint32_t kLeftOut = 0xFFu;

std::uint32_t prefixOf(std::string_view key) {
    std::uint32_t v = 0;
    for (size_t j = 0; j < 4; ++j)
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(j < key.size() ? key[j] : '0'))
             << (8 * j);
    return v;
}

std::uint32_t leaveOut(std::uint32_t prefix, size_t j) {
    return prefix | (kLeftOut << (8 * j));
}

// The six pairs of places among the first four.
constexpr size_t kPairs[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};

// A key whose characters after the first hold no class digit carries no sound to compare.
bool hasSound(const std::string& key) {
    for (size_t i = 1; i < key.size(); ++i)
        if (key[i] >= '1' && key[i] <= '6') return true;
    return false;
}

}  // namespace

LookupIndex::Entry LookupIndex::entryFor(std::string_view name) {
    Entry e;
    const std::string prepared = upper1252(TiraAcentos(name));
    e.length = static_cast<std::int32_t>(prepared.size());
    size_t p = 0;
    while (p < prepared.size() && prepared[p] == 'H') ++p;
    if (p < prepared.size()) {
        e.digits += prepared[p];
        e.firstCoded = CodigoFonetico(prepared[p]) > 0;
        for (size_t i = p; i < prepared.size(); ++i) {
            const int c = CodigoFonetico(prepared[i]);
            if (c > 0) e.digits += static_cast<char>('0' + c);
        }
    }
    e.prefix = prefixOf(e.digits);
    return e;
}

std::string LookupIndex::keyOf(const Entry& e, std::int32_t n) {
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

void LookupIndex::refresh(Table& table, const std::string& nameField) {
    if (m_built && table.changeCount() == m_version) return;
    m_entries.clear();
    m_exact.clear();
    m_similar.clear();
    for (auto& b : m_byFirst) b.clear();
    for (auto& m : m_byPrefix) m.clear();
    m_byWholePrefix.clear();
    for (auto& m : m_byPrefixPairs) m.clear();
    Field& name = table.fieldByName(nameField);
    Field& code = table.fieldByName("cod");
    m_nameSize = name.dataType() == FieldType::String ? static_cast<size_t>(name.size()) : 0;
    for (table.first(); !table.eof(); table.next()) {
        const std::string text = name.asString();
        Entry e = entryFor(text);
        e.code = code.asString();
        m_exact.emplace(upper1252(text), e.code);
        const auto row = static_cast<std::uint32_t>(m_entries.size());
        // A row whose key starts with "0" (an empty name) goes in the bucket of "0".
        m_byFirst[e.digits.empty() ? '0' : static_cast<unsigned char>(e.digits[0])].push_back(row);
        for (size_t j = 0; j < 4; ++j) m_byPrefix[j][leaveOut(e.prefix, j)].push_back(row);
        m_byWholePrefix[e.prefix].push_back(row);
        for (size_t p = 0; p < 6; ++p)
            m_byPrefixPairs[p][leaveOut(leaveOut(e.prefix, kPairs[p][0]), kPairs[p][1])].push_back(
                row);
        m_entries.push_back(std::move(e));
    }
    m_version = table.changeCount();
    m_built = true;
}

bool LookupIndex::exact(std::string_view value, std::string& code) const {
    // A text longer than the field can hold matches no row.
    if (m_nameSize > 0 && value.size() > m_nameSize) return false;
    const auto it = m_exact.find(upper1252(value));
    if (it == m_exact.end()) return false;
    code = it->second;
    return true;
}

std::string LookupIndex::firstSimilar(std::string_view value) {
    const std::string text(value);
    if (const auto it = m_similar.find(text); it != m_similar.end()) return it->second;
    std::string code = scan(value);
    m_similar.emplace(text, code);
    return code;
}

bool LookupIndex::similar(const Entry& e, const std::string& key, std::int32_t n,
                          size_t allowed) const {
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
    for (size_t j = 0; j < key.size(); ++j) {
        const char c = j < used ? e.digits[j] : (j < keyLength ? '0' : '\0');
        if (c != key[j] && ++different > allowed) return false;
    }
    return true;
}

std::string LookupIndex::scan(std::string_view value) const {
    const auto n = static_cast<std::int32_t>(value.size());
    const std::string key = ChaveFonetica(value, n);
    if (!hasSound(key)) return {};
    const size_t length = key.size();
    // Semelhante's test, count / length >= 0.9, as the number of positions allowed to differ.
    size_t allowed = 0;
    while (allowed < length &&
           static_cast<double>(length - allowed - 1) / static_cast<double>(length) >= 0.9)
        ++allowed;

    // The rows that can be similar, each list in table order, so that the first that is wins.
    static const std::vector<std::uint32_t> kNone;
    const auto firstIn = [&](const std::vector<std::uint32_t>& rows, std::uint32_t before) {
        for (std::uint32_t r : rows) {
            if (r >= before) break;
            if (similar(m_entries[r], key, n, allowed)) return r;
        }
        return before;
    };
    constexpr std::uint32_t kNoRow = 0xFFFFFFFFu;
    if (allowed == 0) {
        // No position may differ: only rows whose key starts like this one (its first four
        // characters do not depend on N from 4 on).
        const std::vector<std::uint32_t>* rows = &m_byFirst[static_cast<unsigned char>(key[0])];
        if (n >= 4) {
            const auto it = m_byWholePrefix.find(prefixOf(key));
            rows = it == m_byWholePrefix.end() ? &kNone : &it->second;
        }
        const std::uint32_t r = firstIn(*rows, kNoRow);
        return r == kNoRow ? std::string() : m_entries[r].code;
    }
    if (allowed == 1) {
        // One may differ (keys of 10 to 19 characters): the first four agree but in one place.
        // The first similar row of each such list; the earliest of them wins.
        const std::uint32_t prefix = prefixOf(key);
        std::uint32_t best = kNoRow;
        for (size_t j = 0; j < 4; ++j) {
            const auto it = m_byPrefix[j].find(leaveOut(prefix, j));
            if (it != m_byPrefix[j].end()) best = firstIn(it->second, best);
        }
        return best == kNoRow ? std::string() : m_entries[best].code;
    }
    if (allowed == 2) {
        // Two may differ (keys of 20 to 29 characters): the first four agree in two places.
        const std::uint32_t prefix = prefixOf(key);
        std::uint32_t best = kNoRow;
        for (size_t p = 0; p < 6; ++p) {
            const auto& map = m_byPrefixPairs[p];
            const auto it = map.find(leaveOut(leaveOut(prefix, kPairs[p][0]), kPairs[p][1]));
            if (it != map.end()) best = firstIn(it->second, best);
        }
        return best == kNoRow ? std::string() : m_entries[best].code;
    }
    for (const Entry& e : m_entries)
        if (similar(e, key, n, allowed)) return e.code;
    return {};
}

}  // namespace sivaro
