#include "app/LogMemo.h"

#include <QPlainTextEdit>
#include <QPoint>
#include <QTextBlock>
#include <QTextCursor>

namespace sivaro {

void appendLogLines(QPlainTextEdit& memo, QString& lines, int count) {
    if (lines.isEmpty()) return;
    lines.chop(1);  // the memo starts a paragraph for the first line itself
    if (count > kLogLinesGroupedAbove) {
        QChar* text = lines.data();
        int ended = 0;
        for (qsizetype i = 0; i < lines.size(); ++i)
            if (text[i] == QLatin1Char('\n') && ++ended % kLogLinesPerParagraph != 0)
                text[i] = QChar(QChar::LineSeparator);
    }
    memo.appendPlainText(lines);
    lines.resize(0);
}

QString logLineAt(const QPlainTextEdit& memo, const QPoint& at) {
    const QTextCursor cursor = memo.cursorForPosition(at);
    const QString text = cursor.block().text();
    const QChar separator(QChar::LineSeparator);
    const int position = cursor.positionInBlock();
    // lastIndexOf counts a negative start from the end.
    const qsizetype begin = position > 0 ? text.lastIndexOf(separator, position - 1) + 1 : 0;
    qsizetype end = text.indexOf(separator, position);
    if (end < 0) end = text.size();
    return text.mid(begin, end - begin);
}

}  // namespace sivaro
