#include "app/Screenshots.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/MainWindow.h"

namespace sivaro {
namespace {

TEST(Screenshots, WritesThePagesAndAMessageWindow) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TForm2 form;
    form.show();
    EXPECT_EQ(writeScreenshots(form, dir.filePath(QStringLiteral("imagens"))), 0);
    const QDir out(dir.filePath(QStringLiteral("imagens")));
    for (const char* name :
         {"workbench-definicoes.png", "workbench-grafico.png", "workbench-visualizar.png"}) {
        SCOPED_TRACE(name);
        const QImage picture(out.filePath(QString::fromLatin1(name)));
        EXPECT_EQ(picture.size(), QSize(1005, 619));
    }
    const QImage message(out.filePath(QStringLiteral("mensagem.png")));
    EXPECT_GE(message.width(), 374);
    EXPECT_GE(message.height(), 170);
    EXPECT_FALSE(form.isVisible());
}

}  // namespace
}  // namespace sivaro
