#pragma once
// The open-file dialog of "...": Qt's, without a filter or a start folder. Tests answer it
// through a hook instead of a human.

#include <QString>

#include <functional>

class QWidget;

namespace sivaro {

// The path of the file chosen, or an empty text when the operator cancels.
QString chooseOpenFile(QWidget* parent);

// Answers the next dialogs instead of showing them (an empty text cancels). Returns the hook it
// replaces; an empty hook shows the dialog again.
using OpenFileHook = std::function<QString()>;
OpenFileHook setOpenFileHook(OpenFileHook hook);

}  // namespace sivaro
