#pragma once
// The left column of the workbench: the heading, the data folder and source boxes, the import
// controls and the error log. They stand straight on the window, so that its painted bands show
// around and through them; the window connects them to its handlers.

#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QWidget;

namespace sivaro {

class LeftColumn {
  public:
    // Places the controls on `window`, which owns them.
    explicit LeftColumn(QWidget& window);

    QLabel* tLabel1;  // shadow of the heading
    QLabel* Label4;   // heading
    QLabel* tLabel3;
    QLabel* tLabel4;
    QLabel* Label1;
    QLineEdit* eLoc;
    QLabel* Label10;
    QComboBox* cbTab;
    QPushButton* Button8;
    QCheckBox* cbImpTot;
    QPushButton* Button1;
    QPushButton* Button2;
    QLabel* lTab;
    QProgressBar* st;
    QLabel* lLin;
    QPushButton* bFec;
    QPlainTextEdit* Memo1;
};

}  // namespace sivaro
