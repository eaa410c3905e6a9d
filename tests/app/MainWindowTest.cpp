#include "WidgetTestHelpers.h"
#include "app/MainWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ErrorReports.h"
#include "app/DefinitionsText.h"
#include "app/MessageWindow.h"
#include "barcode/paint/TVxBarcode.h"
#include "util/ProfileFile.h"
#include "util/Version.h"

namespace sivaro {
namespace {

using testing::child;
using testing::readFile;
using testing::writeFile;

QString caption(const QWidget* w) {
    if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
    if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
    return {};
}

TEST(Bands, HeightRoundsToTheNearestHalvesToEven) {
    struct Case {
        int windowHeight, band;
    };
    const Case cases[] = {
        {619, 5},    // 4.13 + 0.49
        {150, 1},    // 1.49
        {300, 2},    // 2.49
        {75, 1},     // 0.99
        {224, 2},    // 1.98
        {1, 1},      // 0.497 rounds to 0: held at 1 so the painting ends
        {1500, 10},  // 10.49
        {1000, 7},   // 7.157
        {1350, 9},   // 9.49
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.windowHeight);
        EXPECT_EQ(bandHeight(c.windowHeight), c.band);
    }
}

TEST(Bands, LeaveNoRowUnpaintedAtAnyHeight) {
    for (int height : {619, 1, 2, 74, 333, 1001, 2000}) {
        SCOPED_TRACE(height);
        QImage image(40, height, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        paintBands(painter, 40, height);
        painter.end();
        for (int y = 0; y < height; ++y) {
            ASSERT_EQ(qAlpha(image.pixel(39, y)), 255) << "row " << y;
            ASSERT_EQ(image.pixel(0, y), image.pixel(39, y)) << "row " << y;
        }
        EXPECT_EQ(image.pixelColor(0, 0), QColor(0, 0, 200));
    }
}

TEST(Bands, TheWindowShows124BandsFrom200To77) {
    QImage image(1005, 619, QImage::Format_RGB32);
    QPainter painter(&image);
    paintBands(painter, 1005, 619);
    painter.end();
    std::set<int> blues;
    for (int y = 0; y < 619; ++y) {
        EXPECT_EQ(qRed(image.pixel(500, y)), 0);
        EXPECT_EQ(qGreen(image.pixel(500, y)), 0);
        blues.insert(qBlue(image.pixel(500, y)));
    }
    EXPECT_EQ(blues.size(), 124u);
    EXPECT_EQ(*blues.rbegin(), 200);
    EXPECT_EQ(*blues.begin(), 77);
    EXPECT_EQ(qBlue(image.pixel(0, 4)), 200);
    EXPECT_EQ(qBlue(image.pixel(0, 5)), 199);
    EXPECT_EQ(qBlue(image.pixel(0, 618)), 77);
}

TEST(DefinitionsText, MemoLinesFromTheFileAndBack) {
    struct Case {
        const char* what;
        std::string file;
        QString memo;
        std::string saved;
    };
    const Case cases[] = {
        {"CR LF", "[Arquivos]\r\na.txt=Cliente\r\n", "[Arquivos]\na.txt=Cliente",
         "[Arquivos]\r\na.txt=Cliente\r\n"},
        {"LF only gets CR LF", "a\nb\n", "a\nb", "a\r\nb\r\n"},
        {"a lone CR ends a line", "a\rb", "a\nb", "a\r\nb\r\n"},
        {"no line end at the end", "a\r\nb", "a\nb", "a\r\nb\r\n"},
        {"empty lines stay", "a\r\n\r\nb\r\n", "a\n\nb", "a\r\n\r\nb\r\n"},
        {"an empty last line stays", "a\r\n\r\n", "a\n", "a\r\n\r\n"},
        {"two empty last lines stay", "a\n\n\n", "a\n\n", "a\r\n\r\n\r\n"},
        {"empty file", "", "", ""},
        {"one empty line", "\r\n", "", ""},
        {"Windows-1252 text", "[a\xe7\xe3o]\r\n", QStringLiteral("[ação]"), "[a\xe7\xe3o]\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(memoTextFromFile(c.file), c.memo);
        EXPECT_EQ(fileBytesFromMemo(c.memo), c.saved);
    }
    // An empty last line the memo shows is written too: a file ending in one keeps it.
    EXPECT_EQ(fileBytesFromMemo(QStringLiteral("a\n")), "a\r\n\r\n");
    EXPECT_EQ(fileBytesFromMemo(QStringLiteral("a\n\n")), "a\r\n\r\n\r\n");
}

class Workbench : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = m_dir.path().toStdString();
        m_form = std::make_unique<TForm2>();
        TfMen::clearAnswers();
    }
    void TearDown() override { EXPECT_EQ(TfMen::queuedAnswers(), 0u) << "an answer was not used"; }

    std::string path(const std::string& name) const { return m_folder + "/" + name; }
    void openFolder(const std::string& folder) {
        child<QLineEdit>(*m_form, "eLoc")->setText(QString::fromStdString(folder));
    }
    QPlainTextEdit* memo() { return child<QPlainTextEdit>(*m_form, "mDef"); }
    void typeInMemo(const QString& text) {
        QPlainTextEdit* m = memo();
        m->moveCursor(QTextCursor::End);
        for (QChar c : text) {
            const bool enter = c == QLatin1Char('\n');
            QKeyEvent key(QEvent::KeyPress, enter ? Qt::Key_Return : 0, Qt::NoModifier,
                          enter ? QStringLiteral("\r") : QString(c));
            QCoreApplication::sendEvent(m, &key);
        }
    }
    void salvar() { child<QPushButton>(*m_form, "Button3")->click(); }

    QTemporaryDir m_dir;
    std::string m_folder;
    std::unique_ptr<TForm2> m_form;
};

TEST_F(Workbench, WindowLook) {
    TForm2& f = *m_form;
    EXPECT_EQ(f.size(), QSize(1005, 619));
    EXPECT_TRUE(f.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Importador v2.0 b13/12/2012"));
    // The caption is the product's own; the version it names must be the build's.
    EXPECT_TRUE(f.windowTitle().startsWith(QStringLiteral("Importador v") + kVersion + ' '))
        << "the window caption does not name version " << kVersion;
    EXPECT_EQ(f.font().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(f.font().pixelSize(), 11);
    // The outline: 50 x 50 corner ellipses cut the corners, the edges between them stay.
    const QRegion shape = f.mask();
    EXPECT_FALSE(shape.contains(QPoint(0, 0)));
    EXPECT_FALSE(shape.contains(QPoint(1004, 618)));
    EXPECT_FALSE(shape.contains(QPoint(3, 3)));
    EXPECT_TRUE(shape.contains(QPoint(25, 1)));
    EXPECT_TRUE(shape.contains(QPoint(1, 25)));
    EXPECT_TRUE(shape.contains(QPoint(502, 309)));
    EXPECT_TRUE(shape.contains(QPoint(8, 8)));

    auto* pages = child<QTabWidget>(f, "PageControl1");
    ASSERT_EQ(pages->count(), 3);
    EXPECT_EQ(pages->tabText(0), QStringLiteral("TabSheet1"));
    EXPECT_EQ(pages->tabText(1), QStringLiteral("Gráfico"));
    EXPECT_EQ(pages->tabText(2), QStringLiteral("Visualizar Arquivo"));
    EXPECT_EQ(pages->currentWidget()->objectName(), QStringLiteral("TabSheet3"));
    EXPECT_FALSE(child<QProgressBar>(f, "st")->isVisibleTo(&f));
    auto* timer = child<QTimer>(f, "Timer1");
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_TRUE(timer->isActive());
    auto* canvas = child<QScrollArea>(f, "sbVisFic")->widget();
    EXPECT_EQ(canvas->size(), QSize(30000, 10005));
    auto* grid = child<QTableWidget>(f, "sgVisLis");
    EXPECT_EQ(grid->rowHeight(0), 15);
    EXPECT_EQ(grid->columnWidth(0), 64);
    EXPECT_FALSE(grid->verticalHeader()->isVisibleTo(grid));
    EXPECT_EQ(grid->font().family(), QStringLiteral("Courier New"));
    EXPECT_EQ(child<QPlainTextEdit>(f, "mVisArq")->font().pixelSize(), 11);
    EXPECT_EQ(child<QComboBox>(f, "cbTabDes")->count(), 8);
    EXPECT_EQ(child<QComboBox>(f, "cbTabDes")->itemText(5), QStringLiteral("Receber,ParRec"));
    EXPECT_EQ(child<QCheckBox>(f, "cbLimTab")->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(f.barcode().BarCodeType(), bcEAN_13);
    EXPECT_EQ(f.barcode().Data(), "0000000000000");
    EXPECT_EQ(f.barcode().Font().Name, "Courier New");
    EXPECT_TRUE(f.barcode().Valid());
    EXPECT_EQ(child<QCheckBox>(f, "cbFic")->layoutDirection(), Qt::RightToLeft);
}

TEST_F(Workbench, ControlsAtTheirPlaces) {
    enum Look { Plain, WhiteBold, BlackBold };
    struct Row {
        const char* name;
        const char* parent;
        QRect geometry;  // width and height -1: sized to the text
        QString caption;
        Look look;
        int fontPixels;  // 0: the window's font
    };
    auto at = [](int x, int y) { return QRect(x, y, -1, -1); };
    const Row rows[] = {
        {"tLabel1", "Form2", at(22, 6), QStringLiteral("Importação de Dados"), BlackBold, 32},
        {"Label4", "Form2", at(20, 4), QStringLiteral("Importação de Dados"), WhiteBold, 32},
        {"tLabel3", "Form2", QRect(68, 56, 230, -1), QStringLiteral("SIVARO PLUS"), WhiteBold, 35},
        {"tLabel4", "Form2", at(93, 93), QStringLiteral("Suporte técnico SIVARO"), WhiteBold, 19},
        {"Label1", "Form2", at(50, 138), QStringLiteral("Local"), WhiteBold, 13},
        {"eLoc", "Form2", QRect(88, 136, 250, 21), QDir::currentPath(), Plain, 0},
        {"Label10", "Form2", at(18, 178), QStringLiteral("Arquivo de Origem:"), WhiteBold, 13},
        {"cbTab", "Form2", QRect(144, 176, 145, 21), QString(), Plain, 0},
        {"Button8", "Form2", QRect(296, 176, 25, 25), QStringLiteral("..."), Plain, 0},
        {"cbImpTot", "Form2", QRect(32, 212, 51, 17), QStringLiteral("Todos"), Plain, 0},
        {"Button1", "Form2", QRect(89, 208, 75, 25), QStringLiteral("Importa"), Plain, 0},
        {"Button2", "Form2", QRect(184, 208, 75, 25), QStringLiteral("Cancelar"), Plain, 0},
        {"lTab", "Form2", at(26, 240), QStringLiteral("Importando: ..."), WhiteBold, 13},
        {"st", "Form2", QRect(9, 260, 315, 19), QString(), Plain, 0},
        {"lLin", "Form2", at(327, 260), QStringLiteral("."), WhiteBold, 13},
        {"bFec", "Form2", QRect(129, 288, 75, 25), QStringLiteral("Fechar"), Plain, 0},
        {"Memo1", "Form2", QRect(8, 328, 345, 281), QString(), Plain, 0},
        {"PageControl1", "Form2", QRect(360, 16, 639, 595), QString(), Plain, 0},
        {"mDef", "TabSheet1", QRect(8, 8, 481, 481), QString(), Plain, 0},
        {"Button3", "TabSheet1", QRect(8, 496, 75, 25), QStringLiteral("Salvar"), Plain, 0},
        {"Label6", "TabSheet3", at(3, 19), QStringLiteral("Tabelas de Destino:"), Plain, 0},
        {"cbTabDes", "TabSheet3", QRect(104, 16, 145, 21), QString(), Plain, 0},
        {"Label14", "TabSheet3", at(288, 40), QStringLiteral("Campo Chave:"), Plain, 0},
        {"eCamCha", "TabSheet3", QRect(360, 32, 121, 21), QString(), Plain, 0},
        {"cbLimTab", "TabSheet3", QRect(8, 56, 129, 17), QStringLiteral("Limpar Tabela Destino:"),
         Plain, 0},
        {"cbFic", "TabSheet3", QRect(8, 80, 105, 17), QStringLiteral("Origem tipo Ficha:"), Plain,
         0},
        {"Panel1", "TabSheet3", QRect(120, 80, 321, 57), QString(), Plain, 0},
        {"Label7", "Panel1", at(26, 8), QStringLiteral("Inicio do Registro:"), Plain, 0},
        {"eIniReg", "Panel1", QRect(112, 5, 121, 21), QString(), Plain, 0},
        {"Label11", "Panel1", at(13, 32), QStringLiteral("Linha de Referencia:"), Plain, 0},
        {"eLinRef", "Panel1", QRect(112, 29, 121, 21), QString(), Plain, 0},
        {"Label2", "TabSheet3", at(11, 144), QStringLiteral("Colunas de Origem:"), Plain, 0},
        {"lbColOri", "TabSheet3", QRect(8, 160, 121, 177), QString(), Plain, 0},
        {"Label3", "TabSheet3", at(139, 144), QStringLiteral("Colunas de Destino:"), Plain, 0},
        {"lbColDes", "TabSheet3", QRect(136, 160, 121, 177), QString(), Plain, 0},
        {"Button6", "TabSheet3", QRect(264, 168, 49, 25), QStringLiteral("Adicionar"), Plain, 0},
        {"Button7", "TabSheet3", QRect(264, 200, 49, 25), QStringLiteral("Remover"), Plain, 0},
        {"Label5", "TabSheet3", at(323, 144), QStringLiteral("Colunas Associadas:"), Plain, 0},
        {"lbColAss", "TabSheet3", QRect(320, 160, 209, 177), QString(), Plain, 0},
        {"sgVisLis", "TabSheet3", QRect(0, 344, 631, 222), QString(), Plain, 0},
        {"sbVisFic", "TabSheet4", QRect(0, 0, 631, 567), QString(), Plain, 0},
        {"mVisArq", "sbVisFicCanvas", QRect(0, 0, 30000, 10000), QString(), Plain, 0},
        {"Label8", "TabSheet4", at(16, 536), QStringLiteral("Coluna:"), Plain, 0},
        {"lColMem", "TabSheet4", at(56, 536), QStringLiteral("0"), Plain, 0},
        {"Label9", "TabSheet4", at(96, 536), QStringLiteral("Linha:"), Plain, 0},
        {"lLinMem", "TabSheet4", at(128, 536), QStringLiteral("0"), Plain, 0},
        {"Label13", "TabSheet4", at(160, 536), QStringLiteral("Tamanho:"), Plain, 0},
        {"lTamMem", "TabSheet4", at(210, 536), QStringLiteral("0"), Plain, 0},
        {"Label12", "TabSheet4", at(264, 540), QStringLiteral("Nome"), Plain, 0},
        {"eNomMem", "TabSheet4", QRect(296, 536, 33, 21), QString(), Plain, 0},
        {"Button4", "TabSheet4", QRect(336, 536, 41, 25), QStringLiteral("Inserir"), Plain, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        auto* w = child(*m_form, r.name);
        if (!w) continue;
        EXPECT_EQ(w->parentWidget()->objectName(), QString::fromLatin1(r.parent));
        EXPECT_EQ(w->pos(), r.geometry.topLeft());
        if (r.geometry.width() >= 0) {
            EXPECT_EQ(w->width(), r.geometry.width());
        }
        if (r.geometry.height() >= 0) {
            EXPECT_EQ(w->height(), r.geometry.height());
        }
        EXPECT_EQ(caption(w), r.caption);
        if (auto* label = qobject_cast<QLabel*>(w)) {
            // Labels let the painted background through.
            EXPECT_FALSE(label->autoFillBackground());
            if (r.geometry.width() < 0) {
                EXPECT_EQ(label->width(), QFontMetrics(label->font()).horizontalAdvance(r.caption));
            }
        }
        if (r.look != Plain) {
            EXPECT_EQ(w->font().family(), QStringLiteral("Arial"));
            EXPECT_TRUE(w->font().bold());
            EXPECT_EQ(w->font().pixelSize(), r.fontPixels);
            EXPECT_EQ(w->palette().color(QPalette::WindowText),
                      r.look == WhiteBold ? QColor(Qt::white) : QColor(Qt::black));
        } else {
            EXPECT_EQ(w->font().pixelSize(),
                      w->objectName() == "mVisArq" || w->objectName() == "sgVisLis"
                          ? 11
                          : m_form->font().pixelSize());
        }
    }
    // The heading's shadow lies under it, 2 pixels right and below.
    auto* shadow = child(*m_form, "tLabel1");
    auto* heading = child(*m_form, "Label4");
    EXPECT_LT(m_form->children().indexOf(shadow), m_form->children().indexOf(heading));
}

TEST_F(Workbench, StartsOnTheWorkingDirectory) {
    const std::filesystem::path previous = std::filesystem::current_path();
    writeFile(path("Definicao.ini"), "[Arquivos]\r\nclientes.txt=Cliente\r\nmarcas.txt=Marca\r\n");
    std::filesystem::current_path(m_folder);
    TForm2 form;
    std::filesystem::current_path(previous);
    EXPECT_EQ(form.dataFolder(), m_folder);
    EXPECT_EQ(child<QLineEdit>(form, "eLoc")->text().toStdString(), m_folder);
    auto* sources = child<QComboBox>(form, "cbTab");
    ASSERT_EQ(sources->count(), 2);
    EXPECT_EQ(sources->itemText(0), QStringLiteral("clientes.txt"));
    EXPECT_EQ(sources->itemText(1), QStringLiteral("marcas.txt"));
    EXPECT_EQ(child<QPlainTextEdit>(form, "mDef")->toPlainText(),
              QStringLiteral("[Arquivos]\nclientes.txt=Cliente\nmarcas.txt=Marca"));
    EXPECT_EQ(form.cityTableFolder(), m_folder + "/db");
}

TEST_F(Workbench, FolderTypedKeyByKey) {
    // The folder holds its definitions; the folder above it, typed on the way, holds none.
    const std::string folder = path("dados");
    std::filesystem::create_directory(folder);
    writeFile(folder + "/Definicao.ini",
              "[arquivos]\r\nclientes.txt=Cliente\r\nfichas.txt=Receber,ParRec\r\n");
    auto* eLoc = child<QLineEdit>(*m_form, "eLoc");
    auto* cbTab = child<QComboBox>(*m_form, "cbTab");
    cbTab->setEditText(QStringLiteral("anterior.txt"));
    memo()->setPlainText(QStringLiteral("texto anterior"));
    const std::string cityBefore = m_form->cityTableFolder();

    eLoc->clear();
    std::vector<int> listed;
    std::vector<std::string> opened;
    for (char c : folder) {
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar::fromLatin1(c)));
        QCoreApplication::sendEvent(eLoc, &key);
        listed.push_back(cbTab->count());
        // Each keystroke opened the definitions of the folder typed so far.
        opened.push_back(m_form->definitions().readString("Arquivos", "clientes.txt", "-"));
        if (eLoc->text().toStdString() == m_folder) {
            EXPECT_EQ(memo()->toPlainText(), QStringLiteral("texto anterior"))
                << "a folder without definitions leaves the memo alone";
        }
    }
    EXPECT_EQ(eLoc->text().toStdString(), folder);
    std::vector<int> expectedListed(folder.size(), 0);
    expectedListed.back() = 2;
    EXPECT_EQ(listed, expectedListed);
    std::vector<std::string> expectedOpened(folder.size(), "-");
    expectedOpened.back() = "Cliente";
    EXPECT_EQ(opened, expectedOpened);
    EXPECT_EQ(cbTab->itemText(1), QStringLiteral("fichas.txt"));
    EXPECT_EQ(cbTab->currentText(), QStringLiteral("anterior.txt"));
    EXPECT_EQ(memo()->toPlainText(),
              QStringLiteral("[arquivos]\nclientes.txt=Cliente\nfichas.txt=Receber,ParRec"));
    EXPECT_EQ(m_form->cityTableFolder(), cityBefore) << "only an import moves the city table";

    // One more key leaves the folder: the list empties, the memo stays.
    QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("x"));
    QCoreApplication::sendEvent(eLoc, &key);
    EXPECT_EQ(cbTab->count(), 0);
    EXPECT_EQ(cbTab->currentText(), QStringLiteral("anterior.txt"));
    EXPECT_EQ(memo()->toPlainText(),
              QStringLiteral("[arquivos]\nclientes.txt=Cliente\nfichas.txt=Receber,ParRec"));
}

TEST_F(Workbench, SalvarWritesTheMemoWithCrLf) {
    writeFile(path("Definicao.ini"), "[Arquivos]\nclientes.txt=Cliente\n");
    openFolder(m_folder);
    salvar();
    EXPECT_EQ(readFile(path("Definicao.ini")), "[Arquivos]\r\nclientes.txt=Cliente\r\n");
    typeInMemo(QStringLiteral("\nmarcas.txt=Marca"));
    salvar();
    EXPECT_EQ(readFile(path("Definicao.ini")),
              "[Arquivos]\r\nclientes.txt=Cliente\r\nmarcas.txt=Marca\r\n");
    EXPECT_EQ(m_form->definitions().readString("Arquivos", "marcas.txt", ""), "Marca");
}

TEST_F(Workbench, TheMemoFollowsWritesUntilTheOperatorEditsIt) {
    writeFile(path("Definicao.ini"), "[Arquivos]\r\nclientes.txt=\r\n");
    openFolder(m_folder);
    m_form->writeDefinition("Arquivos", "clientes.txt", "Cliente");
    EXPECT_EQ(memo()->toPlainText(), QStringLiteral("[Arquivos]\nclientes.txt=Cliente"));
    // Saving the reloaded memo keeps what the workbench wrote, and asks nothing.
    salvar();
    EXPECT_EQ(m_form->definitions().readString("Arquivos", "clientes.txt", ""), "Cliente");

    typeInMemo(QStringLiteral("\n; nota"));
    m_form->writeDefinitionBool("clientes.txt.opcoes", "LimparTabela", true);
    EXPECT_EQ(memo()->toPlainText(), QStringLiteral("[Arquivos]\nclientes.txt=Cliente\n; nota"))
        << "the operator's edit is not thrown away by a reload";
}

TEST_F(Workbench, SalvarAsksBeforeOverwritingChangesMadeSinceTheLoad) {
    struct Case {
        const char* what;
        std::uint16_t answer;  // 0: Enter on the default button
        bool overwritten;
    };
    const Case cases[] = {{"Sim overwrites", 1, true},
                          {"Não keeps the file", 2, false},
                          {"Enter answers Não", 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(path("Definicao.ini"), "[Arquivos]\r\nclientes.txt=\r\n");
        openFolder("");
        openFolder(m_folder);
        typeInMemo(QStringLiteral("\n; nota"));
        m_form->writeDefinition("clientes.txt.opcoes", "CampoChave", "cod");
        const std::string onDisk = readFile(path("Definicao.ini"));
        QString asked;
        std::uint16_t buttons = 0;
        TfMen::queueAnswer([&](TfMen& w) {
            asked = w.titleLabel()->text();
            buttons = w.buttonSet();
            if (c.answer != 0) return w.done(c.answer);
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QCoreApplication::sendEvent(w.focusWidget(), &enter);
        });
        salvar();
        EXPECT_EQ(asked, QStringLiteral("Definicao.ini alterado"));
        EXPECT_EQ(buttons, 3) << "Não is the default";
        EXPECT_EQ(readFile(path("Definicao.ini")),
                  c.overwritten ? "[Arquivos]\r\nclientes.txt=\r\n; nota\r\n" : onDisk);
        EXPECT_EQ(memo()->toPlainText(), QStringLiteral("[Arquivos]\nclientes.txt=\n; nota"));
    }
}

TEST_F(Workbench, SalvarAsksWhenAnotherProgramChangedTheFile) {
    writeFile(path("Definicao.ini"), "[Arquivos]\r\n");
    openFolder(m_folder);
    writeFile(path("Definicao.ini"), "[Arquivos]\r\nde.fora=Cliente\r\n");
    TfMen::queueAnswer(std::uint16_t{2});
    salvar();
    EXPECT_EQ(readFile(path("Definicao.ini")), "[Arquivos]\r\nde.fora=Cliente\r\n");
}

TEST_F(Workbench, SalvarIntoAFolderWithoutDefinitionsCopiesTheMemo) {
    writeFile(path("Definicao.ini"), "[Arquivos]\r\nclientes.txt=Cliente\r\n");
    openFolder(m_folder);
    const std::string other = path("outra");
    std::filesystem::create_directory(other);
    openFolder(other);
    salvar();  // nothing there to lose: no question
    EXPECT_EQ(readFile(other + "/Definicao.ini"), "[Arquivos]\r\nclientes.txt=Cliente\r\n");
}

TEST_F(Workbench, SalvarIntoAMissingFolderReportsAndKeepsTheMemo) {
    memo()->setPlainText(QStringLiteral("[Arquivos]"));
    openFolder(path("nao-existe"));
    testing::ErrorReports reports;
    salvar();
    ASSERT_EQ(reports.shown.size(), 1u);
    EXPECT_EQ(reports.shown[0].icon, QMessageBox::Critical);
    EXPECT_NE(reports.shown[0].text.indexOf(QStringLiteral("nao-existe")), -1)
        << reports.shown[0].text.toStdString();
    EXPECT_EQ(memo()->toPlainText(), QStringLiteral("[Arquivos]"));
    EXPECT_FALSE(std::filesystem::exists(path("nao-existe")));
}

TEST_F(Workbench, CancelarSetsTheFlagUntilTheNextImporta) {
    // The first run opens the connection to the folder's tables, which must be there.
    std::filesystem::create_directories(path("db"));
    openFolder(m_folder);
    EXPECT_FALSE(m_form->cancelRequested());
    child<QPushButton>(*m_form, "Button2")->click();
    EXPECT_TRUE(m_form->cancelRequested());
    // No source selected: the run clears the flag and imports nothing.
    child<QPushButton>(*m_form, "Button1")->click();
    EXPECT_FALSE(m_form->cancelRequested());
    EXPECT_FALSE(m_form->importRunning());
}

TEST_F(Workbench, ImportaWithoutTablesFolderReportsTheConnection) {
    // The first run opens the connection to {folder}/db; a folder without it stops the run.
    writeFile(path("Definicao.ini"), "[Arquivos]\r\nmarcas.txt=Marca\r\n");
    openFolder(m_folder);
    child<QCheckBox>(*m_form, "cbImpTot")->setChecked(true);
    testing::ErrorReports reports;
    child<QPushButton>(*m_form, "Button1")->click();
    ASSERT_EQ(reports.shown.size(), 1u);
    EXPECT_NE(reports.shown[0].text.indexOf(QString::fromStdString(path("db"))), -1)
        << reports.shown[0].text.toStdString();
    EXPECT_FALSE(m_form->importRunning());
}

TEST_F(Workbench, TimerShowsTheViewerCaret) {
    auto* viewer = child<QPlainTextEdit>(*m_form, "mVisArq");
    viewer->setPlainText(QStringLiteral("linha zero\nlinha um\nlinha dois"));
    QTextCursor cursor = viewer->textCursor();
    cursor.setPosition(QStringLiteral("linha zero\nlinha um\nlinha ").size());
    cursor.movePosition(QTextCursor::Right, QTextCursor::KeepAnchor, 4);
    viewer->setTextCursor(cursor);
    m_form->Timer1Timer();
    EXPECT_EQ(child<QLabel>(*m_form, "lLinMem")->text(), QStringLiteral("2"));
    EXPECT_EQ(child<QLabel>(*m_form, "lColMem")->text(), QStringLiteral("6"));
    EXPECT_EQ(child<QLabel>(*m_form, "lTamMem")->text(), QStringLiteral("4"));
}

void mouse(QWidget* target, QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(local), target->mapToGlobal(QPointF(local)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

TEST_F(Workbench, DraggingTheBackgroundMovesTheWindowAndFecharCloses) {
    TForm2& f = *m_form;
    f.show();
    const QPoint start = f.pos();
    mouse(&f, QEvent::MouseButtonPress, {200, 320}, Qt::LeftButton);
    mouse(&f, QEvent::MouseMove, {230, 300}, Qt::LeftButton);
    mouse(&f, QEvent::MouseButtonRelease, {230, 300}, Qt::NoButton);
    EXPECT_EQ(f.pos(), start + QPoint(30, -20));
    // The heading is a label, not the background.
    mouse(&f, QEvent::MouseButtonPress, {100, 20}, Qt::LeftButton);
    mouse(&f, QEvent::MouseMove, {150, 70}, Qt::LeftButton);
    EXPECT_EQ(f.pos(), start + QPoint(30, -20));
    child<QPushButton>(f, "bFec")->click();
    EXPECT_FALSE(f.isVisible());
}

}  // namespace
}  // namespace sivaro
