// City lookups: client lines whose city names are typed the way operators type them (accents or
// not, lower case, "-UF" suffixes, one in five misspelled) against a city table of the Brazilian
// municipalities, timed against the same import without lookups.
//
//   bench_lookup [LINES] [MUNICIPIOS.TSV]     (default 100000 lines, the shared data set)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

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
namespace fs = std::filesystem;

struct City {
    std::string name;  // as the data set spells it, with accents
    std::string uf;
};

std::vector<City> readCities(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<City> cities;
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream cells(line);
        std::string cod, name, uf;
        std::getline(cells, cod, '\t');
        std::getline(cells, name, '\t');
        std::getline(cells, uf, '\t');
        if (!name.empty()) cities.push_back({name, uf});
    }
    return cities;
}

// Operators' spellings: as written, without accents, lower case, with "-UF"; one in five with a
// typing mistake (two letters swapped, one dropped or one doubled).
std::string typed(const City& c, std::mt19937& rng, bool misspell) {
    std::string s = c.name;
    switch (rng() % 4) {
        case 0:
            break;
        case 1:
            s = TiraAcentos(s);
            break;
        case 2:
            s = lower1252(s);
            break;
        case 3:
            s = upper1252(TiraAcentos(s)) + "-" + c.uf;
            break;
    }
    if (misspell && s.size() > 4) {
        const size_t at = 1 + rng() % (s.size() - 3);
        switch (rng() % 3) {
            case 0:
                std::swap(s[at], s[at + 1]);
                break;
            case 1:
                s.erase(at, 1);
                break;
            case 2:
                s.insert(at, 1, s[at]);
                break;
        }
    }
    return s;
}

double runImport(const std::string& folder) {
    QuietHost host(folder, "clientes.txt");
    ImportEngine engine(host, [](const std::string&) { return createParadoxStore(); });
    engine.pointCityTable();
    const auto t0 = std::chrono::steady_clock::now();
    engine.runSources();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void prepare(const std::string& folder, const std::vector<City>& cities,
             const std::vector<std::string>& names, const char* column) {
    fs::remove_all(folder);
    fs::create_directories(folder + "/db");
    px::createTable(folder + "/db/cidade.db",
                    px::parseSchema("cod\t+\t4\t*\ncid\tA\t40\nuf\tA\t2\n"));
    {
        std::unique_ptr<TableStore> store = createParadoxStore();
        std::unique_ptr<Table> t = store->createTable();
        t->setDatabaseName(folder + "/db");
        t->setTableName("cidade.db");
        t->open();
        for (const City& c : cities) {
            t->insert();
            t->fieldByName("cid").setAsString(upper1252(TiraAcentos(c.name)));
            t->fieldByName("uf").setAsString(c.uf);
            t->post();
        }
        t->close();
    }
    px::createTable(folder + "/db/Cliente.db",
                    px::parseSchema("cod\t+\t4\t*\nraz\tA\t40\nmunicipio\tA\t40\ncodcid\tI\t4\n"));
    std::ofstream src(folder + "/clientes.txt", std::ios::binary);
    src << "NOME\t" << column << "\r\n";
    for (size_t i = 0; i < names.size(); ++i) src << "Cliente " << i << '\t' << names[i] << "\r\n";
    std::ofstream(folder + "/Definicao.ini", std::ios::binary)
        << "[Arquivos]\r\nclientes.txt=Cliente\r\n[clientes.txt.campos]\r\nNOME=Cliente.raz\r\n"
        << column << "=Cliente.municipio\r\n";
}

}  // namespace

int main(int argc, char** argv) {
    const long lines = argc > 1 ? std::atol(argv[1]) : 100000;
    const std::string dataSet =
        argc > 2 ? argv[2] : std::string(SIVARO_DATA_DIR) + "/municipios.tsv";
    const std::vector<City> cities = readCities(dataSet);
    if (cities.empty()) {
        std::cerr << "bench_lookup: no cities in " << dataSet << '\n';
        return 2;
    }
    formatSettings().decimalSeparator = ',';
    std::mt19937 rng(12345);
    std::vector<std::string> names;
    for (long i = 0; i < lines; ++i)
        names.push_back(typed(cities[rng() % cities.size()], rng, i % 5 == 4));

    const std::string folder = (fs::temp_directory_path() / "sivaro-bench-lookup").string();
    // The same source twice: a column named "MUNICIPIO" is only copied; one named "CIDADE" is
    // also looked up in the city table.
    // Each the best of three runs on a fresh folder: a short run is easily disturbed.
    double plain = 1e9;
    double withLookups = 1e9;
    for (int round = 0; round < 3; ++round) {
        prepare(folder, cities, names, "MUNICIPIO");
        plain = std::min(plain, runImport(folder));
        prepare(folder, cities, names, "CIDADE");
        withLookups = std::min(withLookups, runImport(folder));
    }

    // How the names were resolved: by the city code each row received.
    std::unique_ptr<TableStore> store = createParadoxStore();
    std::unique_ptr<Table> clients = store->createTable();
    clients->setDatabaseName(folder + "/db");
    clients->setTableName("Cliente.db");
    clients->open();
    std::unique_ptr<Table> cidade = store->createTable();
    cidade->setDatabaseName(folder + "/db");
    cidade->setTableName("cidade.db");
    cidade->open();
    std::map<std::string, std::string> codeByName;  // the exact step's answer, first row first
    for (cidade->first(); !cidade->eof(); cidade->next())
        codeByName.emplace(upper1252(cidade->fieldByName("cid").asString()),
                           cidade->fieldByName("cod").asString());
    long exact = 0, similar = 0, none = 0;
    for (clients->first(); !clients->eof(); clients->next()) {
        const std::string code = clients->fieldByName("codcid").asString();
        if (code.empty()) {
            ++none;
            continue;
        }
        std::string name = clients->fieldByName("municipio").asString();
        const size_t dash = name.find('-');
        if (dash != std::string::npos && dash + 3 == name.size()) name.erase(dash);
        const auto it = codeByName.find(upper1252(TiraAcentos(name)));
        if (it != codeByName.end() && it->second == code)
            ++exact;
        else
            ++similar;
    }
    clients->close();
    cidade->close();
    fs::remove_all(folder);

    std::printf("lines: %ld, cities: %zu\n", lines, cities.size());
    std::printf("import without lookups: %.2f s\n", plain);
    std::printf("import with city lookups: %.2f s (lookups %.2f s, %.2f of the rest)\n",
                withLookups, withLookups - plain, (withLookups - plain) / plain);
    std::printf("resolved exactly: %.1f%%, by similarity: %.1f%%, not at all: %.1f%%\n",
                100.0 * exact / lines, 100.0 * similar / lines, 100.0 * none / lines);
    return 0;
}
