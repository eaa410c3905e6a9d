// The run's log in the memo: lines that come in a crowd share paragraphs, and each is still a line
// of the memo's text and the line a double click names.

#include <QPlainTextEdit>
#include <QStringList>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

#include "app/LogMemo.h"

namespace sivaro {
namespace {

QString numberedLines(int from, int count) {
    QString text;
    for (int i = from; i < from + count; ++i) text += QStringLiteral("linha:%1 erro\n").arg(i);
    return text;
}

// The point of the viewport over the first character of `text` in the memo, scrolled into view.
QPoint pointOf(QPlainTextEdit& memo, const QString& text) {
    QTextCursor found = memo.document()->find(text);
    EXPECT_FALSE(found.isNull()) << text.toStdString();
    found.setPosition(found.selectionStart());
    memo.setTextCursor(found);
    memo.ensureCursorVisible();
    return memo.cursorRect(found).center();
}

TEST(LogMemo, AFewLinesKeepAParagraphEachAndACrowdSharesThem) {
    struct Case {
        int lines;
        int paragraphs;
    };
    const Case cases[] = {
        {1, 1},
        {kLogLinesGroupedAbove, kLogLinesGroupedAbove},
        {kLogLinesGroupedAbove + 1, 3},  // 16, 16 and 1
        {5 * kLogLinesPerParagraph, 5},  // the last line ends a full paragraph
        {5 * kLogLinesPerParagraph + 7, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        QPlainTextEdit memo;
        memo.setPlainText(QStringLiteral("de antes"));
        QString lines = numberedLines(1, c.lines);
        appendLogLines(memo, lines, c.lines);
        EXPECT_TRUE(lines.isEmpty());
        EXPECT_EQ(memo.document()->blockCount(), 1 + c.paragraphs);
        EXPECT_EQ(memo.toPlainText(),
                  QStringLiteral("de antes\n") + numberedLines(1, c.lines).chopped(1));
    }
}

TEST(LogMemo, ADoubleClickNamesTheLineUnderItInsideAGroup) {
    QPlainTextEdit memo;
    memo.resize(345, 281);
    memo.show();
    QString lines = numberedLines(1, 40);
    appendLogLines(memo, lines, 40);
    lines = numberedLines(41, 2);
    appendLogLines(memo, lines, 2);
    ASSERT_EQ(memo.document()->blockCount(), 3 + 2);
    // The first, a middle and the last line of a group, the first of the next, a short group's
    // last, and lines of paragraphs of their own.
    for (const int line : {1, 7, 16, 17, 40, 41, 42}) {
        const QString text = QStringLiteral("linha:%1 erro").arg(line);
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(logLineAt(memo, pointOf(memo, text)), text);
    }
}

TEST(LogMemo, NothingToAppendAddsNoParagraph) {
    QPlainTextEdit memo;
    memo.setPlainText(QStringLiteral("de antes"));
    QString none;
    appendLogLines(memo, none, 0);
    EXPECT_EQ(memo.document()->blockCount(), 1);
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("de antes"));
}

}  // namespace
}  // namespace sivaro
