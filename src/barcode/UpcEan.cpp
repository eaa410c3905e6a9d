#include "barcode/UpcEan.h"

#include "util/Errors.h"

namespace sivaro {

namespace {

// Number sets A, B and C of EAN/UPC, 7 modules a digit (ISO/IEC 15420; GS1 names them L, G
// and R). B is C read backwards, C is A inverted.
constexpr std::string_view kSetA[10] = {"0001101", "0011001", "0010011", "0111101", "0100011",
                                        "0110001", "0101111", "0111011", "0110111", "0001011"};
constexpr std::string_view kSetB[10] = {"0100111", "0110011", "0011011", "0100001", "0011101",
                                        "0111001", "0000101", "0010001", "0001001", "0010111"};
constexpr std::string_view kSetC[10] = {"1110010", "1100110", "1101100", "1000010", "1011100",
                                        "1001110", "1010000", "1000100", "1001000", "1110100"};

// Number sets of EAN-13 digits 2 to 7 by the first digit, which the symbol carries only
// through this choice (ISO/IEC 15420).
constexpr std::string_view kEan13Parity[10] = {"AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB",
                                               "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA"};

// Add-on parities (ISO/IEC 15420, add-on symbols): EAN-2 by value modulo 4, EAN-5 by the last
// digit of 3 x (d1 + d3 + d5) + 9 x (d2 + d4).
constexpr std::string_view kEan2Parity[4] = {"AA", "AB", "BA", "BB"};
constexpr std::string_view kEan5Parity[10] = {"BBAAA", "BABAA", "BAABA", "BAAAB", "ABBAA",
                                              "AABBA", "AAABB", "ABABA", "ABAAB", "AABAB"};

constexpr std::string_view kGuard = "101";
constexpr std::string_view kCentreGuard = "01010";
constexpr std::string_view kAddOnStart = "1011";
constexpr std::string_view kAddOnSeparator = "01";

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

void requireDigits(std::string_view text, std::size_t length, const char* what) {
    if (text.size() != length) {
        throw EBarCodeError(std::string(what) + " must have " + std::to_string(length) + " digits");
    }
    for (char c : text) {
        if (!isDigit(c)) throw EBarCodeError(std::string(what) + " must be numeric");
    }
}

// The 7-module code of a digit in number set 'A', 'B' or 'C'.
std::string_view eanDigitModules(char numberSet, int digit) {
    switch (numberSet) {
        case 'A':
            return kSetA[digit];
        case 'B':
            return kSetB[digit];
        default:
            return kSetC[digit];
    }
}

int digitAt(std::string_view text, std::size_t index) {
    return text[index] - '0';
}

// Modules of a UPC-A or EAN-13 symbol whose left half is already chosen.
std::string mainSymbol(std::string_view leftHalf, std::string_view rightDigits) {
    std::string modules(kGuard);
    modules += leftHalf;
    modules += kCentreGuard;
    for (char c : rightDigits) modules += kSetC[c - '0'];
    modules += kGuard;
    return modules;
}

std::string addOn(std::string_view digits, std::string_view parity) {
    std::string modules(kAddOnStart);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0) modules += kAddOnSeparator;
        modules += eanDigitModules(parity[i], digitAt(digits, i));
    }
    return modules;
}

}  // namespace

char gs1CheckDigit(std::string_view digits) {
    int sum = 0;
    int weight = 3;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        sum += weight * (*it - '0');
        weight = 4 - weight;
    }
    return static_cast<char>('0' + (10 - sum % 10) % 10);
}

std::string upcAModules(std::string_view twelveDigits) {
    requireDigits(twelveDigits, 12, "A UPC-A symbol");
    std::string left;
    for (char c : twelveDigits.substr(0, 6)) left += kSetA[c - '0'];
    return mainSymbol(left, twelveDigits.substr(6));
}

std::string ean13Modules(std::string_view thirteenDigits) {
    requireDigits(thirteenDigits, 13, "An EAN-13 symbol");
    const std::string_view parity = kEan13Parity[digitAt(thirteenDigits, 0)];
    std::string left;
    for (std::size_t k = 1; k <= 6; ++k) {
        left += eanDigitModules(parity[k - 1], digitAt(thirteenDigits, k));
    }
    return mainSymbol(left, thirteenDigits.substr(7));
}

std::string ean2Modules(std::string_view twoDigits) {
    requireDigits(twoDigits, 2, "Add-on codes");
    const int value = digitAt(twoDigits, 0) * 10 + digitAt(twoDigits, 1);
    return addOn(twoDigits, kEan2Parity[value % 4]);
}

std::string ean5Modules(std::string_view fiveDigits) {
    requireDigits(fiveDigits, 5, "Add-on codes");
    const int sum = 3 * (digitAt(fiveDigits, 0) + digitAt(fiveDigits, 2) + digitAt(fiveDigits, 4)) +
                    9 * (digitAt(fiveDigits, 1) + digitAt(fiveDigits, 3));
    return addOn(fiveDigits, kEan5Parity[sum % 10]);
}

}  // namespace sivaro
