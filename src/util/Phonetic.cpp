#include "util/Phonetic.h"

#include "util/CodePage.h"
#include "util/StringUtils.h"

namespace sivaro {

int CodigoFonetico(char c) {
    switch (c) {
        case 'B':
        case 'F':
        case 'P':
        case 'V':
            return 1;
        case 'C':
        case 'G':
        case 'J':
        case 'K':
        case 'Q':
        case 'S':
        case 'X':
        case 'Z':
            return 2;
        case 'D':
        case 'T':
            return 3;
        case 'L':
            return 4;
        case 'M':
        case 'N':
            return 5;
        case 'R':
            return 6;
        default:
            return -1;
    }
}

std::string ChaveFonetica(std::string_view name, std::int32_t n) {
    const std::string prepared = upper1252(TiraAcentos(name));
    const std::size_t length = n > 0 ? static_cast<std::size_t>(n) : 0;
    const bool shorter = prepared.size() < length;

    std::string key;
    std::size_t p = 0;
    while (p < prepared.size() && prepared[p] == 'H') ++p;
    if (p < prepared.size()) {
        key += prepared[p];
        for (std::size_t i = p; i < prepared.size(); ++i) {
            const int code = CodigoFonetico(prepared[i]);
            if (code > 0) key += static_cast<char>('0' + code);
            // A name shorter than the key is coded whole; a longer one stops once the key is
            // full, which the first character's digit may already overrun by one.
            if (!shorter && key.size() >= length) break;
        }
    }
    const std::size_t target = shorter ? length + 1 : length;
    if (key.size() < target) key.append(target - key.size(), '0');
    return key;
}

bool Semelhante(std::string_view first, std::string_view second, std::int32_t n, double threshold) {
    const std::string a = ChaveFonetica(first, n);
    const std::string b = ChaveFonetica(second, n);
    if (a.empty()) return false;
    std::size_t equal = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] == b[i]) ++equal;
    return static_cast<double>(equal) / static_cast<double>(a.size()) >= threshold;
}

}  // namespace sivaro
