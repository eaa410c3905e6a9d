#include "app/ErrorReport.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QTimer>

#include <string>

#include "app/EngineText.h"

namespace sivaro {

namespace {

ErrorReportHook& reportHook() {
    static ErrorReportHook hook;
    return hook;
}

}  // namespace

QString errorReportText(std::string_view message) {
    std::string text(message);
    // A message that ends in a word is finished the way a sentence ends; one that already ends
    // in a sign (a stop, a quote, a bracket) is left as it is.
    if (!text.empty()) {
        const auto last = static_cast<unsigned char>(text.back());
        const bool letterOrDigit = (last >= '0' && last <= '9') || (last >= 'A' && last <= 'Z') ||
                                   (last >= 'a' && last <= 'z') || last >= 0xC0;
        if (letterOrDigit) text += '.';
    }
    return fromEngine(text);
}

void showErrorReport(QWidget* parent, std::string_view message) {
    QMessageBox box(QMessageBox::Critical, QGuiApplication::applicationDisplayName(),
                    errorReportText(message), QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("ErrorReport"));
    if (const ErrorReportHook hook = reportHook()) {
        QTimer::singleShot(0, &box, [&box, hook] {
            hook(box);
            // A hook that leaves the box open would hang the caller.
            if (box.isVisible()) box.done(QMessageBox::Ok);
        });
    }
    box.exec();
}

ErrorReportHook setErrorReportHook(ErrorReportHook hook) {
    ErrorReportHook previous = std::move(reportHook());
    reportHook() = std::move(hook);
    return previous;
}

}  // namespace sivaro
