// The Debian package as an operator installs it: cpack builds it from this build, it is unpacked
// into a scratch root, and the programs, manual pages and desktop entry are where a Debian
// system looks for them; the installed importa answers --ajuda and --versao.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "RunCommand.h"
#include "ScratchFolder.h"
#include "util/Version.h"

namespace sivaro {
namespace {

namespace fs = std::filesystem;

using testing::Output;

Output run(const std::string& command) {
    return testing::run(command + " 2>&1");
}

std::string quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

// One test, as building the package is the slow part: ctest runs each test in a process of its
// own.
TEST(Package, InstallsIntoARootAndRuns) {
    const testing::ScratchFolder dir("sivaro-package");
    const fs::path out = dir.path() / "out";
    const fs::path root = dir.path() / "raiz";
    const Output built =
        run("cpack -G DEB --config " + quoted(fs::path(SIVARO_BINARY_DIR) / "CPackConfig.cmake") +
            " -B " + quoted(out));
    ASSERT_EQ(0, built.code) << built.text;
    fs::path deb;
    for (const auto& e : fs::directory_iterator(out))
        if (e.path().extension() == ".deb") deb = e.path();
    ASSERT_FALSE(deb.empty()) << built.text;
    const Output unpacked = run("dpkg-deb -x " + quoted(deb) + " " + quoted(root));
    ASSERT_EQ(0, unpacked.code) << unpacked.text;

    std::vector<std::string> files = {"usr/bin/importa",
                                      "usr/bin/pxtool",
                                      "usr/bin/codbarras",
                                      "usr/share/man/man1/importa.1",
                                      "usr/share/man/man1/pxtool.1",
                                      "usr/share/man/man1/codbarras.1"};
#ifdef SIVARO_WITH_GUI
    for (const char* f : {"usr/bin/importador", "usr/share/man/man1/importador.1",
                          "usr/share/applications/importador.desktop",
                          "usr/share/icons/hicolor/scalable/apps/importador.svg"})
        files.push_back(f);
#endif
    for (const std::string& f : files) EXPECT_TRUE(fs::is_regular_file(root / f)) << f;

    const Output fields = run("dpkg-deb -f " + quoted(deb) + " Package Version Depends");
    ASSERT_EQ(0, fields.code) << fields.text;
    EXPECT_NE(std::string::npos, fields.text.find("Package: sivaro-importador\n")) << fields.text;
    EXPECT_NE(std::string::npos, fields.text.find("Version: " + std::string(kVersion) + "\n"))
        << fields.text;
    EXPECT_NE(std::string::npos, fields.text.find("libc6")) << fields.text;

    struct Case {
        std::string command;
        std::string start;  // what the output begins with
    };
    const Case cases[] = {
        {"usr/bin/importa --ajuda", "Uso: importa [--pasta PASTA]"},
        {"usr/bin/importa --versao", "importa " + std::string(kVersion) + "\n"},
        {"usr/bin/pxtool --version", "pxtool " + std::string(kVersion) + "\n"},
        {"usr/bin/codbarras --ajuda", "Uso: codbarras --dados DADOS"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const Output ran = run(quoted(root) + "/" + c.command);
        EXPECT_EQ(0, ran.code) << ran.text;
        EXPECT_EQ(c.start, ran.text.substr(0, c.start.size()));
    }
}

}  // namespace
}  // namespace sivaro
