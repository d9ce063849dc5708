#pragma once

#include "files/ImageBuffer.h"
#include "link/VeskBroker.h"

#include <cstdint>

class SRecord;

// The values of the ADK structure, in the order GetRdkPtrs copies them.
struct RdkPtrs {
    uint32_t regionEnd;
    uint32_t vectorTable;
    uint32_t blockCount;
    uint32_t wordAtP2Plus4;
    uint32_t wordAt9;
    uint32_t p2;
    uint32_t p1;
    uint32_t l2;
    uint32_t l1;
    uint32_t p1Copy;
    uint32_t regionFlag;
};

// The radio's codeplug, in the radio (through the owned broker, 32 bytes a request) or in an
// image in memory: finds blocks by id, decodes their headers, computes block sizes and the
// addresses of lists, entries and fields, and keeps every checksum byte right when it writes
// a field. Failures are raised as CGenError 3 after their log lines; the look-ups that report
// by result say so.
class CCodeplug {
public:
    static constexpr uint32_t kChunk = 32;
    // The radio field write keeps the old bytes of at most this many bytes.
    static constexpr uint32_t kMaxRadioFieldLength = 1024;
    // The refusal of a read or write outside the image (or the block's buffer).
    static constexpr const char* kOutsideImage = "Access out of codeplug";
    enum Source { kRadio = 0, kImage = 1 };

    CCodeplug();
    CCodeplug(const CCodeplug&) = delete;
    CCodeplug& operator=(const CCodeplug&) = delete;

    // Virtual operations, in this order; the layouts without block headers replace them.
    virtual ~CCodeplug();
    virtual void SetVariantFlag(int flag);
    virtual void SetImageText(const char* text, const char* code);
    // Loads an image from S-record text; returns the number of 32-byte chunks.
    virtual int ReadCpFile(SRecord& file);
    // Reads a whole block (header included) into a buffer of BufferCapacity(dest) bytes;
    // `dest.size` becomes the block size, `dest.capacity` keeps what the buffer holds. Returns
    // 0, or 1 when the block is absent.
    virtual int ReadCpBlock(ImageBuffer& dest, uint16_t blockId);
    // Copies a field out of a block held in `block` (its header at its start).
    virtual int ReadCpField(uint8_t* dest, const ImageBuffer& block, uint32_t list, uint32_t entry,
                            uint32_t offset, uint32_t length);
    // Writes a whole block from a buffer of BufferCapacity(block) bytes; `block.size` becomes
    // the block size.
    virtual void WriteCpBlock(ImageBuffer& block, uint16_t blockId);
    // Writes a field into a block held in `block`, adjusting the block's checksum byte there.
    virtual int WriteCpField(const uint8_t* bytes, ImageBuffer& block, uint32_t list, uint32_t entry,
                             uint32_t offset, uint32_t length);
    // The block's address, 0 when absent. A radio that cannot be read raises the general
    // communication error: a block that could not be looked up is not an absent block.
    virtual uint32_t GetBlockVector(uint16_t blockId);
    virtual bool InitRdkPtrs();
    // Decodes the header at `address` of `data` (which holds `limit` bytes) into the current
    // block and computes its size; false when the header does not lie within the bytes.
    virtual bool ParseBlockHeader(const uint8_t* data, uint32_t address, uint32_t limit);
    virtual uint32_t GetFixedBlockSize(uint32_t address, uint16_t blockId);

    void SetLink(int port, uint8_t echoMode);
    void SetSource(int source);
    void SetStructure(int type, uint32_t regionEnd);
    void StartCpAccess(int flag);
    void StopCpAccess(int reset);

    // Reads one entry; `dest.size` becomes the entry size, `dest.capacity` keeps what the
    // buffer holds.
    void ReadCpEntry(ImageBuffer& dest, uint16_t blockId, uint32_t list, uint32_t entry);
    // Writes a field in the source and adjusts the checksum byte that protects it.
    int WriteCpField(const uint8_t* bytes, uint16_t blockId, uint32_t list, uint32_t entry,
                     uint32_t offset, uint32_t length);
    // The address of a field of a block in the source, after the checks of a field write, and
    // (when `checksum` is given) the checksum byte that protects it, 0 when there is none.
    uint32_t LocateField(uint16_t blockId, uint32_t list, uint32_t entry, uint32_t offset, uint32_t length,
                         uint32_t* checksum);
    void ReadCpMemory(uint8_t* dest, uint32_t address, uint32_t length);
    void ReadCpMemory(ImageBuffer& dest, uint32_t address);
    void WriteCpMemory(const ImageBuffer& src, uint32_t address);
    bool GetRdkPtrs(RdkPtrs& out) const;
    // True when the source is the image and it does not hold the byte at `to`: reading up to
    // it is refused with kOutsideImage. A caller can tell before reading, without the error.
    bool ImageRefusesUpTo(uint32_t to) const
    {
        return m_source == kImage && (!m_image.data || to >= m_imageSize);
    }

    // Reads the header of the block at `address` into the current block; false (logged) when
    // it cannot be read.
    bool GetBlockInfo(uint32_t address);
    // The address of a field (the current block must be that of `blockAddress`).
    uint32_t FieldAddress(uint32_t blockAddress, uint32_t list, uint32_t entry, uint32_t offset);
    // The checksum byte protecting `address` in the current block at `blockAddress`; 0 when
    // there is none.
    uint32_t FindChecksumLocation(uint32_t address, uint32_t blockAddress, bool useRegions = true);

    // What the current block's header said.
    struct BlockInfo {
        uint32_t address;
        uint32_t entrySize;
        uint32_t entryQty;
        uint32_t listSize;
        uint32_t listCount;
        bool hasLists;
        bool entryChecksums;
        bool listChecksums;
        bool blockChecksum;
        bool bitSizes;
        bool wideSizes;
        uint32_t blockSize;
        uint8_t flags;
        uint8_t entryFlags;
    };
    BlockInfo CurrentBlock() const;
    // The lists of the current block, each a function of the list asked about (lists of
    // varying length read the quantity bytes before it). A quantity byte that cannot be read
    // is logged and gives 0, and sets the flag FieldAddress checks.
    // The quantity of entries of list `list`.
    uint32_t ListQuantity(uint32_t list);
    // Offset of list `list`'s data from the block's first data byte.
    uint32_t CalcListOfs(uint32_t list);
    // The bytes list `list` takes: its entries, their checksum bytes and its own.
    uint32_t ListDataSize(uint32_t list);
    uint32_t EntryOffset(uint32_t entry) const;
    uint32_t DataStart() const;

    int GetStructure() const { return m_structure; }
    int GetSource() const { return m_source; }
    bool IsFormatDetermined() const { return m_formatDetermined != 0; }
    const ImageBuffer& GetImage() const { return m_image; }
    uint32_t GetImageSize() const { return m_imageSize; }
    // The number of data bytes the image text held (the image may be larger).
    uint32_t GetDataLength() const { return m_dataLength; }
    // Takes over an image already in memory (copied), as if loaded: source image.
    void SetImage(const uint8_t* bytes, uint32_t size);
    CVeskBroker& GetBroker() { return m_broker; }
    void SetMainWindow(void* window) { m_mainWindow = window; }

protected:
    // Raw access to the source. Image: bounds checked ("Access out of codeplug"). Radio: in
    // 32-byte requests; a short reply is refused; broker errors pass through.
    void SourceRead(uint32_t address, uint8_t* dest, uint32_t count);
    // True when `count` bytes from `address` lie within the loaded image.
    bool InImage(uint32_t address, uint32_t count) const
    {
        return m_image.data && address <= m_imageSize && count <= m_imageSize - address;
    }
    void SourceWrite(uint32_t address, const uint8_t* src, uint32_t count);
    // Transfers with the source: on an image as SourceRead/SourceWrite; on the radio a failed
    // request logs `radioLogLine` with the failing address and raises the general
    // communication error.
    void LoggedRead(uint32_t address, uint8_t* dest, uint32_t count, const char* radioLogLine);
    void LoggedWrite(uint32_t address, const uint8_t* src, uint32_t count, const char* radioLogLine);
    void AllocImage(SRecord& file);
    void LoadImage(SRecord& file);
    void ClearBlock();
    bool CalcBlkSize();
    // Reads a quantity byte at `address` of the block from wherever the block is held; false,
    // its failure logged, when it cannot be read. A byte outside the block's buffer or the
    // image is refused without raising an error (the refusal is common in a damaged image).
    bool ReadQuantity(uint32_t address, uint8_t& quantity);
    // The ADK values from the source; false (logged) when they cannot be read.
    bool DecodeAdk();
    // Reads for DecodeAdk: false (logged) for bytes outside the image, without raising.
    bool ReadAdkBytes(uint32_t address, uint8_t* dest, uint32_t count);
    bool DecodeHeader(const uint8_t* w, uint32_t avail);
    // Where list `list` starts (from the block's first data byte) and how many entries it
    // holds; false (logged) when a quantity byte on the way cannot be read.
    bool LocateList(uint32_t list, uint32_t& offset, uint32_t& quantity);
    // The bytes a list of `quantity` entries takes.
    uint32_t ListBytes(uint32_t quantity) const;
    void CheckRequest(const char* operation, uint32_t list, uint32_t entry, bool field,
                      uint32_t offset, uint32_t length);
    void EnsureFormat(const char* failure);
    uint32_t FindBlockOrRaise(uint16_t blockId, const char* logLine);
    uint32_t FindChecksumInRegions(uint32_t address) const;
    // Refuses a buffer that cannot hold `needed` bytes; otherwise records its capacity in it.
    void CheckCapacity(ImageBuffer& dest, uint32_t needed, uint16_t blockId) const;
    void ApplyFieldToImage(uint8_t* base, uint32_t limit, uint32_t address, uint32_t checksum,
                           const uint8_t* bytes, uint32_t length);
    void WriteFieldToRadio(uint32_t address, uint32_t checksum, const uint8_t* bytes, uint32_t length);

    CVeskBroker m_broker;
    // ADK values.
    uint32_t m_regionEnd = 0;
    uint32_t m_vectorTable = 0;
    uint32_t m_blockCount = 0;
    uint32_t m_wordP2Plus4 = 0;
    uint32_t m_word9 = 0;
    uint32_t m_p2 = 0;
    uint32_t m_p1 = 0;
    uint32_t m_l2 = 0;
    uint32_t m_l1 = 0;
    uint32_t m_p1Copy = 0;
    uint32_t m_regionFlag = 0;
    int m_source = kRadio;
    ImageBuffer m_image{nullptr, 0};
    uint32_t m_imageSize = 0;
    uint8_t m_formatDetermined = 0;
    // The current block.
    uint32_t m_blockAddress = 0;
    uint32_t m_entrySize = 0;
    uint32_t m_entryQty = 0;
    uint32_t m_listSize = 0;
    uint32_t m_listCount = 0;
    uint8_t m_entryChecksums = 0;
    uint8_t m_listChecksums = 0;
    uint8_t m_blockChecksum = 0;
    uint8_t m_bitSizes = 0;
    uint8_t m_wideSizes = 0;
    uint32_t m_blockSize = 0;
    uint8_t m_accessStarted = 0;
    int m_structure = 1;
    uint32_t m_checksumLocation = 0;
    // Image bookkeeping.
    uint32_t m_chunkCount = 0;
    uint32_t m_chunkPosition = 0;
    uint8_t m_imageLoaded = 0;
    uint32_t m_recordCount = 0;
    uint8_t* m_spare = nullptr;
    uint8_t m_echoMode = 0;
    int m_port = 0;
    void* m_mainWindow = nullptr;

    // Where the current block's bytes are read from while decoding: a caller's buffer (the
    // buffer forms) or, when null, the source.
    const uint8_t* m_blockBytes = nullptr;
    uint32_t m_blockBytesLimit = 0;
    bool m_hasLists = false;
    uint8_t m_flags = 0;
    uint8_t m_entryFlags = 0;
    uint32_t m_dataLength = 0;
    bool m_listOfsFailed = false;
};
