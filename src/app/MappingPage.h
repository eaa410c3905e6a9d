#pragma once
// The page "Gráfico": a source's target tables and options, its columns, the target fields, the
// columns mapped so far and a preview grid of its first lines. Every change is written to the
// definitions at once, in the sections of the source named in the source box at that moment.

#include <QWidget>

#include <cstddef>
#include <string>

class QCheckBox;
class QComboBox;
class QFrame;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace sivaro {

class TForm2;

class MappingPage : public QWidget {
    Q_OBJECT
  public:
    // Built as a child of the window, whose font it takes; the window then puts it in its pages.
    explicit MappingPage(TForm2& form);

    // Data lines the preview shows at most, and the bytes of a line it keeps.
    static constexpr int kPreviewLines = 501;
    static constexpr std::size_t kPreviewLineKeep = 1 << 20;

    // Fills the page for the source of the source box, whose file is at `path`: its target
    // tables and options (a control whose value changes runs its handler, which writes the value
    // back), the fields of its target tables, its columns (a delimited source's header, checked
    // name by name, with the preview of its first lines; a record-type source's layout fields)
    // and the columns already mapped. Raises EInOutError when the file cannot be read.
    void showSource(const std::string& path);
    // The source's entry in "Arquivos": the text of the target table box.
    void writeTargetTables();
    void writeLimparTabela();  // the tick of cbLimTab
    void writeUmPorLin();      // the opposite of the tick of cbFic
    void writeIniReg();        // the text of eIniReg
    void writeCampoChave();    // the text of eCamCha
    // "Adicionar": maps the selected source column to the selected target field, listed once
    // per column as the definitions keep it. Without both selected it says so and writes
    // nothing.
    void addAssociation();
    // "Remover": deletes the mapping of the selected association. Without a selection it says so
    // and deletes nothing.
    void removeAssociation();
    // The source columns of a record-type source: the layout fields of lines 1 to 50.
    void listLayoutFields();

    // The preview as rows of cells, row 0 the header row; "" where a row has no such cell.
    int previewRowCount() const;
    int previewColumnCount() const;
    QString previewCell(int row, int column) const;

    QComboBox* cbTabDes;
    QLineEdit* eCamCha;
    QCheckBox* cbLimTab;
    QCheckBox* cbFic;
    QFrame* Panel1;
    QLineEdit* eIniReg;
    QLineEdit* eLinRef;
    QListWidget* lbColOri;
    QListWidget* lbColDes;
    QListWidget* lbColAss;
    QPushButton* Button6;  // "Adicionar"
    QPushButton* Button7;  // "Remover"
    QTableWidget* sgVisLis;

  private:
    std::string source() const;
    // Reads the header line into the source columns and the grid's header row, then the
    // preview lines.
    void showHeaderAndPreview(const std::string& path);
    void listTargetFields(const std::string& tableList);
    void listAssociations();
    void fitColumn(int column, const QString& text);

    TForm2& m_form;
    bool m_showing = false;  // the options are being set from the definitions
};

}  // namespace sivaro
