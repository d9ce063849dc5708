#include "platform/RegistrySettings.h"

// POSIX systems keep settings in files only.
namespace RegistrySettings {
namespace {
bool NoRegistry(std::string& error)
{
    error = "this system has no registry";
    return false;
}
} // namespace

bool IsLocation(const std::string&) { return false; }

std::string Unreadable(const std::string&) { return "this system has no registry"; }

bool ReadSection(const std::string&, const std::string&, Entries&, std::string& error) { return NoRegistry(error); }

bool WriteNumber(const std::string&, const std::string&, const std::string&, int, std::string& error)
{
    return NoRegistry(error);
}

bool WriteText(const std::string&, const std::string&, const std::string&, const std::string&, std::string& error)
{
    return NoRegistry(error);
}

bool Remove(const std::string&, const std::string&, const std::string&, std::string& error) { return NoRegistry(error); }
} // namespace RegistrySettings
