// The workbench on a large source: choosing it (the viewer's first window, the header and the
// preview of 501 lines) and bringing its last line into the viewer, against the same on a small
// source and against one plain read of the whole file, as the import's first pass does.
//   bench_viewer [MEGABYTES]     (default 300; the window offscreen)
#include <sys/resource.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/FontSetup.h"
#include "app/LeftColumn.h"
#include "app/MainWindow.h"
#include "app/ViewerPage.h"
#include "import/LineReader.h"

namespace {

using namespace sivaro;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A delimited source of about `megabytes`: a header and lines of ten fields.
std::int64_t writeSource(const std::string& path, std::int64_t megabytes) {
    std::ofstream out(path, std::ios::binary);
    out << "COD\tNOME\tENDERECO\tBAIRRO\tCIDADE\tUF\tCEP\tFONE\tCADASTRO\tLIMITE\r\n";
    std::int64_t lines = 1;
    std::string line;
    for (std::int64_t bytes = 0; bytes < megabytes << 20; ++lines) {
        line = std::to_string(lines) + "\tCliente n\xfamero " + std::to_string(lines) +
               "\tRua das Ac\xe1\x63ias, " + std::to_string(lines % 9000) +
               "\tCentro\tS\xe3o Paulo\tSP\t01310-100\t(11) 3284-5566\t15/03/2005\t1.500,00\r\n";
        out << line;
        bytes += static_cast<std::int64_t>(line.size());
    }
    return lines;
}

long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    const std::int64_t megabytes = argc > 1 ? std::atoll(argv[1]) : 300;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installFontSubstitutes();

    const fs::path folder = fs::temp_directory_path() / "sivaro-bench-viewer";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::int64_t largeLines = writeSource((folder / "grande.txt").string(), megabytes);
    writeSource((folder / "pequeno.txt").string(), 1);
    std::ofstream(folder / "Definicao.ini", std::ios::binary)
        << "[Arquivos]\r\ngrande.txt=Cliente\r\npequeno.txt=Cliente\r\n";

    TForm2 form;
    form.leftColumn().eLoc->setText(QString::fromStdString(folder.string()));
    const long before = peakKilobytes();
    auto choose = [&](const char* name) {
        QComboBox* box = form.leftColumn().cbTab;
        box->setCurrentIndex(box->findText(QString::fromLatin1(name)));
        const auto start = Clock::now();
        form.cbTabChange();
        return since(start);
    };
    const double small = choose("pequeno.txt");
    const double large = choose("grande.txt");

    auto start = Clock::now();
    const bool shown = form.viewerPage().showLine(largeLines - 1);
    const double lastLine = since(start);

    start = Clock::now();
    LineReader reader;
    reader.open((folder / "grande.txt").string());
    std::int64_t read = 0;
    while (!reader.eof()) {
        reader.readLine();
        ++read;
    }
    const double plainRead = since(start);

    std::printf("source of %lld MB, %lld lines\n", static_cast<long long>(megabytes),
                static_cast<long long>(largeLines));
    std::printf("%-58s %8.3f s\n", "choose the 1 MB source (viewer, header, preview)", small);
    std::printf("%-58s %8.3f s  %6.2fx the 1 MB source\n", "choose the large source", large,
                large / small);
    std::printf("%-58s %8.3f s  %6.2fx one plain read%s\n", "bring its last line into the viewer",
                lastLine, lastLine / plainRead, shown ? "" : " (NOT SHOWN)");
    std::printf("%-58s %8.3f s  (%lld lines)\n", "one plain read of the whole file", plainRead,
                static_cast<long long>(read));
    std::printf("%-58s %8ld MB over the window's own\n", "peak memory",
                (peakKilobytes() - before) / 1024);
    std::printf("%-58s %8d lines\n", "the viewer holds",
                form.viewerPage().mVisArq->document()->blockCount());
    fs::remove_all(folder);
    return 0;
}
