#include "app/ViewerPage.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextBlock>

#include <algorithm>

#include "app/ErrorReport.h"
#include "app/FontSetup.h"
#include "app/LabelSize.h"
#include "app/MainWindow.h"
#include "app/SourceLines.h"
#include "util/CodePage.h"

namespace sivaro {

namespace {

// A window moves so that the line at the top keeps this many lines above it.
constexpr std::int64_t kLinesKeptAbove = ViewerPage::kWindowMinLines / 2;

QString viewerText(const std::vector<std::string>& lines) {
    std::size_t size = lines.empty() ? 0 : lines.size() - 1;
    for (const std::string& line : lines) size += line.size();
    QString text(static_cast<qsizetype>(size), Qt::Uninitialized);
    QChar* out = text.data();
    bool firstLine = true;
    for (const std::string& line : lines) {
        if (!firstLine) *out++ = QLatin1Char('\n');
        firstLine = false;
        for (char c : line)
            *out++ = QChar(static_cast<char16_t>(cp1252CodePoint(static_cast<unsigned char>(c))));
    }
    return text;
}

}  // namespace

ViewerPage::ViewerPage(TForm2& form) : QWidget(&form) {
    setObjectName(QStringLiteral("TabSheet4"));
    sbVisFic = new QScrollArea(this);
    sbVisFic->setObjectName(QStringLiteral("sbVisFic"));
    sbVisFic->setGeometry(0, 0, 631, 567);
    sbVisFic->setWidgetResizable(false);
    // The scroll ranges are fixed, not taken from the contents: 30000 across, 10005 down.
    auto* canvas = new QWidget;
    canvas->setObjectName(QStringLiteral("sbVisFicCanvas"));
    canvas->resize(30000, 10005);
    mVisArq = new QPlainTextEdit(canvas);
    mVisArq->setObjectName(QStringLiteral("mVisArq"));
    mVisArq->setGeometry(0, 0, 30000, 10000);
    mVisArq->setFont(makeFont("Courier New", 11));
    mVisArq->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Tab stops every 8 characters, as text editors show a report's tabs.
    mVisArq->setTabStopDistance(8 * QFontMetricsF(mVisArq->font()).horizontalAdvance(QChar(' ')));
    sbVisFic->setWidget(canvas);

    placeLabel(this, "Label8", QStringLiteral("Coluna:"), 16, 536);
    lColMem = placeLabel(this, "lColMem", QStringLiteral("0"), 56, 536);
    placeLabel(this, "Label9", QStringLiteral("Linha:"), 96, 536);
    lLinMem = placeLabel(this, "lLinMem", QStringLiteral("0"), 128, 536);
    placeLabel(this, "Label13", QStringLiteral("Tamanho:"), 160, 536);
    lTamMem = placeLabel(this, "lTamMem", QStringLiteral("0"), 210, 536);
    placeLabel(this, "Label12", QStringLiteral("Nome"), 264, 540);
    eNomMem = new QLineEdit(this);
    eNomMem->setObjectName(QStringLiteral("eNomMem"));
    eNomMem->setGeometry(296, 536, 33, 21);
    Button4 = new QPushButton(QStringLiteral("Inserir"), this);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button4->setGeometry(336, 536, 41, 25);
    // The capture row sits over the viewer, as the operator reads it while selecting.
    for (QObject* child : children()) {
        if (auto* w = qobject_cast<QWidget*>(child); w && w != sbVisFic) w->raise();
    }

    connect(mVisArq->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int value) { runGuarded(this, [&] { followScroll(value); }); });
    connect(mVisArq, &QPlainTextEdit::cursorPositionChanged, this, [this] { followCaret(); });
}

ViewerPage::~ViewerPage() = default;

void ViewerPage::showFile(const std::string& path) {
    auto lines = std::make_unique<SourceLines>(path);
    SourceLines::Block block =
        lines->read(0, kWindowMinLines, kWindowMaxLines, kWindowBytes, kLineKeep);
    m_lines = std::move(lines);
    m_first = 0;
    m_reachesEnd = block.reachesEnd;
    m_moving = true;
    mVisArq->setPlainText(viewerText(block.lines));
    m_moving = false;
    sbVisFic->ensureVisible(0, 0);
}

void ViewerPage::showWindow(std::int64_t first, std::int64_t top, Place caret, Place anchor) {
    SourceLines::Block block =
        m_lines->read(first, kWindowMinLines, kWindowMaxLines, kWindowBytes, kLineKeep);
    if (block.lines.empty()) return;
    m_moving = true;
    m_first = first;
    m_reachesEnd = block.reachesEnd;
    mVisArq->setPlainText(viewerText(block.lines));
    const auto count = static_cast<std::int64_t>(block.lines.size());
    auto positionOf = [&](Place p) {
        const QTextBlock line =
            mVisArq->document()->findBlockByNumber(static_cast<int>(p.line - first));
        return line.position() + std::min(p.column, line.length() - 1);
    };
    auto holds = [&](Place p) { return p.line >= first && p.line < first + count; };
    QTextCursor cursor = mVisArq->textCursor();
    if (holds(caret) && holds(anchor)) {
        cursor.setPosition(positionOf(anchor));
        cursor.setPosition(positionOf(caret), QTextCursor::KeepAnchor);
    } else {
        cursor.setPosition(positionOf({std::clamp(top, first, first + count - 1), 0}));
    }
    mVisArq->setTextCursor(cursor);
    mVisArq->verticalScrollBar()->setValue(static_cast<int>(top - first));
    m_moving = false;
}

bool ViewerPage::showLine(std::int64_t line) {
    if (!m_lines || line < 0) return false;
    const std::int64_t count = m_first + mVisArq->document()->blockCount();
    if (line < m_first || line >= count) {
        const std::int64_t first = std::max<std::int64_t>(0, line - kLinesKeptAbove);
        if (m_lines->read(line, 1, 1, 0, 0).lines.empty()) return false;
        showWindow(first, line, {line, 0}, {line, 0});
    }
    QTextCursor cursor(mVisArq->document()->findBlockByNumber(static_cast<int>(line - m_first)));
    mVisArq->setTextCursor(cursor);
    mVisArq->verticalScrollBar()->setValue(static_cast<int>(line - m_first));
    followCaret();
    return true;
}

ViewerPage::Place ViewerPage::placeOf(int position) const {
    const QTextBlock line = mVisArq->document()->findBlock(position);
    return {m_first + std::max(line.blockNumber(), 0), position - std::max(line.position(), 0)};
}

void ViewerPage::followScroll(int value) {
    if (m_moving || !m_lines) return;
    const QScrollBar* bar = mVisArq->verticalScrollBar();
    const bool atEnd = value >= bar->maximum() && bar->maximum() > 0 && !m_reachesEnd;
    const bool atStart = value <= 0 && m_first > 0;
    if (!atEnd && !atStart) return;
    const std::int64_t top = m_first + value;
    const QTextCursor cursor = mVisArq->textCursor();
    showWindow(std::max<std::int64_t>(0, top - kLinesKeptAbove), top, placeOf(cursor.position()),
               placeOf(cursor.anchor()));
}

void ViewerPage::followCaret() {
    if (m_moving) return;
    // The scroll box shows a corner of the viewer: it follows the caret moved by the keyboard.
    const QPoint caret =
        mVisArq->viewport()->mapTo(sbVisFic->widget(), mVisArq->cursorRect().center());
    sbVisFic->ensureVisible(caret.x(), caret.y(), 40, 30);
}

void ViewerPage::showCaret() {
    const QTextCursor cursor = mVisArq->textCursor();
    const Place caret = placeOf(cursor.selectionStart());
    const QString lineText = QString::number(caret.line);
    const QString columnText = QString::number(caret.column);
    const QString lengthText = QString::number(cursor.selectionEnd() - cursor.selectionStart());
    if (lLinMem->text() != lineText) setAutoSizedText(lLinMem, lineText);
    if (lColMem->text() != columnText) setAutoSizedText(lColMem, columnText);
    if (lTamMem->text() != lengthText) setAutoSizedText(lTamMem, lengthText);
}

}  // namespace sivaro
