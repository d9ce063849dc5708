#pragma once

// The inner parts of the codeplug builder, shared by its parsing and its layout.

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace cpbuild {

using Bytes = std::vector<uint8_t>;

struct LineError : std::runtime_error {
    LineError(int line, const std::string& what)
        : std::runtime_error("line " + std::to_string(line) + ": " + what)
    {
    }
};

struct AdkBlock {
    int line = 0;
    uint16_t id = 0;
    uint32_t address = 0;
    uint8_t flags = 0;
    uint8_t entryFlags = 0;
    uint32_t entrySize = 0;
    std::optional<uint32_t> quantity;
    enum { None, Fixed, Varying } lists = None;
    std::vector<std::vector<Bytes>> entries{1};
    std::optional<Bytes> data;
};

struct RideBlock {
    int line = 0;
    uint16_t id = 0;
    uint32_t address = 0;
    uint32_t size = 0;
};

struct Range {
    uint32_t from;
    uint32_t to;  // the checksum byte, the last of the range
    std::optional<uint8_t> sum;  // the sum this range makes, when not the image's
};

// A block of the block model as the builder placed it, for the check against the model.
struct PlacedBlock {
    int line = 0;
    uint32_t address = 0;
    uint32_t size = 0;
    std::vector<Range> inner;  // its entry and list checksum ranges
};

struct Adk {
    int line = 0;
    uint32_t p1 = 0, p2 = 0, l2 = 0, p3 = 0, flag = 0, word9 = 0, word4 = 0;
    std::optional<uint32_t> count;
};

class Builder {
public:
    Bytes Run(const std::string& description);

private:
    void Directive(const std::vector<std::string>& tokens, const std::string& raw, int line);
    void Put(uint32_t address, const Bytes& bytes, int line);
    void PutWord(uint32_t address, uint32_t value, int line);
    void Claim(uint32_t from, uint32_t size, int line, const std::string& what);
    void LayOut(const AdkBlock& block);
    void LayOutRide(RideBlock& block, const Bytes& data, int line);
    void FillPointers();
    void FillAdk();
    // Decodes every placed block with the codeplug model: its size and the checksum byte the
    // model keeps for each entry and list must be the builder's.
    void CheckWithModel() const;
    void SetSum(uint32_t from, uint32_t to, std::optional<uint8_t> target = std::nullopt);
    void RequireImage(int line) const
    {
        if (m_image.empty())
            throw LineError(line, "\"size\" must come first");
    }

    Bytes m_image;
    uint8_t m_fill = 0;
    uint8_t m_sum = 0x00;
    std::vector<uint32_t> m_owner;  // the line that laid out each byte, 0 when free
    std::vector<Range> m_inner;     // entry, list and block checksums, innermost first
    std::vector<Range> m_regions;   // explicit checksum ranges
    std::vector<RideBlock> m_ride;
    std::map<uint16_t, uint32_t> m_adkBlocks;
    std::vector<PlacedBlock> m_placed;
    std::optional<Adk> m_adk;
    std::optional<AdkBlock> m_open;
};

}  // namespace cpbuild
