#include "app/ViewerPage.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTextBlock>

#include <algorithm>

#include "app/FontSetup.h"
#include "app/LabelSize.h"
#include "app/MainWindow.h"

namespace sivaro {

ViewerPage::ViewerPage(TForm2& form) : QWidget(&form), m_form(form) {
    setObjectName(QStringLiteral("TabSheet4"));
    sbVisFic = new QScrollArea(this);
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

    placeLabel(this, "Label8", QStringLiteral("Coluna:"), 16, 536);
    lColMem = placeLabel(this, "lColMem", QStringLiteral("0"), 56, 536);
    placeLabel(this, "Label9", QStringLiteral("Linha:"), 96, 536);
    lLinMem = placeLabel(this, "lLinMem", QStringLiteral("0"), 128, 536);
    placeLabel(this, "Label13", QStringLiteral("Tamanho:"), 160, 536);
    lTamMem = placeLabel(this, "lTamMem", QStringLiteral("0"), 210, 536);
    placeLabel(this, "Label12", QStringLiteral("Nome"), 264, 540);
    eNomMem = new QLineEdit(this);
    eNomMem->setObjectName(QStringLiteral("eNomMem"));
    eNomMem->setGeometry(296, 536, 33, 21);
    Button4 = new QPushButton(QStringLiteral("Inserir"), this);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button4->setGeometry(336, 536, 41, 25);
    // The capture row sits over the viewer, as the operator reads it while selecting.
    for (QObject* child : children()) {
        if (auto* w = qobject_cast<QWidget*>(child); w && w != sbVisFic) w->raise();
    }
}

void ViewerPage::showCaret() {
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

}  // namespace sivaro
