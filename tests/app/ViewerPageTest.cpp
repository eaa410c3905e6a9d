// The page "Visualizar Arquivo": the source's text in the viewer, the caret labels, "Inserir"
// storing layout entries, and a large file shown a window at a time.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

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
using testing::inserir;
using testing::items;
using testing::MessagesShown;
using testing::readFile;
using testing::retype;
using testing::selectInViewer;
using testing::writeFile;

// A record-type source: a title, then records of three lines from line 12 on.
std::string report(int records) {
    std::string text;
    for (int i = 0; i < 12; ++i) text += "cabecalho " + std::to_string(i) + "\r\n";
    for (int r = 0; r < records; ++r) {
        text += "DOC " + std::to_string(1000 + r) + "\r\n";
        text += "  valor 12,34\r\n";
        text += "cidade Sao Paulo\r\n";
    }
    return text;
}

class Viewer : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = m_dir.path().toStdString();
        TfMen::clearAnswers();
        m_form = std::make_unique<TForm2>();
    }
    void TearDown() override { EXPECT_EQ(TfMen::queuedAnswers(), 0u) << "an answer was not used"; }

    std::string path(const std::string& name) const { return m_folder + "/" + name; }
    // A record-type source registered and chosen, with `reference` as the reference line.
    void showReport(const std::string& text, const QString& reference) {
        writeFile(path("ficha.txt"), text);
        writeFile(path("Definicao.ini"),
                  "[Arquivos]\r\nficha.txt=Receber\r\n[ficha.txt.opcoes]\r\nUmPorLin=0\r\n");
        child<QLineEdit>(*m_form, "eLoc")->setText(QString::fromStdString(m_folder));
        choose(child<QComboBox>(*m_form, "cbTab"), QStringLiteral("ficha.txt"));
        retype(m_form->mappingPage().eLinRef, reference);
    }
    QString label(const char* name) { return child<QLabel>(*m_form, name)->text(); }
    QPlainTextEdit* viewer() { return child<QPlainTextEdit>(*m_form, "mVisArq"); }
    QStringList columns() { return items(child<QListWidget>(*m_form, "lbColOri")); }

    QTemporaryDir m_dir;
    std::string m_folder;
    std::unique_ptr<TForm2> m_form;
};

TEST_F(Viewer, ShowsTheSourceAsText) {
    showReport(
        "a\r\nb\rc\nTAB\tx\r\nA\xe7\xfa\x63\x61r\r\n\x1a"
        "depois\r\n",
        QString());
    EXPECT_EQ(viewer()->toPlainText(), QStringLiteral("a\nbc\nTAB\tx\nAçúcar"));
    EXPECT_EQ(viewer()->font().family(), QStringLiteral("Courier New"));
    EXPECT_EQ(viewer()->font().pixelSize(), 11);
    EXPECT_EQ(viewer()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(viewer()->size(), QSize(30000, 10000));
}

TEST_F(Viewer, InserirStoresTheSelectionUnderTheLineOfTheRecord) {
    struct Case {
        const char* what;
        QString reference;
        std::int64_t line;
        int column, length;
        QString name;
        const char* section;  // nullptr: refused, nothing written
        const char* entry;
        bool listed;
    };
    const Case cases[] = {
        {"reference 12, caret on 14", "12", 14, 7, 5, "cid", "ficha.txt.campos.linha3", "7,5",
         true},
        {"the first line of the record", "12", 12, 0, 8, "doc", "ficha.txt.campos.linha1", "0,8",
         true},
        {"nothing selected", "12", 13, 2, 0, "val", "ficha.txt.campos.linha2", "2,0", true},
        {"the same name again replaces it", "12", 14, 8, 4, "cid", "ficha.txt.campos.linha3", "8,4",
         true},
        {"no reference line counts as 0", "", 2, 1, 3, "cab", "ficha.txt.campos.linha3", "1,3",
         true},
        {"a line above 50: stored, not listed", "0", 60, 0, 3, "fundo", "ficha.txt.campos.linha61",
         "0,3", false},
        {"the name without its blanks", "12", 12, 4, 4, "  num ", "ficha.txt.campos.linha1", "4,4",
         true},
        {"an empty name is refused", "12", 14, 7, 5, "", nullptr, nullptr, false},
        {"a blank name is refused", "12", 14, 7, 5, "   ", nullptr, nullptr, false},
        {"a line above the reference is refused", "12", 11, 0, 3, "acima", nullptr, nullptr, false},
    };
    showReport(report(30), QStringLiteral("12"));
    ProfileFile& defs = m_form->definitions();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        retype(m_form->mappingPage().eLinRef, c.reference);
        selectInViewer(*m_form, c.line, c.column, c.length);
        // "Inserir" at once, before the timer's next tick: the selection as it is now.
        const std::string before = readFile(path("Definicao.ini"));
        MessagesShown messages;
        inserir(*m_form, c.name);
        EXPECT_EQ(label("lLinMem"), QString::number(c.line));
        EXPECT_EQ(label("lColMem"), QString::number(c.column));
        EXPECT_EQ(label("lTamMem"), QString::number(c.length));
        if (c.section == nullptr) {
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0].icon, 3);
            EXPECT_EQ(readFile(path("Definicao.ini")), before);
            continue;
        }
        EXPECT_TRUE(messages.shown.empty());
        const std::string name = QString(c.name).trimmed().toStdString();
        EXPECT_EQ(defs.readString(c.section, name, "-"), c.entry);
        EXPECT_EQ(columns().contains(QString::fromStdString(name)), c.listed);
    }
    // The layout listing: lines 1 to 50 in order, a name captured in two lines listed twice.
    EXPECT_EQ(columns(), (QStringList{"doc", "num", "val", "cid", "cab"}));
}

TEST_F(Viewer, TheTimerShowsTheCaretLineAndColumnFromZero) {
    showReport(report(3), QString());
    selectInViewer(*m_form, 13, 2, 5);
    m_form->Timer1Timer();
    EXPECT_EQ(label("lLinMem"), QStringLiteral("13"));
    EXPECT_EQ(label("lColMem"), QStringLiteral("2"));
    EXPECT_EQ(label("lTamMem"), QStringLiteral("5"));
    // A selection made backwards counts from its start.
    QTextCursor cursor = viewer()->textCursor();
    const int start = cursor.selectionStart();
    cursor.setPosition(start + 5);
    cursor.setPosition(start, QTextCursor::KeepAnchor);
    viewer()->setTextCursor(cursor);
    m_form->Timer1Timer();
    EXPECT_EQ(label("lColMem"), QStringLiteral("2"));
    EXPECT_EQ(label("lTamMem"), QStringLiteral("5"));
}

TEST_F(Viewer, ALargeFileIsShownAWindowAtATime) {
    // 100000 lines: more than a window holds.
    showReport(report(33330), QStringLiteral("12"));
    const ViewerPage& page = m_form->viewerPage();
    const int held = viewer()->document()->blockCount();
    EXPECT_LE(held, ViewerPage::kWindowMaxLines);
    EXPECT_GE(held, ViewerPage::kWindowMinLines);
    EXPECT_EQ(page.firstLineShown(), 0);

    // Far down the file, the labels count the file's lines, and "Inserir" stores from them.
    const std::int64_t line = 12 + 3 * 30000 + 2;
    selectInViewer(*m_form, line, 7, 5);
    EXPECT_GT(page.firstLineShown(), 0);
    EXPECT_EQ(viewer()->textCursor().block().text(), QStringLiteral("cidade Sao Paulo"));
    retype(m_form->mappingPage().eLinRef, QString::number(line - 2));
    inserir(*m_form, QStringLiteral("cid"));
    EXPECT_EQ(label("lLinMem"), QString::number(line));
    EXPECT_EQ(m_form->definitions().readString("ficha.txt.campos.linha3", "cid", "-"), "7,5");

    // Scrolled to the end of its window, the viewer moves on and keeps the lines in sight.
    m_form->viewerPage().showLine(0);
    QScrollBar* bar = viewer()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    const std::int64_t top = bar->maximum();
    bar->setValue(bar->maximum());
    EXPECT_GT(page.firstLineShown(), 0);
    EXPECT_EQ(page.firstLineShown() + bar->value(), top) << "the same line at the top";
    EXPECT_LT(bar->value(), bar->maximum()) << "room to scroll on";
    // And back at its start, the lines before it come back.
    const std::int64_t first = page.firstLineShown();
    bar->setValue(0);
    EXPECT_LT(page.firstLineShown(), first);
    EXPECT_EQ(page.firstLineShown() + bar->value(), first);

    // The last line of the file, and none past it.
    EXPECT_TRUE(m_form->viewerPage().showLine(12 + 3 * 33330 - 1));
    EXPECT_EQ(viewer()->textCursor().block().text(), QStringLiteral("cidade Sao Paulo"));
    EXPECT_FALSE(m_form->viewerPage().showLine(12 + 3 * 33330));
}

TEST_F(Viewer, InserirThatCannotWriteIsReported) {
    showReport(report(2), QStringLiteral("12"));
    child<QLineEdit>(*m_form, "eLoc")->setText(QString::fromStdString(path("sumiu")));
    selectInViewer(*m_form, 12, 0, 3);
    const QStringList before = columns();
    testing::ErrorReports reports;
    inserir(*m_form, QStringLiteral("doc"));
    ASSERT_EQ(reports.shown.size(), 1u);
    EXPECT_TRUE(reports.shown[0].text.startsWith(QStringLiteral("Unable to write to ")));
    EXPECT_EQ(columns(), before) << "the listing does not run";
}

}  // namespace
}  // namespace sivaro
