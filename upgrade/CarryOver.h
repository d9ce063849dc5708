#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

// How far a Program press has taken a radio, as its record on disk says.
enum class PressStage {
    Started,          // the press is under way; nothing but the identity mark has reached the radio
    FlashErased,      // the flash erase was asked for: until the firmware is written the radio
                      // starts only in bootstrap mode
    FirmwareWritten,  // the new firmware is written; the codeplug is as it was
    CodeplugSaved,    // the radio's own data is in the record; its codeplug is being reprogrammed
    CodeplugWritten,  // the codeplug is reprogrammed and the radio's own data written back and read
    Patching,         // the patch entries are being applied
};
const char* PressStageName(PressStage stage);
// The stage named by PressStageName; false for an unknown name.
bool ParsePressStage(const std::string& name, PressStage& stage);

// The radio as verification read it: its radio code, its model text and its serial number (the
// identity text it reports to status request 11).
struct RadioIdentity {
    std::string radioCode;
    std::string modelText;
    std::string serial;

    bool Known() const { return !modelText.empty() || !serial.empty(); }
    bool operator==(const RadioIdentity& other) const = default;
    // "model DM450, serial 4500000042, radio code P5".
    std::string Text() const;
};

// The record of one Program press, on disk from before the first change to the radio until the
// press has finished it: which radio (its identity), which kit and plan, how far the press got,
// and, once read, the radio's own tuning and serial-number data that DoProgCp carries over.
// Kept by the caller across the attempts of one Program press, so that a retry (or a later
// press on the same radio) restores from here and not from a radio that has already been
// reprogrammed.
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
    bool valid = false;  // set once the radio's data has been read and saved (the items)

    std::string file;     // the file on disk that holds it ("" while not written)
    std::string created;  // local time the record was made, "YYYY-MM-DD HH:MM:SS"
    PressStage stage = PressStage::Started;
    RadioIdentity radio;
    // The kit and plan of the press.
    std::string kit;           // the kit directory, absolute
    std::string codeplugFile;  // the codeplug image file of the matched model ("#" for none)
    int group = 1;             // the radio group and the matched entry within its model
    int entry = 0;
    int flashFirmware = 0;
    int applyPatches = 0;
    int layout = 0;       // the codeplug structure type: 1, 2 or 3 (0: the plan programs no codeplug)
    int productLine = 0;
    int codeplugMode = 0;
    std::string radioCode;     // two characters
    uint8_t identityMark = 0;  // the mark the Program press wrote to 0x3FF0
    std::string modelTag;
    uint32_t imageLength = 0;  // data bytes of the new codeplug image (the fixed-address layout
                               // takes its region from them)
    // The new image's programmed region and its fingerprint (RegionFingerprint).
    uint32_t regionStart = 0;
    uint32_t regionEnd = 0;
    std::string fingerprint;
    std::map<std::string, std::vector<uint8_t>> items;

    bool Has(const std::string& name) const { return items.count(name) != 0; }
    // The item's bytes; raises CGenError 3 naming the item when the record lacks it.
    const std::vector<uint8_t>& Item(const std::string& name) const;
    void Put(const std::string& name, std::vector<uint8_t> bytes) { items[name] = std::move(bytes); }
    // What identifies the radio to a person: its identity, else its radio code and the
    // serial-number data saved.
    std::string RadioText() const;
    // The radio may hold no firmware: the erase was asked for and the firmware not written.
    bool LeftWithoutFirmware() const { return stage == PressStage::FlashErased; }
};

// The record as the readable text that is kept on disk:
//
//   # Tessarin carry-over record ...        comment lines start with "#"
//   format = 2
//   created = 2026-12-10 13:45:01
//   radio = model DM450, serial 4500000042, radio code P5
//   stage = codeplug-saved
//   model = DM450
//   serial = 4500000042
//   kit = /usr/share/tessarin/kits/demo
//   codeplug-file = demo.cpd
//   group = 1
//   entry = 0
//   flash-firmware = 1
//   apply-patches = 1
//   layout = 1
//   product-line = 5
//   codeplug-mode = 3
//   radio-code = P5
//   identity-mark = 42
//   model-tag = STD
//   image-length = 545
//   region = 0-221                          hexadecimal, the end one past the last byte
//   fingerprint = 0123456789ABCDEF
//   item tuning-entry = 101316...           the bytes as hexadecimal pairs
//
// "radio" is for people and is not read back. A record of format 1 (written before records
// knew their radio) reads with no identity, kit or fingerprint; every value is checked against
// its range and an unknown name is refused: a record is input like any other file.
std::string FormatCarryOver(const CarryOverRecord& record);
// Parses that text; raises CGenError 3 naming `file` and the line for anything wrong. The
// record comes back with `file` set, valid when it holds the radio's data.
CarryOverRecord ParseCarryOver(const std::string& text, const std::string& file);

// Carry-over records on disk: one readable text file each in the user's state directory,
// written atomically before the first programming write, removed once the restore has been
// written and read back.
class CCarryOverStore {
public:
    // $TESSARIN_STATE_DIR, else $XDG_STATE_HOME/tessarin/carryover, else
    // ~/.local/state/tessarin/carryover; made absolute here, so that a later change of the
    // current directory does not move it.
    CCarryOverStore();
    explicit CCarryOverStore(std::filesystem::path directory);
    const std::filesystem::path& Directory() const { return m_directory; }

    // Writes the record to its file, or to a new file in the directory when it has none (the
    // directory is created, private to the user); `record.file` names it afterwards. The file
    // is replaced whole or not at all. Raises CGenError 3 saying what failed.
    void Save(CarryOverRecord& record);
    // Removes the record's file; `record.file` is emptied. Raises CGenError 3 when the file
    // stays.
    void Remove(CarryOverRecord& record);
    // The record files in the directory, oldest first: regular files of this user only (a link,
    // a FIFO or another user's file planted there is not one of this user's records).
    std::vector<std::filesystem::path> List() const;
    // Every record of List() that reads; the files that do not are named in `unreadable` with
    // what is wrong.
    std::vector<CarryOverRecord> LoadAll(std::vector<std::string>* unreadable = nullptr) const;
    // Reads one record file as untrusted input: never through a link, never blocking, only a
    // regular file of this user's of at most kMaxFileSize bytes. Raises CGenError 3 naming the
    // file and what is wrong.
    static CarryOverRecord Load(const std::filesystem::path& file);

    static constexpr long kMaxFileSize = 256 * 1024;

private:
    std::filesystem::path m_directory;
};
