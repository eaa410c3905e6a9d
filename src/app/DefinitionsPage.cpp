#include "app/DefinitionsPage.h"

#include <QPlainTextEdit>
#include <QPushButton>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "app/DefinitionsText.h"
#include "app/MainWindow.h"
#include "app/MessageWindow.h"
#include "util/Cp1252Literal.h"
#include "util/Errors.h"
#include "util/Paths.h"
#include "util/SafeWrite.h"

namespace sivaro {

namespace {

const char* const kDefinitionsName = "Definicao.ini";

std::optional<std::string> readFileBytes(const std::string& path) {
    std::ifstream in(osPath(path), std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The same file whatever spelling of its folder was typed ("dados" or "dados/").
bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    const auto ca = std::filesystem::weakly_canonical(osPath(a), ec);
    if (ec) return a == b;
    const auto cb = std::filesystem::weakly_canonical(osPath(b), ec);
    if (ec) return a == b;
    return ca == cb;
}

// The memo replaces the file the way every file of the importer is replaced (util/SafeWrite.h):
// a failure halfway (a full disk) leaves the previous definitions whole, and a Definicao.ini that
// is a link stays one.
void replaceFile(const std::string& path, const std::string& bytes) {
    const std::filesystem::path target = osPath(path);
    std::error_code ec;
    if (std::filesystem::exists(target, ec) && ::access(target.c_str(), W_OK) != 0)
        throw EInOutError("Não foi possível gravar "_cp1252 + path +
                          ": o arquivo é somente leitura"_cp1252);
    SafeWriteOptions options;
    options.inPlaceWhenFolderRefuses = true;  // as the workbench's own writes of the file
    replaceFileSafely(path, bytes, "Não foi possível gravar "_cp1252 + path, options);
}

}  // namespace

DefinitionsPage::DefinitionsPage(TForm2& form) : QWidget(&form), m_form(form) {
    setObjectName(QStringLiteral("TabSheet1"));
    mDef = new QPlainTextEdit(this);
    mDef->setObjectName(QStringLiteral("mDef"));
    mDef->setGeometry(8, 8, 481, 481);
    mDef->setLineWrapMode(QPlainTextEdit::NoWrap);
    Button3 = new QPushButton(QStringLiteral("Salvar"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setGeometry(8, 496, 75, 25);
}

void DefinitionsPage::reload() {
    const std::string path = m_form.definitionsPath();
    const std::optional<std::string> bytes = readFileBytes(path);
    if (!bytes) return;
    mDef->setPlainText(memoTextFromFile(*bytes));
    mDef->document()->setModified(false);
    m_memoPath = path;
    m_memoBytes = *bytes;
    m_memoLoaded = true;
}

bool DefinitionsPage::changedOnDisk() const {
    const std::string path = m_form.definitionsPath();
    const std::optional<std::string> bytes = readFileBytes(path);
    if (!bytes) return false;  // nothing there to lose
    return !m_memoLoaded || !sameFile(path, m_memoPath) || *bytes != m_memoBytes;
}

void DefinitionsPage::followFile() {
    if (!mDef->document()->isModified()) reload();
}

void DefinitionsPage::save() {
    const std::string path = m_form.definitionsPath();
    // The memo may hold an older text than the file: changes written since by the workbench
    // while the operator was editing, or by another program. Writing it over them would lose
    // them without a word.
    if (changedOnDisk()) {
        const std::uint16_t answer = MostraMensagem(
            "Definicao.ini alterado",
            "O arquivo " + std::string(kDefinitionsName) +
                " foi alterado depois que o texto foi carregado.|Gravar o texto da tela por "
                "cima das alterações?"_cp1252,
            2, 3);
        if (answer != 1) return;
    }
    const std::string bytes = fileBytesFromMemo(memoText(*mDef->document()));
    replaceFile(path, bytes);
    mDef->document()->setModified(false);
    m_memoPath = path;
    m_memoBytes = bytes;
    m_memoLoaded = true;
}

}  // namespace sivaro
