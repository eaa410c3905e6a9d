#pragma once
// The process-wide number and date settings, as the original platform kept them: the decimal
// separator comes from the system locale, and an import sets the date pattern "dd/mm/yyyy".
// Tests pin them.

#include <string>

namespace sivaro {

struct FormatSettings {
    char decimalSeparator = '.';
    char dateSeparator = '/';
    std::string shortDateFormat = "dd/mm/yyyy";
    // Two-digit years fall in the 100 years that begin this many years before the current one
    // (the original's century window); 0 reads them in the current century.
    int twoDigitYearCenturyWindow = 50;
};

// The settings of this process; the decimal separator starts as the system locale's.
FormatSettings& formatSettings();

// The decimal separator of the locale named by LC_ALL, LC_NUMERIC or LANG ('.' when unknown).
char systemDecimalSeparator();

}  // namespace sivaro
