#include "app/Screenshots.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QThread>

#include <cstdio>
#include <exception>

#include "app/LeftColumn.h"
#include "app/MainWindow.h"
#include "app/MessageWindow.h"
#include "app/ViewerPage.h"
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

// Shows the source of that name as the operator's choice from the source box does; false when
// the folder does not register it.
bool chooseSource(TForm2& form, const QString& name) {
    QComboBox* box = form.leftColumn().cbTab;
    const int index = box->findText(name);
    if (index < 0) return false;
    box->setCurrentIndex(index);
    try {
        form.cbTabChange();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(name), error.what());
        return false;
    }
    return true;
}

// In the viewer, the second field of the record-type source's first record selected, as for
// "Inserir", with the labels showing it.
void selectLayoutField(TForm2& form) {
    ViewerPage& viewer = form.viewerPage();
    if (!viewer.showLine(0)) return;
    const QTextBlock line = viewer.mVisArq->document()->findBlockByNumber(4);
    const int at = static_cast<int>(line.text().indexOf(QStringLiteral("FORNECEDOR: ")));
    if (at < 0) return;
    QTextCursor cursor(line);
    cursor.setPosition(line.position() + at + 12);
    cursor.setPosition(line.position() + at + 17, QTextCursor::KeepAnchor);
    viewer.mVisArq->setTextCursor(cursor);
    viewer.mVisArq->setFocus();
    form.Timer1Timer();
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
    // The definitions page, the page "Gráfico" with a delimited source of two target tables,
    // and the viewer with a record-type source, when the folder has them (the example does).
    for (int i = 0; pages && i < pages->count() && i < 3; ++i) {
        if (i == 1) chooseSource(form, QStringLiteral("receber.txt"));
        if (i == 2 && chooseSource(form, QStringLiteral("relatorio_pagar.txt")))
            selectLayoutField(form);
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
