#pragma once
// The windows name the fonts of the system they were drawn for. These map each name to an
// installed font with the same metrics, so that text fits its place as intended.

#include <QFont>

namespace sivaro {

// A font of the given family, height in pixels and weight.
QFont makeFont(const char* family, int pixels, bool bold = false);

// "Arial" and "MS Sans Serif" to Liberation Sans, "Courier New" to Liberation Mono. Needs the
// application object; call once before the first window is built.
void installFontSubstitutes();

}  // namespace sivaro
