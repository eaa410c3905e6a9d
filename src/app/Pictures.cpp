#include "app/Pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace sivaro {
namespace {

const QColor kRed(200, 0, 0);
const QColor kDarkRed(120, 0, 0);
const QColor kGreen(0, 140, 0);
const QColor kGrey(150, 150, 150);

QPixmap blank(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void drawStop(QPainter& p) {
    const QPolygonF triangle({{2.5, 4.5}, {32.5, 4.5}, {17.5, 31.5}});
    p.setPen(QPen(kDarkRed, 1.5));
    p.setBrush(kRed);
    p.drawPolygon(triangle);
}

void drawInformation(QPainter& p) {
    p.setPen(QPen(kDarkRed, 1));
    p.setBrush(kRed);
    p.drawEllipse(QRectF(13.5, 2.5, 8, 8));
    p.drawRect(QRectF(13.5, 13.5, 8, 17));
    p.drawRect(QRectF(10.5, 13.5, 3, 3));
    p.drawRect(QRectF(10.5, 28.5, 14, 4));
}

void drawExclamation(QPainter& p) {
    p.setPen(QPen(kDarkRed, 1));
    p.setBrush(kRed);
    QPainterPath stem;
    stem.moveTo(12.5, 2.5);
    stem.lineTo(22.5, 2.5);
    stem.lineTo(20.0, 23.5);
    stem.lineTo(15.0, 23.5);
    stem.closeSubpath();
    p.drawPath(stem);
    p.drawEllipse(QRectF(13.5, 25.5, 8, 8));
}

void drawQuestion(QPainter& p) {
    QPainterPath hook;
    hook.moveTo(9.5, 12.0);
    hook.cubicTo(9.5, 1.0, 26.5, 1.0, 26.5, 11.0);
    hook.cubicTo(26.5, 17.0, 18.0, 17.5, 18.0, 23.0);
    p.setPen(QPen(kRed, 5, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(hook);
    p.setPen(QPen(kDarkRed, 1));
    p.setBrush(kRed);
    p.drawEllipse(QRectF(14.0, 26.0, 8, 8));
}

}  // namespace

QPixmap messagePicture(MessagePicture picture) {
    QPixmap pixmap = blank(kPictureSize);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (picture) {
        case MessagePicture::Stop:
            drawStop(p);
            break;
        case MessagePicture::Question:
            drawQuestion(p);
            break;
        case MessagePicture::Exclamation:
            drawExclamation(p);
            break;
        case MessagePicture::Information:
            drawInformation(p);
            break;
    }
    return pixmap;
}

QPixmap buttonGlyph(ButtonGlyph glyph, GlyphState state) {
    QPixmap pixmap = blank(kGlyphSize);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QColor colour = glyph == ButtonGlyph::Tick ? kGreen : kRed;
    if (state == GlyphState::Disabled) colour = kGrey;
    // A pressed button shows its glyph one pixel down and right, as the face sinks.
    if (state == GlyphState::Pressed) p.translate(1, 1);
    p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (glyph == ButtonGlyph::Tick) {
        p.drawPolyline(QPolygonF({{3, 9}, {7, 14}, {15, 3}}));
    } else {
        p.drawLine(QPointF(3, 3), QPointF(14, 14));
        p.drawLine(QPointF(14, 3), QPointF(3, 14));
    }
    return pixmap;
}

}  // namespace sivaro
