#include "import/LookupIndex.h"

#include <algorithm>

#include "import/StateSuffix.h"
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

std::uint64_t prefix8Of(std::string_view key) {
    std::uint64_t v = 0;
    for (size_t j = 0; j < 8; ++j)
        v |= static_cast<std::uint64_t>(static_cast<unsigned char>(j < key.size() ? key[j] : '0'))
             << (8 * j);
    return v;
}

std::uint64_t leaveOut8(std::uint64_t prefix, size_t j) {
    return prefix | (std::uint64_t{kLeftOut} << (8 * j));
}

// The views of the sound index, by their place in m_views.
constexpr size_t kFirstView = 0;
constexpr size_t kWhole4View = 1;
constexpr size_t kWhole8View = 2;
constexpr size_t kLess8View = 3;    // eight views
constexpr size_t kPairs8View = 11;  // 28 views
constexpr size_t kViews = 39;

// The 28 pairs of places among the first eight.
constexpr auto kPairs = [] {
    std::array<std::array<size_t, 2>, 28> pairs{};
    size_t p = 0;
    for (size_t j = 0; j < 8; ++j)
        for (size_t k = j + 1; k < 8; ++k) pairs[p++] = {j, k};
    return pairs;
}();

// A key whose characters after the first hold no class digit carries no sound to compare.
bool hasSound(const std::string& key) {
    for (size_t i = 1; i < key.size(); ++i)
        if (key[i] >= '1' && key[i] <= '6') return true;
    return false;
}

std::string folded(std::string_view text) {
    return upper1252(TiraAcentos(text));
}

}  // namespace

LookupIndex::Entry LookupIndex::entryFor(std::string_view name) {
    Entry e;
    const std::string prepared = folded(name);
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
    e.prefix8 = prefix8Of(e.digits);
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

int LookupIndex::editDistance(std::string_view a, std::string_view b) {
    // Three rows of the table of edits: two back for the swaps. Names of usual length keep
    // them on the stack.
    constexpr size_t kOnStack = 96;
    std::array<int, 3 * kOnStack> stack;
    std::vector<int> heap;
    int* cells = stack.data();
    if (b.size() + 1 > kOnStack) {
        heap.resize(3 * (b.size() + 1));
        cells = heap.data();
    }
    const size_t width = b.size() + 1;
    int* before = cells;
    int* previous = cells + width;
    int* current = cells + 2 * width;
    for (size_t j = 0; j <= b.size(); ++j) previous[j] = static_cast<int>(j);
    for (size_t i = 1; i <= a.size(); ++i) {
        current[0] = static_cast<int>(i);
        for (size_t j = 1; j <= b.size(); ++j) {
            const int replace = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            int best = std::min({previous[j] + 1, current[j - 1] + 1, replace});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                best = std::min(best, before[j - 2] + 1);
            current[j] = best;
        }
        int* oldest = before;
        before = previous;
        previous = current;
        current = oldest;
    }
    return previous[b.size()];
}

void LookupIndex::refresh(Table& table, const std::string& nameField) {
    if (m_built && table.changeCount() == m_version) return;
    m_entries.clear();
    m_exact.clear();
    m_nextSame.clear();
    m_similar.clear();
    m_views.clear();
    m_foldedNames.clear();
    m_soundBuilt = false;
    Field& name = table.fieldByName(nameField);
    Field& code = table.fieldByName("cod");
    Field* state = nullptr;
    for (const char* stateField : {"uf", "est", "estado"})
        if (state == nullptr) state = table.findField(stateField);
    m_hasStates = state != nullptr;
    m_nameSize = name.dataType() == FieldType::String ? static_cast<size_t>(name.size()) : 0;
    std::unordered_map<std::string, std::uint32_t> lastOfName;
    for (table.first(); !table.eof(); table.next()) {
        const std::string text = name.asString();
        Entry e = entryFor(text);
        e.code = code.asString();
        e.name = text;
        if (state != nullptr) e.state = stateOfText(state->asString());
        const auto row = static_cast<std::uint32_t>(m_entries.size());
        m_nextSame.push_back(kNoRow);
        const std::string key = folded(text);
        if (const auto [it, added] = lastOfName.try_emplace(key, row); !added) {
            m_nextSame[it->second] = row;
            it->second = row;
        } else {
            m_exact.emplace(key, row);
        }
        m_entries.push_back(std::move(e));
    }
    m_version = table.changeCount();
    m_built = true;
}

void LookupIndex::buildSound() {
    m_views.assign(kViews, View());
    m_foldedNames.clear();
    m_foldedNames.reserve(m_entries.size());
    for (View& v : m_views) v.reserve(m_entries.size());
    for (std::uint32_t row = 0; row < m_entries.size(); ++row) {
        const Entry& e = m_entries[row];
        m_foldedNames.push_back(folded(e.name));
        // A row whose key starts with "0" (an empty name) goes under "0".
        m_views[kFirstView].emplace_back(
            e.digits.empty() ? '0' : static_cast<unsigned char>(e.digits[0]), row);
        m_views[kWhole4View].emplace_back(e.prefix, row);
        m_views[kWhole8View].emplace_back(e.prefix8, row);
        for (size_t j = 0; j < 8; ++j)
            m_views[kLess8View + j].emplace_back(leaveOut8(e.prefix8, j), row);
        for (size_t p = 0; p < kPairs.size(); ++p)
            m_views[kPairs8View + p].emplace_back(
                leaveOut8(leaveOut8(e.prefix8, kPairs[p][0]), kPairs[p][1]), row);
    }
    for (View& v : m_views) std::sort(v.begin(), v.end());
    m_soundBuilt = true;
}

LookupIndex::Match LookupIndex::exact(std::string_view value, int state) const {
    // A text longer than the field can hold matches no row.
    if (m_nameSize > 0 && value.size() > m_nameSize) return {};
    const auto it = m_exact.find(folded(value));
    if (it == m_exact.end()) return {};
    const bool byState = state >= 0 && m_hasStates;
    if (m_nextSame[it->second] == kNoRow) {
        // One row of that name, as most are.
        Match m;
        m.row = it->second;
        m.kind = byState && m_entries[m.row].state != state ? Kind::ExactOtherState : Kind::Exact;
        return m;
    }
    const std::string typed = upper1252(value);
    // Rank 0 is the best: the state asked for, then the very accents typed.
    std::uint32_t best = kNoRow;
    int bestRank = 4;
    for (std::uint32_t r = it->second; r != kNoRow && bestRank > 0; r = m_nextSame[r]) {
        const Entry& e = m_entries[r];
        const int rank =
            (byState && e.state != state ? 2 : 0) + (upper1252(e.name) == typed ? 0 : 1);
        if (rank < bestRank) {
            best = r;
            bestRank = rank;
        }
    }
    Match m;
    m.row = best;
    m.kind = byState && m_entries[best].state != state ? Kind::ExactOtherState : Kind::Exact;
    return m;
}

LookupIndex::Match LookupIndex::similar(std::string_view value, int state) {
    const std::string cacheKey =
        std::to_string(m_hasStates ? state : -1) + "|" + std::string(value);
    if (const auto it = m_similar.find(cacheKey); it != m_similar.end()) return it->second;
    if (!m_soundBuilt) buildSound();
    const Match m = scan(value, m_hasStates ? state : -1);
    m_similar.emplace(cacheKey, m);
    return m;
}

size_t LookupIndex::differences(const Entry& e, const std::string& key, std::int32_t n,
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
        if (c != key[j] && ++different > allowed) return different;
    }
    return different;
}

std::vector<std::uint32_t> LookupIndex::candidates(std::string_view value,
                                                   std::vector<size_t>& diffs) const {
    std::vector<std::uint32_t> rows;
    diffs.clear();
    const auto n = static_cast<std::int32_t>(value.size());
    const std::string key = ChaveFonetica(value, n);
    if (!hasSound(key)) return rows;
    const size_t length = key.size();
    // Semelhante's test, count / length >= 0.9, as the number of positions allowed to differ.
    size_t allowed = 0;
    while (allowed < length &&
           static_cast<double>(length - allowed - 1) / static_cast<double>(length) >= 0.9)
        ++allowed;

    std::vector<std::pair<std::uint32_t, size_t>> found;
    // The rows of one key of a view.
    const auto take = [&](size_t view, std::uint64_t k) {
        const View& v = m_views[view];
        auto it = std::lower_bound(v.begin(), v.end(), std::make_pair(k, std::uint32_t{0}));
        for (; it != v.end() && it->first == k; ++it) {
            const size_t d = differences(m_entries[it->second], key, n, allowed);
            if (d <= allowed) found.emplace_back(it->second, d);
        }
    };
    // The rows that can be similar: those whose first key characters agree with the value's in
    // all but `allowed` places.
    if (allowed == 0) {
        if (n >= 8)
            take(kWhole8View, prefix8Of(key));
        else if (n >= 4)
            take(kWhole4View, prefixOf(key));
        else
            take(kFirstView, static_cast<unsigned char>(key[0]));
    } else if (allowed == 1) {
        // Keys of 10 to 19 characters: the first eight agree but in one place.
        const std::uint64_t prefix8 = prefix8Of(key);
        for (size_t j = 0; j < 8; ++j) take(kLess8View + j, leaveOut8(prefix8, j));
    } else if (allowed == 2) {
        // Keys of 20 to 29 characters: the first eight agree but in two places.
        const std::uint64_t prefix8 = prefix8Of(key);
        for (size_t p = 0; p < kPairs.size(); ++p)
            take(kPairs8View + p, leaveOut8(leaveOut8(prefix8, kPairs[p][0]), kPairs[p][1]));
    } else {
        for (std::uint32_t r = 0; r < m_entries.size(); ++r) {
            const size_t d = differences(m_entries[r], key, n, allowed);
            if (d <= allowed) found.emplace_back(r, d);
        }
    }
    // A row may be in several of the lists.
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    for (const auto& [r, d] : found) {
        rows.push_back(r);
        diffs.push_back(d);
    }
    return rows;
}

LookupIndex::Match LookupIndex::scan(std::string_view value, int state) const {
    std::vector<size_t> diffs;
    const std::vector<std::uint32_t> rows = candidates(value, diffs);
    bool ofState = false;
    if (state >= 0)
        for (std::uint32_t r : rows) ofState = ofState || m_entries[r].state == state;
    const std::string typed = folded(value);
    Match best;
    size_t bestDiffs = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const Entry& e = m_entries[rows[i]];
        if (ofState && e.state != state) continue;
        const int edits = editDistance(typed, m_foldedNames[rows[i]]);
        // Rows come in table order, so the first of equal ones stays.
        if (best.row == kNoRow || edits < best.edits ||
            (edits == best.edits && diffs[i] < bestDiffs)) {
            best.row = rows[i];
            best.edits = edits;
            bestDiffs = diffs[i];
        }
    }
    if (best.row != kNoRow) best.kind = best.edits > kMaxEdits ? Kind::TooFar : Kind::Similar;
    return best;
}

}  // namespace sivaro
