// The import run from the workbench window: "Importa", "Cancelar", "Todos", the gauge, the labels
// and the log, on a temporary data folder with real tables.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <QAction>
#include <QKeySequence>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ErrorReports.h"
#include "FolderSnapshot.h"
#include "WidgetTestHelpers.h"
#include "app/ErrorReport.h"
#include "app/MainWindow.h"
#include "app/MessageWindow.h"
#include "app/WorkbenchHost.h"
#include "barcode/paint/TVxBarcode.h"
#include "store/TableCreate.h"
#include "store/TableStore.h"
#include "util/FormatSettings.h"

namespace sivaro {
namespace {

using testing::child;
using testing::writeFile;

// Runs `probe` at every pass of the window's event loop, that is once a record while an import
// lets the window's events through.
class EveryPass {
  public:
    explicit EveryPass(std::function<void()> probe) {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, probe);
        m_timer.start();
    }

  private:
    QTimer m_timer;
};

// Source lines: a header "D<TAB>V" and one line "<prefix><n><TAB><value>" for each value.
std::string source(const std::string& prefix, const std::vector<std::string>& values) {
    std::string text = "D\tV\r\n";
    for (size_t i = 0; i < values.size(); ++i)
        text += prefix + std::to_string(i + 1) + "\t" + values[i] + "\r\n";
    return text;
}

class WindowImport : public ::testing::Test {
  protected:
    void SetUp() override {
        m_saved = formatSettings();
        formatSettings().decimalSeparator = ',';
        TfMen::clearAnswers();
        freshFolder();
    }
    void TearDown() override {
        m_form.reset();
        formatSettings() = m_saved;
        EXPECT_EQ(TfMen::queuedAnswers(), 0u) << "an answer was not used";
    }

    // A new data folder with an empty brand table, and a new window.
    void freshFolder() {
        m_form.reset();
        m_dir = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(m_dir->isValid());
        m_folder = m_dir->path().toStdString();
        std::filesystem::create_directory(m_folder + "/db");
        px::createTable(m_folder + "/db/Marca.db",
                        px::parseSchema("cod\t+\t4\t*\nmar\tA\t40\nvalor\tN\t8\nqtd\tI\t4\n"));
        m_form = std::make_unique<TForm2>();
    }

    // Registers the sources (name, text) for the table Marca, mapping D to mar and V to valor,
    // with `extra` added to the definitions, and opens the folder.
    void prepare(const std::vector<std::pair<std::string, std::string>>& sources,
                 const std::string& extra = "") {
        std::string ini = "[Arquivos]\r\n";
        for (const auto& [name, text] : sources) ini += name + "=Marca\r\n";
        for (const auto& [name, text] : sources) {
            ini += "[" + name + ".campos]\r\nD=Marca.mar\r\nV=Marca.valor\r\n";
            writeFile(m_folder + "/" + name, text);
        }
        writeFile(m_folder + "/Definicao.ini", ini + extra);
        child<QLineEdit>(*m_form, "eLoc")->setText(QString::fromStdString(m_folder));
    }
    void select(int index) { child<QComboBox>(*m_form, "cbTab")->setCurrentIndex(index); }
    void todos(bool ticked) { child<QCheckBox>(*m_form, "cbImpTot")->setChecked(ticked); }
    void importa() { child<QPushButton>(*m_form, "Button1")->click(); }
    void cancelar() { child<QPushButton>(*m_form, "Button2")->click(); }
    int counter() { return child<QProgressBar>(*m_form, "st")->value(); }
    QString lTab() { return child<QLabel>(*m_form, "lTab")->text(); }
    QString lLin() { return child<QLabel>(*m_form, "lLin")->text(); }
    // The log's lines without the warning every run gives first (ARunWarnsThatTheProduct...).
    QStringList log() {
        const QString text = child<QPlainTextEdit>(*m_form, "Memo1")->toPlainText();
        QStringList lines = text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
        lines.removeIf(
            [](const QString& l) { return l.startsWith(QStringLiteral("Aviso: feche")); });
        return lines;
    }

    // The brands stored, in code order.
    std::vector<std::string> brands() {
        std::unique_ptr<TableStore> store = createParadoxStore();
        std::unique_ptr<Table> table = store->createTable();
        table->setDatabaseName(m_folder + "/db");
        table->setTableName("Marca.db");
        table->open();
        std::vector<std::string> rows;
        for (table->first(); !table->eof(); table->next())
            rows.push_back(table->fieldByName("mar").asString());
        table->close();
        return rows;
    }

    FormatSettings m_saved;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::string m_folder;
    std::unique_ptr<TForm2> m_form;
};

TEST_F(WindowImport, ImportsTheSelectedSourceWithItsLogAndProgress) {
    // Line 3 has a field more than the header; line 4 a value the number field refuses.
    prepare({{"marcas.txt", "D\tV\r\nAcme\t1,5\r\nBeta\t2\tX\r\nGama\tabc\r\n\r\nDelta\t\r\n"}});
    select(0);
    std::vector<std::string> asked;
    QString counterBehindTheMessage;
    int gaugeBehindTheMessage = 0;
    TfMen::queueAnswer([&](TfMen& w) {
        asked.push_back(w.titleLabel()->text().toStdString() + "|" +
                        w.textLabel()->text().simplified().toStdString());
        counterBehindTheMessage = lLin();
        gaugeBehindTheMessage = counter();
        w.done(1);
    });
    struct Seen {
        int maximum;
        bool shown;
    };
    std::vector<Seen> seen;
    {
        EveryPass probe([&] {
            if (!m_form->importRunning()) return;
            auto* st = child<QProgressBar>(*m_form, "st");
            seen.push_back({st->maximum(), !st->isHidden()});
        });
        importa();
    }
    EXPECT_EQ(brands(), (std::vector<std::string>{"Acme", "Beta", "Delta"}));
    EXPECT_EQ(log(), QStringList{QStringLiteral(
                         "linha:4 'abc' is not a valid floating point value for field 'valor'")});
    // Every run warns once, at the head of its lines, that the product must be closed.
    const QStringList memo =
        child<QPlainTextEdit>(*m_form, "Memo1")->toPlainText().split(QLatin1Char('\n'));
    EXPECT_EQ(memo.filter(QStringLiteral("Aviso: feche o SIVARO PLUS")).size(), 1);
    EXPECT_TRUE(memo.value(0).startsWith(QStringLiteral("Aviso: feche o SIVARO PLUS")));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0],
              "Erro ao importar|Favor verificar a linha 3 pois deve ter caracteres estranhos");
    EXPECT_EQ(counterBehindTheMessage, QStringLiteral("3")) << "the line the message names";
    EXPECT_EQ(gaugeBehindTheMessage, 3);
    EXPECT_EQ(lTab(), QStringLiteral("Importando: marcas.txt"));
    // The gauge counts the five lines after the header, and shows from the first record on.
    ASSERT_GE(seen.size(), 5u);
    for (const Seen& x : seen) {
        EXPECT_EQ(x.maximum, 5);
        EXPECT_TRUE(x.shown);
    }
    // The last line is counted as the fifth too.
    EXPECT_EQ(lLin(), QStringLiteral("5"));
    EXPECT_TRUE(child<QProgressBar>(*m_form, "st")->isHidden()) << "hidden at the end";
    EXPECT_EQ(m_form->cityTableFolder(), m_folder + "/db");
    EXPECT_FALSE(m_form->importRunning());
}

TEST_F(WindowImport, CancelarDuringTheRunStopsAtTheNextRecord) {
    std::vector<std::string> values(40, "1");
    values[1] = "abc";   // fails before the cancel
    values[10] = "xyz";  // would fail after it
    prepare({{"muitas.txt", source("M", values)}});
    select(0);
    child<QPlainTextEdit>(*m_form, "Memo1")->setPlainText(QStringLiteral("de antes"));
    int passes = 0;
    bool cancelEnabled = false;
    {
        EveryPass probe([&] {
            if (!m_form->importRunning()) return;
            // The fourth pass is the record under the counter 5.
            if (++passes == 4) {
                cancelEnabled = child<QPushButton>(*m_form, "Button2")->isEnabled();
                cancelar();  // does nothing on a disabled button
            }
        });
        importa();
    }
    EXPECT_TRUE(cancelEnabled);
    // The records under counters 2, 3 and 4 ran; the cancel was seen right after counter 5.
    EXPECT_EQ(passes, 4);
    EXPECT_EQ(brands(), (std::vector<std::string>{"M1", "M3"}));
    EXPECT_EQ(log(), (QStringList{QStringLiteral("de antes"),
                                  QStringLiteral("linha:3 'abc' is not a valid floating point "
                                                 "value for field 'valor'")}))
        << "the log keeps what it held and gets nothing after the cancel";
    EXPECT_EQ(lLin(), QStringLiteral("5"));
    EXPECT_TRUE(child<QProgressBar>(*m_form, "st")->isHidden()) << "the source ended normally";
    EXPECT_TRUE(m_form->cancelRequested());

    // The next "Importa" clears the flag and runs the whole source again.
    importa();
    EXPECT_FALSE(m_form->cancelRequested());
    EXPECT_EQ(brands().size(), 2u + 38u);
}

TEST_F(WindowImport, SettingsAreLockedDuringARunAndComeBack) {
    prepare({{"a.txt", source("A", {"1", "2", "3"})}});
    select(0);
    // A control that was disabled before the run is no business of the run.
    child(*m_form, "eLinRef")->setEnabled(false);
    struct Row {
        const char* name;
        bool enabledDuringRun;
    };
    const Row rows[] = {
        {"eLoc", false},    {"cbTab", false},       {"Button8", false},  {"cbTabDes", false},
        {"eCamCha", false}, {"cbLimTab", false},    {"cbFic", false},    {"eIniReg", false},
        {"eLinRef", false}, {"lbColOri", false},    {"lbColDes", false}, {"lbColAss", false},
        {"Button6", false}, {"Button7", false},     {"Button3", false},  {"Button4", false},
        {"Button1", false}, {"Button2", true},      {"cbImpTot", true},  {"bFec", true},
        {"Memo1", true},    {"mDef", true},         {"sgVisLis", true},  {"mVisArq", true},
        {"eNomMem", true},  {"PageControl1", true},
    };
    std::map<std::string, bool> during;
    {
        EveryPass probe([&] {
            if (!m_form->importRunning() || !during.empty()) return;
            for (const Row& r : rows) during[r.name] = child(*m_form, r.name)->isEnabled();
        });
        importa();
    }
    ASSERT_FALSE(during.empty());
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(during[r.name], r.enabledDuringRun);
        EXPECT_EQ(child(*m_form, r.name)->isEnabled(), std::string(r.name) != "eLinRef");
    }
    EXPECT_EQ(brands().size(), 3u);
}

TEST_F(WindowImport, AnErrorStopsTheRunIsReportedAndGivesTheControlsBack) {
    // The default of b.txt is refused by the integer field "qtd" before the record's guarded
    // part: the run stops in the middle of b.txt and c.txt is never reached.
    prepare({{"a.txt", source("A", {"1", "2"})},
             {"b.txt", source("B", {"1", "2"})},
             {"c.txt", source("C", {"1"})}},
            "[b.txt.valordefault]\r\nqtd=muitos\r\n");
    todos(true);
    testing::ErrorReports reports;
    bool enabledWhileShown = false;
    bool gaugeShownWhileShown = false;
    reports.whileShown = [&] {
        enabledWhileShown = child(*m_form, "Button1")->isEnabled() &&
                            child(*m_form, "eLoc")->isEnabled() &&
                            child(*m_form, "Button3")->isEnabled();
        gaugeShownWhileShown = !child<QProgressBar>(*m_form, "st")->isHidden();
    };
    importa();
    ASSERT_EQ(reports.shown.size(), 1u);
    EXPECT_EQ(reports.shown[0].icon, QMessageBox::Critical);
    EXPECT_EQ(reports.shown[0].text,
              QStringLiteral("'muitos' is not a valid integer value for field 'qtd'"));
    EXPECT_TRUE(enabledWhileShown) << "the controls are back when the report shows";
    EXPECT_TRUE(gaugeShownWhileShown);
    EXPECT_FALSE(child<QProgressBar>(*m_form, "st")->isHidden()) << "the gauge stays shown";
    EXPECT_EQ(lTab(), QStringLiteral("Importando: b.txt"));
    EXPECT_EQ(brands(), (std::vector<std::string>{"A1", "A2"}));
    EXPECT_EQ(log(), QStringList());
    EXPECT_FALSE(m_form->importRunning());
    for (const char* name : {"eLoc", "cbTab", "Button8", "Button1", "Button3", "lbColAss"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(child(*m_form, name)->isEnabled());
    }
}

TEST_F(WindowImport, AMissingTargetTableStopsTheRunWithItsName) {
    writeFile(m_folder + "/x.txt", source("X", {"1"}));
    writeFile(m_folder + "/Definicao.ini", "[Arquivos]\r\nx.txt=Sumida\r\n");
    child<QLineEdit>(*m_form, "eLoc")->setText(QString::fromStdString(m_folder));
    select(0);
    testing::ErrorReports reports;
    importa();
    ASSERT_EQ(reports.shown.size(), 1u);
    EXPECT_NE(reports.shown[0].text.indexOf(QStringLiteral("Sumida")), -1)
        << reports.shown[0].text.toStdString();
    EXPECT_TRUE(child(*m_form, "Button1")->isEnabled());
}

TEST_F(WindowImport, TodosAndTheSelectedSource) {
    struct Case {
        const char* what;
        bool todos;
        int selected;
        const char* untickDuring;  // source during which "Todos" is unticked
        const char* cancelDuring;  // source during which "Cancelar" is pressed
        std::vector<std::string> stored;
        const char* lastLabel;
    };
    const Case cases[] = {
        {"Todos starts at the first source whatever is selected",
         true,
         1,
         nullptr,
         nullptr,
         {"A1", "A2", "B1", "B2", "B3", "C1"},
         "Importando: c.txt"},
        {"without Todos only the selected source",
         false,
         1,
         nullptr,
         nullptr,
         {"B1", "B2", "B3"},
         "Importando: b.txt"},
        {"without Todos and no selection nothing",
         false,
         -1,
         nullptr,
         nullptr,
         {},
         "Importando: ..."},
        {"unticking Todos ends the run after the current source",
         true,
         0,
         "a.txt",
         nullptr,
         {"A1", "A2"},
         "Importando: a.txt"},
        {"Cancelar during a Todos run imports no further source",
         true,
         0,
         nullptr,
         "b.txt",
         {"A1", "A2"},
         "Importando: b.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        freshFolder();
        prepare({{"a.txt", source("A", {"1", "2"})},
                 {"b.txt", source("B", {"1", "2", "3"})},
                 {"c.txt", source("C", {"1"})}});
        select(c.selected);
        todos(c.todos);
        {
            EveryPass probe([&] {
                if (!m_form->importRunning()) return;
                const QString importing = lTab();
                if (c.untickDuring &&
                    importing == QStringLiteral("Importando: ") + QLatin1String(c.untickDuring))
                    todos(false);
                if (c.cancelDuring &&
                    importing == QStringLiteral("Importando: ") + QLatin1String(c.cancelDuring))
                    cancelar();
            });
            importa();
        }
        EXPECT_EQ(brands(), c.stored);
        EXPECT_EQ(lTab(), QString::fromLatin1(c.lastLabel));
    }
}

TEST_F(WindowImport, ClosingDuringARunCancelsItAndClosesAtItsEnd) {
    prepare(
        {{"a.txt", source("A", std::vector<std::string>(20, "1"))}, {"b.txt", source("B", {"1"})}});
    todos(true);
    m_form->show();
    bool visibleAfterClose = false;
    {
        int passes = 0;
        EveryPass probe([&] {
            if (!m_form->importRunning() || ++passes != 3) return;
            child<QPushButton>(*m_form, "bFec")->click();
            visibleAfterClose = m_form->isVisible();
        });
        importa();
    }
    EXPECT_TRUE(visibleAfterClose) << "the window waits for the run";
    EXPECT_FALSE(m_form->isVisible()) << "and closes when it has ended";
    EXPECT_EQ(brands(), (std::vector<std::string>{"A1", "A2"}));
    EXPECT_TRUE(child<QProgressBar>(*m_form, "st")->isHidden());
    EXPECT_FALSE(m_form->importRunning());
}

TEST_F(WindowImport, TheEngineCorrectsCodesWithTheWindowsBarcode) {
    px::createTable(m_folder + "/db/Mercador.db",
                    px::parseSchema("cod\t+\t4\t*\ncodsecmer\tI\t4\nCodEan\tA\t13\n"));
    px::createTable(m_folder + "/db/secmer.db", px::parseSchema("cod\t+\t4\t*\nsecmer\tA\t40\n"));
    writeFile(m_folder + "/m.txt", "EAN\r\n7891234567890\r\n");
    writeFile(m_folder + "/Definicao.ini",
              "[Arquivos]\r\nm.txt=Mercador\r\n[m.txt.campos]\r\nEAN=Mercador.CodEan\r\n");
    child<QLineEdit>(*m_form, "eLoc")->setText(QString::fromStdString(m_folder));
    select(0);
    // What follows a merchandise import (marking the newest row of each code) may report an
    // error of its own; the code was corrected before it.
    testing::ErrorReports reports;
    importa();
    EXPECT_EQ(log(), QStringList());
    EXPECT_EQ(m_form->barcode().Data(), "7891234567895");
}

TEST_F(WindowImport, TheGaugeFollowsTheEngine) {
    WorkbenchHost host(*m_form);
    auto* st = child<QProgressBar>(*m_form, "st");
    struct Case {
        Gauge gauge;
        int minimum, maximum, value;
        bool shown;
    };
    const Case cases[] = {
        {{0, 4, 1, true}, 0, 4, 1, true},
        {{0, 4, 4, true}, 0, 4, 4, true},
        {{0, 4, 2, false}, 0, 4, 2, false},
        // A header-only source: nothing to count, an empty bar rather than a busy one.
        {{0, 0, 0, true}, 0, 1, 0, true},
        {{0, 1000000, 999999, true}, 0, 1000000, 999999, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gauge.maximum);
        host.gaugeChanged(c.gauge);
        host.showProgress();
        EXPECT_EQ(st->minimum(), c.minimum);
        EXPECT_EQ(st->maximum(), c.maximum);
        EXPECT_EQ(st->value(), c.value);
        EXPECT_EQ(!st->isHidden(), c.shown);
    }
}

TEST_F(WindowImport, ProgressIsRedrawnInBatchesButAStartOrEndShowsAtOnce) {
    WorkbenchHost host(*m_form);
    auto* st = child<QProgressBar>(*m_form, "st");
    auto* memo = child<QPlainTextEdit>(*m_form, "Memo1");
    host.gaugeChanged({0, 10, 1, true});  // a source starts
    EXPECT_FALSE(st->isHidden());
    EXPECT_EQ(st->value(), 1);

    host.gaugeChanged({0, 10, 2, true});
    host.setLineCounter("2");
    host.addLogLine("linha:2 um");
    host.gaugeChanged({0, 10, 3, true});
    host.setLineCounter("3");
    host.addLogLine("linha:3 dois \xe7");
    EXPECT_EQ(st->value(), 1) << "records in between wait for the next redraw";
    EXPECT_EQ(lLin(), QStringLiteral("."));
    EXPECT_EQ(memo->toPlainText(), QString());
    host.showProgress();
    EXPECT_EQ(st->value(), 3);
    EXPECT_EQ(lLin(), QStringLiteral("3"));
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("linha:2 um\nlinha:3 dois ç"));

    host.setLineCounter("4");
    host.gaugeChanged({0, 10, 4, false});  // the source ends
    EXPECT_TRUE(st->isHidden());
    EXPECT_EQ(lLin(), QStringLiteral("4"));
}

TEST_F(WindowImport, AClickReachesARunWhoseWindowHadNothingToDo) {
    // Between records the window's events run at once while they keep coming; a window that had
    // nothing to deliver is looked at again a few milliseconds later, so a click that arrives
    // then still reaches the run.
    WorkbenchHost host(*m_form);
    for (int i = 0; i < 3; ++i) host.processMessages();
    bool clicked = false;
    QMetaObject::invokeMethod(
        m_form.get(), [&] { clicked = true; }, Qt::QueuedConnection);
    const auto start = std::chrono::steady_clock::now();
    while (!clicked && std::chrono::steady_clock::now() - start < std::chrono::seconds(10))
        host.processMessages();
    EXPECT_TRUE(clicked);
}

TEST_F(WindowImport, TheSourceImportedIsTheOneTheBoxShows) {
    prepare({{"a.txt", "D\r\n"}, {"b.txt", "D\r\n"}, {"c.txt", "D\r\n"}});
    WorkbenchHost host(*m_form);
    auto* cbTab = child<QComboBox>(*m_form, "cbTab");
    struct Case {
        int selected;
        const char* shown;
        int source;
    };
    const Case cases[] = {
        {1, "b.txt", 1},  {-1, "", -1}, {-1, "b.txt", 1},  // typed, not picked
        {0, "b.txt", 1},                                   // picked a.txt, then typed another name
        {0, "outro", -1},                                  // a name that is not registered
        {2, "B.TXT", 1},  // registered names are matched without regard to case
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        cbTab->setCurrentIndex(c.selected);
        cbTab->setEditText(QString::fromLatin1(c.shown));
        EXPECT_EQ(host.selectedSource(), c.source);
    }
    EXPECT_EQ(host.sources(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
}

TEST(ErrorReportText, FinishesASentenceOnce) {
    struct Case {
        std::string message;
        QString shown;
    };
    const Case cases[] = {
        {"Table not found", QStringLiteral("Table not found.")},
        {"Layout inv\xe1lido", QStringLiteral("Layout inválido.")},
        {"Erro na linha 12", QStringLiteral("Erro na linha 12.")},
        {"J\xe1 termina.", QStringLiteral("Já termina.")},
        {"Field 'qtd'", QStringLiteral("Field 'qtd'")},
        {"Existe?", QStringLiteral("Existe?")},
        {"(fim)", QStringLiteral("(fim)")},
        {"", QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(errorReportText(c.message), c.shown);
    }
}

TEST_F(WindowImport, SimularOnTheContextMenuOfImportaRehearsesAndChangesNoFile) {
    prepare({{"marcas.txt", source("M", {"1", "abc", "2"})}});
    select(0);
    auto* importa = child<QPushButton>(*m_form, "Button1");
    EXPECT_EQ(importa->contextMenuPolicy(), Qt::ActionsContextMenu);
    EXPECT_EQ(importa->geometry(), QRect(89, 208, 75, 25)) << "the layout stays";
    QAction* simula = nullptr;
    for (QAction* a : importa->actions())
        if (a->objectName() == QStringLiteral("acSimula")) simula = a;
    ASSERT_NE(simula, nullptr);
    EXPECT_EQ(simula->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+S")));

    const testing::FolderSnapshot before = testing::snapshotFolder(m_folder);
    simula->trigger();
    EXPECT_EQ(testing::folderChanges(before, testing::snapshotFolder(m_folder)), "");
    EXPECT_EQ(log(),
              (QStringList{QStringLiteral("linha:3 'abc' is not a valid floating point value for "
                                          "field 'valor'"),
                           QString::fromUtf8("Simulação de marcas.txt: Marca 2 inseridas, 0 "
                                             "atualizadas; 1 com erro"),
                           QString::fromUtf8("Simulação: nenhuma tabela, contador ou arquivo da "
                                             "pasta de dados foi alterado.")}));
    EXPECT_TRUE(brands().empty());
    // The warning of a real run is not given: nothing is written.
    EXPECT_FALSE(child<QPlainTextEdit>(*m_form, "Memo1")
                     ->toPlainText()
                     .contains(QStringLiteral("Aviso: feche")));
}

TEST_F(WindowImport, DoubleClickOnALinhaLineShowsThatLineOfTheSource) {
    std::vector<std::string> values(30, "1");
    values[24] = "abc";  // line 26 of the file
    prepare({{"marcas.txt", source("M", values)}});
    select(0);
    importa();
    auto* memo = child<QPlainTextEdit>(*m_form, "Memo1");
    const QTextBlock failed = memo->document()->find(QStringLiteral("linha:26 ")).block();
    ASSERT_TRUE(failed.isValid()) << memo->toPlainText().toStdString();
    struct Case {
        QTextBlock block;
        bool shows;
    };
    const Case cases[] = {{memo->document()->firstBlock(), false}, {failed, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.block.text().toStdString());
        auto* pages = child<QTabWidget>(*m_form, "PageControl1");
        pages->setCurrentIndex(1);
        const QPoint at = memo->cursorRect(QTextCursor(c.block)).center();
        QMouseEvent click(QEvent::MouseButtonDblClick, at, memo->viewport()->mapToGlobal(at),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(memo->viewport(), &click);
        EXPECT_EQ(pages->currentWidget()->objectName() == QStringLiteral("TabSheet4"), c.shows);
        if (!c.shows) continue;
        auto* viewer = child<QPlainTextEdit>(*m_form, "mVisArq");
        EXPECT_EQ(viewer->textCursor().blockNumber(), 25);
        EXPECT_EQ(viewer->textCursor().selectedText(), QStringLiteral("M25\tabc"));
        auto* box = child<QScrollArea>(*m_form, "sbVisFic");
        const int y = viewer->cursorRect().center().y();
        EXPECT_GE(y, box->verticalScrollBar()->value());
        EXPECT_LE(y, box->verticalScrollBar()->value() + box->viewport()->height());
    }
}

TEST_F(WindowImport, EveryLineOfAManyFailuresLogShowsItsSourceLine) {
    // Failures that come faster than the log is redrawn share the memo's paragraphs.
    std::vector<std::string> values(400, "abc");
    prepare({{"marcas.txt", source("M", values)}});
    select(0);
    importa();
    auto* memo = child<QPlainTextEdit>(*m_form, "Memo1");
    const QStringList lines = memo->toPlainText().split(QLatin1Char('\n'));
    EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral("^linha:\\d+ "))).size(), 400);
    EXPECT_LT(memo->document()->blockCount(), 400);
    auto* pages = child<QTabWidget>(*m_form, "PageControl1");
    auto* viewer = child<QPlainTextEdit>(*m_form, "mVisArq");
    for (const int line : {2, 17, 250, 399}) {
        SCOPED_TRACE(line);
        pages->setCurrentIndex(1);
        QTextCursor at = memo->document()->find(QStringLiteral("linha:%1 ").arg(line));
        ASSERT_FALSE(at.isNull());
        at.setPosition(at.selectionStart());
        memo->setTextCursor(at);
        memo->ensureCursorVisible();
        const QPoint point = memo->cursorRect(at).center();
        QMouseEvent click(QEvent::MouseButtonDblClick, point, memo->viewport()->mapToGlobal(point),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(memo->viewport(), &click);
        EXPECT_EQ(pages->currentWidget()->objectName(), QStringLiteral("TabSheet4"));
        EXPECT_EQ(viewer->textCursor().blockNumber(), line - 1);
        EXPECT_EQ(viewer->textCursor().selectedText(), QStringLiteral("M%1\tabc").arg(line - 1));
    }
}

}  // namespace
}  // namespace sivaro
