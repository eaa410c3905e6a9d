#include "app/LeftColumn.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include "app/FontSetup.h"
#include "app/LabelSize.h"

namespace sivaro {

namespace {

// The column's labels are Arial bold in white over the bands.
QLabel* whiteLabel(QWidget& window, const char* name, const QString& caption, int left, int top,
                   int pixels) {
    auto* label = new QLabel(&window);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(makeFont("Arial", pixels, true));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    label->move(left, top);
    setAutoSizedText(label, caption);
    return label;
}

QPushButton* button(QWidget& window, const char* name, const QString& caption, QRect place) {
    auto* b = new QPushButton(caption, &window);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(place);
    return b;
}

}  // namespace

LeftColumn::LeftColumn(QWidget& window) {
    tLabel1 = whiteLabel(window, "tLabel1", QStringLiteral("Importação de Dados"), 22, 6, 32);
    QPalette shadow = tLabel1->palette();
    shadow.setColor(QPalette::WindowText, Qt::black);
    tLabel1->setPalette(shadow);
    Label4 = whiteLabel(window, "Label4", QStringLiteral("Importação de Dados"), 20, 4, 32);
    tLabel3 = whiteLabel(window, "tLabel3", QStringLiteral("SIVARO PLUS"), 68, 56, 35);
    tLabel3->resize(230, tLabel3->height());
    tLabel3->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    tLabel4 = whiteLabel(window, "tLabel4", QStringLiteral("Suporte técnico SIVARO"), 93, 93, 19);

    Label1 = whiteLabel(window, "Label1", QStringLiteral("Local"), 50, 138, 13);
    eLoc = new QLineEdit(&window);
    eLoc->setObjectName(QStringLiteral("eLoc"));
    eLoc->setGeometry(88, 136, 250, 21);

    Label10 = whiteLabel(window, "Label10", QStringLiteral("Arquivo de Origem:"), 18, 178, 13);
    cbTab = new QComboBox(&window);
    cbTab->setObjectName(QStringLiteral("cbTab"));
    cbTab->setEditable(true);
    cbTab->setInsertPolicy(QComboBox::NoInsert);
    cbTab->setGeometry(144, 176, 145, 21);
    // A name is taken as typed, letter by letter: no completion from the list.
    cbTab->setCompleter(nullptr);
    Button8 = button(window, "Button8", QStringLiteral("..."), QRect(296, 176, 25, 25));

    cbImpTot = new QCheckBox(QStringLiteral("Todos"), &window);
    cbImpTot->setObjectName(QStringLiteral("cbImpTot"));
    cbImpTot->setGeometry(32, 212, 51, 17);
    // A check box is a control of its own, on the button face, not over the painted bands.
    cbImpTot->setAutoFillBackground(true);
    cbImpTot->setBackgroundRole(QPalette::Button);
    Button1 = button(window, "Button1", QStringLiteral("Importa"), QRect(89, 208, 75, 25));
    Button2 = button(window, "Button2", QStringLiteral("Cancelar"), QRect(184, 208, 75, 25));

    lTab = whiteLabel(window, "lTab", QStringLiteral("Importando: ..."), 26, 240, 13);
    st = new QProgressBar(&window);
    st->setObjectName(QStringLiteral("st"));
    st->setGeometry(9, 260, 315, 19);
    st->setTextVisible(false);
    st->setStyleSheet(
        QStringLiteral("QProgressBar { background: #ff0000; border: 1px solid #000000; }"
                       "QProgressBar::chunk { background: #00a000; }"));
    st->hide();
    lLin = whiteLabel(window, "lLin", QStringLiteral("."), 327, 260, 13);

    bFec = button(window, "bFec", QStringLiteral("Fechar"), QRect(129, 288, 75, 25));

    Memo1 = new QPlainTextEdit(&window);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(8, 328, 345, 281);
}

}  // namespace sivaro
