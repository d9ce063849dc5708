#pragma once

#include <cerrno>

#include <unistd.h>

// An open file descriptor, closed when it goes.
class CFd {
public:
    explicit CFd(int fd = -1) : m_fd(fd) {}
    ~CFd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int Get() const { return m_fd; }
    void Reset(int fd) { m_fd = fd; }
    // Closes now, so that a failing close is seen; returns 0 or the errno.
    int Close()
    {
        int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int m_fd;
};
