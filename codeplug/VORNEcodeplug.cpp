#include "codeplug/VORNEcodeplug.h"
#include "codeplug/FixedLayout.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "files/SRecord.h"
#include "link/LinkFlags.h"

#include <algorithm>
#include <vector>

CVORNEcodeplug::~CVORNEcodeplug() = default;

void CVORNEcodeplug::SetVariantFlag(int flag) { m_variantFlag = static_cast<uint8_t>(flag); }

void CVORNEcodeplug::SetImageText(const char* text, const char* code)
{
    m_imageText = text;
    m_decodedText = nullptr;
    m_decoded.clear();
    m_code[0] = m_code[1] = 0;
    if (code && code[0]) {
        m_code[0] = code[0];
        m_code[1] = code[1];
    }
}

bool CVORNEcodeplug::ByMarker()
{
    int line = GetProductLineNumber();
    return line == 11 || line == 12;
}

uint32_t CVORNEcodeplug::GetBlockVector(uint16_t blockId)
{
    if (blockId == fixedlayout::kBlockId) {
        if (ByMarker())
            return CCodeplug::GetBlockVector(blockId);
        return ShortVariant() ? fixedlayout::kBasicAddress : fixedlayout::kExtendedAddress;
    }
    if (blockId == 0x8000 || blockId == 0x8003)
        return CCodeplug::GetBlockVector(blockId);
    return 0;
}

uint32_t CVORNEcodeplug::GetFixedBlockSize(uint32_t address, uint16_t blockId)
{
    if (blockId != fixedlayout::kBlockId)
        return 0;
    if (ByMarker())
        return CCodeplug::GetFixedBlockSize(address, blockId);
    return ShortVariant() ? fixedlayout::kBasicSize : fixedlayout::kExtendedSize;
}

void CVORNEcodeplug::FixChecksum(uint16_t blockId, uint8_t* block, uint32_t size)
{
    if (blockId == fixedlayout::kBlockId)
        fixedlayout::FixChecksum(block, size);
}

bool CVORNEcodeplug::ChecksumOk(uint16_t blockId, const uint8_t* block, uint32_t size)
{
    if (blockId != fixedlayout::kBlockId || size == 0)
        return true;
    uint8_t sum = 0;
    for (uint32_t i = 0; i < size; ++i)
        sum = static_cast<uint8_t>(sum + block[i]);
    return sum == fixedlayout::kSum;
}

void CVORNEcodeplug::ImageLoaded(const SRecord& file)
{
    m_decodedText = nullptr;
    if (!m_imageText || file.Text() != m_imageText)
        return;
    m_decoded.assign(m_image.data, m_image.data + m_dataLength);
    m_decodedText = m_imageText;
}

bool CVORNEcodeplug::LoadWorkingData(std::vector<uint8_t>& work, uint32_t& length)
{
    bool loaded;
    if (m_decodedText && m_decodedText == m_imageText) {
        // Loading the text into the working buffer gives these bytes, or fails when they are
        // more than it holds.
        loaded = m_decoded.size() <= kWorkingBufferSize;
        if (loaded)
            std::copy(m_decoded.begin(), m_decoded.end(), work.begin());
        length = loaded ? static_cast<uint32_t>(m_decoded.size()) : 0;
    } else {
        ImageBuffer data{work.data(), 0};
        SRecord file;
        file.AttachText(m_imageText);
        // More data than the working buffer holds is refused instead of written past its end.
        loaded = file.LoadData(data, kWorkingBufferSize);
        file.Detach();
        length = static_cast<uint32_t>(data.size);
    }
    if (!loaded)
        ErrorLog().Log("CVORNEcodeplug::InitRdkPtrs: The codeplug image holds more than %u bytes of data or is "
                       "unreadable",
                       kWorkingBufferSize);
    return loaded;
}

bool CVORNEcodeplug::InitRdkPtrs()
{
    if (!m_imageText) {
        ErrorLog().Log("CVORNEcodeplug::InitRdkPtrs: No codeplug image text to take the ADK values from");
        return false;
    }
    std::vector<uint8_t> work(kWorkingBufferSize, 0);
    uint32_t length = 0;
    if (!LoadWorkingData(work, length))
        return false;
    // Every byte is checked before it is read: a refused image costs no exception.
    bool inside = true;
    auto at = [&](uint32_t address) -> uint32_t {
        inside = inside && address < length;
        return inside ? work[address] : 0;
    };
    auto word = [&](uint32_t address) { return (at(address) << 8) | at(address + 1); };
    const uint32_t x = word(0);
    const uint32_t y = x + word(x + 8);
    const uint32_t p1 = y + word(y + 1) * at(y + 3) + 5;
    if (!inside || p1 > length) {
        ErrorLog().Log("%s", CGenError(3, "%s", kOutsideImage).GetText());
        ErrorLog().Log("CCodeplug::InitRdkPtrs: Initialization of ADK codeplug format failed");
        return false;
    }
    m_p1 = p1;
    m_p1Copy = p1;
    m_l1 = length - p1;
    m_regionEnd = length - 1;
    m_p2 = m_l2 = m_regionFlag = m_blockCount = m_vectorTable = 0;
    m_wordP2Plus4 = m_word9 = 0;
    m_formatDetermined = 1;
    return true;
}
