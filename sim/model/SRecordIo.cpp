#include "sim/model/SRecordIo.h"

#include "errors/Error.h"
#include "files/HexText.h"
#include "platform/InputFile.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

std::vector<SimRecord> ParseSRecords(const std::string& text, const std::string& origin)
{
    std::vector<SimRecord> records;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        if (line.empty())
            continue;
        auto bad = [&](const char* what) {
            throw CGenError(3, "S-record file %s, line %d: %s", origin.c_str(), number, what);
        };
        if (line.size() < 4 || line[0] != 'S' || (line.size() % 2) != 0)
            bad("not an S-record line");
        std::vector<uint8_t> bytes;
        for (std::size_t i = 2; i < line.size(); i += 2) {
            int hi = HexDigitValue(line[i]), lo = HexDigitValue(line[i + 1]);
            if (hi < 0 || lo < 0)
                bad("holds a character that is not hexadecimal");
            bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
        }
        if (bytes[0] + 1u != bytes.size())
            bad("its count does not match its length");
        unsigned sum = 0;
        for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
            sum += bytes[i];
        if (static_cast<uint8_t>(~sum) != bytes.back())
            bad("wrong checksum");
        unsigned addressBytes = line[1] == '1' ? 2 : line[1] == '2' ? 3 : line[1] == '3' ? 4 : 0;
        if (addressBytes == 0)
            continue;  // header, count and end records carry no data
        if (bytes.size() < addressBytes + 2)
            bad("too short for its address");
        SimRecord r{0, {}};
        for (unsigned i = 0; i < addressBytes; ++i)
            r.address = (r.address << 8) | bytes[1 + i];
        r.data.assign(bytes.begin() + 1 + addressBytes, bytes.end() - 1);
        records.push_back(std::move(r));
    }
    return records;
}

std::vector<SimRecord> ReadSRecordFile(const std::string& path)
{
    return ParseSRecords(ReadInputFile(path, InputFileRules{InputLimit::kFirmwareImage, "S-record file"}), path);
}

std::string FormatSRecords(const std::vector<uint8_t>& bytes, uint32_t base, const std::string& header)
{
    return FormatSRecord('0', 0, reinterpret_cast<const uint8_t*>(header.data()), header.size()) +
           FormatSRecordImage(bytes.data(), bytes.size(), base, 32);
}
