#pragma once
// Small helpers for the barcode tests: patterns as strings, runs of columns, and the message
// of the EBarCodeError an action raises.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "barcode/PatternWriter.h"
#include "util/Errors.h"

namespace sivaro::test {

// The columns of a zero-terminated pattern array.
template <typename Array>
std::string columnsOf(const Array& pattern) {
    return std::string(pattern.data());
}

// Each module of a module string repeated `narrow` times, as a pattern holds it.
inline std::string expand(std::string_view modules, int narrow) {
    std::string out;
    for (char module : modules) out.append(static_cast<std::size_t>(narrow), module);
    return out;
}

// Runs of equal columns written as counts: "1112000" gives "1x3 2x1 0x3".
inline std::string runs(std::string_view columns) {
    std::string out;
    for (std::size_t i = 0; i < columns.size();) {
        std::size_t j = i;
        while (j < columns.size() && columns[j] == columns[i]) ++j;
        if (!out.empty()) out += ' ';
        out += columns[i];
        out += 'x' + std::to_string(j - i);
        i = j;
    }
    return out;
}

// Runs `build` on a writer of `capacity` columns and gives what it wrote.
inline std::string written(const std::function<void(PatternWriter&)>& build, int capacity = 3999) {
    std::vector<char> buffer(static_cast<std::size_t>(capacity) + 1, '\0');
    PatternWriter out(buffer.data(), capacity);
    build(out);
    return std::string(buffer.data());
}

// The message of the EBarCodeError that `action` raises; empty when it raises none.
inline std::string barcodeError(const std::function<void()>& action) {
    try {
        action();
    } catch (const EBarCodeError& error) {
        return error.what();
    }
    return {};
}

}  // namespace sivaro::test
