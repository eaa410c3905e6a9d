// The other text routines and the phonetic key on any input: no crash, and the properties their
// callers rely on (integers round-trip, folds keep the length, keys have their length).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

#include "FuzzCheck.h"
#include "util/Phonetic.h"
#include "util/StringUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace sivaro;
    FuzzedDataProvider in(data, size);
    const auto number = in.ConsumeIntegral<std::int32_t>();
    const auto count = in.ConsumeIntegral<std::uint16_t>();
    const auto n = in.ConsumeIntegralInRange<std::int32_t>(-2, 64);
    const std::string find = in.ConsumeRandomLengthString(4);
    const std::string replacement = in.ConsumeRandomLengthString(8);
    const std::string text = in.ConsumeRemainingBytesAsString();

    std::int32_t parsed = 0;
    const bool converts = tryParseInteger(text, parsed);
    check(ValorInteiro(text) == (converts ? parsed : 0), "ValorInteiro follows the grammar");
    check(!EhInteiro(text) || converts, "EhInteiro implies a conversion");
    check(ValorInteiro(std::to_string(number)) == number, "decimal round trip");
    char hex[16];
    std::snprintf(hex, sizeof hex, "$%X", static_cast<unsigned>(number));
    check(ValorInteiro(hex) == number, "hexadecimal round trip");

    const std::string folded = TiraAcentos(text);
    check(folded.size() == text.size(), "folding keeps the length");

    const std::string deleted = ApagaTexto(find, text, count);
    check(deleted.size() <= text.size(), "deleting never grows");
    if (!find.empty() && count == 0)
        check(deleted.find(find) == std::string::npos, "count 0 deletes every occurrence");
    TrocaTexto(find, replacement, text, count);

    const std::string key = ChaveFonetica(text, n);
    if (n >= 1) {
        const auto want = static_cast<std::size_t>(n);
        check(key.size() == want || key.size() == want + 1, "key length");
    }
    Semelhante(text, replacement, n, 0.9);
    return 0;
}
