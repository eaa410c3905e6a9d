#pragma once
// The page "TabSheet1": the whole text of Definicao.ini in the memo `mDef`, edited by hand and
// written back by "Salvar". The memo follows the file after every write of the workbench as long
// as the operator has not edited it, and "Salvar" asks before writing over a file that changed
// since the memo was loaded.

#include <QWidget>

#include <string>

class QPlainTextEdit;
class QPushButton;

namespace sivaro {

class TForm2;

class DefinitionsPage : public QWidget {
    Q_OBJECT
  public:
    // Built as a child of the window, whose font it takes; the window then puts it in its pages.
    explicit DefinitionsPage(TForm2& form);

    // Loads the memo from the current folder's Definicao.ini; a file that cannot be read leaves
    // it as it is.
    void reload();
    // After a write of the workbench: reloads unless the operator has edited the memo.
    void followFile();
    // Writes the memo's lines over Definicao.ini, each ending in CR LF. Raises EInOutError when the
    // file cannot be written; the memo keeps its text.
    void save();

    QPlainTextEdit* mDef;
    QPushButton* Button3;  // "Salvar"

  private:
    bool changedOnDisk() const;

    TForm2& m_form;
    // What the memo was loaded from, to tell whether the file changed under it.
    std::string m_memoPath;
    std::string m_memoBytes;
    bool m_memoLoaded = false;
};

}  // namespace sivaro
