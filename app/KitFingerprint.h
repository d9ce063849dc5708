#pragma once

#include <filesystem>
#include <string>

// What tells two kits apart in the journal of presses: FNV-1a 64 over the names, sizes and contents of
// the regular files directly in the kit folder, in name order, as 16 hexadecimal digits. Links,
// folders and the error log written there are left out; a file that cannot be read counts by
// its name alone.
std::string KitFingerprint(const std::filesystem::path& kitDirectory);
