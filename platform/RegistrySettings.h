#pragma once

#include <string>
#include <utility>
#include <vector>

// Settings kept in the system's registry (Windows): a location names a key under
// HKEY_CURRENT_USER ("HKEY_CURRENT_USER\Software\Tessarin"); each section is a key below it
// and each entry a value there, numbers as REG_DWORD and text as REG_SZ. The user's own key
// needs no administrator rights and is kept across restarts. Where the system has no registry
// (POSIX) no location is one, and every call fails saying so.
namespace RegistrySettings {
using Entries = std::vector<std::pair<std::string, std::string>>;

// The key the program keeps its settings in by default.
inline constexpr const char* kDefaultLocation = "HKEY_CURRENT_USER\\Software\\Tessarin";

// Whether `location` names a registry key rather than a file.
bool IsLocation(const std::string& location);
// Empty when the location's key can be read or is not there yet; otherwise why not.
std::string Unreadable(const std::string& location);
// Every value of the section's key, numbers in decimal; an absent key has none. False (and
// `error` says why) when the key is there but cannot be read.
bool ReadSection(const std::string& location, const std::string& section, Entries& entries, std::string& error);
// Creates the section's key when it is not there and sets one value.
bool WriteNumber(const std::string& location, const std::string& section, const std::string& key, int value,
                 std::string& error);
bool WriteText(const std::string& location, const std::string& section, const std::string& key,
               const std::string& value, std::string& error);
// Removes one value; one that is not there is removed already.
bool Remove(const std::string& location, const std::string& section, const std::string& key, std::string& error);
} // namespace RegistrySettings
