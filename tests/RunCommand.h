#pragma once
// Runs a shell command as a user would type it and gives its exit status and standard output;
// the programs of this build by name, and a file's bytes, for the tests that run them.

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace sivaro::testing {

struct Output {
    int code = -1;  // the exit status; -1 when the command did not exit
    std::string text;
};

inline Output run(const std::string& command) {
    Output out;
    FILE* p = ::popen(command.c_str(), "r");
    char buf[4096];
    while (p && std::fgets(buf, sizeof buf, p)) out.text += buf;
    const int status = p ? ::pclose(p) : -1;
    out.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

#ifdef SIVARO_BINARY_DIR
// The path of a program of this build, as build/bin/NAME.
inline std::string bin(const std::string& program) {
    return std::string(SIVARO_BINARY_DIR) + "/bin/" + program;
}
#endif

// The whole file's bytes; empty when it cannot be read.
inline std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace sivaro::testing
