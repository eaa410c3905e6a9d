#pragma once
// Runs a program as a child process and measures that child alone: wall and CPU seconds, and
// its own peak resident memory.
//
// The peak the system keeps for a child (getrusage, wait4) starts from the resident size of the
// process it was forked from and is carried through exec, so a child of a benchmark holding a
// million generated rows reports the benchmark's memory, not its own. The child's own peak is
// the high-water mark of its own address space (VmHWM), which lives only as long as the child:
// the child is traced, stopped as it exits, and read there. Where tracing is refused, the
// system's figure is kept and marked as an upper bound.

#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace sivaro::bench {

struct ChildRun {
    double wall = 0;
    double cpu = 0;
    long peakKb = 0;
    bool peakIsOwn = false;  // false: the system's figure, at most the child's own plus ours
    bool ok = false;         // started and exited 0
};

inline long highWaterKb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// Runs argv[0] (looked up on PATH) with standard input from `input` ("" keeps ours) and
// standard output to /dev/null.
inline ChildRun runChild(const std::vector<std::string>& argv, const std::string& input = "") {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::fflush(nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!input.empty()) {
            const int in = ::open(input.c_str(), O_RDONLY);
            if (in < 0 || ::dup2(in, 0) < 0) ::_exit(126);
        }
        const int out = ::open("/dev/null", O_WRONLY);
        if (out >= 0) ::dup2(out, 1);
        // Traced from here; the stop lets the parent set the options before the exec.
        if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) == 0) ::raise(SIGSTOP);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ChildRun run;
    if (pid < 0) return run;
    int status = 0;
    rusage usage{};
    bool traced = false;
    for (;;) {
        if (::wait4(pid, &status, 0, &usage) < 0) return run;
        if (!WIFSTOPPED(status)) break;
        int signal = WSTOPSIG(status);
        const int event = status >> 16;
        if (!traced) {
            traced = ::ptrace(PTRACE_SETOPTIONS, pid, nullptr,
                              PTRACE_O_TRACEEXIT | PTRACE_O_TRACEEXEC | PTRACE_O_EXITKILL) == 0;
            signal = 0;
        } else if (event == PTRACE_EVENT_EXIT) {
            run.peakKb = highWaterKb(pid);
            run.peakIsOwn = run.peakKb >= 0;
            signal = 0;
        } else if (event == PTRACE_EVENT_EXEC || signal == SIGTRAP) {
            signal = 0;
        }
        ::ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void*>(static_cast<long>(signal)));
    }
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    run.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (!run.peakIsOwn) run.peakKb = usage.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// "peak 6 MB", or "peak at most 81 MB" when the child's own figure could not be read.
inline std::string peakText(const ChildRun& run) {
    return std::string(run.peakIsOwn ? "peak " : "peak at most ") +
           std::to_string(run.peakKb / 1024) + " MB";
}

}  // namespace sivaro::bench
