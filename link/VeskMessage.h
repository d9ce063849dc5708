#pragma once

#include <cstddef>
#include <cstdint>

// What a message looks like, as the exchange and the broker need it.
struct VeskMessageInfo {
    uint8_t opcode = 0;
    uint16_t frameLength = 0;
    uint16_t dataLength = 0;
    uint16_t headerLength = 0;
    uint8_t checksum = 0;
};

// One VESK frame: a length byte, the opcode, optional data and a checksum, big-endian.
// Short form (at most 13 data bytes): 0xF0 | (1 + data bytes), opcode, data, checksum.
// Long form: 0xFF, opcode, count (2 bytes, 1 + data bytes), data, checksum.
// The checksum is 0xFF minus the 8-bit sum of every byte before it.
class CVeskMessage {
public:
    static constexpr std::size_t kFrameSize = 525;
    static constexpr unsigned kMaxShortData = 13;
    // The data length is one byte wide and a built long frame has a count below 256.
    static constexpr unsigned kMaxData = 254;

    CVeskMessage();
    virtual ~CVeskMessage() = default;

    // form 0: short when length <= 13, else long; 1: short; 2: long. Raises CGenError 3 when
    // the data does not fit the chosen form (more than 13 bytes short, 254 long).
    void Build(uint8_t opcode, const uint8_t* data, uint16_t length, int form = 0);
    void BuildOneByte(uint8_t opcode, uint8_t value);
    void BuildNoData(uint8_t opcode);
    // Takes a received frame whose length follows from its first bytes (the data length of a
    // long frame is its count - 1, exactly). A frame that cannot be a message (a long count of
    // 0, a short length nibble of 0, or longer than the frame buffer) is refused with
    // CVeskError 4 before anything is stored.
    void Parse(const uint8_t* bytes);
    static bool VerifyChecksum(const uint8_t* bytes);
    // The checksum of the first length - 1 bytes.
    static uint8_t Checksum(const uint8_t* bytes, uint16_t length);
    void GetInfo(VeskMessageInfo& info) const;
    void CopyFrom(const CVeskMessage& other);
    uint8_t* GetFrame() { return m_frame; }
    const uint8_t* GetFrame() const { return m_frame; }

    // Total length of a frame from its first bytes (the first 4 for the long form).
    static std::size_t FrameLengthOf(const uint8_t* bytes);
    static bool IsLongForm(uint8_t firstByte) { return (firstByte & 0x0F) == 0x0F; }

    uint8_t GetOpcode() const { return m_opcode; }
    uint16_t GetFrameLength() const { return m_frameLength; }
    uint16_t GetDataLength() const { return m_dataLength; }
    uint16_t GetHeaderLength() const { return m_headerLength; }
    uint8_t GetChecksum() const { return m_checksum; }
    // The data bytes (after the header).
    const uint8_t* GetData() const { return m_frame + m_headerLength; }

private:
    void Finish();

    uint16_t m_headerLength = 0;
    uint16_t m_frameLength = 0;
    // Two bytes wide: a received long frame may carry more than 255 data bytes (the reply to a
    // read of 252 to 255 bytes does), and its length must not wrap.
    uint16_t m_dataLength = 0;
    uint8_t m_checksum = 0;
    uint8_t m_opcode = 0;
    uint8_t m_frame[kFrameSize];
    int m_form = 1;
};
