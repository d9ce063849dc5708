#include "platform/PrivateLock.h"

#include "platform/InputFile.h"

#include <cstdint>
#include <cstdio>

namespace {
std::string Hash(const std::string& text)
{
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    return digits;
}
} // namespace

std::string PrivateLockPath(const std::string& kind, const std::string& thing, std::string* reason)
{
    std::string folder = PrivateLockFolder(reason);
    if (folder.empty())
        return {};
    return folder + "/" + kind + "-" + Hash(thing) + ".lock";
}

CPrivateLock::~CPrivateLock() { Release(); }

CPrivateLock::CPrivateLock(CPrivateLock&& other) noexcept
    : m_fd(other.m_fd), m_busy(other.m_busy), m_error(std::move(other.m_error))
{
    other.m_fd = -1;
}

CPrivateLock& CPrivateLock::operator=(CPrivateLock&& other) noexcept
{
    if (this != &other) {
        Release();
        m_fd = other.m_fd;
        m_busy = other.m_busy;
        m_error = std::move(other.m_error);
        other.m_fd = -1;
    }
    return *this;
}

void CPrivateLock::Release()
{
    if (m_fd >= 0) {
        CloseInputFile(m_fd);  // closing drops the lock
        m_fd = -1;
    }
}
