#pragma once
// Labels size themselves to their text: the widest line's advance across, and the height the
// lines take when drawn. An empty text measures as one blank, so it keeps a line's height.

#include <QFont>
#include <QSize>
#include <QString>
#include <QStringList>

class QLabel;
class QWidget;

namespace sivaro {

// A line ends at CR LF, CR or LF, as the platform's text drawing breaks it.
QStringList splitLines(const QString& text);

QSize labelTextSize(const QString& text, const QFont& font);

// Sets the label's text and sizes it to it, its top-left corner staying where it is.
void setAutoSizedText(QLabel* label, const QString& text);

// A label of the parent's font at (left, top), sized to its caption and named `name`.
QLabel* placeLabel(QWidget* parent, const char* name, const QString& caption, int left, int top);

}  // namespace sivaro
