#pragma once

#include <chrono>
#include <string>

// Locks of this user's own. Programs of one user that must not work on the same thing at once
// (two settings writes, a kit being packed while it is read) agree through a lock file of
// their own, never through the shared file or folder itself: anyone who may read a file or a
// folder may also lock it, so a lock on a readable kit file or on the settings folder lets
// another user on the PC stop this one. The lock files lie in a folder that only this user can
// enter (PrivateLockFolder), are created mode 0600 without following links, and are used only
// when they are this user's own regular files; another user can neither open nor plant one.
//
// The folder, the first that can be made private:
//   $XDG_RUNTIME_DIR/tessarin       (the login's own folder, when it is this user's and 0700)
//   /tmp/tessarin-locks-<uid>       (made 0700; refused when it is not this user's own folder)
//   ~/.cache/tessarin/locks
// Each holds one small file per thing locked, named after it ("settings-<hash>.lock").

// The folder, made when missing; empty with `reason` set when none can be made private.
std::string PrivateLockFolder(std::string* reason = nullptr);
// The lock file for `thing` (an absolute path) of a `kind` ("settings", "kit"), in that folder.
std::string PrivateLockPath(const std::string& kind, const std::string& thing, std::string* reason = nullptr);

class CPrivateLock {
public:
    enum class Mode { Shared, Exclusive };
    static constexpr std::chrono::milliseconds kNoWait{0};

    CPrivateLock() = default;
    // Locks `thing` of `kind`, waiting at most `wait` for other programs of this user.
    CPrivateLock(const std::string& kind, const std::string& thing, Mode mode,
                 std::chrono::milliseconds wait = kNoWait);
    ~CPrivateLock();
    CPrivateLock(CPrivateLock&& other) noexcept;
    CPrivateLock& operator=(CPrivateLock&& other) noexcept;
    CPrivateLock(const CPrivateLock&) = delete;
    CPrivateLock& operator=(const CPrivateLock&) = delete;

    bool Locked() const { return m_fd >= 0; }
    // Whether the lock was refused because another program of this user holds it (rather
    // than because no lock file could be made).
    bool Busy() const { return m_busy; }
    const std::string& Error() const { return m_error; }
    void Release();

private:
    int m_fd = -1;
    bool m_busy = false;
    std::string m_error;
};
