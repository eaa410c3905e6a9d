#include "app/Screenshots.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTabWidget>
#include <QThread>

#include <cstdio>

#include "app/MainWindow.h"
#include "app/MessageWindow.h"
#include "util/Cp1252Literal.h"
#include "util/MessageKinds.h"

namespace sivaro {
namespace {

// Lets the window system map and paint what was just shown.
void settle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

// What the screen shows over the window, shape and all; the window's own rendering where the
// platform cannot read the screen back.
QPixmap shoot(QWidget& window) {
    QPixmap picture;
    if (QScreen* screen = window.screen()) {
        const QRect frame = window.frameGeometry();
        picture = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    }
    if (picture.isNull() || picture.width() == 0) picture = window.grab();
    return picture;
}

bool save(const QPixmap& picture, const QDir& folder, const QString& name) {
    const QString path = folder.filePath(name);
    if (!picture.save(path, "PNG")) {
        std::fprintf(stderr, "não foi possível gravar %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int writeScreenshots(TForm2& form, const QString& folderName) {
    QDir folder(folderName);
    if (!folder.exists() && !QDir().mkpath(folderName)) {
        std::fprintf(stderr, "não foi possível criar a pasta %s\n", qPrintable(folderName));
        return 1;
    }
    bool ok = true;
    settle(800);
    auto* pages = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    const char* const names[] = {"workbench-definicoes.png", "workbench-grafico.png",
                                 "workbench-visualizar.png"};
    for (int i = 0; pages && i < pages->count() && i < 3; ++i) {
        pages->setCurrentIndex(i);
        settle(400);
        ok = save(shoot(form), folder, QString::fromLatin1(names[i])) && ok;
    }
    if (pages) pages->setCurrentIndex(1);

    TfMen::queueAnswer([&](TfMen& window) {
        settle(500);
        ok = save(shoot(window), folder, QStringLiteral("mensagem.png")) && ok;
        window.done(1);
    });
    MostraMensagem("Coluna com Cabeçalho Inválido"_cp1252,
                   "A coluna nº 2 tem um espaco em branco no início no meio ou no final do "
                   "nome, favor apagar esse caracter"_cp1252,
                   kIconStop, kButtonsOk);
    form.close();
    return ok ? 0 : 1;
}

}  // namespace sivaro
