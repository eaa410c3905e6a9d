#pragma once
// The general error report: what the operator sees when an error ends the handler that raised
// it. A plain error box with the error's message and an OK button; the program goes on.

#include <QString>

#include <exception>
#include <functional>
#include <string_view>

class QMessageBox;
class QWidget;

namespace sivaro {

// The message as the box shows it (the engine's Windows-1252 text in display form): a message
// that ends in a letter or a digit gets a full stop.
QString errorReportText(std::string_view message);

// Shows the box, titled with the program's name, modal over `parent`, until it is closed.
void showErrorReport(QWidget* parent, std::string_view message);

// Runs a window's handler as the platform runs event handlers: an error ends the handler and is
// shown in the general error report over `parent`; the program goes on.
template <typename Handler>
void runGuarded(QWidget* parent, Handler&& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        showErrorReport(parent, error.what());
    }
}

// A test closes the box through this hook instead of a human: it runs once the box is shown and
// must close it. Returns the hook it replaces; an empty hook leaves the box to the operator.
using ErrorReportHook = std::function<void(QMessageBox&)>;
ErrorReportHook setErrorReportHook(ErrorReportHook hook);

}  // namespace sivaro
