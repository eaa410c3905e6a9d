#include "import/ImportEngine.h"
#include "util/StringUtils.h"

namespace sivaro {

std::string ImportEngine::FormataCgc(std::string_view value) {
    const std::string v = ApagaTexto(".", ApagaTexto("-", ApagaTexto("/", value, 0), 0), 0);
    // Blanks and letters count toward the length and stay in place.
    if (v.size() == 11)
        return v.substr(0, 3) + "." + v.substr(3, 3) + "." + v.substr(6, 3) + "-" + v.substr(9, 2);
    if (v.size() == 14)
        return v.substr(0, 2) + "." + v.substr(2, 3) + "." + v.substr(5, 3) + "/" + v.substr(8, 4) +
               "-" + v.substr(12, 2);
    return v;
}

}  // namespace sivaro
