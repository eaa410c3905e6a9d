#pragma once
// The import workbench: a shaped window without a frame, painted in bands of blue, that holds
// the left column (data folder, source box, import controls, log) and the pages of the
// definitions editor, the source preview and mapping, and the file viewer. The window wires
// them: the handlers named after their controls live here and call the pages and the import
// engine. Every control carries its name as its object name, so that the tests find it by it.

#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <exception>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/FailedLineIndex.h"

class QTabWidget;
class QTimer;

namespace sivaro {

class BarcodeWidget;
class DefinitionsPage;
class TVxBarcode;
class ImportEngine;
class LeftColumn;
class MappingPage;
class ProfileFile;
class ViewerPage;
class WorkbenchHost;

// Band height of the background: Round(height / 150 + 0.49), halves to the even neighbour.
int bandHeight(int windowHeight);

// Paints the background bands over a window of that size: blue 200 at the top, one less each
// band. The last band may reach below the bottom edge, so that no row is left unpainted.
void paintBands(class QPainter& painter, int clientWidth, int windowHeight);

class TForm2 : public QWidget {
    Q_OBJECT
  public:
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    // The data folder as the engine's text (Windows-1252), exactly as typed in `eLoc`.
    std::string dataFolder() const;
    // {data folder}/Definicao.ini, its name matched without regard to case.
    std::string definitionsPath() const;
    // The text of the source box as the engine's text: the name of the source whose sections
    // every setting of the pages is written to.
    std::string sourceName() const;
    // The open definitions file of the current data folder.
    ProfileFile& definitions() const { return *m_def; }
    // Where `tCid` points: the folder of the city table, set by eOriChange and by the
    // preparation of each source of an import.
    const std::string& cityTableFolder() const { return m_cityFolder; }
    // "Cancelar" was pressed since the last "Importa".
    bool cancelRequested() const;
    // An import started by "Importa" has not ended yet.
    bool importRunning() const { return m_running; }
    // The hidden EAN-13 barcode `b` with which an import completes and corrects check digits.
    TVxBarcode& barcode() const;

    LeftColumn& leftColumn() const { return *m_left; }
    DefinitionsPage& definitionsPage() const { return *m_definitionsPage; }
    MappingPage& mappingPage() const { return *m_mappingPage; }
    ViewerPage& viewerPage() const { return *m_viewerPage; }

    // Writes of the workbench's controls go through these, so that the definitions memo
    // follows the file while the operator has not edited it.
    void writeDefinition(std::string_view section, std::string_view key, std::string_view value);
    void writeDefinitionBool(std::string_view section, std::string_view key, bool value);
    void deleteDefinition(std::string_view section, std::string_view key);
    // A handler run by a control that another handler changed keeps its error for that
    // handler, which calls this after each such change: the error then ends it as well.
    void passOnHandlerError();

    void eLocChange();
    void eOriChange();
    void Button3Click();  // "Salvar"
    // "Importa": runs the import of the selected source, or of every source with "Todos". The
    // controls that would change its settings are disabled until it ends; an error that stops
    // it is shown in the general error report.
    void Button1Click();
    // "Simular importação" of the context menu of "Importa" (and Ctrl+Shift+S): the same run
    // rehearsed, the tables changed in memory only; the log gets the rows each target table
    // would receive, and nothing in the data folder changes.
    void acSimulaExecute();
    void Button2Click();  // "Cancelar": the run stops at its next record
    // A double click on a "linha:" line of Memo1 shows that line of its source, selected, in
    // the page "Visualizar Arquivo"; other lines do nothing.
    void Memo1DblClick(const QPoint& at);
    // The source line a "linha:" line of the log stands for (WorkbenchHost tells them), the
    // line in the engine's code page.
    void noteFailedLine(std::string_view logLine, const std::string& source, std::int64_t line);
    // Loads `source` of the data folder into the viewer and selects its line `line` (from 1).
    bool showSourceLine(const std::string& source, std::int64_t line);
    void Timer1Timer();
    void bFecClick();

    // "...": the open-file dialog; the file chosen is registered in "Arquivos" under its bare
    // name, shown in the source box and loaded into the viewer from the data folder.
    void Button8Click();
    // Every change of the source box by the operator: when its text names a file of the data
    // folder, the viewer and the page "Gráfico" show that source.
    void cbTabChange();
    // Every change of the target table box by the operator: written for the source, which is
    // then shown again.
    void cbTabDesChange();
    void cbLimTabClick();  // "LimparTabela"
    void cbFicClick();     // "UmPorLin", the opposite of the tick
    void eIniRegChange();  // "IniReg", also on every change of eLinRef
    void eCamChaChange();  // "CampoChave"
    void Button6Click();   // "Adicionar"
    void Button7Click();   // "Remover"
    // "Inserir": stores the viewer's selection as the layout entry {column},{length} of the
    // field named in "Nome", in the line of the record counted from the reference line, and
    // lists the layout fields again. An empty name or a line above the reference line is
    // refused with a message.
    void Button4Click();
    void InserirCamposOriginaisTipoFicha();

  protected:
    void paintEvent(class QPaintEvent* event) override;
    void mousePressEvent(class QMouseEvent* event) override;
    void mouseMoveEvent(class QMouseEvent* event) override;
    void mouseReleaseEvent(class QMouseEvent* event) override;
    void resizeEvent(class QResizeEvent* event) override;
    // Closing during an import cancels it first; the window closes when the import has ended.
    void closeEvent(class QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    friend class WorkbenchHost;

    void runImport(bool rehearse);
    void FormCreate();
    void applyShape();
    void connectHandlers();
    template <typename Handler>
    void guarded(Handler handler);
    // The controls whose changes would alter a running import's settings.
    std::vector<QWidget*> runLockedControls() const;
    void lockForRun();
    void unlockAfterRun();

    std::unique_ptr<LeftColumn> m_left;
    QTabWidget* PageControl1;
    DefinitionsPage* m_definitionsPage;  // TabSheet1
    MappingPage* m_mappingPage;          // TabSheet3 "Gráfico"
    ViewerPage* m_viewerPage;            // TabSheet4 "Visualizar Arquivo"
    FailedLineIndex m_failedLines;       // "linha:" lines of the log and the source line of each
    std::string m_viewerSource;          // the file the viewer holds, as the double click loaded it
    QTimer* Timer1;
    BarcodeWidget* b = nullptr;

    std::unique_ptr<ProfileFile> m_def;
    std::string m_cityFolder;
    std::unique_ptr<WorkbenchHost> m_host;
    std::unique_ptr<ImportEngine> m_engine;
    bool m_running = false;
    bool m_closeAfterRun = false;
    // Each locked control with whether it was enabled by itself before the run.
    std::vector<std::pair<QPointer<QWidget>, bool>> m_locked;
    int m_handlerDepth = 0;
    std::exception_ptr m_handlerError;
    QPoint m_dragFrom;
    bool m_dragging = false;
};

}  // namespace sivaro
