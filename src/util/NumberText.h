#pragma once
// Numbers to and from text with "." as the decimal point, whatever locale the C library was set
// to: a window toolkit sets it from the desktop, and a "2.79" read there as 2 loses the cents.

#include <string>
#include <string_view>

namespace sivaro {

// The whole text as a number: an optional sign, digits with at most one ".", an optional
// exponent ("e" or "E", optional sign, digits). False, with `value` untouched, for anything else,
// a magnitude beyond a double's range among them.
bool parseDecimal(std::string_view text, double& value);

// The whole text as a decimal integer with an optional sign; false when it does not fit.
bool parseDecimalInt(std::string_view text, int& value);

// `value` in the scientific form "d.ddde+xx" with `precision` digits after the point.
std::string scientificText(double value, int precision);

// `value` rounded to `decimals` digits after the point, written with `point` as the point.
std::string fixedText(double value, int decimals, char point = '.');

}  // namespace sivaro
