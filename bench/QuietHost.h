#pragma once
// An import host for the benchmarks: imports one source of a folder, prints the first log lines
// and every message to stderr, and keeps the source's summary and the last log lines.

#include <iostream>
#include <string>
#include <vector>

#include "import/ImportHost.h"
#include "util/CodePage.h"
#include "util/Paths.h"
#include "util/ProfileFile.h"

namespace sivaro {

class QuietHost : public ImportHost {
  public:
    QuietHost(std::string folder, std::string source)
        : m_folder(std::move(folder)),
          m_source(std::move(source)),
          m_defs(joinPath(m_folder, "Definicao.ini")) {}

    std::string dataFolder() override { return m_folder; }
    ProfileFile& definitions() override { return m_defs; }
    std::vector<std::string> sources() override { return {m_source}; }
    int selectedSource() override { return 0; }
    bool importAll() override { return false; }
    void gaugeChanged(const Gauge&) override {}
    void setImportingLabel(const std::string&) override {}
    void setLineCounter(const std::string&) override {}
    void addLogLine(const std::string& line) override {
        if (++logged <= 3) std::cerr << "log: " << cp1252ToUtf8(line) << '\n';
        if (lastLines.size() == 3) lastLines.erase(lastLines.begin());
        lastLines.push_back(line);
    }
    int MostraMensagem(const std::string&, const std::string& text, int, int) override {
        std::cerr << "message: " << text << '\n';
        return 1;
    }
    void processMessages() override {}
    void sourceFinished(const SourceSummary& s) override { summary = s; }

    SourceSummary summary;
    long logged = 0;
    std::vector<std::string> lastLines;

  private:
    std::string m_folder;
    std::string m_source;
    ProfileFile m_defs;
};

}  // namespace sivaro
