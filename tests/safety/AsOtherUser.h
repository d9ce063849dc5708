#pragma once

#include <functional>
#include <string>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

// Runs `check` in a child process as an ordinary user, so that permission checks behave as
// on a bench PC also when the tests run as root (as in CI): as root the child drops to
// nobody (65534); otherwise it runs as the current user. Returns the check's result; a
// child that fails to drop its rights counts as a failure.
inline bool AsOrdinaryUser(const std::function<bool()>& check)
{
    pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The user the check runs as: nobody when the tests run as root.
inline uid_t OrdinaryUid() { return ::geteuid() == 0 ? 65534 : ::geteuid(); }
