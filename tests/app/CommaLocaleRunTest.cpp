// The example folder imported from the window and by the batch command under a Brazilian desktop
// locale, where the C library's decimal point is a comma: both must leave the same tables, cents
// and all, and the same log.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CommaLocale.h"
#include "RunCommand.h"
#include "WidgetTestHelpers.h"
#include "app/MainWindow.h"
#include "app/MessageWindow.h"
#include "util/FormatSettings.h"

namespace sivaro {
namespace {

namespace fs = std::filesystem;
using testing::bin;
using testing::child;
using testing::Output;
using testing::run;

// Every table of a data folder (db, db2...) as pxtool dumps it, by its path inside the folder;
// the copies a run keeps under importacoes/ are not the folder's tables.
std::map<std::string, std::string> tablesOf(const fs::path& folder) {
    std::map<std::string, std::string> tables;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::end(it); ++it) {
        const auto& entry = *it;
        if (entry.is_directory() && entry.path().filename() == "importacoes") {
            it.disable_recursion_pending();
            continue;
        }
        if (entry.path().extension() != ".db") continue;
        const Output dump = run(bin("pxtool") + " dump '" + entry.path().string() + "' 2>&1");
        EXPECT_EQ(0, dump.code) << dump.text;
        tables[fs::relative(entry.path(), folder).string()] = dump.text;
    }
    return tables;
}

std::vector<std::string> linesStartingWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

class CommaLocaleRun : public ::testing::Test {
  protected:
    void SetUp() override {
        m_saved = formatSettings();
        m_root = fs::temp_directory_path() / ("sivaro-comma-run-" + std::to_string(::getpid()));
        fs::remove_all(m_root);
        fs::create_directories(m_root);
        TfMen::clearAnswers();
    }
    void TearDown() override {
        TfMen::clearAnswers();
        formatSettings() = m_saved;
        fs::remove_all(m_root);
    }

    fs::path prepare(const std::string& name) {
        const fs::path folder = m_root / name;
        const Output made = run("PXTOOL=" + bin("pxtool") + " " + SIVARO_SOURCE_DIR +
                                "/scripts/example-folder '" + folder.string() + "' 2>&1");
        EXPECT_EQ(0, made.code) << made.text;
        return folder;
    }

    FormatSettings m_saved;
    fs::path m_root;
};

TEST_F(CommaLocaleRun, TheWindowStoresWhatTheBatchCommandStores) {
    const fs::path window = prepare("janela");
    const fs::path batch = prepare("lote");

    // The batch command takes the comma from the locale, as the window does from the desktop.
    const Output batchRun = run("LC_ALL=" + std::string(testing::kCommaLocale) + " " +
                                bin("importa") + " --pasta '" + batch.string() + "' --todos 2>&1");
    ASSERT_EQ(1, batchRun.code) << batchRun.text;  // two records of the example fail on purpose
    // Each source's time with the locale's comma, those before the first barcode painted too.
    int timed = 0;
    for (std::size_t at = batchRun.text.find(" com erro, "); at != std::string::npos;
         at = batchRun.text.find(" com erro, ", at + 1), ++timed) {
        const std::string time =
            batchRun.text.substr(at + 11, batchRun.text.find('\n', at) - at - 11);
        EXPECT_EQ(std::string::npos, time.find('.')) << time;
        EXPECT_NE(std::string::npos, time.find(',')) << time;
    }
    EXPECT_EQ(8, timed) << batchRun.text;

    std::vector<std::string> asked;
    {
        testing::CommaLocale comma;
        ASSERT_TRUE(comma.active());
        formatSettings().decimalSeparator = ',';
        for (int i = 0; i < 20; ++i)
            TfMen::queueAnswer([&](TfMen& w) {
                // The window breaks long texts into lines; the batch command does not.
                asked.push_back(w.textLabel()
                                    ->text()
                                    .replace(QLatin1Char('\n'), QLatin1Char(' '))
                                    .toStdString());
                w.done(1);
            });
        TForm2 form;
        child<QLineEdit>(form, "eLoc")->setText(QString::fromStdString(window.string()));
        child<QCheckBox>(form, "cbImpTot")->setChecked(true);
        child<QPushButton>(form, "Button1")->click();
        const QString log = child<QPlainTextEdit>(form, "Memo1")->toPlainText();
        EXPECT_EQ(linesStartingWith(batchRun.text, "linha:"),
                  linesStartingWith(log.toStdString(), "linha:"));
    }
    ASSERT_FALSE(asked.empty());
    for (const std::string& text : asked)
        EXPECT_NE(std::string::npos, batchRun.text.find(text)) << text;

    const auto fromWindow = tablesOf(window);
    const auto fromBatch = tablesOf(batch);
    ASSERT_EQ(fromBatch.size(), fromWindow.size());
    for (const auto& [table, dump] : fromBatch) {
        SCOPED_TRACE(table);
        EXPECT_EQ(dump, fromWindow.at(table));
    }
    // The amounts with cents, as the batch command stores them.
    EXPECT_NE(std::string::npos, fromBatch.at("db/Cliente.db").find("750.5"));
}

}  // namespace
}  // namespace sivaro
