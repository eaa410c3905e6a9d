#include "app/MessageWindow.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace sivaro {
namespace {

TEST(Trocar, ReplacesEachMarkKeepingATailOf250) {
    struct Case {
        const char* what;
        std::string source;
        std::string expected;
    };
    const std::string tail300(300, 'x');
    const std::string tail250(250, 'x');
    const Case cases[] = {
        {"no mark", "Linha 1", "Linha 1"},
        {"one mark", "Linha 1|Linha 2", "Linha 1\r\nLinha 2"},
        {"marks side by side", "a||b", "a\r\n\r\nb"},
        {"mark at both ends", "|a|", "\r\na\r\n"},
        {"a 300-character tail is cut to 250", "a|" + tail300, "a\r\n" + tail250},
        {"a 250-character tail stays", "a|" + tail250, "a\r\n" + tail250},
        // The first mark keeps 100 + 1 + 149 characters; the second then has 149 behind it.
        {"an earlier mark's cut holds for later ones", "a|" + std::string(100, 'y') + "|" + tail300,
         "a\r\n" + std::string(100, 'y') + "\r\n" + std::string(149, 'x')},
        {"a second mark beyond the first tail is lost with it", "a|" + std::string(260, 'y') + "|b",
         "a\r\n" + std::string(250, 'y')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(TfMen::Trocar("|", "\r\n", c.source), c.expected);
    }
}

TEST(Trocar, EmptyFindOrAReplacementHoldingTheMarkEnds) {
    EXPECT_EQ(TfMen::Trocar("", "x", "a|b"), "a|b");
    EXPECT_EQ(TfMen::Trocar("|", "[|]", "a|b|c"), "a[|]b[|]c");
}

TEST(WrapMessageText, BreaksAtBlanksAndKeepsLongWords) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    const QFontMetrics metrics(font);
    const int word = metrics.horizontalAdvance(QStringLiteral("aaaa"));
    const int two = metrics.horizontalAdvance(QStringLiteral("aaaa aaaa"));
    struct Case {
        const char* what;
        QString text;
        int width;
        QStringList lines;
    };
    const Case cases[] = {
        {"fits", QStringLiteral("aaaa aaaa"), two, {QStringLiteral("aaaa aaaa")}},
        {"one pixel short",
         QStringLiteral("aaaa aaaa"),
         two - 1,
         {QStringLiteral("aaaa"), QStringLiteral("aaaa")}},
        {"a word wider than the line keeps its own line",
         QStringLiteral("aaaaaaaaaaaa b"),
         word,
         {QStringLiteral("aaaaaaaaaaaa"), QStringLiteral("b")}},
        {"line breaks stay",
         QStringLiteral("a\r\nb"),
         word,
         {QStringLiteral("a"), QStringLiteral("b")}},
        {"empty", QString(), word, {QString()}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(wrapMessageText(c.text, metrics, c.width), c.lines);
    }
}

// What a queued answer saw of the window before it ended it.
struct Seen {
    QString title;
    QString text;
    QRect titleGeometry;
    QRect textGeometry;
    QSize client;
    QPoint position;
    std::vector<std::string> visible;  // names of the visible pictures and buttons
    std::string focused;
};

std::uint16_t showAndSee(std::string_view title, std::string_view text, std::uint16_t icon,
                         std::uint16_t buttons, Seen& seen, std::uint16_t answer = 1) {
    TfMen::queueAnswer([&seen, answer](TfMen& w) {
        seen.title = w.titleLabel()->text();
        seen.text = w.textLabel()->text();
        seen.titleGeometry = w.titleLabel()->geometry();
        seen.textGeometry = w.textLabel()->geometry();
        seen.client = w.size();
        seen.position = w.pos();
        for (const char* name : {"para", "pergunta", "exclama", "informa", "ok", "sim", "nao"}) {
            auto* child = w.findChild<QWidget*>(QString::fromLatin1(name));
            if (child && child->isVisible()) seen.visible.push_back(name);
        }
        if (w.focusWidget()) seen.focused = w.focusWidget()->objectName().toStdString();
        w.done(answer);
    });
    return MostraMensagem(title, text, icon, buttons);
}

int lineHeight() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    font.setBold(true);
    return QFontMetrics(font).height();
}

TEST(MostraMensagem, OneLineIsCentredAboveTheButtons) {
    Seen seen;
    EXPECT_EQ(showAndSee("Erro ao importar", "Favor verificar a linha 3", 1, 1, seen), 1);
    EXPECT_EQ(seen.title, QStringLiteral("Erro ao importar"));
    EXPECT_EQ(seen.text, QStringLiteral("Favor verificar a linha 3"));
    const int h = lineHeight();
    EXPECT_EQ(seen.textGeometry.height(), h);
    EXPECT_EQ(seen.textGeometry.top(), (161 - h) / 2);
    EXPECT_EQ(seen.textGeometry.left(), 72);
    EXPECT_EQ(seen.titleGeometry.top(), (161 - h) / 2 - 35);
    EXPECT_EQ(seen.titleGeometry.left(), 70);
    EXPECT_EQ(seen.client, QSize(374, 170));
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    EXPECT_EQ(seen.position, QPoint((screen.width() - 380) / 2, (screen.height() - 195) / 2));
}

TEST(MostraMensagem, BarsBreakLinesAndLongTailsAreCut) {
    Seen twoLines;
    showAndSee("T", "Linha 1|Linha 2", 4, 1, twoLines);
    EXPECT_EQ(twoLines.text, QStringLiteral("Linha 1\nLinha 2"));
    EXPECT_EQ(twoLines.textGeometry.height(), 2 * lineHeight());

    Seen longTail;
    showAndSee("T", "a|" + std::string(300, 'x'), 4, 1, longTail);
    const QStringList lines = longTail.text.split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines.first(), QStringLiteral("a"));
    // The 250 characters left form one word; wrapping keeps it whole on its own line.
    EXPECT_EQ(lines.mid(1).join(QString()).size(), 250);
}

TEST(MostraMensagem, TextsComeInAsTheEnginesCodePage) {
    Seen seen;
    showAndSee("Coluna com Cabe\xe7\x61lho Inv\xe1lido", "A coluna n\xba 1 est\xe1 sem nome", 1, 1,
               seen);
    EXPECT_EQ(seen.title, QStringLiteral("Coluna com Cabeçalho Inválido"));
    EXPECT_EQ(seen.text, QStringLiteral("A coluna nº 1 está sem nome"));
}

TEST(MostraMensagem, AWideTitleWidensAndTheTextWrapsAgainstIt) {
    const std::string title(40, 'W');
    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setPixelSize(15);
    titleFont.setBold(true);
    const int titleWidth = QFontMetrics(titleFont).horizontalAdvance(QString(40, 'W'));
    ASSERT_GT(70 + titleWidth, 360) << "the title must pass the window's width less 20";
    std::string text;
    for (int i = 0; i < 60; ++i) text += "palavra ";
    Seen seen;
    showAndSee(title, text, 3, 1, seen);
    EXPECT_EQ(seen.client.width(), 70 + titleWidth + 20);
    const int windowWidth = seen.client.width() + 6;
    EXPECT_EQ(seen.textGeometry.width(), windowWidth - 72 - 20);
    EXPECT_GT(seen.text.count('\n'), 0);
}

TEST(MostraMensagem, ATallTextGrowsTheWindow) {
    Seen seen;
    showAndSee("T", "1|2|3|4|5|6|7|8", 2, 2, seen);
    const int h = 8 * lineHeight();
    EXPECT_EQ(seen.textGeometry.top(), 69);
    EXPECT_EQ(seen.textGeometry.height(), h);
    EXPECT_EQ(seen.client.height(), 69 + h + 26 + 20);
    EXPECT_EQ(seen.titleGeometry.top(), 34);
    // The buttons are painted 10 pixels above the bottom edge.
    TfMen::queueAnswer([](TfMen& w) {
        auto* sim = w.findChild<QPushButton*>(QStringLiteral("sim"));
        EXPECT_EQ(sim->y(), w.height() - 26 - 10);
        EXPECT_EQ(sim->y(), 69 + 8 * lineHeight() + 10);
        w.done(1);
    });
    MostraMensagem("T", "1|2|3|4|5|6|7|8", 2, 2);
}

TEST(MostraMensagem, PicturesButtonsAndFocusBySetAndKind) {
    struct Case {
        std::uint16_t icon, buttons;
        std::vector<std::string> visible;
        std::string focused;
    };
    const Case cases[] = {
        {1, 1, {"para", "ok"}, "ok"},
        {2, 2, {"pergunta", "sim", "nao"}, "sim"},
        {3, 3, {"exclama", "sim", "nao"}, "nao"},
        {4, 4, {"informa"}, "Edit1"},
        {0, 1, {"ok"}, "ok"},
        {5, 1, {"ok"}, "ok"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "icon " << c.icon << " set " << c.buttons);
        Seen seen;
        showAndSee("T", "x", c.icon, c.buttons, seen, 2);
        EXPECT_EQ(seen.visible, c.visible);
        EXPECT_EQ(seen.focused, c.focused);
    }
}

enum class Action { ClickOk, ClickSim, ClickNao, Enter, Escape, CloseBox };

void act(TfMen& w, Action action) {
    auto press = [&w](int key) {
        QWidget* target = w.focusWidget() ? w.focusWidget() : &w;
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &down);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
        if (w.isVisible()) QCoreApplication::sendEvent(target, &up);
    };
    switch (action) {
        case Action::ClickOk:
            w.findChild<QPushButton*>(QStringLiteral("ok"))->click();
            break;
        case Action::ClickSim:
            w.findChild<QPushButton*>(QStringLiteral("sim"))->click();
            break;
        case Action::ClickNao:
            w.findChild<QPushButton*>(QStringLiteral("nao"))->click();
            break;
        case Action::Enter:
            press(Qt::Key_Return);
            break;
        case Action::Escape:
            press(Qt::Key_Escape);
            break;
        case Action::CloseBox:
            w.close();
            break;
    }
}

TEST(MostraMensagem, ResultsOfButtonsAndKeys) {
    struct Case {
        std::uint16_t buttons;
        std::vector<Action> actions;
        std::uint16_t result;
    };
    const Case cases[] = {
        {1, {Action::ClickOk}, 1},
        {1, {Action::Enter}, 1},
        {1, {Action::Escape}, 2},
        {1, {Action::CloseBox}, 2},
        {2, {Action::ClickSim}, 1},
        {2, {Action::ClickNao}, 2},
        {2, {Action::Escape}, 2},
        {2, {Action::Enter}, 1},
        {2, {Action::CloseBox}, 2},
        {3, {Action::ClickSim}, 1},
        {3, {Action::Enter}, 2},
        {3, {Action::Escape}, 2},
        // Without buttons Enter does nothing; only Esc or the close box end the window.
        {4, {Action::Enter, Action::Escape}, 2},
        {7, {Action::Enter, Action::CloseBox}, 2},
    };
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << row++ << " set " << c.buttons);
        std::vector<bool> openAfter;
        TfMen::queueAnswer([&c, &openAfter](TfMen& w) {
            for (Action a : c.actions) {
                act(w, a);
                openAfter.push_back(w.isVisible());
            }
        });
        EXPECT_EQ(MostraMensagem("T", "x", 1, c.buttons), c.result);
        std::vector<bool> expectedOpen(c.actions.size(), true);
        expectedOpen.back() = false;
        EXPECT_EQ(openAfter, expectedOpen);
        EXPECT_TRUE(fMen.isNull()) << "a modal window is destroyed before the call returns";
    }
}

TEST(MostraMensagem, BeepsByIconKindWhenItHasButtons) {
    struct Case {
        std::uint16_t icon, buttons;
        std::vector<unsigned> sounds;
    };
    const Case cases[] = {
        {1, 1, {16}}, {2, 2, {32}}, {3, 3, {48}}, {4, 4, {64}}, {0, 1, {}}, {5, 1, {}},
    };
    std::vector<unsigned> heard;
    TfMen::setBeepHook([&heard](unsigned sound) { heard.push_back(sound); });
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "icon " << c.icon);
        heard.clear();
        TfMen::queueAnswer([](TfMen& w) {
            // Activation reaches the window through the event loop.
            QCoreApplication::processEvents();
            w.done(2);
        });
        MostraMensagem("T", "x", c.icon, c.buttons);
        EXPECT_EQ(heard, c.sounds);
    }
    TfMen::setBeepHook([](unsigned) {});
}

TEST(MostraMensagem, SetZeroIsModelessAndSilent) {
    std::vector<unsigned> heard;
    TfMen::setBeepHook([&heard](unsigned sound) { heard.push_back(sound); });
    const std::size_t queued = TfMen::queuedAnswers();
    EXPECT_EQ(MostraMensagem("Aviso", "primeira", 1, 0), 0);
    QPointer<TfMen> first = fMen;
    ASSERT_FALSE(first.isNull());
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(MostraMensagem("Aviso", "segunda", 1, 0), 0);
    QPointer<TfMen> second = fMen;
    EXPECT_NE(first.data(), second.data());
    EXPECT_TRUE(first->isVisible());
    QCoreApplication::processEvents();
    EXPECT_EQ(TfMen::queuedAnswers(), queued) << "a modeless window takes no answer";
    for (const char* name : {"ok", "sim", "nao"})
        EXPECT_FALSE(second->findChild<QWidget*>(QString::fromLatin1(name))->isVisible());
    // Esc, or the close box, hides it; it lives on until the application ends.
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(second.data(), &esc);
    first->close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(first.isNull());
    EXPECT_FALSE(first->isVisible());
    EXPECT_FALSE(second->isVisible());
    EXPECT_TRUE(heard.empty());
    TfMen::setBeepHook([](unsigned) {});
    delete first.data();
    delete second.data();
}

void mouse(QWidget* target, QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
    const QPointF global = target->mapToGlobal(QPointF(local));
    QMouseEvent event(type, QPointF(local), global,
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

TEST(MostraMensagem, DraggingTheSurfaceMovesTheWindow) {
    std::optional<QPoint> expected, afterDrag, afterRelease, afterLabelDrag;
    TfMen::queueAnswer([&](TfMen& w) {
        // The window's outer corner goes to the cursor less the press point in client terms.
        expected = w.mapToGlobal(QPoint(40, 30)) - QPoint(10, 10);
        // Press on the bare surface, move 30 right and 20 down with the button held.
        mouse(&w, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton);
        mouse(&w, QEvent::MouseMove, {40, 30}, Qt::LeftButton);
        afterDrag = w.pos();
        mouse(&w, QEvent::MouseButtonRelease, {40, 30}, Qt::NoButton);
        mouse(&w, QEvent::MouseMove, {80, 80}, Qt::NoButton);
        afterRelease = w.pos();
        // A press on the text label does not start a drag.
        const QPoint onLabel = w.textLabel()->geometry().center();
        mouse(&w, QEvent::MouseButtonPress, onLabel, Qt::LeftButton);
        mouse(&w, QEvent::MouseMove, onLabel + QPoint(50, 50), Qt::LeftButton);
        afterLabelDrag = w.pos();
        w.done(1);
    });
    MostraMensagem("T", "texto", 1, 1);
    ASSERT_TRUE(expected && afterDrag && afterRelease && afterLabelDrag);
    EXPECT_EQ(*afterDrag, *expected);
    EXPECT_EQ(*afterRelease, *afterDrag);
    EXPECT_EQ(*afterLabelDrag, *afterDrag);
}

TEST(MostraMensagem, QueuedNumberAnswersInOrder) {
    TfMen::queueAnswer(std::uint16_t{2});
    TfMen::queueAnswer(std::uint16_t{1});
    EXPECT_EQ(TfMen::queuedAnswers(), 2u);
    EXPECT_EQ(MostraMensagem("T", "x", 2, 2), 2);
    EXPECT_EQ(MostraMensagem("T", "x", 2, 2), 1);
    EXPECT_EQ(TfMen::queuedAnswers(), 0u);
}

}  // namespace
}  // namespace sivaro
