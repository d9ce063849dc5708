#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// What DoProgCp reads from a radio before it reprograms the codeplug: the radio's own tuning
// and serial-number data and everything that decides how that data is converted into the new
// codeplug. Saved before the first programming write and kept by the caller across the
// attempts of one Program press, so that a retry restores from here and not from a radio that
// has already been reprogrammed.
struct CarryOverRecord {
    bool valid = false; // set once the radio's data has been read and saved
    // Filled by DoProgCp; the layout of the saved data is the codeplug programming's own.
};

// Carry-over records on disk: one readable text file each in the user's state directory,
// written atomically before the first programming write, removed once the restore has been
// written and read back.
class CCarryOverStore {
public:
    // $TESSARIN_STATE_DIR, else $XDG_STATE_HOME/tessarin/carryover, else
    // ~/.local/state/tessarin/carryover.
    CCarryOverStore();
    explicit CCarryOverStore(std::filesystem::path directory);
    const std::filesystem::path& Directory() const { return m_directory; }

private:
    std::filesystem::path m_directory;
};
