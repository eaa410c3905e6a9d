// importa: runs the import of a prepared data folder without a window.
//
//   importa [--pasta PASTA] [--decimal SEP] [--simular] [--todos | ORIGEM...]
//   importa [--pasta PASTA] --desfazer [IMPORTACAO] [--forcar]
//   importa [--pasta PASTA] --historico
//   importa --ajuda | --versao
//
// The log's "linha:" lines and each source's summary go to stdout; progress, the message
// window's texts and errors go to stderr, with one line for each source not imported. Exit
// status: 0 when every record was written, 1 when some failed, a source was refused or a source
// named on the command line does not exist (the other sources are imported all the same), or the
// operator cancelled with Ctrl-C, 2 when the run stopped on an error (or the command line was
// wrong).

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
#include "util/MessageKinds.h"
#include "util/NumberText.h"
#include "util/Paths.h"
#include "util/ProfileFile.h"
#include "util/Version.h"

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
    "  --pasta PASTA   pasta de dados (padrão: a pasta atual)\n"
    "  --todos         importa todas as origens da seção [Arquivos], na ordem\n"
    "  ORIGEM...       importa as origens dadas, na ordem dada\n"
    "  --decimal SEP   separador decimal dos valores (padrão: o do sistema; use , para\n"
    "                  dados brasileiros num sistema configurado com .)\n"
    "  --simular       ensaia a importação inteira (regras, consultas, chaves) sem\n"
    "                  gravar nada: as tabelas mudam só na memória; mostra o mesmo\n"
    "                  registro e o mesmo resumo de uma importação de verdade\n"
    "  --desfazer [IMPORTACAO]\n"
    "                  repõe as tabelas e arquivos como estavam antes da última\n"
    "                  importação (ou da dada: o nome da sua pasta em importacoes/)\n"
    "  --forcar        com --desfazer: repõe mesmo o que mudou depois da importação\n"
    "  --historico     lista as importações guardadas em importacoes/\n"
    "  --ajuda         mostra esta ajuda\n"
    "  --versao        mostra a versão\n"
    "\n"
    "Antes de gravar, cada importação guarda os arquivos anteriores das tabelas que\n"
    "altera em importacoes/{data-hora}/ (as 10 últimas; veja [Importacoes] no README), e\n"
    "os registros com erro de cada origem vão para {origem}.falhas.txt na pasta de dados,\n"
    "que, corrigido, se importa de novo como uma origem de mesmo leiaute.\n"
    "LimiteFalhas=N em [{origem}.opcoes] interrompe a origem no N-ésimo registro com erro.\n"
    "As linhas \"linha:\" dos registros com erro e o resumo de cada origem saem na saída\n"
    "padrão; o progresso e as mensagens, na saída de erros.\n"
    "Uma origem recusada (Campo Chave sem coluna associada, nome que sai da pasta, sem\n"
    "tabela de destino) ou dada na linha de comando e inexistente ganha uma linha na saída\n"
    "de erros com o nome e o motivo; as demais origens são importadas assim mesmo.\n"
    "Saída: 0 quando todos os registros foram gravados, 1 quando algum falhou ou alguma\n"
    "origem foi recusada ou não existe, 2 quando a importação parou por um erro\n"
    "(ou o desfazer foi recusado).\n";

std::string out(const std::string& cp1252) {
    return cp1252ToUtf8(cp1252);
}

std::string formatSeconds(double seconds) {
    const long s = static_cast<long>(seconds + 0.5);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld", s / 3600, (s / 60) % 60, s % 60);
    return buf;
}

// The system's decimal separator, for the times shown; --decimal is the sources' own.
char g_systemPoint = '.';

class BatchHost : public ImportHost {
  public:
    BatchHost(std::string folder, std::vector<std::string> sources)
        : m_folder(std::move(folder)),
          m_definitions(resolvePath(m_folder, "Definicao.ini")),
          m_sources(std::move(sources)),
          m_terminal(::isatty(STDERR_FILENO) == 1) {}

    void setEngine(ImportEngine* engine) { m_engine = engine; }
    // Sources named on the command line: one that does not exist is an error, while one
    // registered in [Arquivos] without its file is passed over, as the window does.
    void setSourcesNamed(bool named) { m_named = named; }
    bool anyNotImported() const { return m_notImported; }
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
        return kAnswerYes;
    }
    void processMessages() override {
        if (g_interrupted && m_engine != nullptr && !m_engine->cancelled()) {
            clearProgress();
            std::cerr << "Cancelando: a origem atual termina no próximo registro.\n";
            m_engine->cancel();
        }
    }
    void sourceFinished(const SourceSummary& s) override {
        clearProgress();
        if (!s.imported) {
            if (!s.refusal.empty()) {
                std::cerr << "importa: " << out(s.refusal) << '\n';
                m_notImported = true;
            } else if (s.missing && m_named) {
                std::cerr << "importa: a origem " << out(s.source) << " não existe em "
                          << out(m_folder) << '\n';
                m_notImported = true;
            } else if (s.missing) {
                std::cerr << "importa: a origem " << out(s.source)
                          << ", registrada em [Arquivos], não existe em " << out(m_folder)
                          << ": passada adiante\n";
            }
            return;
        }
        if (s.recordsFailed > 0) m_failed = true;
        // Not printf: painting a barcode sets the C library's locale from the desktop midway.
        const std::string seconds = fixedText(s.seconds, 2, g_systemPoint);
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
    bool m_named = false;
    bool m_notImported = false;
    std::string m_commandLine = "importa";
};

}  // namespace

int main(int argc, char** argv) {
    g_systemPoint = formatSettings().decimalSeparator;
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
        } else if (arg == "--versao" || arg == "--version") {
            std::cout << "importa " << kVersion << '\n';
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
            std::cerr << "importa: opção desconhecida " << arg << "\n\n" << kUsage;
            return 2;
        } else {
            sources.push_back(utf8ToCp1252(arg));
        }
    }
    const bool importing = !undo && !history;
    if (undo + history + importing > 1 || (!importing && (all || !sources.empty() || rehearse))) {
        std::cerr << "importa: --desfazer e --historico não se combinam entre si nem "
                     "com uma importação\n\n"
                  << kUsage;
        return 2;
    }
    if (force && !undo) {
        std::cerr << "importa: --forcar só vale com --desfazer\n\n" << kUsage;
        return 2;
    }
    if (importing && all == !sources.empty()) {
        std::cerr << "importa: dê --todos ou os nomes das origens\n\n" << kUsage;
        return 2;
    }
    if (folder.empty()) folder = fromOsPath(std::filesystem::current_path());
    std::error_code ec;
    if (!std::filesystem::is_directory(osPath(folder), ec)) {
        std::cerr << "importa: a pasta de dados " << out(folder) << " não existe\n";
        return 2;
    }
    if (history) {
        const std::vector<std::string> lines = historyLines(folder);
        if (lines.empty())
            std::cout << "Nenhuma importação guardada em "
                      << out(resolvePath(folder, kHistoryFolder)) << '\n';
        for (const std::string& line : lines) std::cout << out(line) << '\n';
        return 0;
    }
    if (undo) {
        try {
            for (const std::string& line : undoRun(folder, undoRunName, force))
                std::cout << out(line) << '\n';
            std::cout << "Importação desfeita.\n";
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
        host.setSourcesNamed(!all);
        std::string commandLine = "importa";
        for (int i = 1; i < argc; ++i) commandLine += std::string(" ") + argv[i];
        host.setCommandLine(utf8ToCp1252(commandLine));
        ImportEngine engine(host, openConnection);
        host.setEngine(&engine);
        std::signal(SIGINT, onInterrupt);
        engine.pointCityTable();
        if (rehearse) {
            engine.rehearse();
            std::cerr << "importa: simulação: nenhuma tabela, contador ou arquivo da "
                         "pasta de dados foi alterado\n";
        } else {
            engine.runSources();
        }
        if (g_interrupted) {
            std::cerr << "importa: importação cancelada pelo operador\n";
            return 1;
        }
        return host.anyFailed() || host.anyNotImported() ? 1 : 0;
    } catch (const std::exception& e) {
        std::cerr << "\nimporta: a importação parou: " << out(e.what()) << '\n';
        return 2;
    }
}
