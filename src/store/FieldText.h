#pragma once
// Text forms of dates, times and numbers by the process's format settings, as fields read and
// write them. Parsers return false for a text that does not convert.

#include <cstdint>
#include <string>

namespace sivaro::px {

// Dates by the short date pattern ("dd/mm/yyyy"): one- or two-digit day and month; a year of
// one or two digits falls in the century window of FormatSettings (centuryYear); day and month
// alone take the current year. Returns the day number (1 January 0001 = 1).
bool parseDate(const std::string& text, std::int64_t& days);
// The year a two-digit year stands for: one of the 100 years from `window` years before the
// current year to `window` - 1 after it (window 50 in 2026: "76" is 1976, "75" is 2075);
// in the current year's century when `window` is 0.
int centuryYear(int twoDigits, int currentYear, int window);
std::string formatDate(std::int64_t days);

// "h:m", "h:m:s" or "h:m:s.zzz"; milliseconds since midnight.
bool parseTime(const std::string& text, std::int64_t& ms);
std::string formatTime(std::int64_t ms);

// Optional sign, digits, at most one decimal separator (the locale's), optional exponent; no
// thousands separator; blanks around are ignored.
bool parseNumber(const std::string& text, double& value);
bool parseInteger(const std::string& text, std::int64_t& value);
std::string formatNumberText(double value);  // 15 significant digits, the locale's separator

}  // namespace sivaro::px
