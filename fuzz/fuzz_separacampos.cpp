// SeparaCampos against a plain model of its rule: the outputs and the rest must match it for any
// separator, count and number of outputs, and nothing past the outputs may be touched.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "FuzzCheck.h"
#include "util/StringUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace sivaro;
    FuzzedDataProvider in(data, size);
    const std::string separator = in.ConsumeRandomLengthString(4);
    const auto count = in.ConsumeIntegral<std::uint16_t>();
    const auto outputs = in.ConsumeIntegralInRange<std::size_t>(0, 8);
    const std::string text = in.ConsumeRemainingBytesAsString();

    std::string rest = text;
    std::vector<std::string> out(outputs, "\x01");
    SeparaCampos(rest, out, separator, count);

    std::string model = text;
    const std::size_t n = std::min<std::size_t>(count, outputs);
    std::size_t i = 0;
    for (; i < n; ++i) {
        const std::size_t pos = separator.empty() ? std::string::npos : model.find(separator);
        if (pos == std::string::npos) {
            check(out[i] == model, "last item is the whole rest");
            model.clear();
            for (std::size_t j = i + 1; j < n; ++j) check(out[j].empty(), "later outputs empty");
            break;
        }
        check(out[i] == model.substr(0, pos), "item before the separator");
        model = model.substr(pos + separator.size(), 10000);
    }
    check(rest == model, "rest of the text");
    for (std::size_t j = n; j < outputs; ++j) check(out[j] == "\x01", "outputs past the count");

    std::string one = text;
    const std::string item = SeparaCampos(one, separator);
    std::string again = text;
    std::string single;
    SeparaCampos(again, std::span<std::string>(&single, 1), separator, 1);
    check(item == single && one == again, "the one-item form is the general one");
    return 0;
}
