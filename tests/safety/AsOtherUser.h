#pragma once

#include <functional>
#include <string>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
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

// Another user holding an exclusive lock on `path` for as long as this lives: a child process
// (as nobody when the tests run as root) that opens the path read-only, takes the lock and
// waits until it is told to go. Held() says whether it got the lock.
class COtherUsersLock {
public:
    explicit COtherUsersLock(const std::string& path)
    {
        if (::pipe(m_ready) != 0 || ::pipe(m_release) != 0)
            return;
        m_child = ::fork();
        if (m_child == 0) {
            if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(3);
            int fd = ::open(path.c_str(), O_RDONLY);
            char byte = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
            (void)!::write(m_ready[1], &byte, 1);
            (void)!::read(m_release[0], &byte, 1);
            ::_exit(0);
        }
        char answer = 0;
        m_held = m_child > 0 && ::read(m_ready[0], &answer, 1) == 1 && answer == 'y';
    }
    ~COtherUsersLock()
    {
        (void)!::write(m_release[1], "x", 1);
        if (m_child > 0) {
            int status = 0;
            ::waitpid(m_child, &status, 0);
        }
        for (int fd : {m_ready[0], m_ready[1], m_release[0], m_release[1]})
            if (fd >= 0)
                ::close(fd);
    }
    COtherUsersLock(const COtherUsersLock&) = delete;
    COtherUsersLock& operator=(const COtherUsersLock&) = delete;

    bool Held() const { return m_held; }

private:
    int m_ready[2] = {-1, -1};
    int m_release[2] = {-1, -1};
    pid_t m_child = -1;
    bool m_held = false;
};
