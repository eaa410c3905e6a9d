#pragma once
// The run's log in the plain-text memo `Memo1`. A paragraph of the memo costs several microseconds
// to add, more than a failing record's own import, so the lines a redraw brings in a crowd go in
// kLogLinesPerParagraph to a paragraph, parted by line separators: the memo shows them as lines,
// and its text, a copy and a save have each on a line of its own as before. A redraw with a few
// lines, as a run with some failures gives, keeps one paragraph a line.

#include <QString>

class QPlainTextEdit;
class QPoint;

namespace sivaro {

inline constexpr int kLogLinesPerParagraph = 16;
// A redraw with more lines than this groups them.
inline constexpr int kLogLinesGroupedAbove = 2 * kLogLinesPerParagraph;

// Appends `lines`, `count` of them each ended by '\n', at the end of `memo`, and empties `lines`,
// which keeps its room for the next ones.
void appendLogLines(QPlainTextEdit& memo, QString& lines, int count);

// The log line at `at`, a point of the memo's viewport: the paragraph there, or the line of it
// when the paragraph holds a group.
QString logLineAt(const QPlainTextEdit& memo, const QPoint& at);

}  // namespace sivaro
