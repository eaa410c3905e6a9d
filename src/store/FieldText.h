#pragma once
// Text forms of dates, times and numbers by the process's format settings, as fields read and
// write them. Parsers return false for a text that does not convert.

#include <cstdint>
#include <string>

namespace sivaro::px {

// Dates by the short date pattern ("dd/mm/yyyy"): one- or two-digit day and month; a year of
// one or two digits falls in the century window of FormatSettings (the 100 years ending
// `twoDigitYearCenturyWindow` years after the current one); day and month alone take the
// current year. Returns the day number (1 January 0001 = 1).
bool parseDate(const std::string& text, std::int64_t& days);
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
