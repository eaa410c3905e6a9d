#pragma once
// Drives the workbench's real controls as an operator does: keys typed into boxes, choices from
// lists, clicks, a selection in the file viewer, the file dialog answered; and records the
// message windows shown meanwhile.

#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>

#include <ostream>
#include <string>
#include <vector>

#include "WidgetTestHelpers.h"
#include "app/MainWindow.h"
#include "app/MessageWindow.h"
#include "app/OpenFileDialog.h"
#include "app/ViewerPage.h"

// Failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace sivaro::testing {

// Records the message windows shown while it lives, closing each as OK would.
class MessagesShown {
  public:
    struct Shown {
        QString title;
        QString text;  // the lines the window shows, joined by blanks
        std::uint16_t icon = 0;
        std::uint16_t buttons = 0;
    };
    MessagesShown() {
        TfMen::setDefaultAnswer([this](TfMen& w) {
            QString text = w.textLabel()->text();
            text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
            text.replace(QLatin1Char('\n'), QLatin1Char(' '));
            shown.push_back({w.titleLabel()->text(), text, w.iconKind(), w.buttonSet()});
            w.done(1);
        });
    }
    ~MessagesShown() {
        TfMen::setDefaultAnswer([](TfMen& w) {
            ADD_FAILURE() << "unanswered message: " << w.textLabel()->text().toStdString();
            w.done(0);
        });
    }
    MessagesShown(const MessagesShown&) = delete;
    MessagesShown& operator=(const MessagesShown&) = delete;

    std::vector<QString> texts() const {
        std::vector<QString> out;
        for (const Shown& s : shown) out.push_back(s.text);
        return out;
    }

    std::vector<Shown> shown;
};

// One key as the operator types it; "\b" is Backspace.
inline void typeKey(QWidget* target, QChar c) {
    const bool back = c == QLatin1Char('\b');
    QKeyEvent key(QEvent::KeyPress, back ? Qt::Key_Backspace : 0, Qt::NoModifier,
                  back ? QString() : QString(c));
    QCoreApplication::sendEvent(target, &key);
}

inline void typeText(QWidget* target, const QString& text) {
    for (QChar c : text) typeKey(target, c);
}

// Replaces the text of a box by typing: the old text selected and typed over, key by key.
inline void retype(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    if (text.isEmpty() && !box->text().isEmpty()) typeKey(box, QLatin1Char('\b'));
    typeText(box, text);
}

inline void retype(QComboBox* box, const QString& text) {
    retype(box->lineEdit(), text);
}

// A choice from the box's list, as a click on the item makes it.
inline void choose(QComboBox* box, const QString& item) {
    const int index = box->findText(item, Qt::MatchExactly);
    ASSERT_GE(index, 0) << item.toStdString();
    box->setCurrentIndex(index);
    emit box->activated(index);
}

inline void select(QListWidget* list, const QString& item) {
    const QList<QListWidgetItem*> found = list->findItems(item, Qt::MatchExactly);
    ASSERT_FALSE(found.isEmpty()) << item.toStdString();
    list->setCurrentItem(found.first());
}

inline QStringList items(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

inline QStringList items(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
    return out;
}

// "..." answered with `path` (an empty path cancels the dialog).
inline void registerSource(TForm2& form, const QString& path) {
    const OpenFileHook previous = setOpenFileHook([path] { return path; });
    child<QPushButton>(form, "Button8")->click();
    setOpenFileHook(previous);
}

// Selects `length` characters of viewer line `line` (of the file, counted from 0) from column
// `column`, as a drag of the mouse does.
inline void selectInViewer(TForm2& form, std::int64_t line, int column, int length) {
    ViewerPage& viewer = form.viewerPage();
    ASSERT_TRUE(viewer.showLine(line));
    QPlainTextEdit* memo = viewer.mVisArq;
    const QTextBlock block =
        memo->document()->findBlockByNumber(static_cast<int>(line - viewer.firstLineShown()));
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + column);
    cursor.setPosition(block.position() + column + length, QTextCursor::KeepAnchor);
    memo->setTextCursor(cursor);
}

// "Inserir" with a name typed into "Nome".
inline void inserir(TForm2& form, const QString& name) {
    retype(child<QLineEdit>(form, "eNomMem"), name);
    child<QPushButton>(form, "Button4")->click();
}

}  // namespace sivaro::testing
