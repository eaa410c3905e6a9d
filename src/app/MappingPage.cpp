#include "app/MappingPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>
#include <vector>

#include "app/EngineText.h"
#include "app/FontSetup.h"
#include "app/LabelSize.h"
#include "app/MainWindow.h"
#include "app/MessageWindow.h"
#include "import/LineReader.h"
#include "util/CodePage.h"
#include "util/Cp1252Literal.h"
#include "util/MessageKinds.h"
#include "util/Paths.h"
#include "util/ProfileFile.h"
#include "util/StringUtils.h"

namespace sivaro {

namespace {

constexpr int kLayoutLines = 50;
constexpr int kDefaultColumnWidth = 64;
constexpr int kRowHeight = 15;
const std::string kInvalidHeaderTitle = "Coluna com Cabeçalho Inválido"_cp1252;

// List items keep the engine's bytes beside the text shown, so that what is written back is
// exactly what was read.
void addItem(QListWidget* list, const std::string& bytes) {
    auto* item = new QListWidgetItem(fromEngine(bytes));
    item->setData(Qt::UserRole, QByteArray::fromStdString(bytes));
    list->addItem(item);
}

std::string itemBytes(const QListWidgetItem* item) {
    return item->data(Qt::UserRole).toByteArray().toStdString();
}

const QListWidgetItem* selectedItem(const QListWidget* list) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

// The column name of an association line {column}={Table}.{field}.
std::string associationName(const std::string& line) {
    return line.substr(0, line.find('='));
}

}  // namespace

MappingPage::MappingPage(TForm2& form) : QWidget(&form), m_form(form) {
    setObjectName(QStringLiteral("TabSheet3"));
    placeLabel(this, "Label6", QStringLiteral("Tabelas de Destino:"), 3, 19);
    cbTabDes = new QComboBox(this);
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

    placeLabel(this, "Label14", QStringLiteral("Campo Chave:"), 288, 40);
    eCamCha = new QLineEdit(this);
    eCamCha->setObjectName(QStringLiteral("eCamCha"));
    eCamCha->setGeometry(360, 32, 121, 21);

    // The caption stands on the left of the box.
    cbLimTab = new QCheckBox(QStringLiteral("Limpar Tabela Destino:"), this);
    cbLimTab->setObjectName(QStringLiteral("cbLimTab"));
    cbLimTab->setLayoutDirection(Qt::RightToLeft);
    cbLimTab->setGeometry(8, 56, 129, 17);
    cbFic = new QCheckBox(QStringLiteral("Origem tipo Ficha:"), this);
    cbFic->setObjectName(QStringLiteral("cbFic"));
    cbFic->setLayoutDirection(Qt::RightToLeft);
    cbFic->setGeometry(8, 80, 105, 17);
    // The captions were fitted to the 13-pixel box of the system the window was drawn for and
    // a narrow gap; this style's larger box and gap would cut their first letters.
    for (QCheckBox* box : {cbLimTab, cbFic}) {
        box->setStyleSheet(QStringLiteral(
            "QCheckBox { spacing: 2px; } QCheckBox::indicator { width: 13px; height: 13px; }"));
    }

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setGeometry(120, 80, 321, 57);
    placeLabel(Panel1, "Label7", QStringLiteral("Inicio do Registro:"), 26, 8);
    eIniReg = new QLineEdit(Panel1);
    eIniReg->setObjectName(QStringLiteral("eIniReg"));
    eIniReg->setGeometry(112, 5, 121, 21);
    placeLabel(Panel1, "Label11", QStringLiteral("Linha de Referencia:"), 13, 32);
    eLinRef = new QLineEdit(Panel1);
    eLinRef->setObjectName(QStringLiteral("eLinRef"));
    eLinRef->setGeometry(112, 29, 121, 21);

    placeLabel(this, "Label2", QStringLiteral("Colunas de Origem:"), 11, 144);
    lbColOri = new QListWidget(this);
    lbColOri->setObjectName(QStringLiteral("lbColOri"));
    lbColOri->setGeometry(8, 160, 121, 177);
    placeLabel(this, "Label3", QStringLiteral("Colunas de Destino:"), 139, 144);
    lbColDes = new QListWidget(this);
    lbColDes->setObjectName(QStringLiteral("lbColDes"));
    lbColDes->setGeometry(136, 160, 121, 177);
    Button6 = new QPushButton(QStringLiteral("Adicionar"), this);
    Button6->setObjectName(QStringLiteral("Button6"));
    Button6->setGeometry(264, 168, 49, 25);
    Button7 = new QPushButton(QStringLiteral("Remover"), this);
    Button7->setObjectName(QStringLiteral("Button7"));
    Button7->setGeometry(264, 200, 49, 25);
    placeLabel(this, "Label5", QStringLiteral("Colunas Associadas:"), 323, 144);
    lbColAss = new QListWidget(this);
    lbColAss->setObjectName(QStringLiteral("lbColAss"));
    lbColAss->setGeometry(320, 160, 209, 177);

    sgVisLis = new QTableWidget(1, 5, this);
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
    sgVisLis->setRowHeight(0, kRowHeight);
    sgVisLis->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sgVisLis->setWordWrap(false);
    sgVisLis->setTextElideMode(Qt::ElideNone);
    // The header row, once a source is previewed, is the grid's fixed row: it stays in sight
    // while the rows scroll under it.
    QHeaderView* header = sgVisLis->horizontalHeader();
    header->setFont(sgVisLis->font());
    header->setFixedHeight(kRowHeight);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);

    // The source box and the target table box take what is typed as it is: no completion.
    cbTabDes->setCompleter(nullptr);
}

std::string MappingPage::source() const {
    return m_form.sourceName();
}

void MappingPage::showSource(const std::string& path) {
    const ProfileFile& defs = m_form.definitions();
    const std::string name = source();
    const std::string opcoes = name + ".opcoes";

    cbTabDes->setEditText(fromEngine(defs.readString("Arquivos", name, "")));
    m_showing = true;
    struct Shown {
        bool& showing;
        ~Shown() { showing = false; }
    } shown{m_showing};
    // Each control that changes runs its handler, which writes the value back; an error there
    // ends the refresh as well.
    eIniReg->setText(fromEngine(defs.readString(opcoes, "IniReg", "")));
    m_form.passOnHandlerError();
    eCamCha->setText(fromEngine(defs.readString(opcoes, "CampoChave", "")));
    m_form.passOnHandlerError();
    cbLimTab->setChecked(defs.readBool(opcoes, "LimparTabela", false));
    m_form.passOnHandlerError();
    cbFic->setChecked(!defs.readBool(opcoes, "UmPorLin", true));
    m_form.passOnHandlerError();
    m_showing = false;

    listTargetFields(toEngine(cbTabDes->currentText()));
    if (cbFic->isChecked())
        listLayoutFields();
    else
        showHeaderAndPreview(path);
    listAssociations();
}

void MappingPage::listTargetFields(const std::string& tableList) {
    const ProfileFile tables(resolvePath(m_form.dataFolder(), "ini/tabelas.ini"));
    lbColDes->clear();
    std::string rest = tableList;
    while (!rest.empty()) {
        const std::string table = SeparaCampos(rest, ",");
        for (const std::string& field : tables.readSection(table + ".campos"))
            addItem(lbColDes, table + "." + field);
    }
}

void MappingPage::fitColumn(int column, const QString& text) {
    const int wanted = QFontMetrics(sgVisLis->font()).horizontalAdvance(text) + 5;
    if (sgVisLis->columnWidth(column) < wanted) sgVisLis->setColumnWidth(column, wanted);
}

void MappingPage::showHeaderAndPreview(const std::string& path) {
    sgVisLis->clear();
    sgVisLis->setRowCount(0);
    sgVisLis->setColumnCount(0);
    sgVisLis->horizontalHeader()->hide();

    LineReader reader;
    reader.open(path);
    std::string rest = reader.readLine(kPreviewLineKeep);
    lbColOri->clear();
    int columns = 0;
    while (!rest.empty()) {
        const std::string piece = SeparaCampos(rest, "\t");
        ++columns;
        std::string reason;
        if (piece.find(' ') != std::string::npos)
            reason =
                " tem um espaco em branco no início no meio ou no final do nome, favor "
                "apagar esse caracter"_cp1252;
        else if (piece.find('=') != std::string::npos)
            reason =
                " tem um sinal de = no início no meio ou no final do nome, favor apagar "
                "esse caracter"_cp1252;
        else if (piece.empty())
            reason = " está sem nome, favor colocar um nome"_cp1252;
        if (!reason.empty())
            MostraMensagem(kInvalidHeaderTitle,
                           "A coluna nº "_cp1252 + std::to_string(columns) + reason, kIconStop,
                           kButtonsOk);
        const std::string name = !reason.empty() ? std::string("ERRO") : piece;
        addItem(lbColOri, name);
        sgVisLis->setColumnCount(columns);
        const QString shown = fromEngine(name);
        sgVisLis->setHorizontalHeaderItem(columns - 1, new QTableWidgetItem(shown));
        fitColumn(columns - 1, shown);
    }

    // The lines first, then the grid at once: at the end of the file a read gives an empty
    // line, so a file of the header alone previews one empty row.
    std::vector<std::string> lines;
    while (static_cast<int>(lines.size()) < kPreviewLines) {
        lines.push_back(reader.readLine(kPreviewLineKeep));
        if (reader.eof()) break;
    }
    reader.close();
    sgVisLis->setRowCount(static_cast<int>(lines.size()));
    for (int row = 0; row < static_cast<int>(lines.size()); ++row) {
        std::string line = std::move(lines[static_cast<std::size_t>(row)]);
        for (int column = 0; !line.empty(); ++column) {
            const std::string piece = trim(SeparaCampos(line, "\t"));
            // Pieces beyond the header's columns are not shown.
            if (column >= columns || piece.empty()) continue;
            const QString shown = fromEngine(piece);
            sgVisLis->setItem(row, column, new QTableWidgetItem(shown));
            fitColumn(column, shown);
        }
    }
    sgVisLis->horizontalHeader()->show();
}

void MappingPage::listAssociations() {
    const ProfileFile& defs = m_form.definitions();
    const std::string campos = source() + ".campos";
    lbColAss->clear();
    for (int i = 0; i < lbColOri->count(); ++i) {
        const std::string column = itemBytes(lbColOri->item(i));
        const std::string target = defs.readString(campos, column, "");
        if (!target.empty()) addItem(lbColAss, column + "=" + target);
    }
}

void MappingPage::listLayoutFields() {
    const ProfileFile& defs = m_form.definitions();
    const std::string name = source();
    lbColOri->clear();
    for (int n = 1; n <= kLayoutLines; ++n)
        for (const std::string& field :
             defs.readSection(name + ".campos.linha" + std::to_string(n)))
            addItem(lbColOri, field);
}

void MappingPage::writeTargetTables() {
    m_form.writeDefinition("Arquivos", source(), toEngine(cbTabDes->currentText()));
}

void MappingPage::writeLimparTabela() {
    const std::string opcoes = source() + ".opcoes";
    // Shown from the definitions, a value that the box reads as ticked but the import does not
    // (a 2: only 1 empties the tables) stays as it is: written back as 1, merely choosing the
    // source would have the next import empty its tables.
    const ProfileFile& defs = m_form.definitions();
    if (m_showing && defs.keyExists(opcoes, "LimparTabela") &&
        defs.readBool(opcoes, "LimparTabela", false) == cbLimTab->isChecked())
        return;
    m_form.writeDefinitionBool(opcoes, "LimparTabela", cbLimTab->isChecked());
}

void MappingPage::writeUmPorLin() {
    m_form.writeDefinitionBool(source() + ".opcoes", "UmPorLin", !cbFic->isChecked());
}

void MappingPage::writeIniReg() {
    m_form.writeDefinition(source() + ".opcoes", "IniReg", toEngine(eIniReg->text()));
}

void MappingPage::writeCampoChave() {
    m_form.writeDefinition(source() + ".opcoes", "CampoChave", toEngine(eCamCha->text()));
}

void MappingPage::addAssociation() {
    const QListWidgetItem* column = selectedItem(lbColOri);
    const QListWidgetItem* target = selectedItem(lbColDes);
    if (column == nullptr || target == nullptr) {
        MostraMensagem("Nada para associar",
                       "Selecione uma coluna de origem e uma coluna de destino antes de "
                       "Adicionar.",
                       kIconExclamation, kButtonsOk);
        return;
    }
    const std::string name = itemBytes(column);
    const std::string line = name + "=" + itemBytes(target);
    // Written first: the list shows what the definitions hold.
    m_form.writeDefinition(source() + ".campos", name, itemBytes(target));
    // The definitions keep one target a column: a column mapped again shows its new target in
    // place of the old one.
    bool listed = false;
    for (int i = 0; i < lbColAss->count(); ++i) {
        QListWidgetItem* item = lbColAss->item(i);
        if (!sameText(associationName(itemBytes(item)), name)) continue;
        item->setText(fromEngine(line));
        item->setData(Qt::UserRole, QByteArray::fromStdString(line));
        listed = true;
    }
    if (!listed) addItem(lbColAss, line);
}

void MappingPage::removeAssociation() {
    const QListWidgetItem* selected = selectedItem(lbColAss);
    if (selected == nullptr) {
        MostraMensagem("Nada para remover", "Selecione uma coluna associada antes de Remover.",
                       kIconExclamation, kButtonsOk);
        return;
    }
    const std::string name = associationName(itemBytes(selected));
    m_form.deleteDefinition(source() + ".campos", name);
    // Every line of that column goes: its entry is gone.
    for (int i = lbColAss->count() - 1; i >= 0; --i)
        if (sameText(associationName(itemBytes(lbColAss->item(i))), name))
            delete lbColAss->takeItem(i);
}

int MappingPage::previewRowCount() const {
    return sgVisLis->horizontalHeader()->isHidden() ? sgVisLis->rowCount()
                                                    : sgVisLis->rowCount() + 1;
}

int MappingPage::previewColumnCount() const {
    return sgVisLis->columnCount();
}

QString MappingPage::previewCell(int row, int column) const {
    const bool headerRow = !sgVisLis->horizontalHeader()->isHidden();
    const QTableWidgetItem* item = nullptr;
    if (headerRow && row == 0)
        item = sgVisLis->horizontalHeaderItem(column);
    else
        item = sgVisLis->item(headerRow ? row - 1 : row, column);
    return item != nullptr ? item->text() : QString();
}

}  // namespace sivaro
