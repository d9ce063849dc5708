#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

// What DoProgCp reads from a radio before it reprograms the codeplug: the radio's own tuning
// and serial-number data and everything that decides how that data is converted into the new
// codeplug. Saved before the first programming write and kept by the caller across the
// attempts of one Program press, so that a retry restores from here and not from a radio that
// has already been reprogrammed.
//
// The saved bytes are named items; which items a record holds depends on its layout:
//   layout 1 (block model):   "entry0-serial" (entry 0 bytes 0-10), "entry0-regional" (entry 0
//                             byte 81), "tuning-entry" (entry 0x8000, whole)
//   layout 2 (pointer table): "moved-146" (1 byte at 0x146) and "moved-12F" (7 bytes at 0x12F)
//                             for product line 10 with model tag "01"; "block48-serial" (10
//                             bytes at 4), "block20-tuning" (97 bytes at 7), "block20-457",
//                             "block20-459" (1 byte each), "block16" (whole)
//   layout 3 (fixed address): "old-marker" (2 bytes at 0), "bytes-2D3" (8) and "byte-2A9" (1)
//                             for product line 3; "tuning-entry" (entry 0x8000, whole);
//                             "header-h3" (3) and "header-h8" (8), "byte-N" (1 byte at 0x179,
//                             product line 11) and "block139" (the old block 139 as read: 70
//                             or 72 bytes) for product lines 11 and 12; "block139" for the
//                             others
// A codeplug mode that carries no tuning data (or no serial data) saves none.
struct CarryOverRecord {
    bool valid = false;  // set once the radio's data has been read and saved

    std::string file;     // the file on disk that holds it ("" while not written)
    std::string created;  // local time the data was read, "YYYY-MM-DD HH:MM:SS"
    int layout = 0;       // the codeplug structure type: 1, 2 or 3
    int productLine = 0;
    int codeplugMode = 0;
    std::string radioCode;     // two characters
    uint8_t identityMark = 0;  // the mark the Program press wrote to 0x3FF0
    std::string modelTag;
    uint32_t imageLength = 0;  // data bytes of the new codeplug image (the fixed-address layout
                               // takes its region from them)
    std::map<std::string, std::vector<uint8_t>> items;

    bool Has(const std::string& name) const { return items.count(name) != 0; }
    // The item's bytes; raises CGenError 3 naming the item when the record lacks it.
    const std::vector<uint8_t>& Item(const std::string& name) const;
    void Put(const std::string& name, std::vector<uint8_t> bytes) { items[name] = std::move(bytes); }
    // What identifies the radio to a person: its radio code and serial-number data.
    std::string RadioText() const;
};

// The record as the readable text that is kept on disk:
//
//   # Tessarin carry-over record ...        comment lines start with "#"
//   format = 1
//   created = 2026-12-10 13:45:01
//   radio = radio code P5, serial DEMO0000001
//   layout = 1
//   product-line = 5
//   codeplug-mode = 3
//   radio-code = P5
//   identity-mark = 42
//   model-tag = STD
//   image-length = 545
//   item tuning-entry = 101316...           the bytes as hexadecimal pairs
//
// "radio" is for people and is not read back.
std::string FormatCarryOver(const CarryOverRecord& record);
// Parses that text; raises CGenError 3 naming `file` and the line for anything wrong. The
// record comes back valid, with `file` set.
CarryOverRecord ParseCarryOver(const std::string& text, const std::string& file);

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

    // Writes the record to its file, or to a new file in the directory when it has none (the
    // directory is created); `record.file` names it afterwards. The file is replaced whole or
    // not at all. Raises CGenError 3 saying what failed.
    void Save(CarryOverRecord& record);
    // Removes the record's file; `record.file` is emptied. Raises CGenError 3 when the file
    // stays.
    void Remove(CarryOverRecord& record);
    // The record files in the directory, oldest first.
    std::vector<std::filesystem::path> List() const;
    // Reads one record file; raises CGenError 3 naming the file.
    static CarryOverRecord Load(const std::filesystem::path& file);

private:
    std::filesystem::path m_directory;
};
