#include "app/LabelSize.h"

#include <QFontMetrics>
#include <QLabel>
#include <QRegularExpression>

#include <algorithm>

namespace sivaro {

QStringList splitLines(const QString& text) {
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    return text.split(lineEnd);
}

QSize labelTextSize(const QString& text, const QFont& font) {
    const QFontMetrics metrics(font);
    const QString measured = text.isEmpty() ? QStringLiteral(" ") : text;
    int width = 0;
    for (const QString& line : splitLines(measured))
        width = std::max(width, metrics.horizontalAdvance(line));
    const int height =
        metrics.boundingRect(QRect(0, 0, 1 << 20, 1 << 20), Qt::AlignLeft | Qt::AlignTop, measured)
            .height();
    return QSize(width, height);
}

void setAutoSizedText(QLabel* label, const QString& text) {
    label->setText(text);
    label->resize(labelTextSize(text, label->font()));
}

QLabel* placeLabel(QWidget* parent, const char* name, const QString& caption, int left, int top) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    setAutoSizedText(label, caption);
    return label;
}

}  // namespace sivaro
