#include "app/GlyphButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace sivaro {

namespace {
constexpr int kMargin = 2;
}

GlyphButton::GlyphButton(const QString& caption, ButtonGlyph glyph, int spacing, QWidget* parent)
    : QPushButton(caption, parent), m_glyph(glyph), m_spacing(spacing) {}

void GlyphButton::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    option.icon = QIcon();
    p.drawControl(QStyle::CE_PushButtonBevel, option);

    const bool pressed = isDown() || isChecked();
    const GlyphState state = !isEnabled() ? GlyphState::Disabled
                             : pressed    ? GlyphState::Pressed
                                          : GlyphState::Normal;
    const int glyphTop = (height() - kGlyphSize) / 2;
    p.drawPixmap(kMargin, glyphTop, buttonGlyph(m_glyph, state));

    const int shift = pressed ? 1 : 0;
    const QRect textRect(kMargin + kGlyphSize + m_spacing + shift, shift,
                         width() - (kMargin + kGlyphSize + m_spacing), height());
    p.drawItemText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, palette(),
                   isEnabled(), caption, QPalette::ButtonText);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(4, 4, -4, -4);
        p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

}  // namespace sivaro
