#include "app/MessageWindow.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <memory>
#include <vector>

#include "app/EngineText.h"
#include "app/GlyphButton.h"
#include "app/LabelSize.h"
#include "app/Pictures.h"
#include "util/MessageKinds.h"

namespace sivaro {

QPointer<TfMen> fMen;

namespace {

constexpr std::size_t kTailAfterBreak = 250;

std::deque<TfMen::Answer>& answerQueue() {
    static std::deque<TfMen::Answer> queue;
    return queue;
}

TfMen::Answer& defaultAnswer() {
    static TfMen::Answer answer;
    return answer;
}

std::function<void(unsigned)>& beepHook() {
    static std::function<void(unsigned)> hook;
    return hook;
}

QFont arialBold(int pixels) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(true);
    return font;
}

// Modeless windows stay alive, hidden once closed, until the application ends.
void keepUntilQuit(TfMen* window) {
    static std::vector<QPointer<TfMen>> kept;
    static bool connected = false;
    kept.emplace_back(window);
    if (!connected && qApp) {
        connected = true;
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] {
            for (QPointer<TfMen>& w : kept) delete w.data();
            kept.clear();
        });
    }
}

}  // namespace

QStringList wrapMessageText(const QString& text, const QFontMetrics& metrics, int width) {
    QStringList lines;
    const QStringList paragraphs = splitLines(text);
    for (const QString& paragraph : paragraphs) {
        const QStringList words = paragraph.split(QLatin1Char(' '));
        QString line;
        bool lineHasWord = false;
        for (const QString& word : words) {
            const QString candidate = lineHasWord ? line + QLatin1Char(' ') + word : word;
            if (!lineHasWord || metrics.horizontalAdvance(candidate) <= width) {
                line = candidate;
                lineHasWord = true;
            } else {
                lines << line;
                line = word;
            }
        }
        lines << line;
    }
    return lines;
}

std::string TfMen::Trocar(std::string_view find, std::string_view replacement,
                          std::string_view source) {
    std::string text(source);
    if (find.empty()) return text;
    const char mark = find.front();
    // The search goes on after the replacement, so that a replacement holding the mark cannot
    // loop; with a replacement without it this is the same as searching from the start.
    std::size_t from = 0;
    for (;;) {
        const std::size_t pos = text.find(mark, from);
        if (pos == std::string::npos) break;
        std::string tail = text.substr(pos + 1, kTailAfterBreak);
        text.resize(pos);
        text += replacement;
        from = text.size();
        text += tail;
    }
    return text;
}

TfMen::TfMen(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("fMen"));
    // A message left open does not keep the program alive once the workbench closes.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Mensagem"));
    QFont formFont(QStringLiteral("MS Sans Serif"));
    formFont.setPixelSize(11);
    setFont(formFont);
    setFixedSize(kMessageWindowWidth, kMessageWindowHeight);

    m_label3 = new QLabel(this);
    m_label3->setObjectName(QStringLiteral("Label3"));
    m_label3->setFont(arialBold(15));
    m_label3->move(kMessageTitleLeft, kMessageTitleTop);

    m_label1 = new QLabel(this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setFont(arialBold(12));
    m_label1->move(kMessageTextLeft, kMessageTextTop);

    for (QLabel* label : {m_label3, m_label1}) {
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setContentsMargins(0, 0, 0, 0);
        label->setIndent(0);
        label->setMargin(0);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
    }

    m_para = makePicture(messagePicture(MessagePicture::Stop), 18, 31);
    m_para->setObjectName(QStringLiteral("para"));
    m_informa = makePicture(messagePicture(MessagePicture::Information), 18, 31);
    m_informa->setObjectName(QStringLiteral("informa"));
    m_pergunta = makePicture(messagePicture(MessagePicture::Question), 18, 30);
    m_pergunta->setObjectName(QStringLiteral("pergunta"));
    m_exclama = makePicture(messagePicture(MessagePicture::Exclamation), 18, 30);
    m_exclama->setObjectName(QStringLiteral("exclama"));

    m_sim = new GlyphButton(QStringLiteral("&Sim"), ButtonGlyph::Tick, 15, this);
    m_sim->setObjectName(QStringLiteral("sim"));
    m_sim->setGeometry(kMessageSimLeft, kMessageOkTop, kMessageButtonWidth, kMessageButtonHeight);
    m_nao = new GlyphButton(QStringLiteral("&Não"), ButtonGlyph::Cross, 15, this);
    m_nao->setObjectName(QStringLiteral("nao"));
    m_nao->setGeometry(kMessageNaoLeft, kMessageOkTop, kMessageButtonWidth, kMessageButtonHeight);
    m_ok = new GlyphButton(QStringLiteral("&OK"), ButtonGlyph::Tick, 19, this);
    m_ok->setObjectName(QStringLiteral("ok"));
    m_ok->setGeometry(kMessageOkLeft, kMessageOkTop, kMessageButtonWidth, kMessageButtonHeight);
    connect(m_sim, &QPushButton::clicked, this, [this] { done(1); });
    connect(m_nao, &QPushButton::clicked, this, [this] { done(2); });
    connect(m_ok, &QPushButton::clicked, this, [this] { done(1); });

    m_edit1 = new QLineEdit(this);
    m_edit1->setObjectName(QStringLiteral("Edit1"));
    m_edit1->setGeometry(296, 56, 0, 24);
    m_edit1->setFocusPolicy(Qt::ClickFocus);

    setTabOrder(m_sim, m_nao);
    setTabOrder(m_nao, m_ok);
    m_edit1->setFocus();
    // FormCreate
    m_dragging = false;
}

QLabel* TfMen::makePicture(const QPixmap& pixmap, int left, int top) {
    auto* label = new QLabel(this);
    label->setPixmap(pixmap);
    label->setGeometry(left, top, kPictureSize, kPictureSize);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->hide();
    return label;
}

void TfMen::prepare(std::string_view title, std::string_view text, std::uint16_t iconKind,
                    std::uint16_t buttonSet) {
    m_buttonSet = buttonSet;
    m_iconKind = iconKind;
    for (QWidget* w : std::initializer_list<QWidget*>{m_para, m_informa, m_pergunta, m_exclama,
                                                      m_sim, m_nao, m_ok, m_label1})
        w->hide();

    const QString titleText = fromEngine(title);
    const QString bodyText = fromEngine(Trocar("|", "\r\n", text));
    const QFontMetrics textMetrics(m_label1->font());
    const QSize titleSize = labelTextSize(titleText, m_label3->font());
    const QSize bodySize = labelTextSize(bodyText, m_label1->font());

    MessageLayoutInput input;
    input.titleWidth = titleSize.width();
    input.textWidth = bodySize.width();
    input.textHeight = bodySize.height();
    input.wrappedHeight = [&](int width) {
        const QString wrapped = wrapMessageText(bodyText, textMetrics, width).join('\n');
        return labelTextSize(wrapped, m_label1->font()).height();
    };
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->geometry().size() : QSize(0, 0);
    input.screenWidth = screenSize.width();
    input.screenHeight = screenSize.height();
    input.buttonSet = buttonSet;
    m_layout = layoutMessage(input);

    m_label3->setText(titleText);
    m_label3->setGeometry(m_layout.titleLeft, m_layout.titleTop, titleSize.width(),
                          titleSize.height());
    if (m_layout.textWrapped) {
        m_label1->setText(
            wrapMessageText(bodyText, textMetrics, m_layout.textWidth).join(QLatin1Char('\n')));
    } else {
        m_label1->setText(splitLines(bodyText).join('\n'));
    }
    m_label1->setGeometry(m_layout.textLeft, m_layout.textTop, m_layout.textWidth,
                          m_layout.textHeight);

    setFixedSize(m_layout.clientWidth, m_layout.clientHeight);
    move(m_layout.windowLeft, m_layout.windowTop);
    m_label1->show();

    m_ok->move(m_layout.okLeft, m_layout.buttonTop);
    m_sim->move(m_layout.simLeft, m_layout.buttonTop);
    m_nao->move(m_layout.naoLeft, m_layout.buttonTop);
    if (buttonSet == kButtonsOk) {
        m_ok->show();
    } else if (buttonSet == kButtonsYesNo || buttonSet == kButtonsYesNoDefaultNo) {
        m_sim->show();
        m_nao->show();
    }
}

void TfMen::MudaFundo(std::uint16_t iconKind) {
    switch (iconKind) {
        case kIconStop:
            m_para->show();
            break;
        case kIconQuestion:
            m_pergunta->show();
            break;
        case kIconExclamation:
            m_exclama->show();
            break;
        case kIconInformation:
            m_informa->show();
            break;
        default:
            break;
    }
}

void TfMen::paintEvent(QPaintEvent*) {
    try {
        QPixmap buffer(size());
        buffer.fill(palette().color(QPalette::Button));
        QPainter(this).drawPixmap(0, 0, buffer);
        const int top = height() - m_ok->height() - 10;
        for (GlyphButton* b : {m_sim, m_nao, m_ok}) b->move(b->x(), top);
        MudaFundo(m_iconKind);
    } catch (...) {
        // A failed paint must not take the message, and the operator's answer, with it.
    }
    if (focusWidget() == m_edit1) {
        GlyphButton* preferred = m_buttonSet == kButtonsOk               ? m_ok
                                 : m_buttonSet == kButtonsYesNo          ? m_sim
                                 : m_buttonSet == kButtonsYesNoDefaultNo ? m_nao
                                                                         : nullptr;
        if (preferred && preferred->isVisible()) preferred->setFocus();
    }
}

void TfMen::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TfMen::FormActivate() {
    if (m_buttonSet == kButtonsNone) return;
    unsigned sound = 0;
    switch (m_iconKind) {
        case kIconStop:
            sound = 16;  // hand
            break;
        case kIconQuestion:
            sound = 32;  // question
            break;
        case kIconExclamation:
            sound = 48;  // exclamation
            break;
        case kIconInformation:
            sound = 64;  // asterisk
            break;
        default:
            return;
    }
    if (beepHook())
        beepHook()(sound);
    else
        QApplication::beep();
}

void TfMen::keyPressEvent(QKeyEvent* event) {
    // With Não on the window it answers Esc as the cancel button; without it Esc closes the
    // window. Both end in result 2.
    if (event->key() == Qt::Key_Escape) {
        if (m_nao->isVisible())
            m_nao->click();
        else
            reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfMen::reject() {
    done(2);
}

void TfMen::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (childAt(at) != nullptr) return;
    m_dragX = at.x();
    m_dragY = at.y();
    m_dragging = true;
}

void TfMen::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        const QPoint cursor = event->globalPosition().toPoint();
        move(cursor.x() - m_dragX, cursor.y() - m_dragY);
    }
}

void TfMen::mouseReleaseEvent(QMouseEvent*) {
    m_dragging = false;
}

void TfMen::queueAnswer(Answer answer) {
    answerQueue().push_back(std::move(answer));
}

void TfMen::queueAnswer(std::uint16_t result) {
    queueAnswer([result](TfMen& window) { window.done(result); });
}

std::size_t TfMen::queuedAnswers() {
    return answerQueue().size();
}

void TfMen::clearAnswers() {
    answerQueue().clear();
}

void TfMen::setDefaultAnswer(Answer answer) {
    defaultAnswer() = std::move(answer);
}

bool TfMen::takeAnswer(Answer& answer) {
    if (!answerQueue().empty()) {
        answer = std::move(answerQueue().front());
        answerQueue().pop_front();
        return true;
    }
    if (defaultAnswer()) {
        answer = defaultAnswer();
        return true;
    }
    return false;
}

void TfMen::setBeepHook(std::function<void(unsigned)> hook) {
    beepHook() = std::move(hook);
}

std::uint16_t TfMen::execute() {
    Answer answer;
    if (takeAnswer(answer)) {
        QTimer::singleShot(0, this, [this, answer] {
            // Render once, as the first paint would, so the focus is where the operator finds it.
            grab();
            answer(*this);
            // An answer that leaves the window open would hang the test that queued it.
            if (isVisible()) done(0);
        });
    }
    return static_cast<std::uint16_t>(exec());
}

std::uint16_t MostraMensagem(std::string_view title, std::string_view text, std::uint16_t iconKind,
                             std::uint16_t buttonSet) {
    auto window = std::make_unique<TfMen>();
    fMen = window.get();
    window->prepare(title, text, iconKind, buttonSet);
    if (buttonSet == kButtonsNone) {
        TfMen* modeless = window.release();
        keepUntilQuit(modeless);
        modeless->show();
        return kAnswerNone;
    }
    return window->execute();
}

}  // namespace sivaro
