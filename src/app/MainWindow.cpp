#include "app/MainWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegion>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBlock>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "app/DefinitionsText.h"
#include "app/ErrorReport.h"
#include "app/LabelSize.h"
#include "app/MessageWindow.h"
#include "app/WorkbenchHost.h"
#include "barcode/paint/BarcodeControlForm.h"
#include "barcode/paint/TVxBarcode.h"
#include "barcode/widget/BarcodeWidget.h"
#include "import/ImportEngine.h"
#include "store/Connection.h"
#include "util/CodePage.h"
#include "util/Errors.h"
#include "util/Paths.h"
#include "util/ProfileFile.h"

namespace sivaro {

namespace {

constexpr int kClientWidth = 1005;
constexpr int kClientHeight = 619;
constexpr int kCornerEllipse = 50;
constexpr int kFirstBlue = 200;
const char* const kDefinitionsName = "Definicao.ini";

QFont makeFont(const char* family, int pixels, bool bold = false) {
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

std::optional<std::string> readFileBytes(const std::string& path) {
    std::ifstream in(osPath(path), std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The same file whatever spelling of its folder was typed ("dados" or "dados/").
bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    const auto ca = std::filesystem::weakly_canonical(osPath(a), ec);
    if (ec) return a == b;
    const auto cb = std::filesystem::weakly_canonical(osPath(b), ec);
    if (ec) return a == b;
    return ca == cb;
}

bool isFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(osPath(path), ec);
}

// The whole file is written beside the old one and then put in its place, so that a failure
// halfway (a full disk) leaves the previous definitions whole.
void replaceFile(const std::string& path, const std::string& bytes) {
    const std::filesystem::path target = osPath(path);
    std::error_code ec;
    if (std::filesystem::exists(target, ec) && ::access(target.c_str(), W_OK) != 0)
        throw EInOutError("N\xe3o foi poss\xedvel gravar " + path +
                          ": o arquivo \xe9 somente leitura");
    std::filesystem::path temporary = target;
    temporary += ".gravando";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) throw EInOutError("N\xe3o foi poss\xedvel criar o arquivo " + path);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::filesystem::remove(temporary, ec);
            throw EInOutError("N\xe3o foi poss\xedvel gravar " + path);
        }
    }
    // The file keeps its permissions, as a rewrite in place would.
    const std::filesystem::file_status previous = std::filesystem::status(target, ec);
    if (!ec && std::filesystem::exists(previous))
        std::filesystem::permissions(temporary, previous.permissions(), ec);
    std::filesystem::rename(temporary, target, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        throw EInOutError("N\xe3o foi poss\xedvel gravar " + path);
    }
}

QString fromEngine(std::string_view text) {
    return QString::fromStdString(cp1252ToUtf8(text));
}

}  // namespace

int bandHeight(int windowHeight) {
    // nearbyint rounds halves to even under the default rounding mode.
    const int h = static_cast<int>(std::nearbyint(windowHeight / 150.0 + 0.49));
    // Below 2 pixels of height the formula gives 0, which would never reach the bottom.
    return std::max(h, 1);
}

void paintBands(QPainter& painter, int clientWidth, int windowHeight) {
    const int h = bandHeight(windowHeight);
    int blue = kFirstBlue;
    for (int y = 0; y < windowHeight; y += h) {
        painter.fillRect(0, y, clientWidth, h, QColor(0, 0, std::max(blue, 0)));
        --blue;
    }
}

TForm2::TForm2(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Importador v2.0 b13/12/2012"));
    setFont(makeFont("MS Sans Serif", 11));
    setFixedSize(kClientWidth, kClientHeight);

    buildLeftColumn();

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(360, 16, 639, 595);
    auto* tabSheet1 = new QWidget;
    tabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    auto* tabSheet3 = new QWidget;
    tabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    auto* tabSheet4 = new QWidget;
    tabSheet4->setObjectName(QStringLiteral("TabSheet4"));
    PageControl1->addTab(tabSheet1, QStringLiteral("TabSheet1"));
    PageControl1->addTab(tabSheet3, QStringLiteral("Gráfico"));
    PageControl1->addTab(tabSheet4, QStringLiteral("Visualizar Arquivo"));
    buildDefinitionsPage(tabSheet1);
    buildMappingPage(tabSheet3);
    buildViewerPage(tabSheet4);
    PageControl1->setCurrentWidget(tabSheet3);

    // The window's own barcode, as stored with the window: never shown; an import paints it
    // on an image of its own to have its EAN-13 data completed.
    b = new BarcodeWidget(this);
    b->setObjectName(QStringLiteral("b"));
    loadBarcodeControl(b->barcode(), ImportEngine::kBarcodeForm);

    // The import engine runs on this window's thread and speaks to it through the host. The
    // engine opens the connection to the data folder (session "Default", its "net" folder and
    // the "db" tables) on the first run and keeps it for the life of the program.
    m_host = std::make_unique<WorkbenchHost>(*this);
    m_engine = std::make_unique<ImportEngine>(*m_host, openConnection);
    m_engine->setBarcode(b->barcode());

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, [this] { guarded([this] { Timer1Timer(); }); });

    connect(eLoc, &QLineEdit::textChanged, this, [this] { guarded([this] { eLocChange(); }); });
    connect(Button3, &QPushButton::clicked, this, [this] { guarded([this] { Button3Click(); }); });
    connect(Button1, &QPushButton::clicked, this, [this] { guarded([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { guarded([this] { Button2Click(); }); });
    connect(bFec, &QPushButton::clicked, this, [this] { bFecClick(); });

    FormCreate();
    Timer1->start();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

TForm2::~TForm2() = default;

TVxBarcode& TForm2::barcode() const {
    return b->barcode();
}

QLabel* TForm2::whiteLabel(const char* name, const QString& caption, int left, int top,
                           int pixels) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(makeFont("Arial", pixels, true));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    label->move(left, top);
    setAutoSizedText(label, caption);
    return label;
}

QLabel* TForm2::pageLabel(QWidget* parent, const char* name, const QString& caption, int left,
                          int top) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    setAutoSizedText(label, caption);
    return label;
}

void TForm2::buildLeftColumn() {
    tLabel1 = whiteLabel("tLabel1", QStringLiteral("Importação de Dados"), 22, 6, 32);
    QPalette shadow = tLabel1->palette();
    shadow.setColor(QPalette::WindowText, Qt::black);
    tLabel1->setPalette(shadow);
    Label4 = whiteLabel("Label4", QStringLiteral("Importação de Dados"), 20, 4, 32);
    tLabel3 = whiteLabel("tLabel3", QStringLiteral("SIVARO PLUS"), 68, 56, 35);
    tLabel3->resize(230, tLabel3->height());
    tLabel3->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    tLabel4 = whiteLabel("tLabel4", QStringLiteral("Suporte técnico SIVARO"), 93, 93, 19);

    Label1 = whiteLabel("Label1", QStringLiteral("Local"), 50, 138, 13);
    eLoc = new QLineEdit(this);
    eLoc->setObjectName(QStringLiteral("eLoc"));
    eLoc->setGeometry(88, 136, 250, 21);

    Label10 = whiteLabel("Label10", QStringLiteral("Arquivo de Origem:"), 18, 178, 13);
    cbTab = new QComboBox(this);
    cbTab->setObjectName(QStringLiteral("cbTab"));
    cbTab->setEditable(true);
    cbTab->setInsertPolicy(QComboBox::NoInsert);
    cbTab->setGeometry(144, 176, 145, 21);
    Button8 = new QPushButton(QStringLiteral("..."), this);
    Button8->setObjectName(QStringLiteral("Button8"));
    Button8->setGeometry(296, 176, 25, 25);

    cbImpTot = new QCheckBox(QStringLiteral("Todos"), this);
    cbImpTot->setObjectName(QStringLiteral("cbImpTot"));
    cbImpTot->setGeometry(32, 212, 51, 17);
    // A check box is a control of its own, on the button face, not over the painted bands.
    cbImpTot->setAutoFillBackground(true);
    cbImpTot->setBackgroundRole(QPalette::Button);
    Button1 = new QPushButton(QStringLiteral("Importa"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(89, 208, 75, 25);
    Button2 = new QPushButton(QStringLiteral("Cancelar"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(184, 208, 75, 25);

    lTab = whiteLabel("lTab", QStringLiteral("Importando: ..."), 26, 240, 13);
    st = new QProgressBar(this);
    st->setObjectName(QStringLiteral("st"));
    st->setGeometry(9, 260, 315, 19);
    st->setTextVisible(false);
    st->setStyleSheet(
        QStringLiteral("QProgressBar { background: #ff0000; border: 1px solid #000000; }"
                       "QProgressBar::chunk { background: #00a000; }"));
    st->hide();
    lLin = whiteLabel("lLin", QStringLiteral("."), 327, 260, 13);

    bFec = new QPushButton(QStringLiteral("Fechar"), this);
    bFec->setObjectName(QStringLiteral("bFec"));
    bFec->setGeometry(129, 288, 75, 25);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(8, 328, 345, 281);
}

void TForm2::buildDefinitionsPage(QWidget* page) {
    mDef = new QPlainTextEdit(page);
    mDef->setObjectName(QStringLiteral("mDef"));
    mDef->setGeometry(8, 8, 481, 481);
    mDef->setLineWrapMode(QPlainTextEdit::NoWrap);
    Button3 = new QPushButton(QStringLiteral("Salvar"), page);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setGeometry(8, 496, 75, 25);
}

void TForm2::buildMappingPage(QWidget* page) {
    pageLabel(page, "Label6", QStringLiteral("Tabelas de Destino:"), 3, 19);
    cbTabDes = new QComboBox(page);
    cbTabDes->setObjectName(QStringLiteral("cbTabDes"));
    cbTabDes->setEditable(true);
    cbTabDes->setInsertPolicy(QComboBox::NoInsert);
    cbTabDes->addItems({QStringLiteral("Cliente"), QStringLiteral("Forneced"),
                        QStringLiteral("Mercador"), QStringLiteral("SecMer"),
                        QStringLiteral("Marca"), QStringLiteral("Receber,ParRec"),
                        QStringLiteral("Pagar,ParPag"), QStringLiteral("imovel")});
    cbTabDes->setCurrentIndex(-1);
    cbTabDes->setEditText(QString());
    cbTabDes->setGeometry(104, 16, 145, 21);

    pageLabel(page, "Label14", QStringLiteral("Campo Chave:"), 288, 40);
    eCamCha = new QLineEdit(page);
    eCamCha->setObjectName(QStringLiteral("eCamCha"));
    eCamCha->setGeometry(360, 32, 121, 21);

    // The caption stands on the left of the box.
    cbLimTab = new QCheckBox(QStringLiteral("Limpar Tabela Destino:"), page);
    cbLimTab->setObjectName(QStringLiteral("cbLimTab"));
    cbLimTab->setLayoutDirection(Qt::RightToLeft);
    cbLimTab->setGeometry(8, 56, 129, 17);
    cbFic = new QCheckBox(QStringLiteral("Origem tipo Ficha:"), page);
    cbFic->setObjectName(QStringLiteral("cbFic"));
    cbFic->setLayoutDirection(Qt::RightToLeft);
    cbFic->setGeometry(8, 80, 105, 17);
    // The captions were fitted to the 13-pixel box of the system the window was drawn for and
    // a narrow gap; this style's larger box and gap would cut their first letters.
    for (QCheckBox* box : {cbLimTab, cbFic}) {
        box->setStyleSheet(QStringLiteral(
            "QCheckBox { spacing: 2px; } QCheckBox::indicator { width: 13px; height: 13px; }"));
    }

    Panel1 = new QFrame(page);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setGeometry(120, 80, 321, 57);
    pageLabel(Panel1, "Label7", QStringLiteral("Inicio do Registro:"), 26, 8);
    eIniReg = new QLineEdit(Panel1);
    eIniReg->setObjectName(QStringLiteral("eIniReg"));
    eIniReg->setGeometry(112, 5, 121, 21);
    pageLabel(Panel1, "Label11", QStringLiteral("Linha de Referencia:"), 13, 32);
    eLinRef = new QLineEdit(Panel1);
    eLinRef->setObjectName(QStringLiteral("eLinRef"));
    eLinRef->setGeometry(112, 29, 121, 21);

    pageLabel(page, "Label2", QStringLiteral("Colunas de Origem:"), 11, 144);
    lbColOri = new QListWidget(page);
    lbColOri->setObjectName(QStringLiteral("lbColOri"));
    lbColOri->setGeometry(8, 160, 121, 177);
    pageLabel(page, "Label3", QStringLiteral("Colunas de Destino:"), 139, 144);
    lbColDes = new QListWidget(page);
    lbColDes->setObjectName(QStringLiteral("lbColDes"));
    lbColDes->setGeometry(136, 160, 121, 177);
    Button6 = new QPushButton(QStringLiteral("Adicionar"), page);
    Button6->setObjectName(QStringLiteral("Button6"));
    Button6->setGeometry(264, 168, 49, 25);
    Button7 = new QPushButton(QStringLiteral("Remover"), page);
    Button7->setObjectName(QStringLiteral("Button7"));
    Button7->setGeometry(264, 200, 49, 25);
    pageLabel(page, "Label5", QStringLiteral("Colunas Associadas:"), 323, 144);
    lbColAss = new QListWidget(page);
    lbColAss->setObjectName(QStringLiteral("lbColAss"));
    lbColAss->setGeometry(320, 160, 209, 177);

    sgVisLis = new QTableWidget(1, 5, page);
    sgVisLis->setObjectName(QStringLiteral("sgVisLis"));
    sgVisLis->setGeometry(0, 344, 631, 222);
    sgVisLis->setFont(makeFont("Courier New", 11));
    sgVisLis->verticalHeader()->hide();
    sgVisLis->horizontalHeader()->hide();
    sgVisLis->verticalHeader()->setMinimumSectionSize(1);
    sgVisLis->verticalHeader()->setDefaultSectionSize(15);
    sgVisLis->horizontalHeader()->setMinimumSectionSize(1);
    sgVisLis->horizontalHeader()->setDefaultSectionSize(64);
    for (int c = 0; c < sgVisLis->columnCount(); ++c) sgVisLis->setColumnWidth(c, 64);
    sgVisLis->setRowHeight(0, 15);
}

void TForm2::buildViewerPage(QWidget* page) {
    sbVisFic = new QScrollArea(page);
    sbVisFic->setObjectName(QStringLiteral("sbVisFic"));
    sbVisFic->setGeometry(0, 0, 631, 567);
    sbVisFic->setWidgetResizable(false);
    // The scroll ranges are fixed, not taken from the contents: 30000 across, 10005 down.
    auto* canvas = new QWidget;
    canvas->setObjectName(QStringLiteral("sbVisFicCanvas"));
    canvas->resize(30000, 10005);
    mVisArq = new QPlainTextEdit(canvas);
    mVisArq->setObjectName(QStringLiteral("mVisArq"));
    mVisArq->setGeometry(0, 0, 30000, 10000);
    mVisArq->setFont(makeFont("Courier New", 11));
    mVisArq->setLineWrapMode(QPlainTextEdit::NoWrap);
    sbVisFic->setWidget(canvas);

    pageLabel(page, "Label8", QStringLiteral("Coluna:"), 16, 536);
    lColMem = pageLabel(page, "lColMem", QStringLiteral("0"), 56, 536);
    pageLabel(page, "Label9", QStringLiteral("Linha:"), 96, 536);
    lLinMem = pageLabel(page, "lLinMem", QStringLiteral("0"), 128, 536);
    pageLabel(page, "Label13", QStringLiteral("Tamanho:"), 160, 536);
    lTamMem = pageLabel(page, "lTamMem", QStringLiteral("0"), 210, 536);
    pageLabel(page, "Label12", QStringLiteral("Nome"), 264, 540);
    eNomMem = new QLineEdit(page);
    eNomMem->setObjectName(QStringLiteral("eNomMem"));
    eNomMem->setGeometry(296, 536, 33, 21);
    Button4 = new QPushButton(QStringLiteral("Inserir"), page);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button4->setGeometry(336, 536, 41, 25);
    // The capture row sits over the viewer, as the operator reads it while selecting.
    for (QObject* child : page->children()) {
        if (auto* w = qobject_cast<QWidget*>(child); w && w != sbVisFic) w->raise();
    }
}

void TForm2::FormCreate() {
    // The program works on the folder it was started in.
    eLoc->setText(fromEngine(fromOsPath(std::filesystem::current_path())));
    if (!m_def) eLocChange();  // an unchanged (empty) text runs no change handler
    eOriChange();
    applyShape();
}

void TForm2::applyShape() {
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0, 0, width(), height()), kCornerEllipse / 2.0,
                           kCornerEllipse / 2.0);
    setMask(QRegion(outline.toFillPolygon().toPolygon()));
}

std::string TForm2::dataFolder() const {
    return utf8ToCp1252(eLoc->text().toStdString());
}

std::string TForm2::definitionsPath() const {
    return resolvePath(dataFolder(), kDefinitionsName);
}

void TForm2::eLocChange() {
    const std::string path = definitionsPath();
    m_def = std::make_unique<ProfileFile>(path);

    // The source box keeps the name shown in it, whatever the new folder lists.
    const QString shown = cbTab->currentText();
    QStringList sources;
    for (const std::string& key : m_def->readSection("arquivos")) sources << fromEngine(key);
    cbTab->clear();
    cbTab->addItems(sources);
    cbTab->setCurrentIndex(-1);
    cbTab->setEditText(shown);

    if (isFile(path)) loadDefinitionsMemo();
}

void TForm2::eOriChange() {
    m_cityFolder = joinPath(dataFolder(), "db");
    m_engine->eOriChange();
}

void TForm2::loadDefinitionsMemo() {
    const std::string path = definitionsPath();
    const std::optional<std::string> bytes = readFileBytes(path);
    if (!bytes) return;
    mDef->setPlainText(memoTextFromFile(*bytes));
    mDef->document()->setModified(false);
    m_memoPath = path;
    m_memoBytes = *bytes;
    m_memoLoaded = true;
}

bool TForm2::definitionsChangedOnDisk() const {
    const std::string path = definitionsPath();
    const std::optional<std::string> bytes = readFileBytes(path);
    if (!bytes) return false;  // nothing there to lose
    return !m_memoLoaded || !sameFile(path, m_memoPath) || *bytes != m_memoBytes;
}

void TForm2::definitionsWritten() {
    if (!mDef->document()->isModified()) loadDefinitionsMemo();
}

void TForm2::writeDefinition(std::string_view section, std::string_view key,
                             std::string_view value) {
    m_def->writeString(section, key, value);
    definitionsWritten();
}

void TForm2::writeDefinitionBool(std::string_view section, std::string_view key, bool value) {
    m_def->writeBool(section, key, value);
    definitionsWritten();
}

void TForm2::deleteDefinition(std::string_view section, std::string_view key) {
    m_def->deleteKey(section, key);
    definitionsWritten();
}

void TForm2::Button3Click() {
    const std::string path = definitionsPath();
    // The memo may hold an older text than the file: changes written since by the workbench
    // while the operator was editing, or by another program. Writing it over them would lose
    // them without a word.
    if (definitionsChangedOnDisk()) {
        const std::uint16_t answer = MostraMensagem(
            "Definicao.ini alterado",
            "O arquivo " + std::string(kDefinitionsName) +
                " foi alterado depois que o texto foi carregado.|Gravar o texto da tela por "
                "cima das altera\xe7\xf5\x65s?",
            2, 3);
        if (answer != 1) return;
    }
    const std::string bytes = fileBytesFromMemo(mDef->toPlainText());
    replaceFile(path, bytes);
    mDef->document()->setModified(false);
    m_memoPath = path;
    m_memoBytes = bytes;
    m_memoLoaded = true;
}

void TForm2::Button1Click() {
    if (m_running) return;  // a click that reached the window while the run let events through
    lockForRun();
    std::optional<std::string> stopped;
    try {
        m_engine->Button1Click();
    } catch (const std::exception& error) {
        stopped = error.what();
    } catch (...) {
        stopped = "A importa\xe7\xe3o parou por um erro desconhecido";
    }
    // A run stopped by an error leaves the gauge and the counter where it stopped.
    m_host->showProgress();
    // The settings come back before the report, so that the operator can mend what stopped
    // the run while reading it.
    unlockAfterRun();
    if (stopped) showErrorReport(this, *stopped);
    if (m_closeAfterRun) {
        m_closeAfterRun = false;
        close();
    }
}

void TForm2::Button2Click() {
    m_engine->Button2Click();
}

bool TForm2::cancelRequested() const {
    return m_engine->cancelled();
}

std::vector<QWidget*> TForm2::runLockedControls() const {
    // "Todos" and "Cancelar" stay: they are how the operator steers a run. The memo may be
    // edited, but "Salvar" waits for the end of the run.
    return {eLoc,     cbTab,    Button8,  cbTabDes, eCamCha, cbLimTab, cbFic,   eIniReg, eLinRef,
            lbColOri, lbColDes, lbColAss, Button6,  Button7, Button3,  Button4, Button1};
}

void TForm2::lockForRun() {
    m_running = true;
    m_locked.clear();
    for (QWidget* control : runLockedControls()) {
        // A control that was disabled on its own stays so after the run.
        m_locked.emplace_back(control, !control->testAttribute(Qt::WA_ForceDisabled));
        control->setEnabled(false);
    }
}

void TForm2::unlockAfterRun() {
    for (const auto& [control, enabled] : m_locked)
        if (control) control->setEnabled(enabled);
    m_locked.clear();
    m_running = false;
}

void TForm2::closeEvent(QCloseEvent* event) {
    if (m_running) {
        // The run is inside one of its records: it ends that record, closes its tables and
        // returns to Button1Click, which closes the window.
        m_closeAfterRun = true;
        m_engine->Button2Click();
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TForm2::Timer1Timer() {
    const QTextCursor cursor = mVisArq->textCursor();
    const int start = cursor.selectionStart();
    const QTextBlock line = mVisArq->document()->findBlock(start);
    const QString lineText = QString::number(std::max(line.blockNumber(), 0));
    const QString columnText = QString::number(start - std::max(line.position(), 0));
    const QString lengthText = QString::number(cursor.selectionEnd() - cursor.selectionStart());
    if (lLinMem->text() != lineText) setAutoSizedText(lLinMem, lineText);
    if (lColMem->text() != columnText) setAutoSizedText(lColMem, columnText);
    if (lTamMem->text() != lengthText) setAutoSizedText(lTamMem, lengthText);
}

void TForm2::bFecClick() {
    close();
}

void TForm2::reportError(const std::exception& error) {
    showErrorReport(this, error.what());
}

template <typename Handler>
void TForm2::guarded(Handler handler) {
    // As the platform's general error report does: the handler stops, the message shows, the
    // program goes on.
    try {
        handler();
    } catch (const std::exception& error) {
        reportError(error);
    }
}

void TForm2::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintBands(painter, width(), height());
}

void TForm2::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    applyShape();
}

void TForm2::mousePressEvent(QMouseEvent* event) {
    // Without a title bar the painted background is where the operator takes the window.
    if (event->button() != Qt::LeftButton || childAt(event->position().toPoint())) return;
    m_dragFrom = event->position().toPoint();
    m_dragging = true;
}

void TForm2::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragFrom);
}

void TForm2::mouseReleaseEvent(QMouseEvent*) {
    m_dragging = false;
}

}  // namespace sivaro
