#include "files/SRecord.h"

#include "files/HexText.h"

#include <algorithm>
#include <cstring>


namespace {

// Two hexadecimal digits of either case; -1 when either is not a digit.
int HexPair(const char* at)
{
    int high = HexDigitValue(at[0]);
    int low = high < 0 ? -1 : HexDigitValue(at[1]);
    return low < 0 ? -1 : high << 4 | low;
}

}  // namespace

FileModule::FileModule(uint32_t capacity) : m_capacity(capacity)
{
    if (capacity > 0) {
        m_ownedText = std::make_unique<char[]>(capacity);
        m_text = m_ownedText.get();
    }
}

FileModule::~FileModule() = default;

void SRecord::AttachText(const std::string& text)
{
    Detach();
    m_ownedText.reset();
    m_text = text.c_str();
    m_length = uint32_t(::strnlen(text.c_str(), text.size()));
    m_external = true;
}

void SRecord::AttachText(const char* text)
{
    Detach();
    m_text = text;
    m_length = text ? uint32_t(std::strlen(text)) : 0;
    m_external = text != nullptr;
}

void SRecord::Detach()
{
    m_position = 0;
    if (m_external)
        m_text = m_ownedText.get();
    m_external = false;
    m_malformed = false;
    m_summarized = false;
    m_length = 0;
}

SRecord::Next SRecord::ReadRecordText()
{
    m_atTerminator = false;
    if (m_text == nullptr || m_text[0] == '\0' || m_position >= m_length)
        return Next::End;
    const uint32_t start = m_position;
    // The record up to its line end (or as much of it as fits); what decoding may look at past
    // it reads as nothing, as the last record's characters are cleared.
    const uint32_t available = std::min(kRecordChars, m_length - start);
    const char* from = m_text + start;
    const auto* lineEnd = static_cast<const char*>(std::memchr(from, '\n', available));
    const uint32_t copied = lineEnd ? uint32_t(lineEnd - from) + 1 : available;
    std::memcpy(m_work, from, copied);
    if (copied < m_workUsed)
        std::memset(m_work + copied, 0, m_workUsed - copied);
    m_workUsed = copied;
    if (m_work[1] == '9') {
        m_atTerminator = true;  // the position stays on the S9 record
        return Next::End;
    }
    const int count = HexPair(m_work + 2);
    const uint32_t after = start + 2 * uint32_t(count) + 4;
    if (count < 0 || (after < m_length && m_text[after] == 'S')) {
        m_malformed = true;
        return Next::Malformed;
    }
    m_position = after + 1;
    if (m_position < m_length) {
        const auto* next = static_cast<const char*>(std::memchr(m_text + m_position, 'S', m_length - m_position));
        m_position = next ? uint32_t(next - m_text) : m_length;
    }
    if (m_position >= m_length)
        return Next::End;  // nothing follows: this record is not delivered
    m_recordStart = start;
    return Next::Record;
}

SRecord::Decoded SRecord::DecodeRecord(SRecordData& record) const
{
    Decoded result;
    const bool s1 = RecordType() == '1';
    const int addressBytes = s1 ? 2 : 3;
    const int count = HexPair(m_work + 2);
    const int length = count - addressBytes - 1;
    if (count < 0 || length < 0)
        return result;
    uint32_t address = 0;
    int sum = length + addressBytes + 1;
    bool digitsOk = true;
    for (int i = 0; i < addressBytes; ++i) {
        int byte = HexPair(m_work + 4 + 2 * i);
        digitsOk = digitsOk && byte >= 0;
        address = address << 8 | uint32_t(byte & 0xFF);
        sum += byte & 0xFF;
    }
    const char* data = m_work + 4 + 2 * addressBytes;
    for (int i = 0; i < length; ++i) {
        int byte = HexPair(data + 2 * i);
        digitsOk = digitsOk && byte >= 0;
        if (record.data)
            record.data[i] = uint8_t(byte & 0xFF);
        sum += byte & 0xFF;
    }
    const int checksum = HexPair(data + 2 * length);
    record.length = length;
    record.address = address;
    result.digitsOk = digitsOk && checksum >= 0;
    result.checksumOk = result.digitsOk && checksum == (0xFF - (sum & 0xFF));
    return result;
}

bool SRecord::ReadNextRecord(SRecordData& record)
{
    if (ReadRecordText() != Next::Record) {
        if (record.data)
            record.data[0] = 0;
        record.length = 0;
        record.address = 0;
        return false;
    }
    if (RecordType() != '1' && RecordType() != '2')
        return false;
    return DecodeRecord(record).checksumOk;
}

const SRecord::Summary& SRecord::Summarize()
{
    if (m_summarized)
        return m_summary;
    Rewind();
    Summary summary;
    Next next;
    while ((next = ReadRecordText()) == Next::Record) {
        ++summary.records;
        const int count = HexPair(m_work + 2);
        if (RecordType() == '1' && count >= 3)
            summary.dataBytes += uint32_t(count - 3);
        else if (RecordType() == '2' && count >= 4)
            summary.dataBytes += uint32_t(count - 4);
        if (RecordType() == '1' || RecordType() == '2') {
            summary.lastDataRecord = m_recordStart;
            summary.delivered = true;
        }
    }
    summary.wellFormed = next != Next::Malformed;
    summary.atTerminator = m_atTerminator;
    Rewind();
    m_summary = summary;
    m_summarized = true;
    return m_summary;
}

bool SRecord::CheckFirstRecord()
{
    if (m_text == nullptr || m_position >= m_length || m_text[m_position] != 'S')
        return false;
    const char type = m_text[m_position + 1];
    if ((type != '1' && type != '2') || !Summarize().wellFormed)
        return false;
    uint8_t data[kMaxDataBytes + 1] = {};
    SRecordData record{data, 0, 0};
    const bool ok = ReadNextRecord(record);
    Rewind();
    return ok;
}

uint32_t SRecord::CountRecords()
{
    const uint32_t length = m_text ? uint32_t(std::strlen(m_text)) : 0;
    if (length != m_length)
        m_summarized = false;
    m_length = length;
    const uint32_t count = Summarize().records;
    Rewind();
    return count;
}

uint32_t SRecord::GetEndAddress()
{
    const Summary& summary = Summarize();
    Rewind();
    if (!summary.delivered && !summary.atTerminator)
        return 0;
    const char* record = m_text + summary.lastDataRecord;
    const int count = HexPair(record + 2);
    const int high = count < 0 ? -1 : HexPair(record + 4);
    const int low = high < 0 ? -1 : HexPair(record + 6);
    if (low >= 0)
        return uint32_t(high << 8 | low) + uint32_t(count) - 3;
    return 0;
}

bool SRecord::LoadData(ImageBuffer& image, uint32_t capacity)
{
    image.size = 0;
    uint8_t data[kMaxDataBytes + 1];
    Next next;
    while ((next = ReadRecordText()) == Next::Record) {
        if (RecordType() != '1' && RecordType() != '2')
            continue;
        SRecordData record{data, 0, 0};
        if (!DecodeRecord(record).digitsOk)
            return false;
        const uint32_t room = capacity - uint32_t(image.size);
        const uint32_t take = std::min(room, uint32_t(record.length));
        if (take > 0)
            std::memcpy(image.data + image.size, data, take);
        image.size += int32_t(take);
        if (take < uint32_t(record.length))
            return false;
    }
    return next != Next::Malformed;
}

uint32_t SRecord::CountDataBytes()
{
    const uint32_t total = Summarize().dataBytes;
    Rewind();
    return total;
}
