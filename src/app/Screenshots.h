#pragma once
// Pictures of the workbench for the documentation: each page of the window in front, and a
// message window, written as PNG files into a folder.

#include <QString>

namespace sivaro {

class TForm2;

// Returns 0 when every picture was written, 1 otherwise (the failures go to standard error).
int writeScreenshots(TForm2& form, const QString& folder);

}  // namespace sivaro
