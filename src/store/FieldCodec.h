#pragma once
// Field values to and from their bytes in a Paradox record. Numbers are big-endian with the
// sign bit flipped (negatives: every bit inverted) so that byte order is value order; all-zero
// bytes are NULL. Dates count days with 1 January 0001 = 1.

#include <cstdint>
#include <string>
#include <string_view>

namespace sivaro::px {

bool allZero(const std::uint8_t* bytes, int n);

std::int64_t decodeInt(const std::uint8_t* bytes, int n);  // n = 2 or 4; NULL decodes as 0
void encodeInt(std::uint8_t* bytes, int n, std::int64_t value);
double decodeDouble(const std::uint8_t* bytes);
void encodeDouble(std::uint8_t* bytes, double value);

// 17 bytes: byte 0 = 0x80 when positive | 0x40 | decimals; then 32 digits, one a nibble, the last
// `decimals` of them after the point; negatives invert every digit nibble. Digits past those
// that a double can hold are read as they are and written as zero.
double decodeBcd(const std::uint8_t* bytes, int decimals);
// False when the value needs more than 32 - decimals integer digits.
bool encodeBcd(std::uint8_t* bytes, int decimals, double value);

// Day number (1 January 0001 = 1) of a proleptic Gregorian date; 0 when the date is invalid.
std::int64_t daysFromCivil(int year, int month, int day);
void civilFromDays(std::int64_t days, int& year, int& month, int& day);

// Shortest decimal text that reads back as the same double, "." as the point, no exponent for
// ordinary magnitudes.
std::string shortestNumber(double value);
// The same with at most maxDigits significant digits (15 is what a field shows as text).
std::string formatNumber(double value, int maxDigits);

// Text between a table's code page and the engine's Windows-1252. Code pages 437 and 850 are
// translated; 1252 and unknown ones pass unchanged.
std::string tableTextToEngine(std::string_view text, int codePage);
std::string engineTextToTable(std::string_view text, int codePage);
bool knownCodePage(int codePage);

}  // namespace sivaro::px
