#pragma once
// The page "Visualizar Arquivo": the file viewer `mVisArq` inside a scroll box of fixed ranges,
// and the layout capture under it: the caret's column, line and selection length, a field name
// and "Inserir".

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;

namespace sivaro {

class TForm2;

class ViewerPage : public QWidget {
    Q_OBJECT
  public:
    // Built as a child of the window, whose font it takes; the window then puts it in its pages.
    explicit ViewerPage(TForm2& form);

    // Shows the viewer's caret in the labels: its line and column counted from 0, and the
    // length of the selection.
    void showCaret();

    QScrollArea* sbVisFic;
    QPlainTextEdit* mVisArq;
    QLabel* lColMem;
    QLabel* lLinMem;
    QLabel* lTamMem;
    QLineEdit* eNomMem;
    QPushButton* Button4;  // "Inserir"

  private:
    TForm2& m_form;
};

}  // namespace sivaro
