#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Codeplug image files for the service commands: plain S-record text, or enciphered with the
// kit's data-file key like the installed images.

struct CodeplugImageText {
    std::string text;  // the S-record text
    std::string key;   // the key it was enciphered with; empty for a plain file
};

// Reads the file; with a key it is deciphered first. Raises CGenError 3 with a message that
// says what is wrong (missing, corrupt, not S-record text: give the key).
CodeplugImageText ReadCodeplugImageFile(const std::string& path, const std::string& key);
// The data-file key of the kit whose "patcher.dat" lies beside `imagePath`.
std::string KitDataFileKey(const std::string& imagePath);
// The original records again, each with its address and length, their data bytes taken one
// after another from `packed` (as loading packed them), checksums recomputed; records of other
// types (header, count) carried through unchanged; then S9. Raises CGenError 3 when the records
// do not hold exactly `packedLength` bytes.
std::string RewriteSRecords(const std::string& original, const uint8_t* packed, uint32_t packedLength);
// Writes the text (enciphered when a key is given) to a temporary file beside `path` and
// renames it over `path`, so that no half-written file is ever left. Raises CGenError 3.
void WriteCodeplugImageFile(const std::string& path, const std::string& text, const std::string& key);
