// Import speed: a generated delimited source of 10 columns into an empty keyed table (all
// inserts), the same file again with "CampoChave" cod into the full table (all updates), and
// sqlite3's .import of the same file into a table with a primary key, in the same run. Each
// round runs the three in turn, each in a child process of its own, so that each one's CPU time
// and peak memory are the system's accounting of that child alone; the ratios are taken round by
// round and their median is printed, in wall and in CPU seconds (CPU time holds when other work
// on the machine slows the wall clock). The peak memory of the imports is set against the size
// of the table files they leave.
//
//   bench_import [LINES] [FOLDER] [ROUNDS]    (default 1000000 lines, a folder under /tmp, 3)

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "QuietHost.h"
#include "Timing.h"
#include "import/ImportEngine.h"
#include "store/TableCreate.h"
#include "store/TableStore.h"
#include "util/FormatSettings.h"
#include "util/Paths.h"
#include "util/ProfileFile.h"

namespace {

using namespace sivaro;
using namespace sivaro::bench;
namespace fs = std::filesystem;

// What one child process cost: wall and CPU seconds, peak memory, and the line it reported.
struct ChildRun {
    double wall = 0;
    double cpu = 0;
    long peakKb = 0;
    std::string report;
    bool ok = false;
};

// Runs `work` in a child process; its returned text comes back through a pipe.
template <class Work>
ChildRun inChild(Work work) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    std::fflush(nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const std::string report = work();
        if (::write(fds[1], report.data(), report.size()) < 0) _exit(1);
        _exit(0);
    }
    ::close(fds[1]);
    ChildRun run;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        run.report.append(buffer, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    rusage u{};
    ::wait4(pid, &status, 0, &u);
    run.wall = seconds(t0);
    run.cpu = cpuSeconds(u);
    run.peakKb = u.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// A shell command in a child process (its own children counted with it).
ChildRun commandInChild(const std::string& command) {
    std::fflush(nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage u{};
    ::wait4(pid, &status, 0, &u);
    ChildRun run;
    run.wall = seconds(t0);
    run.cpu = cpuSeconds(u);
    run.peakKb = u.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// The bytes of the table's family files in its folder (Bench.db, Bench.PX...).
double familyMb(const std::string& dbFolder) {
    std::uintmax_t bytes = 0;
    for (const auto& e : fs::directory_iterator(dbFolder))
        if (e.is_regular_file() && e.path().stem() == "Bench") bytes += e.file_size();
    return static_cast<double>(bytes) / 1048576.0;
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

std::string importReport(QuietHost& host, const char* what) {
    const double wall = runImport(host);
    const SourceSummary& s = host.summary;
    char line[160];
    std::snprintf(line, sizeof line, "%.3f %lld %s, %lld failed", wall,
                  static_cast<long long>(s.rowsInserted + s.rowsUpdated), what,
                  static_cast<long long>(s.recordsFailed));
    return line;
}

const char* const kCampos =
    "[dados.txt.campos]\r\nCOD=Bench.cod\r\nNOME=Bench.nome\r\nENDERECO=Bench.endereco\r\n"
    "CIDADE=Bench.cidade\r\nUF=Bench.uf\r\nCEP=Bench.cep\r\nVALOR=Bench.valor\r\n"
    "QTD=Bench.qtd\r\nDATA=Bench.data\r\nOBS=Bench.obs\r\n";

void writeDefinitions(const std::string& folder, bool keyed) {
    std::ofstream(folder + "/Definicao.ini", std::ios::binary)
        << "[Arquivos]\r\ndados.txt=Bench\r\n"
        << (keyed ? "[dados.txt.opcoes]\r\nCampoChave=cod\r\n" : "") << kCampos;
}

void printRow(const char* name, const std::vector<ChildRun>& runs, long lines) {
    std::vector<double> wall, cpu;
    long peak = 0;
    for (const ChildRun& r : runs) {
        wall.push_back(r.wall);
        cpu.push_back(r.cpu);
        peak = std::max(peak, r.peakKb);
    }
    const double w = median(wall);
    std::printf("%-16s wall %7.2f s  cpu %7.2f s  %9.0f rows/s  peak %5.0f MB\n", name, w,
                median(cpu), lines / w, peak / 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
    const long lines = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string folder = argc > 2 && argv[2][0] != 0
                                   ? argv[2]
                                   : (fs::temp_directory_path() / "sivaro-bench-import").string();
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    fs::remove_all(folder);
    fs::create_directories(folder + "/db");
    formatSettings().decimalSeparator = ',';

    std::cout << "Generating " << lines << " lines of 10 columns...\n";
    writeSource(folder + "/dados.txt", lines);
    const std::string db = folder + "/bench.sqlite";
    const std::string script =
        "CREATE TABLE bench(cod INTEGER PRIMARY KEY, nome TEXT, endereco TEXT, cidade TEXT, "
        "uf TEXT, cep TEXT, valor TEXT, qtd INTEGER, data TEXT, obs TEXT);\n"
        ".mode tabs\n.import --skip 1 " +
        folder + "/dados.txt bench\n";
    std::ofstream(folder + "/import.sql") << script;

    std::vector<ChildRun> sqlite, insert, update;
    std::vector<double> insertWall, insertCpu, updateWall, updateCpu;
    double tableMb = 0;
    bool sqliteOk = true;
    std::string insertReport, updateReport;
    for (int round = 0; round < rounds; ++round) {
        fs::remove(db);
        sqlite.push_back(commandInChild("sqlite3 " + db + " < " + folder + "/import.sql"));
        sqliteOk = sqliteOk && sqlite.back().ok;

        fs::remove_all(folder + "/db");
        fs::create_directories(folder + "/db");
        px::createTable(
            folder + "/db/Bench.db",
            px::parseSchema("cod\tI\t4\t*\nnome\tA\t30\nendereco\tA\t40\ncidade\tA\t25\n"
                            "uf\tA\t2\ncep\tA\t10\nvalor\tN\t8\nqtd\tI\t4\ndata\tD\t4\n"
                            "obs\tA\t20\n"));
        writeDefinitions(folder, false);
        insert.push_back(inChild([&] {
            QuietHost host(folder, "dados.txt");
            return importReport(host, "inserted");
        }));
        writeDefinitions(folder, true);
        update.push_back(inChild([&] {
            QuietHost host(folder, "dados.txt");
            return importReport(host, "updated");
        }));
        tableMb = familyMb(folder + "/db");
        insertReport = insert.back().report;
        updateReport = update.back().report;
        const ChildRun& q = sqlite.back();
        insertWall.push_back(insert.back().wall / q.wall);
        insertCpu.push_back(insert.back().cpu / q.cpu);
        updateWall.push_back(update.back().wall / insert.back().wall);
        updateCpu.push_back(update.back().cpu / insert.back().cpu);
        std::printf(
            "round %d: insert/sqlite3 wall %.2f cpu %.2f, update/insert wall %.2f cpu %.2f\n",
            round + 1, insertWall.back(), insertCpu.back(), updateWall.back(), updateCpu.back());
    }

    std::printf("lines: %ld, rounds: %d (medians; each import a child process of its own)\n", lines,
                rounds);
    std::printf("insert: %s; update: %s (the last round's children: seconds, rows)\n",
                insertReport.c_str(), updateReport.c_str());
    if (!sqliteOk) std::printf("sqlite3 .import: failed (is sqlite3 installed?)\n");
    printRow("sqlite3 .import", sqlite, lines);
    printRow("insert", insert, lines);
    printRow("update", update, lines);
    std::printf("insert / sqlite3: wall %.2f, cpu %.2f (goal: at most 0.5)\n", median(insertWall),
                median(insertCpu));
    std::printf("update / insert: wall %.2f, cpu %.2f (goal: at most 1.2)\n", median(updateWall),
                median(updateCpu));
    long peak = 0;
    for (const auto* runs : {&insert, &update})
        for (const ChildRun& r : *runs) peak = std::max(peak, r.peakKb);
    std::printf("table files: %.0f MB; importer peak / table files: %.2f (goal: at most 2)\n",
                tableMb, peak / 1024.0 / tableMb);
    fs::remove_all(folder);
    return 0;
}
