#pragma once

#include <chrono>
#include <cerrno>
#include <csignal>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// Runs `tessarin` (or any program) as a child process, as a second user on the bench PC would
// meet it: its output captured, a time limit after which it is killed (a hang is a finding,
// not a stuck test run), its peak memory measured, and a hook on each line of standard error
// (to send it a signal at a given stage).
struct ChildResult {
    int status = -1;         // exit status; 128 + signal when a signal ended it
    bool signalled = false;  // ended by a signal it did not catch
    bool timedOut = false;   // killed at the time limit
    long maxResidentKb = 0;
    std::string out;
    std::string err;
    std::chrono::milliseconds elapsed{0};
};

struct ChildOptions {
    std::map<std::string, std::string> env;  // set in the child ("" unsets)
    std::string stdinPath = "/dev/null";
    std::chrono::milliseconds limit{15'000};
    // Called with each whole line of standard error and the child's pid.
    std::function<void(const std::string&, pid_t)> onErrLine;
};

inline ChildResult RunChild(const std::vector<std::string>& argv, const ChildOptions& options = {})
{
    ChildResult result;
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        return result;
    const auto start = std::chrono::steady_clock::now();
    pid_t child = ::fork();
    if (child == 0) {
        int in = ::open(options.stdinPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0 || ::dup2(in, 0) < 0 || ::dup2(out[1], 1) < 0 || ::dup2(err[1], 2) < 0)
            ::_exit(126);
        for (const auto& [name, value] : options.env) {
            if (value.empty())
                ::unsetenv(name.c_str());
            else
                ::setenv(name.c_str(), value.c_str(), 1);
        }
        // The signals' default actions, whatever the test runner set.
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
            std::signal(signal, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    std::string partial;
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        const auto left = options.limit - (std::chrono::steady_clock::now() - start);
        if (left <= std::chrono::milliseconds(0)) {
            result.timedOut = true;
            ::kill(child, SIGKILL);
            break;
        }
        pollfd fds[2] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}};
        int ready = ::poll(fds, 2, static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(left).count()));
        if (ready < 0 && errno == EINTR)
            continue;
        char buffer[4096];
        if (fds[0].revents != 0) {
            ssize_t n = ::read(out[0], buffer, sizeof buffer);
            if (n <= 0)
                outOpen = false;
            else
                result.out.append(buffer, static_cast<std::size_t>(n));
        }
        if (fds[1].revents != 0) {
            ssize_t n = ::read(err[0], buffer, sizeof buffer);
            if (n <= 0) {
                errOpen = false;
            } else {
                result.err.append(buffer, static_cast<std::size_t>(n));
                partial.append(buffer, static_cast<std::size_t>(n));
                std::size_t end;
                while ((end = partial.find('\n')) != std::string::npos) {
                    if (options.onErrLine)
                        options.onErrLine(partial.substr(0, end), child);
                    partial.erase(0, end + 1);
                }
            }
        }
    }
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    result.maxResidentKb = usage.ru_maxrss;
    if (WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signalled = true;
        result.status = 128 + WTERMSIG(status);
    }
    return result;
}
