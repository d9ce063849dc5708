#include "upgrade/CarryOver.h"

#include <cstdlib>

namespace {
std::filesystem::path DefaultDirectory()
{
    if (const char* dir = std::getenv("TESSARIN_STATE_DIR"); dir && *dir)
        return dir;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg)
        return std::filesystem::path(xdg) / "tessarin" / "carryover";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : ".") / ".local" / "state" / "tessarin" /
           "carryover";
}
} // namespace

CCarryOverStore::CCarryOverStore() : m_directory(DefaultDirectory()) {}
CCarryOverStore::CCarryOverStore(std::filesystem::path directory) : m_directory(std::move(directory)) {}
