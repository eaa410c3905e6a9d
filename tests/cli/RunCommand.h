#pragma once
// Runs a shell command as a user would type it and gives its exit status and standard output.

#include <sys/wait.h>

#include <cstdio>
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

}  // namespace sivaro::testing
