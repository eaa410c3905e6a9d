// "Salvar" on the definitions page: what the memo shows reaches the file byte for byte, through
// the importer's one safe way of replacing a file.

#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ErrorReports.h"
#include "WidgetTestHelpers.h"
#include "app/MainWindow.h"
#include "app/MessageWindow.h"
#include "util/ProfileFile.h"
#include "util/SafeWrite.h"

namespace sivaro {
namespace {

namespace fs = std::filesystem;
using testing::child;
using testing::readFile;
using testing::writeFile;

class Salvar : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = m_dir.path().toStdString();
        m_form = std::make_unique<TForm2>();
        TfMen::clearAnswers();
    }
    void TearDown() override {
        setWriteFaultHook({});
        EXPECT_EQ(TfMen::queuedAnswers(), 0u) << "an answer was not used";
    }
    std::string path(const std::string& name) const { return m_folder + "/" + name; }
    void openFolder() {
        child<QLineEdit>(*m_form, "eLoc")->setText(QString::fromStdString(m_folder));
    }
    QPlainTextEdit* memo() { return child<QPlainTextEdit>(*m_form, "mDef"); }
    void salvar() { child<QPushButton>(*m_form, "Button3")->click(); }

    QTemporaryDir m_dir;
    std::string m_folder;
    std::unique_ptr<TForm2> m_form;
};

// Every byte but NUL, CR and LF, a no-break space inside a key, and an empty last line.
TEST_F(Salvar, AnUnchangedMemoWritesTheFileBackByteForByte) {
    std::string text = "[arquivos]\r\nfichas.txt=Cliente\r\n[fichas.txt.campos]\r\n";
    text +=
        "NOME\xa0"
        "COMPLETO=Cliente.raz\r\n";
    for (int b = 1; b < 256; ++b) {
        if (b == '\r' || b == '\n') continue;
        text += "b" + std::to_string(b) + "=" + std::string(1, static_cast<char>(b)) + "\r\n";
    }
    text += "\r\n";
    writeFile(path("Definicao.ini"), text);
    openFolder();
    salvar();
    const std::string saved = readFile(path("Definicao.ini"));
    EXPECT_EQ(saved.size(), text.size());
    for (std::size_t i = 0; i < std::min(saved.size(), text.size()); ++i)
        if (saved[i] != text[i]) {
            ADD_FAILURE() << "first difference at byte " << i << ": "
                          << int(static_cast<unsigned char>(text[i])) << " written as "
                          << int(static_cast<unsigned char>(saved[i]));
            break;
        }
    EXPECT_EQ(m_form->definitions().readString("fichas.txt.campos",
                                               "NOME\xa0"
                                               "COMPLETO",
                                               ""),
              "Cliente.raz");
}

TEST_F(Salvar, ALinkStaysALinkAndTheFileItNamesGetsTheText) {
    fs::create_directory(path("real"));
    writeFile(path("real/Definicao.ini"), "[Arquivos]\r\n");
    fs::create_symlink(path("real/Definicao.ini"), path("Definicao.ini"));
    openFolder();
    std::vector<WriteStep> steps;
    setWriteFaultHook([&](WriteStep step, const std::string&) {
        steps.push_back(step);
        return 0;
    });
    memo()->setPlainText(QStringLiteral("[Arquivos]\nclientes.txt=Cliente"));
    salvar();
    EXPECT_TRUE(fs::is_symlink(path("Definicao.ini")));
    EXPECT_EQ(readFile(path("real/Definicao.ini")), "[Arquivos]\r\nclientes.txt=Cliente\r\n");
    // Written, flushed, renamed, and the folder flushed.
    EXPECT_EQ(steps, (std::vector<WriteStep>{WriteStep::Create, WriteStep::Write, WriteStep::Flush,
                                             WriteStep::Rename, WriteStep::FlushFolder}));
}

TEST_F(Salvar, AFailedWriteIsReportedAndLeavesTheFileAndTheMemo) {
    writeFile(path("Definicao.ini"), "[Arquivos]\r\n");
    openFolder();
    memo()->setPlainText(QStringLiteral("[Arquivos]\nclientes.txt=Cliente"));
    for (const WriteStep failing : {WriteStep::Write, WriteStep::Flush, WriteStep::Rename}) {
        setWriteFaultHook(
            [failing](WriteStep step, const std::string&) { return step == failing ? ENOSPC : 0; });
        testing::ErrorReports reports;
        salvar();
        ASSERT_EQ(reports.shown.size(), 1u);
        EXPECT_NE(reports.shown[0].text.indexOf(QStringLiteral("Definicao.ini")), -1)
            << reports.shown[0].text.toStdString();
        EXPECT_EQ(readFile(path("Definicao.ini")), "[Arquivos]\r\n");
        EXPECT_EQ(memo()->toPlainText(), QStringLiteral("[Arquivos]\nclientes.txt=Cliente"));
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_folder)) names.push_back(e.path().filename());
        EXPECT_EQ(names, std::vector<std::string>{"Definicao.ini"}) << "no temporary left";
    }
}

}  // namespace
}  // namespace sivaro
