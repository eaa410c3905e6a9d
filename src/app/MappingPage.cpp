#include "app/MappingPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>

#include "app/FontSetup.h"
#include "app/LabelSize.h"
#include "app/MainWindow.h"

namespace sivaro {

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
    sgVisLis->setRowHeight(0, 15);
}

}  // namespace sivaro
