// The merchandise statements on a large table: a mercador of ROWS rows (about three per bar
// code, a quarter marked before), each statement run as the importer runs it (the table read
// from its files, changed, written back), against a one-row update (the reading and writing
// alone) and against the same statements on a native SQLite table of the same rows.
//
//   bench_sql [ROWS] [FOLDER]     (default 1000000 rows, a folder under /tmp)

#include <sqlite3.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "Timing.h"
#include "store/Connection.h"
#include "store/FamilyCheck.h"
#include "store/TableCreate.h"
#include "store/TableStore.h"
#include "util/FormatSettings.h"

namespace {

using namespace sivaro;
using namespace sivaro::bench;
namespace fs = std::filesystem;

const char* kMarkNewest =
    "update mercador set filtro = 0 where cod in (select max(cod) from mercador group by codbar)";
const char* kMarkRest = "update mercador set filtro = 1 where filtro is null";

std::string codbar(long i, long rows) {
    return "789" + std::to_string(1000000 + (i * 7919) % (rows / 3 + 1));
}

double execTimed(TableStore& store, const std::string& folder, const std::string& sql) {
    auto q = store.createQuery();
    q->setDatabaseName(folder);
    q->sql().push_back(sql);
    const auto t0 = std::chrono::steady_clock::now();
    q->execSQL();
    return seconds(t0);
}

double nativeTimed(sqlite3* db, const char* sql) {
    const auto t0 = std::chrono::steady_clock::now();
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        std::cerr << "sqlite: " << (err ? err : "?") << '\n';
        std::exit(1);
    }
    return seconds(t0);
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string folder =
        argc > 2 ? argv[2] : (fs::temp_directory_path() / "sivaro-bench-sql").string();
    fs::remove_all(folder);
    fs::create_directories(folder + "/db");
    formatSettings().decimalSeparator = '.';
    const std::string db = folder + "/db";

    std::cout << "Generating a mercador of " << rows << " rows...\n";
    px::createTable(db + "/mercador.db",
                    px::parseSchema("cod\t+\t0\t*\nCodBar\tA\t20\nCodEan\tA\t13\n"
                                    "descricao\tA\t40\ncodmar\tI\t0\ncodsecmer\tI\t0\n"
                                    "codpad\tI\t0\nNCM\tA\t10\npreco\t$\t0\nfiltro\tS\t0\n"));
    sqlite3* native = nullptr;
    sqlite3_open((folder + "/native.sqlite").c_str(), &native);
    nativeTimed(native,
                "create table mercador(cod integer primary key, codbar text, codean text, "
                "descricao text, codmar integer, codsecmer integer, codpad integer, ncm text, "
                "preco real, filtro integer); begin");
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(native, "insert into mercador values (?,?,?,?,?,?,?,?,?,?)", -1, &ins,
                       nullptr);
    {
        auto store = openConnection(folder);
        auto t = store->createTable();
        t->setDatabaseName(db);
        t->setTableName("mercador.db");
        t->open();
        for (long i = 0; i < rows; ++i) {
            const std::string bar = codbar(i, rows);
            const std::string desc = "Produto de teste numero " + std::to_string(i);
            t->insert();
            t->fieldByName("CodBar").setAsString(bar);
            t->fieldByName("CodEan").setAsString("7891000" + std::to_string(100000 + i % 900000));
            t->fieldByName("descricao").setAsString(desc);
            t->fieldByName("codmar").setAsInteger(1 + i % 40);
            t->fieldByName("codsecmer").setAsInteger(1 + i % 12);
            t->fieldByName("codpad").setAsInteger(1 + i % 7);
            t->fieldByName("NCM").setAsString("8471.30.12");
            t->fieldByName("preco").setAsString(std::to_string(i % 1000) + ".5");
            if (i % 4 == 0) t->fieldByName("filtro").setAsInteger(1);
            t->post();
            sqlite3_bind_int64(ins, 1, i + 1);
            sqlite3_bind_text(ins, 2, bar.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(ins, 3, "7891000", -1, SQLITE_STATIC);
            sqlite3_bind_text(ins, 4, desc.c_str(), -1, SQLITE_TRANSIENT);
            for (int k = 5; k <= 7; ++k) sqlite3_bind_int(ins, k, 1 + i % 7);
            sqlite3_bind_text(ins, 8, "8471.30.12", -1, SQLITE_STATIC);
            sqlite3_bind_double(ins, 9, i % 1000 + 0.5);
            if (i % 4 == 0)
                sqlite3_bind_int(ins, 10, 1);
            else
                sqlite3_bind_null(ins, 10);
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
        t->close();
    }
    sqlite3_finalize(ins);
    nativeTimed(native, "commit");

    auto store = openConnection(folder);
    const double baseline = execTimed(*store, db, "update mercador set filtro = 2 where cod = 1");
    const double first = execTimed(*store, db, kMarkNewest);
    const double second = execTimed(*store, db, kMarkRest);
    const double nativeFirst = nativeTimed(native, kMarkNewest);
    const double nativeSecond = nativeTimed(native, kMarkRest);
    sqlite3_close(native);

    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    const auto report = px::inspectFamily(db + "/mercador.db");
    std::printf("rows: %ld\n", rows);
    std::printf("one-row update (read and write the table): %.2f s\n", baseline);
    std::printf("statement 1 (filtro = 0 on the newest of each codbar): %.2f s\n", first);
    std::printf("statement 2 (filtro = 1 where null): %.2f s\n", second);
    std::printf("statement 1 / one-row update: %.2f\n", first / baseline);
    std::printf("statement 2 / one-row update: %.2f\n", second / baseline);
    std::printf("native SQLite table: statement 1 %.2f s, statement 2 %.2f s\n", nativeFirst,
                nativeSecond);
    std::printf("both statements / native SQLite: %.2f\n",
                (first + second) / (nativeFirst + nativeSecond));
    std::printf("peak memory: %.0f MB\n", u.ru_maxrss / 1024.0);
    std::printf("family check: %s\n",
                report.problems.empty() ? "ok" : report.problems.front().c_str());
    fs::remove_all(folder);
    return report.problems.empty() ? 0 : 1;
}
