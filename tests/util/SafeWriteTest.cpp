#include "util/SafeWrite.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "util/Errors.h"
#include "util/Paths.h"

namespace sivaro {
namespace {

namespace fs = std::filesystem;

class SafeWrite : public ::testing::Test {
  protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() /
                 ("sivaro-safewrite-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_root);
        fs::create_directories(m_root);
    }
    void TearDown() override {
        setWriteFaultHook({});
        fs::remove_all(m_root);
    }
    std::string path(const std::string& name = "Definicao.ini") const {
        return fromOsPath(m_root / name);
    }
    void put(const std::string& text, const std::string& name = "Definicao.ini") const {
        std::ofstream out(m_root / name, std::ios::binary | std::ios::trunc);
        out << text;
    }
    std::string get(const std::string& name = "Definicao.ini") const {
        std::ifstream in(m_root / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_root)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path m_root;
};

TEST_F(SafeWrite, ReplacesTheFileAndLeavesNoTemporary) {
    replaceFileSafely(path(), "novo", "falhou");
    EXPECT_EQ(get(), "novo");
    put("velho");
    fs::permissions(m_root / "Definicao.ini",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(m_root / "Definicao.ini", m_root / "link.ini");
    replaceFileSafely(path("link.ini"), "pelo link", "falhou");
    EXPECT_TRUE(fs::is_symlink(m_root / "link.ini"));
    EXPECT_EQ(get(), "pelo link");
    EXPECT_EQ(fs::status(m_root / "Definicao.ini").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(entries(), (std::vector<std::string>{"Definicao.ini", "link.ini"}));
}

// The time asked for is the file's from the moment it bears its name with the new bytes.
TEST_F(SafeWrite, AGivenModificationTimeIsTheFilesAtItsRename) {
    put("velho");
    const fs::file_time_type time =
        fs::last_write_time(m_root / "Definicao.ini") - std::chrono::hours(30);
    SafeWriteOptions options;
    options.modificationTime = time;
    fs::file_time_type atRename{};
    setWriteFaultHook([&](WriteStep step, const std::string& target) {
        if (step == WriteStep::Rename) {
            for (const auto& e : fs::directory_iterator(m_root))
                if (e.path().filename().string().find(".tmp-") != std::string::npos)
                    atRename = fs::last_write_time(e.path());
        }
        (void)target;
        return 0;
    });
    replaceFileSafely(path(), "novo", "falhou", options);
    EXPECT_EQ(get(), "novo");
    EXPECT_EQ(atRename, time);
    EXPECT_EQ(fs::last_write_time(m_root / "Definicao.ini"), time);
}

// Every step fails in turn as the system would fail it. Up to the rename the old file stays
// whole; a folder that cannot be flushed after it leaves the new text, and says so.
TEST_F(SafeWrite, AFailingStepLeavesTheOldFileWholeAndSaysWhy) {
    struct Case {
        WriteStep step;
        int error;
        const char* left;
    };
    const Case cases[] = {
        {WriteStep::Create, EACCES, "velho"},  {WriteStep::Write, ENOSPC, "velho"},
        {WriteStep::Flush, EIO, "velho"},      {WriteStep::Rename, EXDEV, "velho"},
        {WriteStep::FlushFolder, EIO, "novo"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::strerror(c.error));
        put("velho");
        std::vector<std::string> seen;
        setWriteFaultHook([&](WriteStep step, const std::string& where) {
            seen.push_back(where);
            return step == c.step ? c.error : 0;
        });
        try {
            replaceFileSafely(path(), "novo", "N\xe3o foi poss\xedvel gravar " + path());
            ADD_FAILURE() << "no error";
        } catch (const EInOutError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "N\xe3o foi poss\xedvel gravar " + path() + ": " + std::strerror(c.error));
        }
        setWriteFaultHook({});
        EXPECT_EQ(get(), c.left);
        EXPECT_EQ(entries(), std::vector<std::string>{"Definicao.ini"}) << "no temporary left";
        EXPECT_FALSE(seen.empty());
    }
}

// A real refusal rather than an injected one: a child process limited to files of 8 bytes.
TEST_F(SafeWrite, AFileSizeLimitLeavesTheOldFileWhole) {
    put("velho");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{8, 8};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        int code = 0;
        try {
            replaceFileSafely(path(), std::string(100, 'x'), "falhou");
            code = 1;
        } catch (const EInOutError& e) {
            code = std::string(e.what()) == std::string("falhou: ") + std::strerror(EFBIG) ? 0 : 2;
        }
        ::_exit(code);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no error, 2: another message";
    EXPECT_EQ(get(), "velho");
    EXPECT_EQ(entries(), std::vector<std::string>{"Definicao.ini"});
}

TEST_F(SafeWrite, WhatIsNotAFileOrHasNoFolderIsRefused) {
    fs::create_directories(m_root / "pasta.ini");
    const std::pair<std::string, int> cases[] = {{path("pasta.ini"), EISDIR},
                                                 {path("nao-existe/Definicao.ini"), ENOENT}};
    for (const auto& [p, error] : cases) {
        SCOPED_TRACE(p);
        try {
            replaceFileSafely(p, "x", "falhou");
            ADD_FAILURE() << "no error";
        } catch (const EInOutError& e) {
            EXPECT_EQ(std::string(e.what()), std::string("falhou: ") + std::strerror(error));
        }
    }
    EXPECT_FALSE(fs::exists(m_root / "nao-existe"));
}

TEST_F(SafeWrite, RenameAndFolderFlushAreChecked) {
    put("a", "um");
    renameFile(path("um"), path("dois"), "falhou");
    EXPECT_EQ(get("dois"), "a");
    EXPECT_THROW(renameFile(path("um"), path("tres"), "falhou"), EInOutError);
    flushFolder(fromOsPath(m_root), "falhou");
    EXPECT_THROW(flushFolder(path("nao-existe"), "falhou"), EInOutError);
}

}  // namespace
}  // namespace sivaro
