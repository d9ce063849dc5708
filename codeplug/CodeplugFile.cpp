// Loading a codeplug image from S-record text.
#include "codeplug/Codeplug.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "files/SRecord.h"

#include <new>

namespace {

// The image is sized from the end address: rounded up to 16 bytes, then to the smallest of
// 4, 8, 16 or 32 KB that holds it; a larger image keeps its rounded size.
uint32_t ImageSizeFor(uint32_t endAddress)
{
    uint32_t size = (endAddress + 15) / 16 * 16;
    for (uint32_t cls : {4096u, 8192u, 16384u, 32768u})
        if (size <= cls)
            return cls;
    return size;
}

}  // namespace

void CCodeplug::AllocImage(SRecord& file)
{
    delete[] m_image.data;
    m_image.data = nullptr;
    m_image.size = 0;
    m_imageSize = 0;
    m_recordCount = file.CountRecords();
    uint32_t size = ImageSizeFor(file.GetEndAddress());
    m_image.data = new (std::nothrow) uint8_t[size]();
    if (m_image.data)
        m_imageSize = size;
}

void CCodeplug::LoadImage(SRecord& file)
{
    m_source = kImage;
    if (!file.CheckFirstRecord())
        ErrorLog().Log("CCodeplug::ReadCpFile: Invalid SRecord file format");
    AllocImage(file);
    if (!m_image.data) {
        m_formatDetermined = 0;
        ErrorLog().Log("CCodeplug::ReadCpFile: Could not allocate buffer for storing codeplug");
        throw CGenError(3, "Memory allocation error");
    }
    m_imageLoaded = 1;
    // The data bytes are packed back to back; more of them than the image holds is refused
    // rather than written past its end.
    if (!file.LoadData(m_image, m_imageSize)) {
        ErrorLog().Log("CCodeplug::ReadCpFile: Read file to buffer failed");
        throw CGenError(3, "Error in reading codeplug file");
    }
    m_dataLength = static_cast<uint32_t>(m_image.size);
    m_image.size = static_cast<int32_t>(m_imageSize);
}

int CCodeplug::ReadCpFile(SRecord& file)
{
    LoadImage(file);
    if (m_structure == 1)
        m_formatDetermined = InitRdkPtrs() ? 1 : 0;
    m_chunkCount = (m_imageSize + kChunk - 1) / kChunk;
    m_chunkPosition = 0;
    return static_cast<int>(m_chunkCount);
}
