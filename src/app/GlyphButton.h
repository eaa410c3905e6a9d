#pragma once
// A push button with a glyph at its left: glyph and caption start 2 pixels from the left
// edge, with a fixed gap between them, instead of the toolkit's centred icon and text.

#include <QPushButton>

#include "app/Pictures.h"

namespace sivaro {

class GlyphButton : public QPushButton {
    Q_OBJECT
  public:
    GlyphButton(const QString& caption, ButtonGlyph glyph, int spacing, QWidget* parent);

    int spacing() const { return m_spacing; }
    ButtonGlyph glyph() const { return m_glyph; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    ButtonGlyph m_glyph;
    int m_spacing;
};

}  // namespace sivaro
