#pragma once
// The workbench window as the import engine's host: the folder, the definitions and the source
// list come from its controls, the progress goes to the gauge `st` and the labels `lTab` and
// `lLin`, the log to `Memo1`, messages to the message window, and pending window events run
// between records so that "Cancelar" and "Todos" reach a running import: at every record while
// they keep coming, and a few milliseconds after the last pass when that pass found none. The
// gauge, the line counter and new log lines are shown a few times a second, not at every record:
// drawing them at every record would cost many times what the import itself does.

#include <QString>

#include <chrono>
#include <string>
#include <vector>

#include "import/ImportHost.h"

namespace sivaro {

class TForm2;

class WorkbenchHost : public ImportHost {
  public:
    explicit WorkbenchHost(TForm2& form) : m_form(form) {}

    std::string dataFolder() override;
    ProfileFile& definitions() override;
    std::vector<std::string> sources() override;
    // The item of `cbTab` whose name the box shows (the selected one, or the one typed); -1 when
    // the box shows no registered source.
    int selectedSource() override;
    bool importAll() override;

    void gaugeChanged(const Gauge& gauge) override;
    void setImportingLabel(const std::string& text) override;
    void setLineCounter(const std::string& text) override;
    void addLogLine(const std::string& line) override;
    // At the head of the run's lines in the log.
    void showWarning(const std::string& text) override { addLogLine(text); }
    void recordFailed(const std::string& logLine, const std::string& source,
                      std::int64_t line) override;
    // A rehearsed source tells in the log what each target table would receive.
    void sourceFinished(const SourceSummary& summary) override;
    int MostraMensagem(const std::string& title, const std::string& text, int iconKind,
                       int buttonSet) override;
    void processMessages() override;

    // Shows the gauge, the line counter and the log as the engine last gave them.
    void showProgress();

  private:
    void showGauge(const Gauge& gauge);

    TForm2& m_form;
    Gauge m_gauge;
    std::string m_counter;
    QString m_log;  // lines not yet in the memo, each ended by a line break
    int m_logLines = 0;
    bool m_gaugePending = false;
    bool m_counterPending = false;
    std::chrono::steady_clock::time_point m_shownAt{};
    std::chrono::steady_clock::time_point m_passedAt{};  // the last pass over the window's events
    bool m_eventsFlowing = false;                        // that pass delivered something
};

}  // namespace sivaro
