#pragma once
// UPC-A, EAN-13 and their 2- and 5-digit add-ons, as module strings of '1' (bar) and '0'
// (space). Every function here takes digits only and raises EBarCodeError otherwise.

#include <string>
#include <string_view>

namespace sivaro {

// GS1 modulo 10 check digit of the digits before it: weight 3 on the rightmost digit and on
// every second one to its left. Gives the character '0' to '9'.
char gs1CheckDigit(std::string_view digits);

// 95 modules each: guard 101, left half, centre guard 01010, right half, guard 101; 7 modules a
// digit in number set A, B or C. UPC-A: left half in A, right in C. EAN-13: the first digit
// only chooses the sets (A or B) of digits 2 to 7, the right half is in C.
std::string upcAModules(std::string_view twelveDigits);
std::string ean13Modules(std::string_view thirteenDigits);
// Add-ons: start 1011, each digit in A or B by the add-on's parity, 01 between digits; EAN-2
// chooses by its value modulo 4, EAN-5 by the last digit of 3 x (d1 + d3 + d5) + 9 x (d2 + d4).
// 20 and 47 modules.
std::string ean2Modules(std::string_view twoDigits);
std::string ean5Modules(std::string_view fiveDigits);

}  // namespace sivaro
