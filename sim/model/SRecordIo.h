#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Plain S-record text as the simulator reads (profile images) and writes (memory dumps).
struct SimRecord {
    uint32_t address;
    std::vector<uint8_t> data;
};

// Reads the data records (S1, S2, S3) of S-record text; raises CGenError code 3 naming
// `origin` and the line for a malformed line or a wrong checksum.
std::vector<SimRecord> ParseSRecords(const std::string& text, const std::string& origin);
std::vector<SimRecord> ReadSRecordFile(const std::string& path);
// S-record text of `bytes` loaded at `base`: an S0 header, data records of 32 bytes (S1 for
// 16-bit addresses, S2 for 24-bit) and the matching end record.
std::string FormatSRecords(const std::vector<uint8_t>& bytes, uint32_t base, const std::string& header);
