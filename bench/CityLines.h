#pragma once
// City names typed the way operators type them, each line kept with the municipality it means:
// the same seed and size give the same lines. Each name is spelt as written (accents and
// capitals), without accents, in lower case or in capitals without accents; a quarter carry
// "-UF"; a fifth have one typing mistake in the name (two neighbours swapped, a letter dropped,
// doubled or replaced by its neighbour on the keyboard).

#include <cstdint>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "util/CodePage.h"
#include "util/StringUtils.h"

namespace sivaro::bench {

struct City {
    std::string cod;
    std::string name;  // as the data set spells it, Windows-1252 with accents
    std::string uf;
};

// The municipalities of a TAB-separated file with a header line (cod, nome, uf).
inline std::vector<City> readCities(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<City> cities;
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream cells(line);
        City c;
        std::getline(cells, c.cod, '\t');
        std::getline(cells, c.name, '\t');
        std::getline(cells, c.uf, '\t');
        if (!c.name.empty()) cities.push_back(std::move(c));
    }
    return cities;
}

enum class Spelling { AsWritten, WithoutAccents, LowerCase, CapitalsWithoutAccents };
constexpr int kSpellings = 4;
inline const char* spellingName(Spelling s) {
    switch (s) {
        case Spelling::AsWritten:
            return "as written";
        case Spelling::WithoutAccents:
            return "without accents";
        case Spelling::LowerCase:
            return "lower case";
        case Spelling::CapitalsWithoutAccents:
            return "capitals, no accents";
    }
    return "";
}

struct TypedLine {
    std::string text;  // what the operator typed
    size_t city = 0;   // index of the municipality meant
    Spelling spelling = Spelling::AsWritten;
    bool withUf = false;
    bool misspelled = false;  // the name differs from the municipality's, letter case and
                              // accents aside
};

namespace detail {

// The neighbours of a lower-case letter on a Brazilian keyboard row.
inline char neighbour(char c, std::mt19937& rng) {
    static const char* const kRows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
    const bool upper = c >= 'A' && c <= 'Z';
    const char lower = upper ? static_cast<char>(c - 'A' + 'a') : c;
    for (const char* row : kRows) {
        const std::string r(row);
        const size_t at = r.find(lower);
        if (at == std::string::npos) continue;
        size_t to = at == 0 ? 1 : (at + 1 == r.size() ? at - 1 : (rng() % 2 ? at + 1 : at - 1));
        const char n = r[to];
        return upper ? static_cast<char>(n - 'a' + 'A') : n;
    }
    return c;
}

inline std::string misspell(std::string s, std::mt19937& rng) {
    if (s.size() <= 4) return s;
    const size_t at = 1 + rng() % (s.size() - 3);
    switch (rng() % 4) {
        case 0:
            std::swap(s[at], s[at + 1]);
            break;
        case 1:
            s.erase(at, 1);
            break;
        case 2:
            s.insert(at, 1, s[at]);
            break;
        case 3:
            s[at] = neighbour(s[at], rng);
            break;
    }
    return s;
}

}  // namespace detail

inline std::vector<TypedLine> typedLines(const std::vector<City>& cities, long count,
                                         std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<TypedLine> lines;
    lines.reserve(static_cast<size_t>(count));
    for (long i = 0; i < count; ++i) {
        TypedLine l;
        l.city = rng() % cities.size();
        const City& c = cities[l.city];
        l.spelling = static_cast<Spelling>(rng() % kSpellings);
        l.withUf = rng() % 4 == 0;
        const bool mistake = rng() % 5 == 0;
        std::string s = c.name;
        switch (l.spelling) {
            case Spelling::AsWritten:
                break;
            case Spelling::WithoutAccents:
                s = TiraAcentos(s);
                break;
            case Spelling::LowerCase:
                s = lower1252(s);
                break;
            case Spelling::CapitalsWithoutAccents:
                s = upper1252(TiraAcentos(s));
                break;
        }
        if (mistake) s = detail::misspell(s, rng);
        l.misspelled = upper1252(TiraAcentos(s)) != upper1252(TiraAcentos(c.name));
        if (l.withUf) s += "-" + c.uf;
        l.text = std::move(s);
        lines.push_back(std::move(l));
    }
    return lines;
}

}  // namespace sivaro::bench
