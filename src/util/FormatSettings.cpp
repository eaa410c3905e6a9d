#include "util/FormatSettings.h"

#include <langinfo.h>
#include <locale.h>

namespace sivaro {

char systemDecimalSeparator() {
    locale_t loc = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr)) return '.';
    const char* radix = nl_langinfo_l(RADIXCHAR, loc);
    const char sep = (radix != nullptr && radix[0] != '\0' && radix[1] == '\0') ? radix[0] : '.';
    freelocale(loc);
    return sep;
}

FormatSettings& formatSettings() {
    static FormatSettings settings = [] {
        FormatSettings s;
        s.decimalSeparator = systemDecimalSeparator();
        return s;
    }();
    return settings;
}

}  // namespace sivaro
