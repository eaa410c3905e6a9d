// The table engine against the import's load: 1,000,000 rows of 10 fields into an empty keyed
// table (keys in random order), closed; 100,000 locates of random keys; every row updated
// through a locate on its key; the table opened and read whole. Beside it, in the same run,
// sqlite3's .import of the same rows into a table with a primary key and `pxtool load` of the
// same file into an empty table, each a child process measured alone (ChildProcess.h).
//   bench_store [rows] [--ascending]

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "store/ParadoxStore.h"
#include "store/TableCreate.h"
#include "store/TableStore.h"
#include "util/FormatSettings.h"

using namespace sivaro;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Peak memory of one phase above what the process held when it began (the generated rows
// stay resident throughout and are not the engine's).
long statusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    return 0;
}
struct PhaseMemory {
    long base = 0;
    void start() {
        std::ofstream("/proc/self/clear_refs") << "5";
        base = statusKb("VmRSS:");
    }
    long peakMb() const { return (statusKb("VmHWM:") - base) / 1024; }
};

struct Row {
    std::string f[10];
};

// The date of a row ("d/m/yyyy", as the import writes it) in the dump's form, yyyy-mm-dd.
std::string isoDate(const std::string& dmy) {
    const std::size_t a = dmy.find('/'), b = dmy.rfind('/');
    char buf[16];
    std::snprintf(buf, sizeof buf, "%s-%02d-%02d", dmy.substr(b + 1).c_str(),
                  std::atoi(dmy.substr(a + 1, b - a - 1).c_str()), std::atoi(dmy.c_str()));
    return buf;
}

// This program's folder, where pxtool is built beside it.
std::string programFolder() {
    return fs::read_symlink("/proc/self/exe").parent_path().string();
}

Row makeRow(int key, std::mt19937& rng) {
    Row r;
    r.f[0] = std::to_string(key);
    r.f[1] = "Cliente " + std::to_string(rng() % 100000);
    r.f[2] = "Rua " + std::to_string(rng() % 5000) + ", " + std::to_string(rng() % 999);
    r.f[3] = std::to_string(rng() % 100000) + "." + std::to_string(rng() % 100);
    r.f[4] = std::to_string(rng() % 1000) + "." + std::to_string(rng() % 100);
    r.f[5] = std::to_string(1 + rng() % 28) + "/" + std::to_string(1 + rng() % 12) + "/" +
             std::to_string(1990 + rng() % 30);
    r.f[6] = std::to_string(rng() % 30000);
    r.f[7] = std::to_string(rng() % 2000000);
    r.f[8] = "SP" + std::to_string(rng() % 100);
    r.f[9] = rng() % 2 ? "T" : "F";
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    int rows = 1000000;
    bool ascending = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--ascending")
            ascending = true;
        else
            rows = std::atoi(argv[i]);
    }
    formatSettings().decimalSeparator = '.';
    const fs::path dir = fs::temp_directory_path() / "sivaro-bench-store";
    fs::remove_all(dir);
    fs::create_directories(dir);

    std::mt19937 rng(42);
    std::vector<int> keys(rows);
    for (int i = 0; i < rows; ++i) keys[i] = i + 1;
    if (!ascending) std::shuffle(keys.begin(), keys.end(), rng);
    std::vector<Row> data;
    data.reserve(rows);
    for (int k : keys) data.push_back(makeRow(k, rng));

    // The rows as a text in the dump's format, header line first, for sqlite3's .import (told to
    // skip the header) and for pxtool load.
    const char* schema =
        "cod\tI\t0\t*\nnome\tA\t40\nendereco\tA\t60\nvalor\tN\t0\npreco\t$\t0\n"
        "nasc\tD\t0\nqtd\tS\t0\nnum\tI\t0\nuf\tA\t4\nativo\tL\t0\n";
    const fs::path tsv = dir / "rows.tsv";
    {
        std::ofstream out(tsv);
        out << "cod\tnome\tendereco\tvalor\tpreco\tnasc\tqtd\tnum\tuf\tativo\n";
        for (const Row& r : data) {
            std::string line = r.f[0];
            for (int i = 1; i < 10; ++i) line += "\t" + (i == 5 ? isoDate(r.f[i]) : r.f[i]);
            out << line << "\n";
        }
    }
    const fs::path script = dir / "import.sql";
    std::ofstream(script) << "CREATE TABLE t(cod INTEGER PRIMARY KEY, nome TEXT, endereco TEXT, "
                             "valor REAL, preco REAL, nasc TEXT, qtd INTEGER, num INTEGER, "
                             "uf TEXT, ativo TEXT);\n.mode tabs\n.import --skip 1 "
                          << tsv.string() << " t\n";
    const bench::ChildRun sqlite =
        bench::runChild({"sqlite3", (dir / "bench.sqlite").string()}, script.string());
    if (!sqlite.ok) std::fprintf(stderr, "sqlite3 failed (is it installed?)\n");
    const std::string loadDb = (dir / "carga.db").string();
    px::createTable(loadDb, px::parseSchema(schema));
    const bench::ChildRun load =
        bench::runChild({programFolder() + "/pxtool", "load", loadDb, tsv.string()});
    if (!load.ok) std::fprintf(stderr, "pxtool load failed\n");

    const std::string db = (dir / "cliente.db").string();
    px::createTable(db, px::parseSchema(schema));
    auto store = createParadoxStore();
    auto open = [&] {
        auto t = store->createTable();
        t->setDatabaseName(dir.string());
        t->setTableName("cliente.db");
        t->open();
        return t;
    };

    PhaseMemory mem;
    mem.start();
    auto t0 = Clock::now();
    {
        auto t = open();
        Field* f[10];
        for (int i = 0; i < 10; ++i) f[i] = &t->field(i);
        for (const Row& r : data) {
            t->insert();
            for (int i = 0; i < 10; ++i) f[i]->setAsString(r.f[i]);
            t->post();
        }
        t->close();
    }
    const double insertSeconds = since(t0);
    const long insertPeak = mem.peakMb();
    mem.start();

    t0 = Clock::now();
    int found = 0;
    {
        auto t = open();
        std::mt19937 pick(7);
        for (int i = 0; i < 100000; ++i)
            found += t->locate("cod", {std::to_string(1 + pick() % rows)}, false);
        t->close();
    }
    const double locateSeconds = since(t0);
    const long locatePeak = mem.peakMb();
    mem.start();

    t0 = Clock::now();
    {
        auto t = open();
        Field& valor = t->fieldByName("valor");
        Field& nome = t->fieldByName("nome");
        for (const Row& r : data) {
            if (!t->locate("cod", {r.f[0]}, false)) continue;
            t->edit();
            nome.setAsString(r.f[1] + " alterado");
            valor.setAsString("1.5");
            t->post();
        }
        t->close();
    }
    const double updateSeconds = since(t0);
    const long updatePeak = mem.peakMb();
    mem.start();

    t0 = Clock::now();
    std::size_t chars = 0, read = 0;
    {
        auto t = open();
        for (t->first(); !t->eof(); t->next(), ++read)
            for (int i = 0; i < t->fieldCount(); ++i) chars += t->field(i).asString().size();
        t->close();
    }
    const double readSeconds = since(t0);
    const long readPeak = mem.peakMb();

    const double dbBytes =
        static_cast<double>(fs::file_size(db) + fs::file_size(dir / "cliente.px"));
    const double sqliteBytes = static_cast<double>(fs::file_size(dir / "bench.sqlite"));
    std::printf("rows: %d (%s keys), found %d of 100000 locates, read %zu rows\n", rows,
                ascending ? "ascending" : "random", found, read);
    std::printf("sqlite3 .import:   %8.2f s  %10.0f rows/s  %s (its own process)\n", sqlite.wall,
                rows / sqlite.wall, bench::peakText(sqlite).c_str());
    std::printf("pxtool load:       %8.2f s  %10.0f rows/s  %s (its own process)\n", load.wall,
                rows / load.wall, bench::peakText(load).c_str());
    std::printf("insert + close:    %8.2f s  %10.0f rows/s  peak %ld MB\n", insertSeconds,
                rows / insertSeconds, insertPeak);
    std::printf("100000 locates:    %8.2f s  %10.0f locates/s  peak %ld MB (open included)\n",
                locateSeconds, 100000 / locateSeconds, locatePeak);
    std::printf("update by locate:  %8.2f s  %10.0f rows/s  peak %ld MB\n", updateSeconds,
                rows / updateSeconds, updatePeak);
    std::printf("open + read all:   %8.2f s  %10.0f rows/s  peak %ld MB\n", readSeconds,
                read / readSeconds, readPeak);
    std::printf("table files: %.1f MB; sqlite database: %.1f MB\n", dbBytes / 1048576.0,
                sqliteBytes / 1048576.0);
    std::printf(
        "ratios: insert/sqlite %.2f, pxtool load/sqlite %.2f (CPU %.2f), update/insert "
        "%.2f\n",
        insertSeconds / sqlite.wall, load.wall / sqlite.wall, load.cpu / sqlite.cpu,
        updateSeconds / insertSeconds);
    fs::remove_all(dir);
    return 0;
}
