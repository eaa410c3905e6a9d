// importa: runs the import of a prepared data folder without a window.
//
//   importa [--pasta PASTA] [--decimal SEP] [--simular] [--todos | ORIGEM...]
//   importa [--pasta PASTA] --desfazer [IMPORTACAO] [--forcar]
//   importa [--pasta PASTA] --historico
//
// The log's "linha:" lines and each source's summary go to stdout; progress, the message
// window's texts and errors go to stderr. Exit status: 0 when every record was written, 1 when
// some failed or the operator cancelled with Ctrl-C, 2 when the run stopped on an error (or the
// command line was wrong).

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "import/ImportEngine.h"
#include "import/ImportHost.h"
#include "import/RunHistory.h"
#include "import/RunUndo.h"
#include "store/Connection.h"
#include "util/CodePage.h"
#include "util/Errors.h"
#include "util/FormatSettings.h"
#include "util/Paths.h"
#include "util/ProfileFile.h"

namespace {

using namespace sivaro;

volatile std::sig_atomic_t g_interrupted = 0;

void onInterrupt(int) {
    if (g_interrupted) std::_Exit(130);  // a second Ctrl-C does not wait for the record
    g_interrupted = 1;
}

const char* kUsage =
    "Uso: importa [--pasta PASTA] [--decimal SEP] [--simular] [--todos | ORIGEM...]\n"
    "     importa [--pasta PASTA] --desfazer [IMPORTACAO] [--forcar]\n"
    "     importa [--pasta PASTA] --historico\n"
    "\n"
    "Importa as origens registradas em Definicao.ini na pasta de dados, sem abrir a janela.\n"
    "\n"
    "  --pasta PASTA   pasta de dados (padr\xc3\xa3o: a pasta atual)\n"
    "  --todos         importa todas as origens da se\xc3\xa7\xc3\xa3o [Arquivos], na ordem\n"
    "  ORIGEM...       importa as origens dadas, na ordem dada\n"
    "  --decimal SEP   separador decimal dos valores (padr\xc3\xa3o: o do sistema; use , para\n"
    "                  dados brasileiros num sistema configurado com .)\n"
    "  --simular       ensaia a importa\xc3\xa7\xc3\xa3o inteira (regras, consultas, chaves) sem\n"
    "                  gravar nada: as tabelas mudam s\xc3\xb3 na mem\xc3\xb3ria; mostra o mesmo\n"
    "                  registro e o mesmo resumo de uma importa\xc3\xa7\xc3\xa3o de verdade\n"
    "  --desfazer [IMPORTACAO]\n"
    "                  rep\xc3\xb5"
    "e as tabelas e arquivos como estavam antes da \xc3\xbaltima\n"
    "                  importa\xc3\xa7\xc3\xa3o (ou da dada: o nome da sua pasta em importacoes/)\n"
    "  --forcar        com --desfazer: rep\xc3\xb5"
    "e mesmo o que mudou depois da importa\xc3\xa7\xc3\xa3o\n"
    "  --historico     lista as importa\xc3\xa7\xc3\xb5"
    "es guardadas em importacoes/\n"
    "  --ajuda         mostra esta ajuda\n"
    "\n"
    "Antes de gravar, cada importa\xc3\xa7\xc3\xa3o guarda os arquivos anteriores das tabelas que\n"
    "altera em importacoes/{data-hora}/ (as 10 \xc3\xbaltimas; veja [Importacoes] no README), e\n"
    "os registros com erro de cada origem v\xc3\xa3o para {origem}.falhas.txt na pasta de dados,\n"
    "que, corrigido, se importa de novo como uma origem de mesmo leiaute.\n"
    "LimiteFalhas=N em [{origem}.opcoes] interrompe a origem no N-\xc3\xa9simo registro com erro.\n"
    "As linhas \"linha:\" dos registros com erro e o resumo de cada origem saem na sa\xc3\xad"
    "da\n"
    "padr\xc3\xa3o; o progresso e as mensagens, na sa\xc3\xad"
    "da de erros.\n"
    "Sa\xc3\xad"
    "da: 0 quando todos os registros foram gravados, 1 quando algum falhou,\n"
    "2 quando a importa\xc3\xa7\xc3\xa3o parou por um erro (ou o desfazer foi recusado).\n";

std::string out(const std::string& cp1252) {
    return cp1252ToUtf8(cp1252);
}

std::string formatSeconds(double seconds) {
    const long s = static_cast<long>(seconds + 0.5);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld", s / 3600, (s / 60) % 60, s % 60);
    return buf;
}

class BatchHost : public ImportHost {
  public:
    BatchHost(std::string folder, std::vector<std::string> sources)
        : m_folder(std::move(folder)),
          m_definitions(resolvePath(m_folder, "Definicao.ini")),
          m_sources(std::move(sources)),
          m_terminal(::isatty(STDERR_FILENO) == 1) {}

    void setEngine(ImportEngine* engine) { m_engine = engine; }
    void setCommandLine(std::string line) { m_commandLine = std::move(line); }
    std::string ranBy() override { return m_commandLine; }
    bool anyFailed() const { return m_failed; }

    std::string dataFolder() override { return m_folder; }
    ProfileFile& definitions() override { return m_definitions; }
    std::vector<std::string> sources() override { return m_sources; }
    int selectedSource() override { return m_sources.empty() ? -1 : 0; }
    bool importAll() override { return true; }

    void gaugeChanged(const Gauge& gauge) override {
        m_gauge = gauge;
        if (!gauge.visible) {
            if (m_terminal && m_drawn) std::cerr << "\r\033[K" << std::flush;
            m_drawn = false;
            return;
        }
        showProgress(false);
    }
    void setImportingLabel(const std::string& text) override {
        m_label = text;
        m_started = std::chrono::steady_clock::now();
        m_lastShown = {};
        if (!m_terminal) std::cerr << out(text) << '\n';
    }
    void setLineCounter(const std::string&) override {}
    void showWarning(const std::string& text) override {
        clearProgress();
        std::cerr << "importa: " << out(text) << '\n';
    }
    void addLogLine(const std::string& line) override {
        clearProgress();
        std::cout << out(line) << '\n';
    }
    int MostraMensagem(const std::string& title, const std::string& text, int, int) override {
        clearProgress();
        std::string shown = text;
        for (char& c : shown)
            if (c == '|') c = '\n';
        std::cerr << "== " << out(title) << " ==\n" << out(shown) << '\n';
        return 1;
    }
    void processMessages() override {
        if (g_interrupted && m_engine != nullptr && !m_engine->cancelled()) {
            clearProgress();
            std::cerr << "Cancelando: a origem atual termina no pr\xc3\xb3ximo registro.\n";
            m_engine->cancel();
        }
    }
    void sourceFinished(const SourceSummary& s) override {
        clearProgress();
        if (!s.imported) return;
        if (s.recordsFailed > 0) m_failed = true;
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.2f", s.seconds);
        std::cout << out(s.source) << ": " << s.linesRead << " linhas lidas, " << s.rowsInserted
                  << " inseridas, " << s.rowsUpdated << " atualizadas, " << s.recordsDropped
                  << " descartadas, " << s.recordsFailed << " com erro, " << seconds << " s\n";
        for (const TableCounts& t : s.tables)
            std::cout << "  " << out(t.table) << ": " << t.inserted << " inseridas, " << t.updated
                      << " atualizadas\n";
        std::cout << std::flush;
    }

  private:
    void clearProgress() {
        if (m_terminal && m_drawn) std::cerr << "\r\033[K" << std::flush;
        m_drawn = false;
    }

    void showProgress(bool force) {
        const auto now = std::chrono::steady_clock::now();
        const auto interval = m_terminal ? std::chrono::milliseconds(100) : std::chrono::seconds(5);
        if (!force && now - m_lastShown < interval) return;
        m_lastShown = now;
        const double elapsed = std::chrono::duration<double>(now - m_started).count();
        const int max = m_gauge.maximum > 0 ? m_gauge.maximum : 1;
        const int pos = m_gauge.position;
        const int percent = static_cast<int>(100.0 * pos / max);
        const double rate = elapsed > 0 ? pos / elapsed : 0;
        const double left = rate > 0 ? (max - pos) / rate : 0;
        char line[200];
        if (m_terminal) {
            const int width = 30;
            const int filled = width * pos / max;
            std::snprintf(line, sizeof line, "\r[%-*s] %3d%%  %.0f linhas/s  restam %s", width,
                          std::string(static_cast<size_t>(filled), '#').c_str(), percent, rate,
                          formatSeconds(left).c_str());
            std::cerr << line << std::flush;
            m_drawn = true;
        } else {
            std::snprintf(line, sizeof line, "%d%% (%d de %d linhas), %.0f linhas/s", percent, pos,
                          m_gauge.maximum, rate);
            std::cerr << out(m_label) << ": " << line << '\n';
        }
    }

    std::string m_folder;
    ProfileFile m_definitions;
    std::vector<std::string> m_sources;
    bool m_terminal;
    ImportEngine* m_engine = nullptr;
    Gauge m_gauge;
    std::string m_label;
    std::chrono::steady_clock::time_point m_started{};
    std::chrono::steady_clock::time_point m_lastShown{};
    bool m_drawn = false;
    bool m_failed = false;
    std::string m_commandLine = "importa";
};

}  // namespace

int main(int argc, char** argv) {
    std::string folder;
    bool all = false;
    bool rehearse = false;
    bool undo = false, force = false, history = false;
    std::string undoRunName;
    std::vector<std::string> sources;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--ajuda" || arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--todos") {
            all = true;
        } else if (arg == "--simular") {
            rehearse = true;
        } else if (arg == "--desfazer") {
            undo = true;
            // The run to undo, when given, follows at once.
            if (i + 1 < argc && argv[i + 1][0] != '-') undoRunName = utf8ToCp1252(argv[++i]);
        } else if (arg == "--forcar") {
            force = true;
        } else if (arg == "--historico") {
            history = true;
        } else if (arg == "--pasta" || arg == "--decimal") {
            if (i + 1 >= argc) {
                std::cerr << "importa: falta o valor de " << arg << "\n\n" << kUsage;
                return 2;
            }
            const std::string value = argv[++i];
            if (arg == "--pasta") {
                folder = utf8ToCp1252(value);
            } else if (value.size() == 1) {
                formatSettings().decimalSeparator = value[0];
            } else {
                std::cerr << "importa: o separador decimal deve ser um caractere, como , ou .\n";
                return 2;
            }
        } else if (!arg.empty() && arg[0] == '-') {
            std::cerr << "importa: op\xc3\xa7\xc3\xa3o desconhecida " << arg << "\n\n" << kUsage;
            return 2;
        } else {
            sources.push_back(utf8ToCp1252(arg));
        }
    }
    const bool importing = !undo && !history;
    if (undo + history + importing > 1 || (!importing && (all || !sources.empty() || rehearse))) {
        std::cerr << "importa: --desfazer e --historico n\xc3\xa3o se combinam entre si nem "
                     "com uma importa\xc3\xa7\xc3\xa3o\n\n"
                  << kUsage;
        return 2;
    }
    if (force && !undo) {
        std::cerr << "importa: --forcar s\xc3\xb3 vale com --desfazer\n\n" << kUsage;
        return 2;
    }
    if (importing && all == !sources.empty()) {
        std::cerr << "importa: d\xc3\xaa --todos ou os nomes das origens\n\n" << kUsage;
        return 2;
    }
    if (folder.empty()) folder = fromOsPath(std::filesystem::current_path());
    std::error_code ec;
    if (!std::filesystem::is_directory(osPath(folder), ec)) {
        std::cerr << "importa: a pasta de dados " << out(folder) << " n\xc3\xa3o existe\n";
        return 2;
    }
    if (history) {
        const std::vector<std::string> lines = historyLines(folder);
        if (lines.empty())
            std::cout << "Nenhuma importa\xc3\xa7\xc3\xa3o guardada em "
                      << out(resolvePath(folder, kHistoryFolder)) << '\n';
        for (const std::string& line : lines) std::cout << out(line) << '\n';
        return 0;
    }
    if (undo) {
        try {
            for (const std::string& line : undoRun(folder, undoRunName, force))
                std::cout << out(line) << '\n';
            std::cout << "Importa\xc3\xa7\xc3\xa3o desfeita.\n";
            return 0;
        } catch (const std::exception& e) {
            std::cerr << "importa: " << out(e.what()) << '\n';
            return 2;
        }
    }

    try {
        if (all) {
            ProfileFile defs(resolvePath(folder, "Definicao.ini"));
            sources = defs.readSection("arquivos");
            if (sources.empty()) {
                std::cerr << "importa: nenhuma origem registrada em [Arquivos] de "
                          << out(resolvePath(folder, "Definicao.ini")) << '\n';
                return 2;
            }
        }
        BatchHost host(folder, sources);
        std::string commandLine = "importa";
        for (int i = 1; i < argc; ++i) commandLine += std::string(" ") + argv[i];
        host.setCommandLine(utf8ToCp1252(commandLine));
        ImportEngine engine(host, openConnection);
        host.setEngine(&engine);
        std::signal(SIGINT, onInterrupt);
        engine.pointCityTable();
        if (rehearse) {
            engine.rehearse();
            std::cerr << "importa: simula\xc3\xa7\xc3\xa3o: nenhuma tabela, contador ou arquivo da "
                         "pasta de dados foi alterado\n";
        } else {
            engine.runSources();
        }
        if (g_interrupted) {
            std::cerr << "importa: importa\xc3\xa7\xc3\xa3o cancelada pelo operador\n";
            return 1;
        }
        return host.anyFailed() ? 1 : 0;
    } catch (const std::exception& e) {
        std::cerr << "\nimporta: a importa\xc3\xa7\xc3\xa3o parou: " << out(e.what()) << '\n';
        return 2;
    }
}
