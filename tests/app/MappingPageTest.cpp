// The page "Gráfico" driven through its controls: registering a source, choosing it, its header
// checked name by name, the preview, the target fields, the options written as they change,
// "Adicionar" and "Remover", each checked by the definitions written and the lists shown.

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ErrorReports.h"
#include "WidgetTestHelpers.h"
#include "WorkbenchDriver.h"
#include "app/MainWindow.h"
#include "app/MappingPage.h"
#include "app/MessageWindow.h"
#include "app/ViewerPage.h"
#include "util/ProfileFile.h"

namespace sivaro {
namespace {

using testing::child;
using testing::choose;
using testing::items;
using testing::MessagesShown;
using testing::readFile;
using testing::registerSource;
using testing::retype;
using testing::select;
using testing::writeFile;

using Rows = std::vector<QStringList>;

const QString kBlank = QStringLiteral(
    " tem um espaco em branco no início no meio ou no final do nome, favor apagar "
    "esse caracter");
const QString kEquals = QStringLiteral(
    " tem um sinal de = no início no meio ou no final do nome, favor apagar esse "
    "caracter");
const QString kNoName = QStringLiteral(" está sem nome, favor colocar um nome");

QString column(int n, const QString& reason) {
    return QStringLiteral("A coluna nº %1").arg(n) + reason;
}

const char* const kTabelas =
    "[Cliente.campos]\r\ncod=\r\nraz=\r\n"
    "[Receber.campos]\r\ncod=\r\ncodcli=\r\n"
    "[ParRec.campos]\r\nNumPar=\r\nvalor=\r\n";

class MappingPage : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = m_dir.path().toStdString();
        std::filesystem::create_directory(path("ini"));
        writeFile(path("ini/tabelas.ini"), kTabelas);
        TfMen::clearAnswers();
        m_form = std::make_unique<TForm2>();
    }
    void TearDown() override { EXPECT_EQ(TfMen::queuedAnswers(), 0u) << "an answer was not used"; }

    std::string path(const std::string& name) const { return m_folder + "/" + name; }
    void openFolder() {
        child<QLineEdit>(*m_form, "eLoc")->setText(QString::fromStdString(m_folder));
    }
    std::string definitions() { return readFile(path("Definicao.ini")); }
    // A folder with one source registered for `tables`, with `more` of the definitions.
    void prepare(const std::string& source, const std::string& text, const std::string& tables,
                 const std::string& more = "") {
        writeFile(path(source), text);
        writeFile(path("Definicao.ini"), "[Arquivos]\r\n" + source + "=" + tables + "\r\n" + more);
        openFolder();
        m_form->eLocChange();  // the same folder again: its sources listed anew
    }
    // The source chosen from the source box's list.
    void show(const std::string& source) { choose(cbTab(), QString::fromStdString(source)); }

    QComboBox* cbTab() { return child<QComboBox>(*m_form, "cbTab"); }
    QComboBox* cbTabDes() { return child<QComboBox>(*m_form, "cbTabDes"); }
    QListWidget* list(const char* name) { return child<QListWidget>(*m_form, name); }
    QStringList columns() { return items(list("lbColOri")); }
    QStringList targets() { return items(list("lbColDes")); }
    QStringList associations() { return items(list("lbColAss")); }
    Rows preview() {
        const sivaro::MappingPage& page = m_form->mappingPage();
        Rows rows;
        for (int r = 0; r < page.previewRowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < page.previewColumnCount(); ++c) row << page.previewCell(r, c);
            rows.push_back(row);
        }
        return rows;
    }
    void adicionar(const QString& from, const QString& to) {
        select(list("lbColOri"), from);
        select(list("lbColDes"), to);
        child<QPushButton>(*m_form, "Button6")->click();
    }

    QTemporaryDir m_dir;
    std::string m_folder;
    std::unique_ptr<TForm2> m_form;
};

TEST_F(MappingPage, HeaderNamesAndPreviewRows) {
    struct Case {
        const char* what;
        std::string text;
        QStringList columns;
        std::vector<QString> messages;
        Rows preview;  // row 0 the header row
    };
    const Case cases[] = {
        {"a TAB at the end yields no column",
         "A\tB\t\r\n1\t2\r\n",
         {"A", "B"},
         {},
         {{"A", "B"}, {"1", "2"}}},
        {"a TAB at the start: a column without a name",
         "\tA\r\nx\ty\r\n",
         {"ERRO", "A"},
         {column(1, kNoName)},
         {{"ERRO", "A"}, {"x", "y"}}},
        {"two words",
         "NOME COMPLETO\tB\n",
         {"ERRO", "B"},
         {column(1, kBlank)},
         {{"ERRO", "B"}, {"", ""}}},
        {"a blank at the start",
         "A\t B\n1\t2\n",
         {"A", "ERRO"},
         {column(2, kBlank)},
         {{"A", "ERRO"}, {"1", "2"}}},
        {"an equals sign",
         "A\tX=Y\n",
         {"A", "ERRO"},
         {column(2, kEquals)},
         {{"A", "ERRO"}, {"", ""}}},
        {"a blank and an equals sign: one message",
         "A\tX = Y\n",
         {"A", "ERRO"},
         {column(2, kBlank)},
         {{"A", "ERRO"}, {"", ""}}},
        {"an empty name in the middle",
         "A\t\tB\n",
         {"A", "ERRO", "B"},
         {column(2, kNoName)},
         {{"A", "ERRO", "B"}, {"", "", ""}}},
        {"an empty first line: no columns, no fields", "\r\n1\t2\r\n", {}, {}, {{}, {}}},
        {"the header alone: one empty row", "A\tB", {"A", "B"}, {}, {{"A", "B"}, {"", ""}}},
        {"an empty line inside the preview",
         "A\tB\r\n1\t2\r\n\r\n3\t4\r\n",
         {"A", "B"},
         {},
         {{"A", "B"}, {"1", "2"}, {"", ""}, {"3", "4"}}},
        {"cells trimmed, cells beyond the header not shown",
         "A\tB\n  x \t\ty\t z\n",
         {"A", "B"},
         {},
         {{"A", "B"}, {"x", ""}}},
        {"Windows-1252 names and values",
         "C\xd3\x44IGO\tDESCRI\xc7\xc3O\n1\tP\xc3O\n",
         {QStringLiteral("CÓDIGO"), QStringLiteral("DESCRIÇÃO")},
         {},
         {{QStringLiteral("CÓDIGO"), QStringLiteral("DESCRIÇÃO")}, {"1", QStringLiteral("PÃO")}}},
        {"Ctrl-Z ends the file",
         "A\tB\r\n1\t2\r\n\x1a\x33\t4\r\n",
         {"A", "B"},
         {},
         {{"A", "B"}, {"1", "2"}}},
        {"a lone CR is dropped", "A\tB\r\n1\r2\t3\r\n", {"A", "B"}, {}, {{"A", "B"}, {"12", "3"}}},
        {"an empty file", "", {}, {}, {{}, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        prepare("dados.txt", c.text, "Cliente");
        MessagesShown messages;
        show("dados.txt");
        EXPECT_EQ(columns(), c.columns);
        EXPECT_EQ(messages.texts(), c.messages);
        for (const MessagesShown::Shown& m : messages.shown) {
            EXPECT_EQ(m.title, QStringLiteral("Coluna com Cabeçalho Inválido"));
            EXPECT_EQ(m.icon, 1);
            EXPECT_EQ(m.buttons, 1);
        }
        EXPECT_EQ(preview(), c.preview);
    }
}

TEST_F(MappingPage, PreviewShowsAtMost501LinesWithColumnsFittedToTheirTexts) {
    std::string text = "COD\tNOME_BEM_MAIS_LONGO_QUE_A_COLUNA\r\n";
    for (int i = 1; i <= 1000; ++i)
        text += std::to_string(i) + "\tnome " + std::to_string(i) + "\r\n";
    prepare("mil.txt", text, "Cliente");
    show("mil.txt");
    const Rows rows = preview();
    ASSERT_EQ(rows.size(), 502u);
    EXPECT_EQ(rows[1], (QStringList{"1", "nome 1"}));
    EXPECT_EQ(rows[501], (QStringList{"501", "nome 501"}));

    auto* grid = child<QTableWidget>(*m_form, "sgVisLis");
    const QFontMetrics metrics(grid->font());
    EXPECT_EQ(grid->columnWidth(0), 64) << "narrower texts leave the default width";
    EXPECT_EQ(grid->columnWidth(1),
              metrics.horizontalAdvance(QStringLiteral("NOME_BEM_MAIS_LONGO_QUE_A_COLUNA")) + 5);
    EXPECT_TRUE(grid->horizontalHeader()->isVisibleTo(grid)) << "row 0 is the fixed header row";
    EXPECT_EQ(grid->horizontalHeader()->height(), 15);
    EXPECT_EQ(grid->rowHeight(500), 15);

    // A value wider than its header widens the column.
    prepare("largo.txt", "A\tB\r\n1\tum valor bem largo para a coluna\r\n", "Cliente");
    show("largo.txt");
    EXPECT_EQ(grid->columnWidth(1),
              metrics.horizontalAdvance(QStringLiteral("um valor bem largo para a coluna")) + 5);
}

TEST_F(MappingPage, TargetFieldsOfEveryTableOfTheList) {
    struct Case {
        const char* tables;
        QStringList fields;
    };
    const Case cases[] = {
        {"Cliente", {"Cliente.cod", "Cliente.raz"}},
        {"Receber,ParRec", {"Receber.cod", "Receber.codcli", "ParRec.NumPar", "ParRec.valor"}},
        {"ParRec,Receber,", {"ParRec.NumPar", "ParRec.valor", "Receber.cod", "Receber.codcli"}},
        {"Mercador", {}},  // a table without a section adds nothing
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tables);
        prepare("dados.txt", "A\r\n", c.tables);
        show("dados.txt");
        EXPECT_EQ(cbTabDes()->currentText(), QString::fromLatin1(c.tables));
        EXPECT_EQ(targets(), c.fields);
    }
    // Chosen from the target table box's list: written, and the page shown again.
    prepare("dados.txt", "A\r\n", "");
    show("dados.txt");
    choose(cbTabDes(), QStringLiteral("Receber,ParRec"));
    EXPECT_EQ(targets(),
              (QStringList{"Receber.cod", "Receber.codcli", "ParRec.NumPar", "ParRec.valor"}));
    EXPECT_EQ(m_form->definitions().readString("Arquivos", "dados.txt", "-"), "Receber,ParRec");
}

TEST_F(MappingPage, TypingASourceNameShowsTheSourceOnceItNamesAFile) {
    prepare("clientes.txt", "COD\tNOME\r\n1\tAna\r\n", "Cliente",
            "[clientes.txt.campos]\r\nCOD=Cliente.cod\r\n");
    const std::string before = definitions();
    QLineEdit* box = cbTab()->lineEdit();
    box->clear();
    std::vector<int> shown;
    for (QChar c : QStringLiteral("clientes.txt")) {
        testing::typeKey(box, c);
        shown.push_back(static_cast<int>(columns().size()));
    }
    std::vector<int> expected(12, 0);
    expected.back() = 2;
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(associations(), QStringList{"COD=Cliente.cod"});
    EXPECT_EQ(cbTabDes()->currentText(), QStringLiteral("Cliente"));
    EXPECT_EQ(child<QPlainTextEdit>(*m_form, "mVisArq")->toPlainText(),
              QStringLiteral("COD\tNOME\n1\tAna"));
    EXPECT_EQ(definitions(), before)
        << "choosing a source with its options unchanged writes nothing";
    // One more key names no file: the page keeps what it shows.
    testing::typeKey(box, QLatin1Char('x'));
    EXPECT_EQ(columns(), (QStringList{"COD", "NOME"}));
}

TEST_F(MappingPage, TypingTargetTablesWritesAndShowsAtEveryKey) {
    prepare("dados.txt", "COD\tNOME COMPLETO\r\n1\tAna\r\n", "");
    {
        MessagesShown messages;
        show("dados.txt");
        EXPECT_EQ(messages.texts(), std::vector<QString>{column(2, kBlank)});
    }
    MessagesShown messages;
    std::vector<std::string> stored;
    std::vector<int> fields;
    const QString typed = QStringLiteral("Receber,ParRec");
    cbTabDes()->lineEdit()->clear();
    for (QChar c : typed) {
        testing::typeKey(cbTabDes()->lineEdit(), c);
        stored.push_back(m_form->definitions().readString("Arquivos", "dados.txt", "-"));
        fields.push_back(static_cast<int>(targets().size()));
    }
    EXPECT_EQ(stored.front(), "R");
    EXPECT_EQ(stored[7], "Receber,");
    EXPECT_EQ(stored.back(), "Receber,ParRec");
    EXPECT_EQ(fields, (std::vector<int>{0, 0, 0, 0, 0, 0, 2, 2, 2, 2, 2, 2, 2, 4}));
    EXPECT_EQ(messages.texts(), std::vector<QString>(typed.size(), column(2, kBlank)))
        << "the faulty header is told at every key";
    EXPECT_EQ(columns(), (QStringList{"COD", "ERRO"}));
}

TEST_F(MappingPage, OptionsAreWrittenAsTheyChange) {
    prepare("dados.txt", "A\r\n", "Cliente");
    show("dados.txt");
    const sivaro::MappingPage& page = m_form->mappingPage();
    ProfileFile& defs = m_form->definitions();
    auto memo = [&] { return child<QPlainTextEdit>(*m_form, "mDef")->toPlainText(); };

    page.cbLimTab->setChecked(true);
    EXPECT_EQ(defs.readString("dados.txt.opcoes", "LimparTabela", "-"), "1");
    EXPECT_TRUE(memo().contains(QStringLiteral("LimparTabela=1"))) << "the memo follows";
    page.cbLimTab->setChecked(false);
    EXPECT_EQ(defs.readString("dados.txt.opcoes", "LimparTabela", "-"), "0");

    page.cbFic->setChecked(true);
    EXPECT_EQ(defs.readString("dados.txt.opcoes", "UmPorLin", "-"), "0");
    EXPECT_EQ(columns(), QStringList{"A"}) << "the columns follow at the next refresh";
    page.cbFic->setChecked(false);
    EXPECT_EQ(defs.readString("dados.txt.opcoes", "UmPorLin", "-"), "1");

    retype(page.eIniReg, QStringLiteral("DOC"));
    EXPECT_EQ(defs.readString("dados.txt.opcoes", "IniReg", "-"), "DOC");
    retype(page.eCamCha, QStringLiteral("cod;raz"));
    EXPECT_EQ(defs.readString("dados.txt.opcoes", "CampoChave", "-"), "cod;raz");

    // A change of the reference line writes "IniReg" again, unchanged.
    defs.deleteKey("dados.txt.opcoes", "IniReg");
    retype(page.eLinRef, QStringLiteral("4"));
    EXPECT_EQ(defs.readString("dados.txt.opcoes", "IniReg", "-"), "DOC");
    EXPECT_EQ(defs.readString("dados.txt.opcoes", "LinRef", "-"), "-") << "not stored";
}

TEST_F(MappingPage, ChoosingASourceWritesBackTheValuesItShows) {
    // The controls keep the previous source's values; those that change write the new ones.
    writeFile(path("ficha.txt"), "DOC 1\r\n");
    writeFile(path("plano.txt"), "A\tB\r\n");
    writeFile(path("Definicao.ini"),
              "[Arquivos]\r\nficha.txt=Receber\r\nplano.txt=Cliente\r\n"
              "[ficha.txt.opcoes]\r\nUmPorLin=0\r\nIniReg=DOC\r\nLimparTabela=5\r\n"
              "CampoChave=cod\r\n"
              "[ficha.txt.campos.linha1]\r\ndoc=5,1\r\n"
              "[ficha.txt.campos]\r\ndoc=Receber.cod\r\n");
    openFolder();
    show("ficha.txt");
    const sivaro::MappingPage& page = m_form->mappingPage();
    EXPECT_TRUE(page.cbFic->isChecked());
    EXPECT_TRUE(page.cbLimTab->isChecked()) << "any integer but 0 ticks it";
    EXPECT_EQ(page.eIniReg->text(), QStringLiteral("DOC"));
    EXPECT_EQ(columns(), QStringList{"doc"}) << "a record-type source lists its layout";
    EXPECT_EQ(associations(), QStringList{"doc=Receber.cod"});
    EXPECT_EQ(m_form->definitions().readString("ficha.txt.opcoes", "LimparTabela", "-"), "5")
        << "written back as 1, the next import would empty the tables";

    show("plano.txt");
    EXPECT_EQ(readFile(path("Definicao.ini"))
                  .substr(readFile(path("Definicao.ini")).find("[plano.txt.opcoes]")),
              "[plano.txt.opcoes]\r\nIniReg=\r\nCampoChave=\r\nLimparTabela=0\r\nUmPorLin=1\r\n");
    EXPECT_EQ(columns(), (QStringList{"A", "B"}));
}

TEST_F(MappingPage, AdicionarAndRemover) {
    prepare("dados.txt", "COD\tNOME\r\n1\tAna\r\n", "Cliente");
    show("dados.txt");
    adicionar("COD", "Cliente.cod");
    adicionar("NOME", "Cliente.raz");
    EXPECT_EQ(associations(), (QStringList{"COD=Cliente.cod", "NOME=Cliente.raz"}));
    EXPECT_EQ(m_form->definitions().readSection("dados.txt.campos"),
              (std::vector<std::string>{"COD", "NOME"}));

    // The same column again: the definitions keep the last target, and so does the list.
    adicionar("COD", "Cliente.raz");
    EXPECT_EQ(m_form->definitions().readString("dados.txt.campos", "COD", ""), "Cliente.raz");
    EXPECT_EQ(associations(), (QStringList{"COD=Cliente.raz", "NOME=Cliente.raz"}));

    select(list("lbColAss"), QStringLiteral("COD=Cliente.raz"));
    child<QPushButton>(*m_form, "Button7")->click();
    EXPECT_EQ(associations(), QStringList{"NOME=Cliente.raz"});
    EXPECT_EQ(m_form->definitions().readSection("dados.txt.campos"),
              std::vector<std::string>{"NOME"});

    // Chosen again, the page shows what the definitions hold.
    show("dados.txt");
    EXPECT_EQ(associations(), QStringList{"NOME=Cliente.raz"});
}

TEST_F(MappingPage, AdicionarAndRemoverWithoutASelectionAreRefused) {
    prepare("dados.txt", "COD\tNOME\r\n", "Cliente", "[dados.txt.campos]\r\nNOME=Cliente.raz\r\n");
    show("dados.txt");
    struct Case {
        const char* what;
        const char* column;  // nullptr: nothing selected
        const char* target;
        const char* button;
    };
    const Case cases[] = {
        {"no source column", nullptr, "Cliente.cod", "Button6"},
        {"no target field", "COD", nullptr, "Button6"},
        {"neither", nullptr, nullptr, "Button6"},
        {"no association", nullptr, nullptr, "Button7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* name : {"lbColOri", "lbColDes", "lbColAss"}) list(name)->clearSelection();
        if (c.column) select(list("lbColOri"), QString::fromLatin1(c.column));
        if (c.target) select(list("lbColDes"), QString::fromLatin1(c.target));
        const std::string before = definitions();
        MessagesShown messages;
        child<QPushButton>(*m_form, c.button)->click();
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].icon, 3);
        EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("Selecione")))
            << messages.shown[0].text.toStdString();
        EXPECT_EQ(definitions(), before);
        EXPECT_EQ(associations(), QStringList{"NOME=Cliente.raz"});
    }
}

TEST_F(MappingPage, WithTheSourceBoxEmpty) {
    prepare("dados.txt", "COD\r\n", "Cliente");
    show("dados.txt");
    cbTab()->setEditText(QString());
    const std::string before = definitions();
    retype(cbTabDes(), QStringLiteral("Marca"));
    EXPECT_EQ(definitions(), before) << "the target table box writes nothing";

    adicionar("COD", "Cliente.cod");
    EXPECT_EQ(m_form->definitions().readString(".campos", "COD", ""), "Cliente.cod");
    retype(m_form->mappingPage().eCamCha, QStringLiteral("cod"));
    EXPECT_EQ(m_form->definitions().readString(".opcoes", "CampoChave", ""), "cod");
}

TEST_F(MappingPage, AMissingSourceLeavesThePageAsItWas) {
    prepare("dados.txt", "COD\tNOME\r\n1\tAna\r\n", "Cliente");
    show("dados.txt");
    std::filesystem::remove(path("dados.txt"));
    cbTab()->setEditText(QString());
    retype(cbTab(), QStringLiteral("dados.txt"));
    choose(cbTab(), QStringLiteral("dados.txt"));
    EXPECT_EQ(columns(), (QStringList{"COD", "NOME"}));
    EXPECT_EQ(preview(), (Rows{{"COD", "NOME"}, {"1", "Ana"}}));
}

TEST_F(MappingPage, AnUnreadableSourceIsReported) {
    prepare("dados.txt", "COD\tNOME\r\n", "Cliente");
    if (::geteuid() == 0) {
        // The superuser reads every file; this one fails to read whoever asks.
        std::filesystem::remove(path("dados.txt"));
        std::filesystem::create_symlink("/proc/self/mem", path("dados.txt"));
    } else {
        std::filesystem::permissions(path("dados.txt"), std::filesystem::perms::none);
    }
    testing::ErrorReports reports;
    show("dados.txt");
    ASSERT_EQ(reports.shown.size(), 1u);
    EXPECT_TRUE(reports.shown[0].text.contains(QStringLiteral("dados.txt")));
    EXPECT_TRUE(columns().isEmpty());
}

TEST_F(MappingPage, AWriteTheSystemRefusesIsReportedAndStopsTheHandler) {
    prepare("dados.txt", "COD\tNOME\r\n", "Cliente");
    show("dados.txt");
    // The page keeps the source while the folder box names a folder that does not exist.
    child<QLineEdit>(*m_form, "eLoc")->setText(QString::fromStdString(path("sumiu")));
    testing::ErrorReports reports;
    adicionar("COD", "Cliente.cod");
    ASSERT_EQ(reports.shown.size(), 1u);
    EXPECT_TRUE(reports.shown[0].text.startsWith(QStringLiteral("Unable to write to ")))
        << reports.shown[0].text.toStdString();
    EXPECT_TRUE(associations().isEmpty()) << "nothing listed that was not written";
}

TEST_F(MappingPage, RegisteringASource) {
    writeFile(path("Definicao.ini"), "[Arquivos]\r\nclientes.txt=Cliente\r\n");
    writeFile(path("clientes.txt"), "COD\tNOME\r\n1\tJos\xe9\r\n");
    openFolder();
    // Chosen in another folder, read from the data folder.
    const std::string elsewhere = path("outra");
    std::filesystem::create_directory(elsewhere);
    writeFile(elsewhere + "/clientes.txt", "outro texto\r\n");
    registerSource(*m_form, QString::fromStdString(elsewhere + "/clientes.txt"));
    EXPECT_EQ(m_form->definitions().readString("Arquivos", "clientes.txt", "-"), "")
        << "registered again, it loses its target tables";
    EXPECT_EQ(items(cbTab()), QStringList{"clientes.txt"}) << "listed once";
    EXPECT_EQ(cbTab()->currentText(), QStringLiteral("clientes.txt"));
    EXPECT_EQ(child<QPlainTextEdit>(*m_form, "mVisArq")->toPlainText(),
              QStringLiteral("COD\tNOME\n1\tJosé"));
    EXPECT_TRUE(columns().isEmpty()) << "the page is not refreshed";

    // A cancelled dialog does nothing.
    const std::string before = definitions();
    registerSource(*m_form, QString());
    EXPECT_EQ(definitions(), before);

    // A file that is not in the data folder is registered, and the viewer says it is missing.
    writeFile(elsewhere + "/novo.txt", "A\r\n");
    testing::ErrorReports reports;
    registerSource(*m_form, QString::fromStdString(elsewhere + "/novo.txt"));
    EXPECT_EQ(m_form->definitions().readString("Arquivos", "novo.txt", "-"), "");
    EXPECT_EQ(items(cbTab()), (QStringList{"clientes.txt", "novo.txt"}));
    ASSERT_EQ(reports.shown.size(), 1u);
    EXPECT_TRUE(reports.shown[0].text.contains(QStringLiteral("novo.txt")));
    EXPECT_EQ(child<QPlainTextEdit>(*m_form, "mVisArq")->toPlainText(),
              QStringLiteral("COD\tNOME\n1\tJosé"))
        << "the viewer keeps its text";
}

}  // namespace
}  // namespace sivaro
