// The EAN-13 correction of a merchandise import: painting the hidden barcode (what the import
// does for every 13-character code) against only building its pattern (what completes the
// data), and per code, in the same run.
//
//   bench_barcode [CODES]     (default 100000)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "barcode/paint/BarcodeControlForm.h"
#include "barcode/paint/TVxBarcode.h"
#include "import/ImportEngine.h"

namespace {

using namespace sivaro;

std::string code(long i) {
    std::string digits = std::to_string(789000000000L + i);
    return digits.substr(0, 12);
}

template <typename Step>
double timed(long count, Step step) {
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < count; ++i) step(i);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const long count = argc > 1 ? std::atol(argv[1]) : 100000;
    TVxBarcode b;
    loadBarcodeControl(b, ImportEngine::kBarcodeForm);
    b.Paint();  // the application object and the unseen canvas, made once
    std::size_t check = 0;
    const double patterns = timed(count, [&](long i) {
        b.SetData(code(i));
        b.BuildPatterns(96.0f);
        check += static_cast<unsigned char>(b.Data().back());
    });
    const double paints = timed(count, [&](long i) {
        b.SetData(code(i));
        b.Paint();
        check += static_cast<unsigned char>(b.Data().back());
    });
    std::printf("%ld EAN-13 codes completed (check %zu)\n", count, check);
    std::printf("  pattern only:      %8.3f s  %7.2f us a code\n", patterns,
                patterns / count * 1e6);
    std::printf("  Paint, unseen:     %8.3f s  %7.2f us a code  (%.1fx the pattern only)\n", paints,
                paints / count * 1e6, paints / patterns);
    std::printf("  a million codes painted: about %.0f s\n", paints / count * 1e6);
    return 0;
}
