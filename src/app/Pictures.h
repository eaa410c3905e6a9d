#pragma once
// The drawn pictures of the message window: four red marks of 35 x 35 and the two button
// glyphs of 18 x 18, on a transparent background.

#include <QPixmap>

namespace sivaro {

enum class MessagePicture { Stop, Question, Exclamation, Information };
QPixmap messagePicture(MessagePicture picture);

enum class ButtonGlyph { Tick, Cross };
enum class GlyphState { Normal, Disabled, Pressed };
QPixmap buttonGlyph(ButtonGlyph glyph, GlyphState state);

inline constexpr int kPictureSize = 35;
inline constexpr int kGlyphSize = 18;

}  // namespace sivaro
