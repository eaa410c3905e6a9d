#include "store/FieldText.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <vector>

#include "store/FieldCodec.h"
#include "util/FormatSettings.h"
#include "util/NumberText.h"

namespace sivaro::px {

namespace {

std::string trim(const std::string& s) {
    std::size_t a = 0, b = s.size();
    while (a < b && static_cast<unsigned char>(s[a]) <= ' ') ++a;
    while (b > a && static_cast<unsigned char>(s[b - 1]) <= ' ') --b;
    return s.substr(a, b - a);
}

int currentYear() {
    const auto now = std::chrono::system_clock::now();
    const auto days = std::chrono::floor<std::chrono::days>(now);
    return static_cast<int>(std::chrono::year_month_day(days).year());
}

bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// The value of a run of digits (allDigits holds), held at 999999999 so that it cannot overflow.
int digitsValue(std::string_view s) {
    int v = 0;
    for (char c : s) v = v > 99999999 ? 999999999 : v * 10 + (c - '0');
    return v;
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The order of day, month and year in the pattern, e.g. "dmy".
std::string dateOrder() {
    std::string order;
    for (char c : formatSettings().shortDateFormat) {
        const char l = lowerAscii(c);
        if ((l == 'd' || l == 'm' || l == 'y') && order.find(l) == std::string::npos) order += l;
    }
    return order.size() == 3 ? order : "dmy";
}

}  // namespace

int centuryYear(int twoDigits, int currentYear, int window) {
    if (window <= 0) return currentYear / 100 * 100 + twoDigits;
    // The 100 years from `window` years before the current one: the first of them is the
    // smallest year that ends in these two digits.
    const int first = currentYear - window;
    const int year = first / 100 * 100 + twoDigits;
    return year < first ? year + 100 : year;
}

bool parseDate(const std::string& input, std::int64_t& days) {
    // Views of the input: every date of an import passes here.
    std::size_t a = 0, b = input.size();
    while (a < b && static_cast<unsigned char>(input[a]) <= ' ') ++a;
    while (b > a && static_cast<unsigned char>(input[b - 1]) <= ' ') --b;
    const std::string_view text = std::string_view(input).substr(a, b - a);
    const char sep = formatSettings().dateSeparator;
    std::array<std::string_view, 3> parts;
    std::size_t partCount = 0;
    for (std::size_t i = 0, start = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != sep) continue;
        if (partCount == parts.size()) return false;  // more than three parts
        parts[partCount++] = text.substr(start, i - start);
        start = i + 1;
    }
    if (partCount < 2) return false;
    for (std::size_t i = 0; i < partCount; ++i)
        if (!allDigits(parts[i]) || parts[i].size() > 4) return false;
    const std::string order = dateOrder();
    int d = 0, m = 0, y = 0;
    bool yearGiven = partCount == 3;
    std::size_t yearDigits = 0;
    int k = 0;
    for (char which : order) {
        if (which == 'y' && !yearGiven) continue;
        if (k >= static_cast<int>(partCount)) return false;
        const int v = digitsValue(parts[k]);
        if (which == 'd') d = v;
        if (which == 'm') m = v;
        if (which == 'y') {
            y = v;
            yearDigits = parts[k].size();
        }
        ++k;
    }
    if (!yearGiven) {
        y = currentYear();
    } else if (yearDigits <= 2) {
        y = centuryYear(y, currentYear(), formatSettings().twoDigitYearCenturyWindow);
    }
    days = daysFromCivil(y, m, d);
    return days != 0;
}

std::string formatDate(std::int64_t days) {
    int y, m, d;
    civilFromDays(days, y, m, d);
    const std::string& pattern = formatSettings().shortDateFormat;
    std::string out;
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = lowerAscii(pattern[i]);
        std::size_t run = 1;
        while (i + run < pattern.size() && lowerAscii(pattern[i + run]) == c) ++run;
        char buf[16];
        if (c == 'd') {
            std::snprintf(buf, sizeof buf, run >= 2 ? "%02d" : "%d", d);
            out += buf;
        } else if (c == 'm') {
            std::snprintf(buf, sizeof buf, run >= 2 ? "%02d" : "%d", m);
            out += buf;
        } else if (c == 'y') {
            std::snprintf(buf, sizeof buf, run <= 2 ? "%02d" : "%04d", run <= 2 ? y % 100 : y);
            out += buf;
        } else if (c == '/') {
            out += formatSettings().dateSeparator;
        } else {
            out += pattern.substr(i, run);
        }
        i += run;
    }
    return out;
}

bool parseTime(const std::string& input, std::int64_t& ms) {
    const std::string text = trim(input);
    int h = 0, m = 0, s = 0, z = 0;
    std::vector<std::string> parts;
    std::string cur;
    for (char c : text) {
        if (c == ':') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    if (parts.size() < 2 || parts.size() > 3) return false;
    std::string secs = parts.size() == 3 ? parts[2] : "0";
    const std::size_t dot = secs.find_first_of(".,");
    std::string frac;
    if (dot != std::string::npos) {
        frac = secs.substr(dot + 1);
        secs = secs.substr(0, dot);
        if (!allDigits(frac) || frac.size() > 3) return false;
        while (frac.size() < 3) frac += '0';
        z = digitsValue(frac);
    }
    if (!allDigits(parts[0]) || !allDigits(parts[1]) || !allDigits(secs)) return false;
    h = digitsValue(parts[0]);
    m = digitsValue(parts[1]);
    s = digitsValue(secs);
    if (h > 23 || m > 59 || s > 59) return false;
    ms = ((h * 60 + m) * 60 + s) * 1000LL + z;
    return true;
}

std::string formatTime(std::int64_t ms) {
    char buf[32];
    const std::int64_t secs = ms / 1000;
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", static_cast<int>(secs / 3600),
                  static_cast<int>(secs / 60 % 60), static_cast<int>(secs % 60));
    return buf;
}

bool parseNumber(const std::string& input, double& value) {
    const std::string text = trim(input);
    const char sep = formatSettings().decimalSeparator;
    std::string normal;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) normal += text[i++];
    bool digits = false, point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            normal += c;
            digits = true;
        } else if (c == sep && !point) {
            normal += '.';
            point = true;
        } else {
            break;
        }
    }
    if (!digits) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        normal += 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) normal += text[i++];
        bool expDigits = false;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            normal += text[i];
            expDigits = true;
        }
        if (!expDigits) return false;
    }
    if (i != text.size()) return false;
    // Built from the text's own digits with "." as the point, so the C library's locale (which
    // a window toolkit sets from the desktop) cannot change what it reads.
    return parseDecimal(normal, value);
}

bool parseInteger(const std::string& input, std::int64_t& value) {
    const std::string text = trim(input);
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    std::int64_t v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
        if (v > 4294967296LL) return false;
    }
    value = negative ? -v : v;
    return true;
}

std::string formatNumberText(double value) {
    std::string s = formatNumber(value, 15);
    const char sep = formatSettings().decimalSeparator;
    for (char& c : s)
        if (c == '.') c = sep;
    return s;
}

}  // namespace sivaro::px
