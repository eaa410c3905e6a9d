#include "util/StringUtils.h"

#include <algorithm>
#include <array>

namespace sivaro {

namespace {

// What a cut keeps of the rest of a line, and what a replacement keeps after an occurrence.
constexpr std::size_t kSeparaCamposTail = 10000;
constexpr std::size_t kTrocaTextoTail = 6000;
// The replacement counter stops the loop once it exceeds 600, i.e. after the 601st replacement;
// it is what ends a replacement that contains the text it replaces.
constexpr int kTrocaTextoLastCount = 600;
constexpr int kTiraAcentosFolds = 500;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string SeparaCampos(std::string& text, std::string_view separator) {
    std::string item;
    SeparaCampos(text, std::span<std::string>(&item, 1), separator, 1);
    return item;
}

std::string_view SeparaCampos(std::string_view& text, std::string_view separator) {
    const std::size_t pos = separator.empty() ? std::string_view::npos : text.find(separator);
    if (pos == std::string_view::npos) {
        const std::string_view item = text;
        text = {};
        return item;
    }
    const std::string_view item = text.substr(0, pos);
    text = text.substr(pos + separator.size(), kSeparaCamposTail);
    return item;
}

void SeparaCampos(std::string& text, std::span<std::string> outputs, std::string_view separator,
                  std::uint16_t count) {
    const std::size_t n = std::min<std::size_t>(count, outputs.size());
    for (std::size_t i = 0; i < n; ++i) outputs[i].clear();
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t pos = separator.empty()
                                    ? std::string::npos
                                    : text.find(separator.data(), 0, separator.size());
        if (pos == std::string::npos) {
            outputs[i] = std::move(text);
            text.clear();
            return;
        }
        outputs[i].assign(text, 0, pos);
        text.erase(0, pos + separator.size());
        if (text.size() > kSeparaCamposTail) text.resize(kSeparaCamposTail);
    }
}

bool tryParseInteger(std::string_view text, std::int32_t& value) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        i += 1;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= text.size()) return false;

    std::uint64_t magnitude = 0;
    if (hex) {
        for (; i < text.size(); ++i) {
            const int d = hexDigit(text[i]);
            if (d < 0) return false;
            magnitude = magnitude * 16 + static_cast<unsigned>(d);
            if (magnitude > 0xFFFFFFFFu) return false;
        }
        // Hexadecimal is a 32-bit pattern read as two's complement; a sign negates that value.
        const auto bits = static_cast<std::uint32_t>(magnitude);
        value = static_cast<std::int32_t>(negative ? 0u - bits : bits);
        return true;
    }
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        magnitude = magnitude * 10 + static_cast<unsigned>(text[i] - '0');
        if (magnitude > 2147483648u) return false;
    }
    if (!negative && magnitude > 2147483647u) return false;
    value = static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(magnitude)
                                               : static_cast<std::int64_t>(magnitude));
    return true;
}

std::int32_t ValorInteiro(std::string_view text) {
    std::int32_t value = 0;
    return tryParseInteger(text, value) ? value : 0;
}

bool EhInteiro(std::string_view text) {
    if (text.empty()) return false;
    const char first = text[0];
    if (first != '+' && first != '-' && (first < '0' || first > '9')) return false;
    std::int32_t value = 0;
    return tryParseInteger(text, value);
}

std::string ApagaTexto(std::string_view find, std::string_view source, std::uint16_t count) {
    if (find.empty()) return std::string(source);
    if (find.size() == 1 && count == 0) {
        // Every occurrence of one character (the CEP and NCM clean-ups): one pass.
        std::string out;
        out.reserve(source.size());
        for (const char c : source)
            if (c != find[0]) out.push_back(c);
        return out;
    }
    // Deleting the leftmost occurrence and searching again from the start is the same as
    // pushing the source byte by byte and dropping the find text whenever the output ends with
    // it: the output never holds an occurrence, so the first one to complete is the leftmost.
    std::string out;
    out.reserve(source.size());
    unsigned deleted = 0;
    std::size_t i = 0;
    for (; i < source.size(); ++i) {
        if (count != 0 && deleted == count) break;
        out.push_back(source[i]);
        if (out.size() >= find.size() &&
            std::string_view(out).substr(out.size() - find.size()) == find) {
            out.resize(out.size() - find.size());
            ++deleted;
        }
    }
    out.append(source.substr(i));
    return out;
}

std::string TrocaTexto(std::string_view find, std::string_view replacement, std::string_view source,
                       std::uint16_t count) {
    std::string s(source);
    if (find.empty()) return s;
    int replaced = 0;
    unsigned remaining = count;
    // Text before an occurrence is never changed and held no occurrence, so the next leftmost
    // one cannot start before the last find.size() - 1 bytes of it.
    std::size_t from = 0;
    for (;;) {
        const std::size_t pos = s.find(find.data(), from, find.size());
        if (pos == std::string::npos) break;
        s.replace(pos, find.size(), replacement);
        const std::size_t keep = pos + replacement.size() + kTrocaTextoTail;
        if (s.size() > keep) s.resize(keep);
        from = pos >= find.size() - 1 ? pos - (find.size() - 1) : 0;
        ++replaced;
        --remaining;
        if (replaced > kTrocaTextoLastCount) break;
        if (count > 0 && remaining == 0) break;
    }
    return s;
}

std::string TiraAcentos(std::string_view source) {
    // Windows-1252 codes of the accented letters, in the order they are folded, and their
    // plain letters.
    static constexpr std::array<unsigned char, 28> kAccented = {
        225, 224, 227, 193, 192, 195, 231, 199, 243, 211, 245, 213, 244, 212,
        232, 200, 237, 205, 233, 201, 234, 202, 218, 250, 226, 194, 242, 210};
    static constexpr std::string_view kPlain = "aaaAAAcCoOoOoOeEiIeEeEUuaAoO";
    static_assert(kPlain.size() == kAccented.size());

    std::string s(source);
    // Every accented letter of the table lies in 192-250: most names hold none.
    if (std::none_of(s.begin(), s.end(), [](char c) {
            const auto b = static_cast<unsigned char>(c);
            return b >= 192 && b <= 250;
        }))
        return s;
    int folds = 0;  // shared by every row and never reset
    for (std::size_t row = 0; row < kAccented.size(); ++row) {
        const char accented = static_cast<char>(kAccented[row]);
        for (std::size_t pos = s.find(accented); pos != std::string::npos;
             pos = s.find(accented, pos + 1)) {
            s[pos] = kPlain[row];
            if (++folds >= kTiraAcentosFolds) break;
        }
    }
    return s;
}

std::string_view trimmed(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
    return text.substr(begin, end - begin);
}

std::string trim(std::string_view text) {
    return std::string(trimmed(text));
}

}  // namespace sivaro
