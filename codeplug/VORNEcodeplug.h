#pragma once

#include "codeplug/VariantCodeplug.h"

#include <vector>

// The fixed-address layout: one known block (139) at 523 or 651, of 70 or 72 bytes, whose
// bytes sum to 0x5A; where it lies is decided by the product line, the radio code and the
// variant flag, or by the codeplug's first two bytes. The ADK values come from the image text.
class CVORNEcodeplug : public CVariantCodeplug {
public:
    // InitRdkPtrs loads the image text into a working buffer of this many bytes.
    static constexpr uint32_t kWorkingBufferSize = 10000;

    ~CVORNEcodeplug() override;
    void SetVariantFlag(int flag) override;
    // Keeps the text (not copied: it must outlive the object's use) and the code's first two
    // characters. The text is decoded once: when ReadCpFile loads the image from this same
    // text, InitRdkPtrs takes the ADK values from the data bytes it decoded.
    void SetImageText(const char* text, const char* code) override;
    uint32_t GetBlockVector(uint16_t blockId) override;
    bool InitRdkPtrs() override;
    uint32_t GetFixedBlockSize(uint32_t address, uint16_t blockId) override;
    void FixChecksum(uint16_t blockId, uint8_t* block, uint32_t size) override;
    bool ChecksumOk(uint16_t blockId, const uint8_t* block, uint32_t size) override;

protected:
    void ImageLoaded(const SRecord& file) override;

private:
    // The image text's data bytes into `work` (of kWorkingBufferSize bytes); their number, or
    // false (logged) when there are more than it holds or the text cannot be read.
    bool LoadWorkingData(std::vector<uint8_t>& work, uint32_t& length);
    // Product lines 11 and 12 find block 139 by the codeplug's first two bytes.
    static bool ByMarker();
    bool ShortVariant() const { return m_code[1] == '1' && m_variantFlag == 1; }

    uint8_t m_variantFlag = 0;
    char m_code[3] = {};
    const char* m_imageText = nullptr;
    // The data bytes ReadCpFile decoded from m_imageText, as they were loaded (before any
    // write to the image); valid while m_decodedText is m_imageText.
    std::vector<uint8_t> m_decoded;
    const char* m_decodedText = nullptr;
};
