#pragma once
// A scratch folder of a test's own: a new, unique folder under the temporary folder, so that
// tests running at once (ctest -j, two checkouts on one machine) never share one. Removed with
// its contents when the object goes.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace sivaro::testing {

// A new folder "PREFIX-TEST-XXXXXX" under temp_directory_path(), made atomically; TEST is the
// running test's suite and name (when a test is running), XXXXXX a unique suffix.
inline std::filesystem::path makeScratchFolder(const std::string& prefix) {
    std::string name = prefix;
    if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info())
        name += std::string("-") + info->test_suite_name() + "-" + info->name();
    for (char& c : name)
        if (c == '/' || c == '\\') c = '_';
    std::string path = (std::filesystem::temp_directory_path() / (name + "-XXXXXX")).string();
    if (::mkdtemp(path.data()) == nullptr)
        throw std::runtime_error("cannot create a scratch folder like " + path);
    // Open to others as a folder made by create_directories is: some tests read it as another
    // user.
    namespace fs = std::filesystem;
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    return path;
}

class ScratchFolder {
  public:
    explicit ScratchFolder(const std::string& prefix = "sivaro")
        : m_path(makeScratchFolder(prefix)) {}
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

  private:
    std::filesystem::path m_path;
};

}  // namespace sivaro::testing
