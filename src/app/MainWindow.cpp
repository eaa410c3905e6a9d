#include "app/MainWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegion>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>

#include "app/DefinitionsPage.h"
#include "app/EngineText.h"
#include "app/ErrorReport.h"
#include "app/FontSetup.h"
#include "app/LeftColumn.h"
#include "app/LogMemo.h"
#include "app/MappingPage.h"
#include "app/MessageWindow.h"
#include "app/OpenFileDialog.h"
#include "app/ViewerPage.h"
#include "app/WorkbenchHost.h"
#include "barcode/paint/BarcodeControlForm.h"
#include "barcode/paint/TVxBarcode.h"
#include "barcode/widget/BarcodeWidget.h"
#include "import/ImportEngine.h"
#include "import/LineReader.h"
#include "store/Connection.h"
#include "util/CodePage.h"
#include "util/Cp1252Literal.h"
#include "util/Errors.h"
#include "util/MessageKinds.h"
#include "util/Paths.h"
#include "util/ProfileFile.h"
#include "util/StringUtils.h"

namespace sivaro {

namespace {

constexpr int kClientWidth = 1005;
constexpr int kClientHeight = 619;
constexpr int kCornerEllipse = 50;
constexpr int kFirstBlue = 200;
const char* const kDefinitionsName = "Definicao.ini";

bool isFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(osPath(path), ec);
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

    m_left = std::make_unique<LeftColumn>(*this);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(360, 16, 639, 595);
    m_definitionsPage = new DefinitionsPage(*this);
    m_mappingPage = new MappingPage(*this);
    m_viewerPage = new ViewerPage(*this);
    PageControl1->addTab(m_definitionsPage, QStringLiteral("TabSheet1"));
    PageControl1->addTab(m_mappingPage, QStringLiteral("Gráfico"));
    PageControl1->addTab(m_viewerPage, QStringLiteral("Visualizar Arquivo"));
    PageControl1->setCurrentWidget(m_mappingPage);

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

    connectHandlers();
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

void TForm2::connectHandlers() {
    const LeftColumn& left = *m_left;
    connect(Timer1, &QTimer::timeout, this, [this] { guarded([this] { Timer1Timer(); }); });
    connect(left.eLoc, &QLineEdit::textChanged, this,
            [this] { guarded([this] { eLocChange(); }); });
    connect(left.Button1, &QPushButton::clicked, this,
            [this] { guarded([this] { Button1Click(); }); });
    // The rehearsal hangs on "Importa" without a control of its own, so the layout stays.
    auto* acSimula =
        new QAction(QStringLiteral("Simular importação (nada é gravado)"), left.Button1);
    acSimula->setObjectName(QStringLiteral("acSimula"));
    acSimula->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    acSimula->setShortcutContext(Qt::WindowShortcut);
    left.Button1->addAction(acSimula);
    left.Button1->setContextMenuPolicy(Qt::ActionsContextMenu);
    addAction(acSimula);
    connect(acSimula, &QAction::triggered, this,
            [this] { guarded([this] { acSimulaExecute(); }); });
    left.Memo1->viewport()->installEventFilter(this);
    connect(left.Button2, &QPushButton::clicked, this,
            [this] { guarded([this] { Button2Click(); }); });
    connect(left.bFec, &QPushButton::clicked, this, [this] { bFecClick(); });
    connect(m_definitionsPage->Button3, &QPushButton::clicked, this,
            [this] { guarded([this] { Button3Click(); }); });

    // The boxes run their handlers on the operator's changes only: a choice from the list or a
    // keystroke, not a text set by the program.
    connect(left.Button8, &QPushButton::clicked, this,
            [this] { guarded([this] { Button8Click(); }); });
    connect(left.cbTab, &QComboBox::activated, this,
            [this] { guarded([this] { cbTabChange(); }); });
    connect(left.cbTab->lineEdit(), &QLineEdit::textEdited, this,
            [this] { guarded([this] { cbTabChange(); }); });
    const MappingPage& mapping = *m_mappingPage;
    connect(mapping.cbTabDes, &QComboBox::activated, this,
            [this] { guarded([this] { cbTabDesChange(); }); });
    connect(mapping.cbTabDes->lineEdit(), &QLineEdit::textEdited, this,
            [this] { guarded([this] { cbTabDesChange(); }); });
    // Check boxes and edit boxes run theirs on every change, the program's included.
    connect(mapping.cbLimTab, &QCheckBox::toggled, this,
            [this] { guarded([this] { cbLimTabClick(); }); });
    connect(mapping.cbFic, &QCheckBox::toggled, this,
            [this] { guarded([this] { cbFicClick(); }); });
    connect(mapping.eIniReg, &QLineEdit::textChanged, this,
            [this] { guarded([this] { eIniRegChange(); }); });
    connect(mapping.eLinRef, &QLineEdit::textChanged, this,
            [this] { guarded([this] { eIniRegChange(); }); });
    connect(mapping.eCamCha, &QLineEdit::textChanged, this,
            [this] { guarded([this] { eCamChaChange(); }); });
    connect(mapping.Button6, &QPushButton::clicked, this,
            [this] { guarded([this] { Button6Click(); }); });
    connect(mapping.Button7, &QPushButton::clicked, this,
            [this] { guarded([this] { Button7Click(); }); });
    connect(m_viewerPage->Button4, &QPushButton::clicked, this,
            [this] { guarded([this] { Button4Click(); }); });
}

void TForm2::FormCreate() {
    // The program works on the folder it was started in.
    m_left->eLoc->setText(fromEngine(fromOsPath(std::filesystem::current_path())));
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
    return toEngine(m_left->eLoc->text());
}

std::string TForm2::definitionsPath() const {
    return resolvePath(dataFolder(), kDefinitionsName);
}

std::string TForm2::sourceName() const {
    return toEngine(m_left->cbTab->currentText());
}

void TForm2::eLocChange() {
    const std::string path = definitionsPath();
    m_def = std::make_unique<ProfileFile>(path);

    // The source box keeps the name shown in it, whatever the new folder lists.
    QComboBox* cbTab = m_left->cbTab;
    const QString shown = cbTab->currentText();
    QStringList sources;
    for (const std::string& key : m_def->readSection("arquivos")) sources << fromEngine(key);
    cbTab->clear();
    cbTab->addItems(sources);
    cbTab->setCurrentIndex(-1);
    cbTab->setEditText(shown);

    if (isFile(path)) m_definitionsPage->reload();
}

void TForm2::eOriChange() {
    m_cityFolder = resolvePath(dataFolder(), "db");
    m_engine->pointCityTable();
}

void TForm2::writeDefinition(std::string_view section, std::string_view key,
                             std::string_view value) {
    m_def->writeString(section, key, value);
    m_definitionsPage->followFile();
}

void TForm2::writeDefinitionBool(std::string_view section, std::string_view key, bool value) {
    m_def->writeBool(section, key, value);
    m_definitionsPage->followFile();
}

void TForm2::deleteDefinition(std::string_view section, std::string_view key) {
    m_def->deleteKey(section, key);
    m_definitionsPage->followFile();
}

void TForm2::passOnHandlerError() {
    if (!m_handlerError) return;
    std::exception_ptr error = std::move(m_handlerError);
    m_handlerError = nullptr;
    std::rethrow_exception(error);
}

void TForm2::Button8Click() {
    const QString chosen = chooseOpenFile(this);
    if (chosen.isEmpty()) return;
    const std::string name = baseName(fromOsPath(std::filesystem::path(chosen.toStdString())));
    writeDefinition("Arquivos", name, "");

    // The box lists a source once: a name registered again is the item already there, so that
    // "Todos" does not import it twice.
    QComboBox* cbTab = m_left->cbTab;
    int index = cbTab->findText(fromEngine(name), Qt::MatchFixedString);
    if (index < 0) {
        cbTab->addItem(fromEngine(name));
        index = cbTab->count() - 1;
    }
    cbTab->setCurrentIndex(index);

    const std::string path = resolvePath(dataFolder(), name);
    if (!isFile(path))
        throw EInOutError("O arquivo " + name + " não está na pasta de dados "_cp1252 +
                          dataFolder() + ": registrado, mas sem texto para mostrar");
    m_viewerPage->showFile(path);
}

void TForm2::cbTabChange() {
    const std::string source = sourceName();
    if (source.empty() || leavesFolder(source)) return;
    const std::string path = resolvePath(dataFolder(), source);
    // Typing a name letter by letter shows the source once the text names its file.
    if (!isFile(path)) return;
    m_viewerPage->showFile(path);
    m_mappingPage->showSource(path);
}

void TForm2::cbTabDesChange() {
    if (m_left->cbTab->currentText().isEmpty()) return;
    m_mappingPage->writeTargetTables();
    cbTabChange();
}

void TForm2::cbLimTabClick() {
    // The memo of the first page follows the write (unless the operator is editing it).
    m_mappingPage->writeLimparTabela();
}

void TForm2::cbFicClick() {
    m_mappingPage->writeUmPorLin();
}

void TForm2::eIniRegChange() {
    m_mappingPage->writeIniReg();
}

void TForm2::eCamChaChange() {
    m_mappingPage->writeCampoChave();
}

void TForm2::Button6Click() {
    m_mappingPage->addAssociation();
}

void TForm2::Button7Click() {
    m_mappingPage->removeAssociation();
}

void TForm2::Button4Click() {
    ViewerPage& viewer = *m_viewerPage;
    // The numbers of the selection as it is now, not as the last tick of the timer saw it.
    viewer.showCaret();
    const std::string name = trim(toEngine(viewer.eNomMem->text()));
    if (name.empty()) {
        MostraMensagem("Campo sem nome",
                       "Digite em Nome o nome do campo selecionado antes de Inserir.",
                       kIconExclamation, kButtonsOk);
        return;
    }
    const std::string caretLine = toEngine(viewer.lLinMem->text());
    const std::string reference = toEngine(m_mappingPage->eLinRef->text());
    const std::int64_t line = std::int64_t{ValorInteiro(caretLine)} - ValorInteiro(reference) + 1;
    // Neither the layout listing nor the import reads a line 0 or below.
    if (line < 1) {
        MostraMensagem("Linha fora do registro",
                       "A linha " + caretLine + " está acima da Linha de Referencia "_cp1252 +
                           std::to_string(ValorInteiro(reference)) +
                           ".|Selecione o campo numa linha do registro, a partir da linha de "
                           "referência."_cp1252,
                       kIconExclamation, kButtonsOk);
        return;
    }
    const std::string value =
        toEngine(viewer.lColMem->text()) + "," + toEngine(viewer.lTamMem->text());
    writeDefinition(sourceName() + ".campos.linha" + std::to_string(line), name, value);
    InserirCamposOriginaisTipoFicha();
}

void TForm2::InserirCamposOriginaisTipoFicha() {
    m_mappingPage->listLayoutFields();
}

void TForm2::Button3Click() {
    m_definitionsPage->save();
}

void TForm2::Button1Click() {
    runImport(false);
}

void TForm2::acSimulaExecute() {
    runImport(true);
}

void TForm2::runImport(bool rehearse) {
    if (m_running) return;  // a click that reached the window while the run let events through
    lockForRun();
    std::optional<std::string> stopped;
    try {
        if (rehearse) {
            m_engine->rehearse();
            m_host->addLogLine(
                "Simulação: nenhuma tabela, contador ou arquivo da pasta de dados foi "
                "alterado."_cp1252);
        } else {
            m_engine->runSources();
        }
    } catch (const std::exception& error) {
        stopped = error.what();
    } catch (...) {
        stopped = "A importação parou por um erro desconhecido"_cp1252;
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

void TForm2::noteFailedLine(std::string_view logLine, const std::string& source,
                            std::int64_t line) {
    m_failedLines.add(logLine, source, line);
}

void TForm2::Memo1DblClick(const QPoint& at) {
    const QString text = logLineAt(*m_left->Memo1, at);
    if (!text.startsWith(QStringLiteral("linha:"))) return;
    const auto found = m_failedLines.find(toEngine(text));
    if (!found) return;
    showSourceLine(found->first, found->second);
}

bool TForm2::showSourceLine(const std::string& source, std::int64_t line) {
    const std::string path = resolvePath(dataFolder(), source);
    if (!isFile(path) || line < 1) return false;
    QPlainTextEdit* viewer = m_viewerPage->mVisArq;
    if (m_viewerSource != path) {
        // Lines as the import counts them: the viewer's line n is the source's line n.
        LineReader reader;
        reader.open(path);
        QString text;
        for (bool first = true; !reader.eof(); first = false) {
            if (!first) text += QLatin1Char('\n');
            text += fromEngine(reader.readLine());
        }
        viewer->setPlainText(text);
        m_viewerSource = path;
    }
    const QTextBlock block = viewer->document()->findBlockByNumber(static_cast<int>(line - 1));
    if (!block.isValid()) return false;
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    viewer->setTextCursor(cursor);
    PageControl1->setCurrentWidget(m_viewerPage);
    // The viewer is as large as its scroll box's range: the box scrolls, not the viewer.
    const QRect shown = viewer->cursorRect(cursor);
    m_viewerPage->sbVisFic->ensureVisible(0, shown.center().y(), 0, shown.height() * 3);
    m_viewerPage->sbVisFic->horizontalScrollBar()->setValue(0);
    return true;
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_left->Memo1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        guarded([this, at] { Memo1DblClick(at); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TForm2::Button2Click() {
    m_engine->cancel();
}

bool TForm2::cancelRequested() const {
    return m_engine->cancelled();
}

std::vector<QWidget*> TForm2::runLockedControls() const {
    // "Todos" and "Cancelar" stay: they are how the operator steers a run. The memo may be
    // edited, but "Salvar" waits for the end of the run.
    const LeftColumn& left = *m_left;
    const MappingPage& mapping = *m_mappingPage;
    return {left.eLoc,
            left.cbTab,
            left.Button8,
            mapping.cbTabDes,
            mapping.eCamCha,
            mapping.cbLimTab,
            mapping.cbFic,
            mapping.eIniReg,
            mapping.eLinRef,
            mapping.lbColOri,
            mapping.lbColDes,
            mapping.lbColAss,
            mapping.Button6,
            mapping.Button7,
            m_definitionsPage->Button3,
            m_viewerPage->Button4,
            left.Button1};
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
        m_engine->cancel();
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TForm2::Timer1Timer() {
    m_viewerPage->showCaret();
}

void TForm2::bFecClick() {
    close();
}

template <typename Handler>
void TForm2::guarded(Handler handler) {
    if (m_handlerDepth > 0) {
        // Run by another handler's change of a control: the error goes back to that handler,
        // as it would have come out of the change.
        try {
            handler();
        } catch (...) {
            if (!m_handlerError) m_handlerError = std::current_exception();
        }
        return;
    }
    ++m_handlerDepth;
    runGuarded(this, [&] {
        struct Leave {
            TForm2& form;
            ~Leave() {
                --form.m_handlerDepth;
                form.m_handlerError = nullptr;
            }
        } leave{*this};
        handler();
        passOnHandlerError();
    });
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
