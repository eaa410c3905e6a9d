#pragma once
// An ImportHost for tests: records the log, the messages and the gauge, answers every message
// with its first button, and can press "Cancelar" or untick "Todos" when the line counter
// reaches a given value.

#include <string>
#include <vector>

#include "import/ImportEngine.h"
#include "import/ImportHost.h"
#include "util/Paths.h"
#include "util/ProfileFile.h"

namespace sivaro::testing {

class TestHost : public ImportHost {
  public:
    explicit TestHost(std::string folder)
        : m_folder(std::move(folder)), m_definitions(resolvePath(m_folder, "Definicao.ini")) {}

    std::vector<std::string> sourceList;
    int selected = 0;
    bool all = true;
    int cancelAtCounter = 0;     // "Cancelar" when the counter reaches it (0: never)
    int untickAllAtCounter = 0;  // "Todos" unticked when the counter reaches it (0: never)
    ImportEngine* engine = nullptr;

    std::vector<std::string> log;
    std::vector<std::string> messages;  // "title|text"
    std::vector<SourceSummary> summaries;
    std::vector<std::string> labels;
    Gauge gauge;
    int maxGaugeMaximum = 0;

    std::string dataFolder() override { return m_folder; }
    ProfileFile& definitions() override { return m_definitions; }
    std::vector<std::string> sources() override { return sourceList; }
    int selectedSource() override { return selected; }
    bool importAll() override { return all; }
    void gaugeChanged(const Gauge& g) override {
        gauge = g;
        if (g.maximum > maxGaugeMaximum) maxGaugeMaximum = g.maximum;
    }
    void setImportingLabel(const std::string& text) override { labels.push_back(text); }
    void setLineCounter(const std::string&) override {}
    void addLogLine(const std::string& line) override { log.push_back(line); }
    int MostraMensagem(const std::string& title, const std::string& text, int, int) override {
        messages.push_back(title + "|" + text);
        return 1;
    }
    void processMessages() override {
        if (cancelAtCounter > 0 && gauge.position >= cancelAtCounter && engine != nullptr)
            engine->cancel();
        if (untickAllAtCounter > 0 && gauge.position >= untickAllAtCounter) all = false;
    }
    void sourceFinished(const SourceSummary& s) override { summaries.push_back(s); }

  private:
    std::string m_folder;
    ProfileFile m_definitions;
};

}  // namespace sivaro::testing
