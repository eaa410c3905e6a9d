// The example folder's delimited source receber.txt and record-type source relatorio_pagar.txt
// prepared from nothing through the window's controls alone (no Definicao.ini to start from),
// imported with "Importa", against the same sources imported by the batch command with the
// prepared definitions: the definitions and the tables must come out the same.

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "RunCommand.h"
#include "WidgetTestHelpers.h"
#include "WorkbenchDriver.h"
#include "app/MainWindow.h"
#include "app/MappingPage.h"
#include "app/MessageWindow.h"
#include "util/FormatSettings.h"
#include "util/ProfileFile.h"

namespace sivaro {
namespace {

namespace fs = std::filesystem;
using testing::bin;
using testing::child;
using testing::choose;
using testing::MessagesShown;
using testing::Output;
using testing::retype;
using testing::run;

std::vector<std::string> linesStartingWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

struct Mapping {
    const char* column;
    const char* target;
};

// What the example's definitions say of the two sources, in their order.
const Mapping kReceber[] = {
    {"CLIENTE", "Receber.codcli"},       {"DOCUMENTO", "Receber.documento"},
    {"EMISSAO", "Receber.datemi"},       {"VALOR_BRUTO", "Receber.valbru"},
    {"VALOR_LIQUIDO", "Receber.valliq"}, {"PARCELA", "ParRec.NumPar"},
    {"VENCIMENTO", "ParRec.datven"},     {"PAGAMENTO", "ParRec.DatPag"},
    {"FORMA", "ParRec.CodForPag"},       {"VALOR_PARCELA", "ParRec.valor"},
};

struct LayoutField {
    const char* name;
    int line;  // of the record, from 1
    int start, length;
};
const LayoutField kLayout[] = {
    {"documento", 1, 12, 14}, {"fornecedor", 1, 39, 5}, {"emissao", 1, 55, 10},
    {"bruto", 2, 14, 12},     {"liquido", 2, 45, 12},   {"vencimento", 3, 13, 10},
    {"pagamento", 3, 36, 16}, {"parcela", 3, 63, 2},
};
const Mapping kPagar[] = {
    {"documento", "Pagar.documento"}, {"fornecedor", "Pagar.codfor"},
    {"emissao", "Pagar.datemi"},      {"bruto", "Pagar.valbru"},
    {"liquido", "Pagar.valliq"},      {"vencimento", "ParPag.datven"},
    {"pagamento", "ParPag.DatPag"},   {"parcela", "ParPag.NumPar"},
};
// The viewer line of the first record's "DOCUMENTO:" line.
constexpr int kFirstRecordLine = 4;

class PrepareExample : public ::testing::Test {
  protected:
    void SetUp() override {
        m_saved = formatSettings();
        formatSettings().decimalSeparator = ',';
        m_root =
            fs::temp_directory_path() / ("sivaro-prepare-example-" + std::to_string(::getpid()));
        fs::remove_all(m_root);
        fs::create_directories(m_root);
        TfMen::clearAnswers();
    }
    void TearDown() override {
        formatSettings() = m_saved;
        fs::remove_all(m_root);
    }
    fs::path prepareFolder(const std::string& name) {
        const fs::path folder = m_root / name;
        const Output made = run("PXTOOL=" + bin("pxtool") + " " + SIVARO_SOURCE_DIR +
                                "/scripts/example-folder '" + folder.string() + "' 2>&1");
        EXPECT_EQ(0, made.code) << made.text;
        return folder;
    }

    FormatSettings m_saved;
    fs::path m_root;
};

void adicionar(TForm2& form, const Mapping& m) {
    testing::select(child<QListWidget>(form, "lbColOri"), QString::fromLatin1(m.column));
    testing::select(child<QListWidget>(form, "lbColDes"), QString::fromLatin1(m.target));
    child<QPushButton>(form, "Button6")->click();
}

// A line typed at the end of the definitions memo, then "Salvar".
void addLineAndSave(TForm2& form, const QString& line) {
    auto* memo = child<QPlainTextEdit>(form, "mDef");
    memo->moveCursor(QTextCursor::End);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QCoreApplication::sendEvent(memo, &enter);
    testing::typeText(memo, line);
    child<QPushButton>(form, "Button3")->click();
}

TEST_F(PrepareExample, FromNothingThroughTheWindowImportsAsThePreparedDefinitions) {
    const fs::path prepared = prepareFolder("preparada");
    const fs::path window = prepareFolder("janela");
    fs::remove(window / "Definicao.ini");

    const Output batch = run(bin("importa") + " --pasta '" + prepared.string() +
                             "' --decimal , receber.txt relatorio_pagar.txt 2>&1");
    ASSERT_LE(batch.code, 1) << batch.text;

    TForm2 form;
    child<QLineEdit>(form, "eLoc")->setText(QString::fromStdString(window.string()));
    const MappingPage& page = form.mappingPage();

    // The delimited source: registered, its tables chosen, its columns mapped.
    testing::registerSource(form, QString::fromStdString((window / "receber.txt").string()));
    choose(page.cbTabDes, QStringLiteral("Receber,ParRec"));
    for (const Mapping& m : kReceber) adicionar(form, m);

    // The record-type source: its first line is no header, as the window says once.
    testing::registerSource(form,
                            QString::fromStdString((window / "relatorio_pagar.txt").string()));
    {
        MessagesShown messages;
        choose(page.cbTabDes, QStringLiteral("Pagar,ParPag"));
        EXPECT_EQ(messages.shown.size(), 1u);
    }
    page.cbFic->click();
    retype(page.eIniReg, QStringLiteral("DOCUMENTO:"));
    // The lines of a record have no control of their own: typed into the definitions.
    addLineAndSave(form, QStringLiteral("NumLinReg=3"));
    choose(child<QComboBox>(form, "cbTab"), QStringLiteral("relatorio_pagar.txt"));
    retype(page.eLinRef, QString::number(kFirstRecordLine));
    for (const LayoutField& f : kLayout) {
        testing::selectInViewer(form, kFirstRecordLine + f.line - 1, f.start, f.length);
        testing::inserir(form, QString::fromLatin1(f.name));
    }
    for (const Mapping& m : kPagar) adicionar(form, m);

    // The definitions hold what the prepared ones say of both sources.
    const ProfileFile want((prepared / "Definicao.ini").string());
    const ProfileFile got((window / "Definicao.ini").string());
    for (const char* source : {"receber.txt", "relatorio_pagar.txt"}) {
        SCOPED_TRACE(source);
        EXPECT_EQ(got.readString("Arquivos", source, "-"), want.readString("Arquivos", source, ""));
        std::vector<std::string> sections = {".campos", ".opcoes"};
        for (int n = 1; n <= 3; ++n) sections.push_back(".campos.linha" + std::to_string(n));
        for (const std::string& part : sections) {
            const std::string section = source + part;
            EXPECT_EQ(got.readSection(section).size() >= want.readSection(section).size(), true)
                << section;
            for (const std::string& key : want.readSection(section))
                EXPECT_EQ(got.readString(section, key, "-"), want.readString(section, key, ""))
                    << section << " " << key;
        }
    }

    // Imported from the window: the same rows, the same log.
    child<QCheckBox>(form, "cbImpTot")->setChecked(true);
    {
        MessagesShown messages;
        child<QPushButton>(form, "Button1")->click();
    }
    const QString log = child<QPlainTextEdit>(form, "Memo1")->toPlainText();
    EXPECT_EQ(linesStartingWith(log.toStdString(), "linha:"),
              linesStartingWith(batch.text, "linha:"));
    for (const char* table : {"db/Receber.db", "db/ParRec.db", "db/Pagar.db", "db/ParPag.db"}) {
        SCOPED_TRACE(table);
        const Output a = run(bin("pxtool") + " dump '" + (prepared / table).string() + "' 2>&1");
        const Output b = run(bin("pxtool") + " dump '" + (window / table).string() + "' 2>&1");
        ASSERT_EQ(a.code, 0) << a.text;
        EXPECT_GT(std::count(a.text.begin(), a.text.end(), '\n'), 1) << "rows were imported";
        EXPECT_EQ(b.text, a.text);
    }
}

}  // namespace
}  // namespace sivaro
