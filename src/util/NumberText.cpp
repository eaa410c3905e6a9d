#include "util/NumberText.h"

#include <charconv>
#include <system_error>

namespace sivaro {

bool parseDecimal(std::string_view text, double& value) {
    // from_chars takes no "+" and no blanks; a sign after "+" would make "+-1" a number.
    if (text.starts_with('+')) {
        text.remove_prefix(1);
        if (text.starts_with('-') || text.starts_with('+')) return false;
    }
    if (text.empty()) return false;
    const char first = text.front() == '-' && text.size() > 1 ? text[1] : text.front();
    if (!(first >= '0' && first <= '9') && first != '.') return false;  // no "inf" or "nan"
    double parsed = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), parsed, std::chars_format::general);
    // A magnitude past a double's range is refused, not turned into infinity or zero.
    if (error != std::errc() || end != text.data() + text.size()) return false;
    value = parsed;
    return true;
}

bool parseDecimalInt(std::string_view text, int& value) {
    if (text.starts_with('+')) text.remove_prefix(1);
    if (text.empty() || text.front() == '+') return false;
    int parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size()) return false;
    value = parsed;
    return true;
}

std::string scientificText(double value, int precision) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::scientific, precision);
    return std::string(buffer, result.ptr);
}

std::string fixedText(double value, int decimals, char point) {
    char buffer[400];  // room for every double in fixed form
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    std::string text(buffer, result.ptr);
    const std::size_t dot = text.find('.');
    if (dot != std::string::npos) text[dot] = point;
    return text;
}

}  // namespace sivaro
