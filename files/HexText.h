#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// The value of each character as a hexadecimal digit of either case; -1 for anything else.
extern const std::array<int8_t, 256> kHexDigitValues;

// The value of one hexadecimal digit of either case; -1 for anything else.
inline int HexDigitValue(char c) { return kHexDigitValues[static_cast<uint8_t>(c)]; }

// Two upper-case hexadecimal digits per byte, no separators ("0A1B").
std::string BytesToHex(const uint8_t* bytes, std::size_t count);

// One S-record line: "S", the type, the count, the address (2 bytes for types 0, 1, 5, 9; 3
// for 2 and 8; 4 for 3 and 7), the data, the checksum (the one's complement of the sum of
// count, address and data bytes), CR LF.
std::string FormatSRecord(char type, uint32_t address, const uint8_t* data, std::size_t count);

// S-record text of `count` bytes loaded at `base`, `perRecord` data bytes a record: S1 records
// when every address fits 16 bits, else S2, then the end record S9030000FC.
std::string FormatSRecordImage(const uint8_t* bytes, std::size_t count, uint32_t base, std::size_t perRecord);
