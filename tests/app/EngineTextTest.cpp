// The engine's bytes as the window's text and back.

#include <gtest/gtest.h>

#include <string>

#include "app/EngineText.h"
#include "util/CodePage.h"

namespace sivaro {
namespace {

TEST(EngineText, EveryByteIsTheCharacterOfItsCodePageAndComesBack) {
    std::string bytes;
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
    const QString text = fromEngine(bytes);
    EXPECT_EQ(text, QString::fromStdString(cp1252ToUtf8(bytes)));
    EXPECT_EQ(text.size(), 256);
    EXPECT_EQ(toEngine(text), bytes);
}

TEST(EngineText, AppendKeepsWhatWasThere) {
    QString log = QStringLiteral("de antes\n");
    appendFromEngine(log, "linha:2 Descri\xE7\xE3o \x80");
    appendFromEngine(log, "");
    EXPECT_EQ(log, QStringLiteral("de antes\nlinha:2 Descrição €"));
}

TEST(EngineText, ACharacterOutsideTheCodePageBecomesAQuestionMark) {
    EXPECT_EQ(toEngine(QStringLiteral("a→b")), "a?b");
}

}  // namespace
}  // namespace sivaro
