#include "barcode/Postnet.h"

#include "util/Errors.h"

namespace sivaro {

namespace {

// Bars of each digit, two tall of five: the POSTNET table of the United States Postal Service.
constexpr std::string_view kDigits[10] = {"22111", "11122", "11212", "11221", "12112",
                                          "12121", "12211", "21112", "21121", "21211"};

void requirePostnetData(std::string_view data) {
    for (char c : data) {
        if ((c < '0' || c > '9') && c != '-') {
            throw EBarCodeError("PostNet barcodes must be numeric");
        }
    }
}

void appendDigit(PatternWriter& out, int digit, std::int64_t bar, std::int64_t space) {
    for (char b : kDigits[digit]) {
        out.append(b, bar);
        out.append('0', space);
    }
}

}  // namespace

int postnetCheckDigit(std::string_view data) {
    int sum = 0;
    for (char c : data) {
        if (c >= '0' && c <= '9') sum += c - '0';
    }
    return (10 - sum % 10) % 10;
}

void buildPostnet(PatternWriter& out, std::string_view data, std::int64_t bar, std::int64_t space) {
    requirePostnetData(data);
    out.append('2', bar);
    out.append('0', space);
    for (char c : data) {
        if (c != '-') appendDigit(out, c - '0', bar, space);
    }
    appendDigit(out, postnetCheckDigit(data), bar, space);
    out.append('2', bar);
}

}  // namespace sivaro
