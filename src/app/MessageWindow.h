#pragma once
// The message window through which the system speaks to the operator: a bold title, a bold
// text ("|" breaks a line), one of four red pictures and a set of buttons. Texts come in as
// the engine's Windows-1252 bytes.

#include <QDialog>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "app/MessageLayout.h"
#include "util/MessageKinds.h"

class QLabel;
class QLineEdit;

namespace sivaro {

class GlyphButton;

// Icon kinds and button sets as util/MessageKinds.h names them (kIconStop..., kButtonsOk...);
// returns kAnswerYes for OK or Sim, kAnswerNo for Não, Esc or the close box, kAnswerNone for a
// modeless window.
std::uint16_t MostraMensagem(std::string_view title, std::string_view text, std::uint16_t iconKind,
                             std::uint16_t buttonSet);

class TfMen : public QDialog {
    Q_OBJECT
  public:
    explicit TfMen(QWidget* parent = nullptr);

    // Replaces each occurrence of the one-character `find` by `replacement`, keeping at most
    // 250 characters of what follows each one: a longer remainder is cut.
    static std::string Trocar(std::string_view find, std::string_view replacement,
                              std::string_view source);

    // Lays the window out around `title` and `text` (already in display form) and centres it.
    void prepare(std::string_view title, std::string_view text, std::uint16_t iconKind,
                 std::uint16_t buttonSet);
    void MudaFundo(std::uint16_t iconKind);

    std::uint16_t buttonSet() const { return m_buttonSet; }
    std::uint16_t iconKind() const { return m_iconKind; }
    const MessageLayout& layout() const { return m_layout; }
    QLabel* titleLabel() const { return m_label3; }
    QLabel* textLabel() const { return m_label1; }

    // A test answers the next modal window through this hook instead of a human: the answer
    // runs once the window is shown and painted and must end it (a button, a key, the close
    // box, or done()). A window with no queued answer takes the default answer when one is set.
    using Answer = std::function<void(TfMen&)>;
    static void queueAnswer(Answer answer);
    static void queueAnswer(std::uint16_t result);
    static std::size_t queuedAnswers();
    static void clearAnswers();
    static void setDefaultAnswer(Answer answer);
    static bool takeAnswer(Answer& answer);

    // The platform sound of an icon kind (16, 32, 48, 64 for kinds 1 to 4) goes through here;
    // tests replace it to hear what would have sounded.
    static void setBeepHook(std::function<void(unsigned sound)> hook);

    // Shows the window modally and returns its result, answering from the hook when one waits.
    std::uint16_t execute();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  public slots:
    void reject() override;

  private:
    void FormActivate();
    QLabel* makePicture(const QPixmap& pixmap, int left, int top);

    QLabel* m_label3;
    QLabel* m_label1;
    QLabel* m_para;
    QLabel* m_informa;
    QLabel* m_pergunta;
    QLabel* m_exclama;
    GlyphButton* m_sim;
    GlyphButton* m_nao;
    GlyphButton* m_ok;
    QLineEdit* m_edit1;

    std::int32_t m_dragX = 0;
    std::int32_t m_dragY = 0;
    bool m_dragging = false;
    std::uint16_t m_buttonSet = 0;
    std::uint16_t m_iconKind = 0;
    MessageLayout m_layout;
};

// The most recently created message window; null once a modal one has been destroyed.
extern QPointer<TfMen> fMen;

// Splits `text` into lines at CR LF and at word boundaries so that no line is wider than
// `width` in `metrics`; a single word wider than that keeps a line of its own.
QStringList wrapMessageText(const QString& text, const class QFontMetrics& metrics, int width);

}  // namespace sivaro
