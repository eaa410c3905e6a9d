#pragma once
// The page "Gráfico": a source's target tables and options, its columns, the target fields, the
// columns mapped so far and a preview grid of its first lines.

#include <QWidget>

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
    TForm2& m_form;
};

}  // namespace sivaro
