#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace TestSupport {

struct ProgramResult {
    int exitCode = -1;    // the exit status, or -1 when a signal ended it
    int signal = 0;       // the signal that ended it
    std::string out;      // standard output
    std::string err;      // standard error
    long maxRssKiB = 0;   // peak resident memory
};

struct ProgramOptions {
    std::string input;                          // written to standard input, which is then closed
    bool holdInput = false;                     // closed only once the program has ended
    std::function<void(pid_t)> whileRunning;    // called once the program runs, from this thread
    std::vector<std::string> environment;       // NAME=VALUE added to this process's environment

    static ProgramOptions feeding(std::string input) {
        ProgramOptions options;
        options.input = std::move(input);
        return options;
    }
    static ProgramOptions during(std::function<void(pid_t)> action) {
        ProgramOptions options;
        options.whileRunning = std::move(action);
        return options;
    }
};

// Whether the child has not yet ended (it is not reaped here).
inline bool isRunning(pid_t pid) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

// Runs a program with arguments, feeds it `input`, and collects what it writes until it ends.
inline ProgramResult runProgram(const std::vector<std::string>& argv, const ProgramOptions& options = {}) {
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (const auto& variable : options.environment) putenv(const_cast<char*>(variable.c_str()));
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    ProgramResult result;
    std::thread feeder([fd = in[1], input = options.input, hold = options.holdInput] {
        std::size_t done = 0;
        while (done < input.size()) {
            const ssize_t n = write(fd, input.data() + done, input.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        if (!hold) close(fd);
    });
    if (options.whileRunning) options.whileRunning(pid);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    feeder.join();
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (options.holdInput) close(in[1]);
    result.maxRssKiB = usage.ru_maxrss;
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

// Descriptors this process has open (the count includes the directory's own).
inline std::size_t openDescriptors() {
    std::size_t count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir)) ++count;
        closedir(dir);
    }
    return count;
}

}  // namespace TestSupport
