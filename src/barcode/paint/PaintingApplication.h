#pragma once
// Fonts and painting need Qt's application object. A program with a window has one; for one
// without (the batch import, the command line, tests) a graphical one is made on the offscreen
// platform, which needs no display, and kept until the program ends.

namespace sivaro {

// Raises EBarCodeError when the program made a non-graphical application object instead.
void ensurePaintingApplication();

}  // namespace sivaro
