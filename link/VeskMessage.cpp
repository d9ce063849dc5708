#include "link/VeskMessage.h"

#include "errors/Error.h"

#include <cstring>

CVeskMessage::CVeskMessage() { std::memset(m_frame, 0, sizeof m_frame); }

void CVeskMessage::Build(uint8_t opcode, const uint8_t* data, uint16_t length, int form)
{
    bool longForm = form == 2 || (form == 0 && length > kMaxShortData);
    if (!longForm && length > kMaxShortData)
        throw CGenError(3, "A short VESK message carries at most %u data bytes, not %u",
                        kMaxShortData, static_cast<unsigned>(length));
    if (length > kMaxData)
        throw CGenError(3, "A VESK message carries at most %u data bytes, not %u", kMaxData,
                        static_cast<unsigned>(length));
    m_opcode = opcode;
    m_dataLength = length;
    m_frame[1] = opcode;
    if (longForm) {
        m_form = 2;
        m_frame[0] = 0xFF;
        m_frame[2] = 0;
        m_frame[3] = static_cast<uint8_t>(length + 1);
        m_headerLength = 4;
        m_frameLength = static_cast<uint16_t>(length + 5);
    } else {
        m_form = 1;
        m_frame[0] = static_cast<uint8_t>(0xF0 | (length + 1));
        m_headerLength = 2;
        m_frameLength = static_cast<uint16_t>(length + 3);
    }
    if (length > 0)
        std::memcpy(m_frame + m_headerLength, data, length);
    Finish();
}

void CVeskMessage::BuildOneByte(uint8_t opcode, uint8_t value)
{
    m_form = 1;
    m_opcode = opcode;
    m_frame[0] = 0xF2;
    m_frame[1] = opcode;
    m_frame[2] = value;
    m_headerLength = 2;
    m_frameLength = 4;
    m_dataLength = 1;
    Finish();
}

void CVeskMessage::BuildNoData(uint8_t opcode)
{
    m_form = 1;
    m_opcode = opcode;
    m_frame[0] = 0xF1;
    m_frame[1] = opcode;
    m_headerLength = 0;
    m_frameLength = 3;
    m_dataLength = 0;
    Finish();
}

void CVeskMessage::Finish()
{
    m_checksum = Checksum(m_frame, m_frameLength);
    m_frame[m_frameLength - 1] = m_checksum;
}

std::size_t CVeskMessage::FrameLengthOf(const uint8_t* bytes)
{
    if (IsLongForm(bytes[0]))
        return (static_cast<std::size_t>(bytes[2]) << 8 | bytes[3]) + 4;
    return (bytes[0] & 0x0F) + 2u;
}

void CVeskMessage::Parse(const uint8_t* bytes)
{
    bool longForm = IsLongForm(bytes[0]);
    std::size_t length = FrameLengthOf(bytes);
    // A frame without an opcode (long count 0, short length nibble 0) or longer than the
    // frame buffer is not a message.
    if (length > kFrameSize || (longForm && length == 4) || (!longForm && length == 2))
        throw CVeskError(4, "The VESK reply message is corrupted");
    std::memcpy(m_frame, bytes, length);
    m_frameLength = static_cast<uint16_t>(length);
    m_opcode = bytes[1];
    m_checksum = bytes[length - 1];
    if (longForm) {
        m_form = 2;
        m_headerLength = 4;
        m_dataLength = static_cast<uint16_t>(length - 5);
    } else {
        m_form = 1;
        m_headerLength = 2;
        m_dataLength = static_cast<uint16_t>((bytes[0] & 0x0F) - 1);
    }
}

bool CVeskMessage::VerifyChecksum(const uint8_t* bytes)
{
    std::size_t length = FrameLengthOf(bytes);
    return Checksum(bytes, static_cast<uint16_t>(length)) == bytes[length - 1];
}

uint8_t CVeskMessage::Checksum(const uint8_t* bytes, uint16_t length)
{
    unsigned sum = 0;
    for (unsigned i = 0; i + 1 < length; ++i)
        sum += bytes[i];
    return static_cast<uint8_t>(0xFF - (sum & 0xFF));
}

void CVeskMessage::GetInfo(VeskMessageInfo& info) const
{
    info.opcode = m_opcode;
    info.frameLength = m_frameLength;
    info.dataLength = m_dataLength;
    info.headerLength = m_headerLength;
    info.checksum = m_checksum;
}

void CVeskMessage::CopyFrom(const CVeskMessage& other)
{
    m_headerLength = other.m_headerLength;
    m_frameLength = other.m_frameLength;
    m_dataLength = other.m_dataLength;
    m_checksum = other.m_checksum;
    m_opcode = other.m_opcode;
    std::memcpy(m_frame, other.m_frame, sizeof m_frame);
    m_form = m_dataLength <= kMaxShortData ? 1 : 2;
}
