// "importa --simular" on the example folder: the log and the summaries of the real run, and
// every file of the folder byte for byte as before.

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include "FolderSnapshot.h"
#include "RunCommand.h"

namespace sivaro::testing {
namespace {

namespace fs = std::filesystem;

using testing::bin;
using testing::Output;
using testing::run;

// The summaries' times differ from run to run.
std::string withoutTimes(const std::string& text) {
    return std::regex_replace(text, std::regex(", [0-9]+[.,][0-9]+ s\n"), ", s\n");
}

class ExampleRehearsal : public ::testing::Test {
  protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() / ("sivaro-rehearsal-" + std::to_string(::getpid()));
        const Output prepared = run("PXTOOL=" + bin("pxtool") + " " + SIVARO_SOURCE_DIR +
                                    "/scripts/example-folder '" + m_folder.string() + "' 2>&1");
        ASSERT_EQ(0, prepared.code) << prepared.text;
    }
    void TearDown() override { fs::remove_all(m_folder); }

    Output importa(const std::string& args) {
        return run(bin("importa") + " --pasta '" + m_folder.string() + "' --decimal , " + args +
                   " 2>/dev/null");
    }

    fs::path m_folder;
};

TEST_F(ExampleRehearsal, SameLogAndCountsAsTheRealRunAndNoFileChanged) {
    const FolderSnapshot before = snapshotFolder(m_folder);
    const Output rehearsal = importa("--simular --todos");
    EXPECT_EQ(folderChanges(before, snapshotFolder(m_folder)), "");

    const Output real = importa("--todos");
    EXPECT_EQ(rehearsal.code, real.code);
    EXPECT_EQ(withoutTimes(rehearsal.text), withoutTimes(real.text));
    // The per-table counts are part of it.
    EXPECT_NE(real.text.find("  Cliente: "), std::string::npos) << real.text;
    EXPECT_NE(folderChanges(before, snapshotFolder(m_folder)), "");
}

}  // namespace
}  // namespace sivaro::testing
