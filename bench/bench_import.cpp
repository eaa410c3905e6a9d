// Import speed: a generated delimited source of 10 columns into an empty keyed table (all
// inserts), the same file again with "CampoChave" cod into the full table (all updates), and
// sqlite3's .import of the same file into a table with a primary key, in the same run.
//
//   bench_import [LINES] [FOLDER]     (default 1000000 lines, a folder under /tmp)

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "QuietHost.h"
#include "import/ImportEngine.h"
#include "store/TableCreate.h"
#include "store/TableStore.h"
#include "util/FormatSettings.h"
#include "util/Paths.h"
#include "util/ProfileFile.h"

namespace {

using namespace sivaro;
namespace fs = std::filesystem;

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long peakKb(int who) {
    rusage u{};
    getrusage(who, &u);
    return u.ru_maxrss;
}

void writeSource(const std::string& path, long lines) {
    std::ofstream out(path, std::ios::binary);
    out << "COD\tNOME\tENDERECO\tCIDADE\tUF\tCEP\tVALOR\tQTD\tDATA\tOBS\r\n";
    // Codes in a scattered order, so that inserts do not simply append.
    const long step = 7919;
    for (long i = 0; i < lines; ++i) {
        const long cod = (i * step) % lines + 1;
        out << cod << "\tCliente " << cod << "\tRua das Flores, " << (cod % 2000)
            << "\tSao Paulo\tSP\t" << 10000000 + cod % 89999999 << '\t' << cod % 10000 << ','
            << cod % 100 << '\t' << cod % 500 << '\t' << 1 + cod % 28 << "/0" << 1 + cod % 9
            << "/20" << 10 + cod % 10 << "\tobs " << cod % 97 << "\r\n";
    }
}

double runImport(QuietHost& host) {
    ImportEngine engine(host, [](const std::string&) { return createParadoxStore(); });
    engine.pointCityTable();
    const auto t0 = std::chrono::steady_clock::now();
    engine.runSources();
    return seconds(t0);
}

}  // namespace

int main(int argc, char** argv) {
    const long lines = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string folder =
        argc > 2 ? argv[2] : (fs::temp_directory_path() / "sivaro-bench-import").string();
    fs::remove_all(folder);
    fs::create_directories(folder + "/db");
    formatSettings().decimalSeparator = ',';

    std::cout << "Generating " << lines << " lines of 10 columns...\n";
    writeSource(folder + "/dados.txt", lines);
    px::createTable(folder + "/db/Bench.db",
                    px::parseSchema("cod\tI\t4\t*\nnome\tA\t30\nendereco\tA\t40\ncidade\tA\t25\n"
                                    "uf\tA\t2\ncep\tA\t10\nvalor\tN\t8\nqtd\tI\t4\ndata\tD\t4\n"
                                    "obs\tA\t20\n"));
    const std::string campos =
        "[dados.txt.campos]\r\nCOD=Bench.cod\r\nNOME=Bench.nome\r\nENDERECO=Bench.endereco\r\n"
        "CIDADE=Bench.cidade\r\nUF=Bench.uf\r\nCEP=Bench.cep\r\nVALOR=Bench.valor\r\n"
        "QTD=Bench.qtd\r\nDATA=Bench.data\r\nOBS=Bench.obs\r\n";
    std::ofstream(folder + "/Definicao.ini", std::ios::binary)
        << "[Arquivos]\r\ndados.txt=Bench\r\n"
        << campos;

    // sqlite3 first: a child forked later would count the importer's memory as its own.
    const std::string db = folder + "/bench.sqlite";
    const std::string script =
        "CREATE TABLE bench(cod INTEGER PRIMARY KEY, nome TEXT, endereco TEXT, cidade TEXT, "
        "uf TEXT, cep TEXT, valor TEXT, qtd INTEGER, data TEXT, obs TEXT);\n"
        ".mode tabs\n.import --skip 1 " +
        folder + "/dados.txt bench\n";
    std::ofstream(folder + "/import.sql") << script;
    const auto t0 = std::chrono::steady_clock::now();
    const int rc = std::system(("sqlite3 " + db + " < " + folder + "/import.sql").c_str());
    const double sqliteSeconds = seconds(t0);
    const long sqlitePeak = peakKb(RUSAGE_CHILDREN);

    QuietHost insertHost(folder, "dados.txt");
    const double insertSeconds = runImport(insertHost);
    std::ofstream(folder + "/Definicao.ini", std::ios::binary)
        << "[Arquivos]\r\ndados.txt=Bench\r\n[dados.txt.opcoes]\r\nCampoChave=cod\r\n"
        << campos;
    QuietHost updateHost(folder, "dados.txt");
    const double updateSeconds = runImport(updateHost);
    const long peak = peakKb(RUSAGE_SELF);

    std::printf("lines: %ld\n", lines);
    std::printf("insert: %.2f s, %.0f rows/s (%lld inserted, %lld failed)\n", insertSeconds,
                lines / insertSeconds, static_cast<long long>(insertHost.summary.rowsInserted),
                static_cast<long long>(insertHost.summary.recordsFailed));
    std::printf("update: %.2f s, %.0f rows/s (%lld updated, %lld failed)\n", updateSeconds,
                lines / updateSeconds, static_cast<long long>(updateHost.summary.rowsUpdated),
                static_cast<long long>(updateHost.summary.recordsFailed));
    if (rc == 0)
        std::printf("sqlite3 .import: %.2f s, %.0f rows/s\n", sqliteSeconds, lines / sqliteSeconds);
    else
        std::printf("sqlite3 .import: failed (is sqlite3 installed?)\n");
    std::printf("insert / sqlite3: %.2f (goal: at most 2)\n", insertSeconds / sqliteSeconds);
    std::printf("update / insert: %.2f (goal: at most 2)\n", updateSeconds / insertSeconds);
    std::printf("peak memory: importer %.0f MB, sqlite3 %.0f MB\n", peak / 1024.0,
                sqlitePeak / 1024.0);
    fs::remove_all(folder);
    return 0;
}
