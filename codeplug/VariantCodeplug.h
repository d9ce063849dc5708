#pragma once

#include "codeplug/Codeplug.h"

// What the two layouts without block headers share: blocks found by the layout's own rules,
// sized by GetFixedBlockSize, fields at plain offsets in a block held in memory, and the
// block's checksum recomputed (FixChecksum) whenever the whole block is written back.
class CVariantCodeplug : public CCodeplug {
public:
    // Loads the image; the result is that of the layout's InitRdkPtrs (1 or 0).
    int ReadCpFile(SRecord& file) override;
    int ReadCpBlock(ImageBuffer& dest, uint16_t blockId) override;
    // The list and entry are not used: `offset` is a byte offset in the block.
    int ReadCpField(uint8_t* dest, const ImageBuffer& block, uint32_t list, uint32_t entry,
                    uint32_t offset, uint32_t length) override;
    void WriteCpBlock(ImageBuffer& block, uint16_t blockId) override;
    int WriteCpField(const uint8_t* bytes, ImageBuffer& block, uint32_t list, uint32_t entry,
                     uint32_t offset, uint32_t length) override;
    using CCodeplug::WriteCpField;
    // These layouts have no block headers.
    bool ParseBlockHeader(const uint8_t* data, uint32_t address, uint32_t limit) override;

    // Stores the block's checksum in its last byte(s); `size` is the block size.
    virtual void FixChecksum(uint16_t blockId, uint8_t* block, uint32_t size) = 0;
    // True when the checksum stored in the block is right.
    virtual bool ChecksumOk(uint16_t blockId, const uint8_t* block, uint32_t size) = 0;

protected:
    // Called by ReadCpFile when the image has been loaded from `file`, before InitRdkPtrs.
    virtual void ImageLoaded(const SRecord& file);
};
