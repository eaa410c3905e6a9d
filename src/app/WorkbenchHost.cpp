#include "app/WorkbenchHost.h"

#include <QAbstractEventDispatcher>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>

#include "app/EngineText.h"
#include "app/LabelSize.h"
#include "app/LeftColumn.h"
#include "app/LogMemo.h"
#include "app/MainWindow.h"
#include "app/MessageWindow.h"
#include "util/Cp1252Literal.h"
#include "util/Paths.h"

namespace sivaro {

std::string WorkbenchHost::dataFolder() {
    return m_form.dataFolder();
}

ProfileFile& WorkbenchHost::definitions() {
    return m_form.definitions();
}

std::vector<std::string> WorkbenchHost::sources() {
    std::vector<std::string> names;
    const QComboBox* box = m_form.leftColumn().cbTab;
    names.reserve(static_cast<size_t>(box->count()));
    for (int i = 0; i < box->count(); ++i) names.push_back(toEngine(box->itemText(i)));
    return names;
}

int WorkbenchHost::selectedSource() {
    // The box keeps its text across a change of folder and takes typing: the run imports the
    // source whose name the operator sees, never one selected earlier under another text.
    const QComboBox* box = m_form.leftColumn().cbTab;
    const QString shown = box->currentText();
    const int selected = box->currentIndex();
    if (selected >= 0 && box->itemText(selected).compare(shown, Qt::CaseInsensitive) == 0)
        return selected;
    // Registered names are keys of the definitions, matched without regard to case.
    return box->findText(shown, Qt::MatchFixedString);
}

bool WorkbenchHost::importAll() {
    return m_form.leftColumn().cbImpTot->isChecked();
}

void WorkbenchHost::gaugeChanged(const Gauge& gauge) {
    m_gauge = gauge;
    m_gaugePending = true;
    // A source that starts or ends shows at once.
    if (gauge.visible == m_form.leftColumn().st->isHidden()) showProgress();
}

void WorkbenchHost::setImportingLabel(const std::string& text) {
    showProgress();
    setAutoSizedText(m_form.leftColumn().lTab, fromEngine(text));
}

void WorkbenchHost::setLineCounter(const std::string& text) {
    m_counter = text;
    m_counterPending = true;
}

void WorkbenchHost::recordFailed(const std::string& logLine, const std::string& source,
                                 std::int64_t line) {
    m_form.noteFailedLine(logLine, source, line);
}

void WorkbenchHost::sourceFinished(const SourceSummary& summary) {
    if (!summary.rehearsal || !summary.imported) return;
    std::string line = "Simulação de "_cp1252 + summary.source + ":";
    for (std::size_t i = 0; i < summary.tables.size(); ++i)
        line += std::string(i ? ";" : "") + " " + summary.tables[i].table + " " +
                std::to_string(summary.tables[i].inserted) + " inseridas, " +
                std::to_string(summary.tables[i].updated) + " atualizadas";
    addLogLine(line + "; " + std::to_string(summary.recordsFailed) + " com erro");
}

void WorkbenchHost::addLogLine(const std::string& line) {
    appendFromEngine(m_log, line);
    m_log += QLatin1Char('\n');
    ++m_logLines;
}

int WorkbenchHost::MostraMensagem(const std::string& title, const std::string& text, int iconKind,
                                  int buttonSet) {
    // The counter behind the window is the one its text speaks of.
    showProgress();
    return sivaro::MostraMensagem(title, text, static_cast<std::uint16_t>(iconKind),
                                  static_cast<std::uint16_t>(buttonSet));
}

void WorkbenchHost::processMessages() {
    constexpr auto kRedrawEvery = std::chrono::milliseconds(50);
    constexpr auto kQuietPassEvery = std::chrono::milliseconds(10);
    const auto now = std::chrono::steady_clock::now();
    bool drawn = false;
    if ((m_gaugePending || m_counterPending || !m_log.isEmpty()) &&
        now - m_shownAt >= kRedrawEvery) {
        showProgress();
        drawn = true;
    }
    // A pass over the window's events costs a system call and the event machinery, more than a
    // small record's own import. While the window has events to deliver (input, timers, posted
    // work) a pass runs at every record, as long as the last one delivered something; once a pass
    // finds nothing, the next runs when a few milliseconds have gone by, or at once when the
    // progress has just changed, so a click or a key is still seen within a blink.
    if (drawn || m_eventsFlowing || now - m_passedAt >= kQuietPassEvery) {
        QAbstractEventDispatcher* events = QAbstractEventDispatcher::instance();
        m_eventsFlowing = events != nullptr && events->processEvents(QEventLoop::AllEvents);
        m_passedAt = now;
    }
}

void WorkbenchHost::showProgress() {
    if (m_gaugePending) showGauge(m_gauge);
    if (m_counterPending) {
        const QString counter = fromEngine(m_counter);
        if (m_form.leftColumn().lLin->text() != counter)
            setAutoSizedText(m_form.leftColumn().lLin, counter);
    }
    if (!m_log.isEmpty()) {
        appendLogLines(*m_form.leftColumn().Memo1, m_log, m_logLines);
        m_logLines = 0;
    }
    m_gaugePending = false;
    m_counterPending = false;
    m_shownAt = std::chrono::steady_clock::now();
}

void WorkbenchHost::showGauge(const Gauge& gauge) {
    QProgressBar* st = m_form.leftColumn().st;
    // An empty range would turn the bar into a busy indicator: a gauge with nothing to count
    // shows an empty bar instead.
    const bool counts = gauge.maximum > gauge.minimum;
    const int minimum = counts ? gauge.minimum : 0;
    const int maximum = counts ? gauge.maximum : 1;
    if (st->minimum() != minimum || st->maximum() != maximum) st->setRange(minimum, maximum);
    st->setValue(counts ? gauge.position : 0);
    if (gauge.visible == st->isHidden()) {
        // Shown when a source has been prepared, which is when the engine pointed the city
        // table at the folder's tables.
        if (gauge.visible) m_form.m_cityFolder = resolvePath(m_form.dataFolder(), "db");
        st->setVisible(gauge.visible);
    }
}

}  // namespace sivaro
