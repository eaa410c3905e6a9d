// The workbench program: one window on the folder it was started in, until "Fechar".
// `--screenshots FOLDER` writes pictures of its pages and of a message window and ends; the
// screenshots script uses it under a virtual display.

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QString>
#include <QTranslator>

#include <cstdio>

#include "app/FontSetup.h"
#include "app/MainWindow.h"
#include "app/Screenshots.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The platform's own texts (the file dialog, the buttons of the error report) in the
    // desktop's language, where its translation is installed.
    QTranslator platformTexts;
    if (platformTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&platformTexts);
    sivaro::installFontSubstitutes();
    sivaro::TForm2 form;
    form.show();
    const QStringList args = QApplication::arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--screenshots"));
    if (at >= 0) {
        if (at + 1 >= args.size()) {
            fprintf(stderr, "uso: importador --screenshots PASTA\n");
            return 2;
        }
        return sivaro::writeScreenshots(form, args.at(at + 1));
    }
    return app.exec();
}
