// City lookups: client lines whose city names are typed the way operators type them (see
// CityLines.h) against a city table of the Brazilian municipalities, timed against the same
// import without lookups, and what each line received: its own municipality, one of the same
// name in another state, another city, or no code, by how the line was typed. Both ways a city
// table is kept are measured: names as the data set writes them (accents, capitals and small
// letters), and names in capitals without accents.
//
//   bench_lookup [LINES] [SEED] [MUNICIPIOS.TSV]   (default 100000 lines, seed 12345, the shared
//                                                   data set)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "CityLines.h"
#include "QuietHost.h"
#include "import/ImportEngine.h"
#include "store/TableCreate.h"
#include "store/TableStore.h"
#include "util/CodePage.h"
#include "util/FormatSettings.h"
#include "util/Paths.h"
#include "util/ProfileFile.h"
#include "util/StringUtils.h"

namespace {

using namespace sivaro;
using namespace sivaro::bench;
namespace fs = std::filesystem;

enum class CityTable { AsWritten, Capitals };

// Wall-clock and processor seconds of one import; on a busy machine the processor's are the
// steadier figure.
struct Times {
    double wall = 1e9;
    double cpu = 1e9;
    void keepBest(const Times& t) {
        wall = std::min(wall, t.wall);
        cpu = std::min(cpu, t.cpu);
    }
};

Times runImport(const std::string& folder, std::vector<std::string>* log = nullptr) {
    QuietHost host(folder, "clientes.txt");
    ImportEngine engine(host, [](const std::string&) { return createParadoxStore(); });
    engine.pointCityTable();
    const auto t0 = std::chrono::steady_clock::now();
    const std::clock_t c0 = std::clock();
    engine.runSources();
    Times t;
    t.cpu = static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
    t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (log != nullptr) *log = host.lastLines;
    return t;
}

void prepare(const std::string& folder, const std::vector<City>& cities, CityTable kept,
             const std::vector<TypedLine>& lines, const char* column) {
    fs::remove_all(folder);
    fs::create_directories(folder + "/db");
    px::createTable(folder + "/db/cidade.db",
                    px::parseSchema("cod\tI\t4\t*\ncid\tA\t40\nuf\tA\t2\n"));
    {
        std::unique_ptr<TableStore> store = createParadoxStore();
        std::unique_ptr<Table> t = store->createTable();
        t->setDatabaseName(folder + "/db");
        t->setTableName("cidade.db");
        t->open();
        for (const City& c : cities) {
            t->insert();
            t->fieldByName("cod").setAsString(c.cod);
            t->fieldByName("cid").setAsString(
                kept == CityTable::AsWritten ? c.name : upper1252(TiraAcentos(c.name)));
            t->fieldByName("uf").setAsString(c.uf);
            t->post();
        }
        t->close();
    }
    px::createTable(folder + "/db/Cliente.db",
                    px::parseSchema("cod\t+\t4\t*\nraz\tA\t40\nmunicipio\tA\t40\ncodcid\tI\t4\n"));
    std::ofstream src(folder + "/clientes.txt", std::ios::binary);
    src << "NOME\t" << column << "\r\n";
    for (size_t i = 0; i < lines.size(); ++i) src << i << '\t' << lines[i].text << "\r\n";
    std::ofstream(folder + "/Definicao.ini", std::ios::binary)
        << "[Arquivos]\r\nclientes.txt=Cliente\r\n[clientes.txt.campos]\r\nNOME=Cliente.raz\r\n"
        << column << "=Cliente.municipio\r\n";
}

enum Outcome { kRight, kSameName, kWrong, kNoCode, kOutcomes };
const char* const kOutcomeNames[kOutcomes] = {"right city", "other state", "wrong city", "no code"};

struct Shares {
    long count[kOutcomes] = {};
    long total() const { return count[0] + count[1] + count[2] + count[3]; }
};

// What every line received, by the city code of its row.
std::vector<Outcome> outcomes(const std::string& folder, const std::vector<City>& cities,
                              const std::vector<TypedLine>& lines) {
    std::map<std::string, size_t> cityByCode;
    for (size_t i = 0; i < cities.size(); ++i) cityByCode.emplace(cities[i].cod, i);
    std::vector<Outcome> result(lines.size(), kNoCode);
    std::unique_ptr<TableStore> store = createParadoxStore();
    std::unique_ptr<Table> clients = store->createTable();
    clients->setDatabaseName(folder + "/db");
    clients->setTableName("Cliente.db");
    clients->open();
    for (clients->first(); !clients->eof(); clients->next()) {
        const size_t line = std::stoul(clients->fieldByName("raz").asString());
        const std::string code = clients->fieldByName("codcid").asString();
        if (code.empty() || line >= lines.size()) continue;
        const City& meant = cities[lines[line].city];
        const auto it = cityByCode.find(code);
        if (code == meant.cod)
            result[line] = kRight;
        else if (it != cityByCode.end() && upper1252(TiraAcentos(cities[it->second].name)) ==
                                               upper1252(TiraAcentos(meant.name)))
            result[line] = kSameName;
        else
            result[line] = kWrong;
    }
    clients->close();
    return result;
}

// Of the candidates the review list names as refused, how many were the city meant.
std::string refusedRight(const std::string& folder, const std::vector<City>& cities,
                         const std::vector<TypedLine>& lines) {
    std::ifstream in(folder + "/clientes.txt.revisao.txt", std::ios::binary);
    if (!in) return {};
    const std::string refusedMark = utf8ToCp1252("recusado");
    long refused = 0, right = 0;
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::istringstream split(line);
        for (std::string c; std::getline(split, c, '\t');) cells.push_back(c);
        if (cells.size() < 7 || cells[6].rfind(refusedMark, 0) != 0) continue;
        ++refused;
        // Line 1 is the header of the source, line 2 its first client.
        const size_t at = static_cast<size_t>(std::stol(cells[0])) - 2;
        if (at < lines.size() && cells[5] == cities[lines[at].city].cod) ++right;
    }
    char text[200];
    std::snprintf(text, sizeof text,
                  "refused as too far: %ld, the candidate named was the city meant for %.1f%%",
                  refused, refused > 0 ? 100.0 * right / refused : 0.0);
    return text;
}

void printShares(const char* label, const Shares& s) {
    std::printf("  %-34s %7ld", label, s.total());
    for (long c : s.count)
        std::printf(" %10.1f%%", s.total() > 0 ? 100.0 * static_cast<double>(c) / s.total() : 0.0);
    std::printf("\n");
}

void report(const char* title, const std::vector<City>& cities, const std::vector<TypedLine>& lines,
            const std::vector<Outcome>& got) {
    std::printf("\n%s\n  %-34s %7s", title, "typed", "lines");
    for (const char* name : kOutcomeNames) std::printf(" %11.11s", name);
    std::printf("\n");
    Shares all, bySpelling[kSpellings], byGroup[4], ownDash, misspelledCoded;
    for (size_t i = 0; i < lines.size(); ++i) {
        const TypedLine& l = lines[i];
        const Outcome o = got[i];
        ++all.count[o];
        ++bySpelling[static_cast<int>(l.spelling)].count[o];
        ++byGroup[(l.misspelled ? 2 : 0) + (l.withUf ? 1 : 0)].count[o];
        if (!l.misspelled && cities[l.city].name.find('-') != std::string::npos) ++ownDash.count[o];
    }
    printShares("every line", all);
    const char* const groups[] = {"correct name", "correct name with -UF", "misspelled name",
                                  "misspelled name with -UF"};
    for (int g = 0; g < 4; ++g) printShares(groups[g], byGroup[g]);
    printShares("correct name with a - of its own", ownDash);
    for (int s = 0; s < kSpellings; ++s)
        printShares(spellingName(static_cast<Spelling>(s)), bySpelling[s]);
    Shares misspelled;
    for (int o = 0; o < kOutcomes; ++o)
        misspelled.count[o] = byGroup[2].count[o] + byGroup[3].count[o];
    const long coded =
        misspelled.count[kRight] + misspelled.count[kSameName] + misspelled.count[kWrong];
    const long correct = byGroup[0].total() + byGroup[1].total();
    std::printf(
        "  correct names given their own city: %.1f%% with -UF, a city of that name without: "
        "%.1f%%\n",
        100.0 * byGroup[1].count[kRight] / std::max(1L, byGroup[1].total()),
        100.0 * (byGroup[0].count[kRight] + byGroup[0].count[kSameName]) /
            std::max(1L, byGroup[0].total()));
    std::printf(
        "  correct names given another city or none: %ld of %ld\n",
        correct - byGroup[1].count[kRight] - byGroup[0].count[kRight] - byGroup[0].count[kSameName],
        correct);
    std::printf(
        "  misspelled names: %ld, resolved right %.1f%%, wrong city among those given a code "
        "%.1f%%\n",
        misspelled.total(), 100.0 * misspelled.count[kRight] / std::max(1L, misspelled.total()),
        100.0 * misspelled.count[kWrong] / std::max(1L, coded));
}

}  // namespace

int main(int argc, char** argv) {
    const long count = argc > 1 ? std::atol(argv[1]) : 100000;
    const auto seed = static_cast<std::uint32_t>(argc > 2 ? std::atol(argv[2]) : 12345);
    const std::string dataSet =
        argc > 3 ? argv[3] : std::string(SIVARO_DATA_DIR) + "/municipios.tsv";
    const std::vector<City> cities = readCities(dataSet);
    if (cities.empty()) {
        std::cerr << "bench_lookup: no cities in " << dataSet << '\n';
        return 2;
    }
    formatSettings().decimalSeparator = ',';
    const std::vector<TypedLine> lines = typedLines(cities, count, seed);

    const std::string folder = (fs::temp_directory_path() / "sivaro-bench-lookup").string();
    // The same source: a column named "MUNICIPIO" is only copied; one named "CIDADE" is also
    // looked up in the city table. Each the best of three runs on a fresh folder: a short run is
    // easily disturbed.
    Times plain, withLookups, asWrittenTime;
    std::vector<std::string> capitalsLog, log;
    std::vector<Outcome> capitals, asWritten;
    std::string refused;
    for (int round = 0; round < 3; ++round) {
        prepare(folder, cities, CityTable::Capitals, lines, "MUNICIPIO");
        plain.keepBest(runImport(folder));
        prepare(folder, cities, CityTable::Capitals, lines, "CIDADE");
        withLookups.keepBest(runImport(folder, &capitalsLog));
        if (round == 0) capitals = outcomes(folder, cities, lines);
        prepare(folder, cities, CityTable::AsWritten, lines, "CIDADE");
        asWrittenTime.keepBest(runImport(folder, &log));
        if (round == 0) {
            asWritten = outcomes(folder, cities, lines);
            refused = refusedRight(folder, cities, lines);
        }
    }
    fs::remove_all(folder);

    std::printf("lines: %ld, cities: %zu, seed %u\n", count, cities.size(), seed);
    const auto line = [&](const char* what, const Times& t) {
        std::printf("%s: %.2f s, processor %.2f s", what, t.wall, t.cpu);
        if (&t != &plain)
            std::printf(" (lookups %.2f of the rest; processor %.2f)",
                        (t.wall - plain.wall) / plain.wall, (t.cpu - plain.cpu) / plain.cpu);
        std::printf("\n");
    };
    line("import without lookups", plain);
    line("import with city lookups", withLookups);
    line("import with city lookups, table with accents", asWrittenTime);
    report("city table as the data set writes it (accents, capitals and small letters):", cities,
           lines, asWritten);
    for (const std::string& l : log) std::printf("  log: %s\n", cp1252ToUtf8(l).c_str());
    if (!refused.empty()) std::printf("  %s\n", refused.c_str());
    report("city table in capitals without accents:", cities, lines, capitals);
    for (const std::string& l : capitalsLog) std::printf("  log: %s\n", cp1252ToUtf8(l).c_str());
    return 0;
}
