#include "barcode/paint/PaintingApplication.h"

#include <QFont>
#include <QGuiApplication>
#include <QString>
#include <cstdio>
#include <memory>

#include "util/Errors.h"

namespace sivaro {

namespace {

QtMessageHandler g_previousHandler = nullptr;

// A run without a desktop session lacks its runtime folder; Qt says so whenever it looks for
// it, which is noise for an operator at a terminal.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && text.startsWith(QStringLiteral("QStandardPaths:"))) return;
    if (g_previousHandler) {
        g_previousHandler(type, context, text);
    } else {
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
    }
}

}  // namespace

void ensurePaintingApplication() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
    if (QCoreApplication::instance()) {
        throw EBarCodeError(
            "Drawing a barcode needs a graphical application object, and this program made "
            "another kind");
    }
    static int argc = 3;
    static char name[] = "sivaro";
    static char platformOption[] = "-platform";
    static char platform[] = "offscreen";
    static char* argv[] = {name, platformOption, platform, nullptr};
    g_previousHandler = qInstallMessageHandler(quietHandler);
    static std::unique_ptr<QGuiApplication> application =
        std::make_unique<QGuiApplication>(argc, argv);
    // Forms name the fonts of the system they were drawn for; the metric twin stands in.
    QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
}

}  // namespace sivaro
