// Throughput of the text routines, the phonetic key and profile reads, one million calls each.
// The import calls them per field and per record, so these set the floor of an import's speed.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "util/Paths.h"
#include "util/Phonetic.h"
#include "util/ProfileFile.h"
#include "util/StringUtils.h"

namespace {

using namespace sivaro;
namespace fs = std::filesystem;

constexpr int kCalls = 1'000'000;
std::size_t g_sink = 0;  // keeps results alive

template <class F>
double seconds(int calls, F&& f) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) f(i);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void report(const char* what, int calls, double secs) {
    std::printf("%-52s %9d calls %8.3f s %9.1f ns/call\n", what, calls, secs, secs * 1e9 / calls);
}

}  // namespace

int main() {
    const char* const integers[] = {"12345", "$1F", "-2147483648", "12a", "  0x7FFF", "0"};
    report("ValorInteiro", kCalls, seconds(kCalls, [&](int i) {
               g_sink += static_cast<std::size_t>(ValorInteiro(integers[i % 6]));
           }));

    const std::string line =
        "12345\tJOSE DA SILVA\tRUA DAS FLORES, 100\tCENTRO\tSAO PAULO\tSP\t01001000\t"
        "(11) 5555-1234\t123.456.789-09\t01/02/2003";
    std::string work;
    report("SeparaCampos, one item of a 10-field line", kCalls, seconds(kCalls, [&](int i) {
               if (i % 10 == 0) work = line;
               g_sink += SeparaCampos(work, "\t").size();
           }));

    const std::string name = "Associa\xe7\xe3o Comercial de S\xe3o Jo\xe3o Ltda";
    report("TiraAcentos, 38-byte name", kCalls,
           seconds(kCalls, [&](int) { g_sink += TiraAcentos(name).size(); }));

    const std::string city = "S\xe3o Jo\xe3o da Boa Vista";
    const auto n = static_cast<std::int32_t>(city.size());
    report("ChaveFonetica, 22-byte name", kCalls,
           seconds(kCalls, [&](int) { g_sink += ChaveFonetica(city, n).size(); }));

    // Profile reads: one key of a 200-key file that does not change.
    const fs::path folder =
        fs::temp_directory_path() / ("sivaro-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path file = folder / "Definicao.ini";
    {
        std::ofstream out(file, std::ios::binary);
        out << "[clientes.txt.opcoes]\r\n";
        for (int k = 0; k < 200; ++k) out << "Chave" << k << "=valor " << k << "\r\n";
    }
    const std::string path = fromOsPath(file);
    {
        // A file changed a moment ago is compared byte for byte until its time stamp window has
        // passed; this is the cost of reads in that window.
        const ProfileFile fresh(path);
        constexpr int kFresh = 10'000;
        report("ProfileFile::readString, just written (x10k)", kFresh, seconds(kFresh, [&](int) {
                   g_sink += fresh.readString("clientes.txt.opcoes", "Chave150", "").size();
               }));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const ProfileFile ini(path);
    const double cached = seconds(kCalls, [&](int) {
        g_sink += ini.readString("clientes.txt.opcoes", "Chave150", "").size();
    });
    report("ProfileFile::readString, unchanged 200-key file", kCalls, cached);
    const double bareStat = seconds(kCalls, [&](int) {
        struct stat st;
        g_sink += ::stat(file.c_str(), &st) == 0 ? static_cast<std::size_t>(st.st_size) : 0;
    });
    report("  a bare stat() of the file, for scale", kCalls, bareStat);
    // Where the file system sends no change notifications, each read stats the file instead.
    ProfileFile::useChangeNotification(false);
    const ProfileFile statted(path);
    const double statPath = seconds(kCalls, [&](int) {
        g_sink += statted.readString("clientes.txt.opcoes", "Chave150", "").size();
    });
    ProfileFile::useChangeNotification(true);
    report("  the same reads, checked by stat (no notifications)", kCalls, statPath);
    constexpr int kParsed = 10'000;
    const double parsed = seconds(kParsed, [&](int) {
        g_sink += ProfileFile(path).readString("clientes.txt.opcoes", "Chave150", "").size();
    });
    report("  a new object per read, parsing each time (x10k)", kParsed, parsed);
    std::printf(
        "read / bare stat: %.2f; stat-checked read / bare stat: %.2f; "
        "parse-every-read / read: %.0f\n",
        cached / bareStat, statPath / bareStat, (parsed / kParsed) / (cached / kCalls));

    fs::remove_all(folder);
    std::printf("(sink %zu)\n", g_sink);
    return 0;
}
