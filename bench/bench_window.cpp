// The workbench window against the batch command on the same source: a generated delimited source
// of 10 columns into an empty keyed table (good records), and a source whose every record is
// refused by a number field (failing records, each one a line of the log). The window runs
// offscreen, drawing its gauge, counter and log as on a desktop; the batch command is
// build/bin/importa with its log sent to a file. Each run is a child process of its own, in rounds
// of window then batch; the ratios are taken round by round and their median is printed. The
// window's figure is its import alone (from the click on "Importa" to its end), in wall and in
// CPU seconds; the batch command's is its own summary's seconds and the whole process's CPU.
//
//   bench_window [LINES] [FOLDER] [ROUNDS]    (default 1000000 lines, a folder under /tmp, 3)

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "Timing.h"
#include "app/MainWindow.h"
#include "store/TableCreate.h"
#include "util/FormatSettings.h"

namespace {

using namespace sivaro;
using namespace sivaro::bench;
namespace fs = std::filesystem;

// `failing`: the VALOR column holds a text the number field refuses, on every line.
void writeSource(const std::string& path, long lines, bool failing) {
    std::ofstream out(path, std::ios::binary);
    out << "COD\tNOME\tENDERECO\tCIDADE\tUF\tCEP\tVALOR\tQTD\tDATA\tOBS\r\n";
    const long step = 7919;
    for (long i = 0; i < lines; ++i) {
        const long cod = (i * step) % lines + 1;
        out << cod << "\tCliente " << cod << "\tRua das Flores, " << (cod % 2000)
            << "\tSao Paulo\tSP\t" << 10000000 + cod % 89999999 << '\t';
        if (failing)
            out << "abc";
        else
            out << cod % 10000 << ',' << cod % 100;
        out << '\t' << cod % 500 << '\t' << 1 + cod % 28 << "/0" << 1 + cod % 9 << "/20"
            << 10 + cod % 10 << "\tobs " << cod % 97 << "\r\n";
    }
}

void freshTable(const std::string& folder) {
    fs::remove_all(folder + "/db");
    fs::create_directories(folder + "/db");
    px::createTable(folder + "/db/Bench.db",
                    px::parseSchema("cod\tI\t4\t*\nnome\tA\t30\nendereco\tA\t40\ncidade\tA\t25\n"
                                    "uf\tA\t2\ncep\tA\t10\nvalor\tN\t8\nqtd\tI\t4\ndata\tD\t4\n"
                                    "obs\tA\t20\n"));
}

struct Run {
    double importWall = 0;  // the import alone, by the program's own clock
    double importCpu = 0;   // the window: the import alone; the batch command: the whole process
    bool ok = false;
};

// The window in this process (a child): opens the folder, selects the source, clicks "Importa".
Run windowImport(const std::string& folder, int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    formatSettings().decimalSeparator = ',';
    TForm2 form;
    form.show();
    form.findChild<QLineEdit*>("eLoc")->setText(QString::fromStdString(folder));
    form.findChild<QComboBox*>("cbTab")->setCurrentIndex(0);
    app.processEvents();
    Run run;
    const double cpu0 = selfCpu();
    const auto t0 = std::chrono::steady_clock::now();
    form.findChild<QPushButton*>("Button1")->click();
    run.importWall = seconds(t0);
    run.importCpu = selfCpu() - cpu0;
    run.ok = true;
    return run;
}

Run windowInChild(const std::string& folder, int argc, char** argv) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const Run r = windowImport(folder, argc, argv);
        const std::string line = std::to_string(r.importWall) + " " + std::to_string(r.importCpu);
        if (::write(fds[1], line.data(), line.size()) < 0) _exit(1);
        _exit(0);
    }
    ::close(fds[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    Run run;
    std::istringstream in(text);
    run.ok = static_cast<bool>(in >> run.importWall >> run.importCpu) && WIFEXITED(status) &&
             WEXITSTATUS(status) == 0;
    return run;
}

// The batch command: its summary line ends in the source's seconds ("..., 12.34 s").
Run batchInChild(const std::string& importa, const std::string& folder) {
    const std::string out = folder + "/importa.out";
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!std::freopen(out.c_str(), "w", stdout) || !std::freopen("/dev/null", "w", stderr))
            _exit(126);
        ::execl(importa.c_str(), importa.c_str(), "--pasta", folder.c_str(), "--decimal", ",",
                "dados.txt", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage u{};
    ::wait4(pid, &status, 0, &u);
    Run run;
    run.importCpu = cpuSeconds(u);
    std::ifstream in(out);
    std::string line, summary;
    while (std::getline(in, line))
        if (line.rfind("dados.txt:", 0) == 0) summary = line;
    const size_t comma = summary.rfind(", ");
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) <= 1 && comma != std::string::npos;
    if (run.ok) run.importWall = std::atof(summary.c_str() + comma + 2);
    return run;
}

std::string importaPath() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return (self.parent_path() / "importa").string();
}

}  // namespace

int main(int argc, char** argv) {
    const long lines = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string folder = argc > 2 && argv[2][0] != 0
                                   ? argv[2]
                                   : (fs::temp_directory_path() / "sivaro-bench-window").string();
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    const std::string importa = importaPath();
    if (!fs::exists(importa)) {
        std::fprintf(stderr, "%s is missing: build the target importa\n", importa.c_str());
        return 1;
    }
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ofstream(folder + "/Definicao.ini", std::ios::binary)
        << "[Arquivos]\r\ndados.txt=Bench\r\n[dados.txt.campos]\r\nCOD=Bench.cod\r\n"
           "NOME=Bench.nome\r\nENDERECO=Bench.endereco\r\nCIDADE=Bench.cidade\r\nUF=Bench.uf\r\n"
           "CEP=Bench.cep\r\nVALOR=Bench.valor\r\nQTD=Bench.qtd\r\nDATA=Bench.data\r\n"
           "OBS=Bench.obs\r\n";

    std::printf("lines: %ld, rounds: %d (medians; each run a child process of its own)\n", lines,
                rounds);
    for (const bool failing : {false, true}) {
        writeSource(folder + "/dados.txt", lines, failing);
        std::vector<double> wallRatios, cpuRatios, windowWall, batchWall;
        bool ok = true;
        for (int round = 0; round < rounds; ++round) {
            freshTable(folder);
            const Run w = windowInChild(folder, argc, argv);
            freshTable(folder);
            const Run b = batchInChild(importa, folder);
            ok = ok && w.ok && b.ok;
            if (!w.ok || !b.ok || b.importWall <= 0 || b.importCpu <= 0) continue;
            windowWall.push_back(w.importWall);
            batchWall.push_back(b.importWall);
            wallRatios.push_back(w.importWall / b.importWall);
            cpuRatios.push_back(w.importCpu / b.importCpu);
        }
        const char* what = failing ? "failing records" : "good records";
        if (!ok) std::printf("%s: a run failed\n", what);
        std::printf(
            "%-16s window %7.2f s, batch %7.2f s; window / batch: wall %.2f, cpu %.2f "
            "(goal: at most 1.1)\n",
            what, median(windowWall), median(batchWall), median(wallRatios), median(cpuRatios));
    }
    fs::remove_all(folder);
    return 0;
}
