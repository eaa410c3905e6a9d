#pragma once
// The page "Visualizar Arquivo": the file viewer `mVisArq` inside a scroll box of fixed ranges,
// and the layout capture under it: the caret's column, line and selection length, a field name
// and "Inserir".
//
// The viewer holds the source's text from its first line: the whole file when it is up to
// kWindowMaxLines lines and about kWindowBytes of text, else a window of that size over the
// file, which moves on when the operator scrolls or moves the caret to its end and back at its
// start. Each line shows its first kLineKeep characters. Line numbers are always the file's.

#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;

namespace sivaro {

class SourceLines;
class TForm2;

class ViewerPage : public QWidget {
    Q_OBJECT
  public:
    static constexpr std::int64_t kWindowMaxLines = 20000;
    // A window holds at least this many lines, so that the viewer can scroll it.
    static constexpr std::int64_t kWindowMinLines = 2000;
    static constexpr std::size_t kWindowBytes = 2 << 20;
    // About what the viewer's 30000 pixels show across in its font.
    static constexpr std::size_t kLineKeep = 4096;

    // Built as a child of the window, whose font it takes; the window then puts it in its pages.
    explicit ViewerPage(TForm2& form);
    ~ViewerPage() override;

    // Shows the text of the file at `path` (an engine path) from its first line, the caret at
    // its start. Raises EInOutError naming the file when it cannot be opened or read; the viewer
    // then keeps what it showed.
    void showFile(const std::string& path);
    // Brings line `line` of the file shown (counted from 0) to the top of the viewer with the
    // caret at its start. False, and nothing moved, when the file has no such line.
    bool showLine(std::int64_t line);
    // The first line of the file that the viewer's text holds.
    std::int64_t firstLineShown() const { return m_first; }

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
    struct Place {
        std::int64_t line = 0;
        int column = 0;
    };
    // Loads the window from line `first`, then puts line `top` at the top and the caret and
    // anchor where they were, when the new window holds them.
    void showWindow(std::int64_t first, std::int64_t top, Place caret, Place anchor);
    void followScroll(int value);
    void followCaret();
    Place placeOf(int position) const;

    std::unique_ptr<SourceLines> m_lines;
    std::int64_t m_first = 0;
    bool m_reachesEnd = true;
    bool m_moving = false;
};

}  // namespace sivaro
