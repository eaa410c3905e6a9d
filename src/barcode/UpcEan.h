#pragma once
// UPC-A, EAN-13 and their 2- and 5-digit add-ons, as module strings of '1' (bar) and '0'
// (space). Every function here takes digits only and raises EBarCodeError otherwise.

#include <string>
#include <string_view>

namespace sivaro {

// The 7-module code of a digit in number set 'A', 'B' or 'C'.
std::string_view eanDigitModules(char numberSet, int digit);
// The sets ('A' or 'B') of EAN-13 digits 2 to 7, chosen by the first digit.
std::string_view ean13Parity(int firstDigit);
// The sets of an EAN-2 add-on by its value modulo 4, of an EAN-5 add-on by its checksum's
// last digit.
std::string_view ean2Parity(int valueModulo4);
std::string_view ean5Parity(int checksumLastDigit);

// GS1 modulo 10 check digit of the digits before it: weight 3 on the rightmost digit and on
// every second one to its left. Gives the character '0' to '9'.
char gs1CheckDigit(std::string_view digits);

// 95 modules each: guards, left half, centre guard, right half, guard.
std::string upcAModules(std::string_view twelveDigits);
std::string ean13Modules(std::string_view thirteenDigits);
// Add-ons: 20 and 47 modules.
std::string ean2Modules(std::string_view twoDigits);
std::string ean5Modules(std::string_view fiveDigits);

}  // namespace sivaro
