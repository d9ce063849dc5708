#include "codeplug/Codeplug.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"

#include <algorithm>
#include <cstring>

namespace {
const char kReadFailed[] = "General communication error while reading codeplug";
const char kWriteFailed[] = "General communication error while writing codeplug";
}  // namespace

CCodeplug::CCodeplug() = default;

CCodeplug::~CCodeplug()
{
    if (m_accessStarted)
        StopCpAccess(0);
    delete[] m_image.data;
    delete[] m_spare;
}

void CCodeplug::SetVariantFlag(int) {}

void CCodeplug::SetImageText(const char*, const char*) {}

void CCodeplug::SetLink(int port, uint8_t echoMode)
{
    m_port = port;
    m_echoMode = echoMode;
}

void CCodeplug::SetSource(int source) { m_source = source; }

void CCodeplug::SetStructure(int type, uint32_t regionEnd)
{
    m_formatDetermined = 0;
    m_structure = type;
    if (type == 0)
        m_regionEnd = regionEnd;
}

void CCodeplug::StartCpAccess(int flag)
{
    if (m_accessStarted || flag != 0)
        return;
    m_broker.Comm().SetReplyTimeout(500);
    m_broker.Comm().SetPause(15);
    m_source = kRadio;
    m_broker.OpenLink(m_port, m_echoMode);
    m_accessStarted = 1;
}

void CCodeplug::StopCpAccess(int reset)
{
    if (m_accessStarted && reset == 1) {
        try {
            m_broker.ResetRadioRequest();
        } catch (const CError& e) {
            ErrorLog().Log("%s", e.GetText());
            ErrorLog().Log("CCodeplug::StopCpAccess: Reset radio command failed");
        }
    }
    m_broker.CloseLink();
    m_accessStarted = 0;
}

bool CCodeplug::GetRdkPtrs(RdkPtrs& out) const
{
    if (!m_formatDetermined)
        return false;
    out = RdkPtrs{m_regionEnd, m_vectorTable, m_blockCount, m_wordP2Plus4, m_word9, m_p2,
                  m_p1,        m_l2,          m_l1,         m_p1Copy,      m_regionFlag};
    return true;
}

void CCodeplug::SetImage(const uint8_t* bytes, uint32_t size)
{
    delete[] m_image.data;
    m_image.data = new uint8_t[size ? size : 1]();
    if (size)
        std::memcpy(m_image.data, bytes, size);
    m_image.size = static_cast<int32_t>(size);
    m_imageSize = size;
    m_dataLength = size;
    m_imageLoaded = 1;
    m_source = kImage;
    m_formatDetermined = 0;
    m_chunkCount = (size + kChunk - 1) / kChunk;
    m_chunkPosition = 0;
}

void CCodeplug::SourceRead(uint32_t address, uint8_t* dest, uint32_t count)
{
    if (m_source == kImage) {
        if (!InImage(address, count))
            throw CGenError(3, "%s", kOutsideImage);
        std::memcpy(dest, m_image.data + address, count);
        return;
    }
    for (uint32_t done = 0; done < count;) {
        uint32_t n = std::min(kChunk, count - done);
        unsigned got = m_broker.ReadRequest(address + done, static_cast<uint8_t>(n), dest + done);
        if (got != n)
            throw CVeskError(3, "The radio returned %u of the %u bytes asked for at address %X", got,
                             n, address + done);
        done += n;
    }
}

void CCodeplug::SourceWrite(uint32_t address, const uint8_t* src, uint32_t count)
{
    if (m_source == kImage) {
        if (!InImage(address, count))
            throw CGenError(3, "%s", kOutsideImage);
        std::memcpy(m_image.data + address, src, count);
        return;
    }
    for (uint32_t done = 0; done < count;) {
        uint32_t n = std::min(kChunk, count - done);
        m_broker.WriteRequest(address + done, n, src + done);
        done += n;
    }
}

void CCodeplug::LoggedRead(uint32_t address, uint8_t* dest, uint32_t count, const char* radioLogLine)
{
    if (m_source == kImage) {
        SourceRead(address, dest, count);
        return;
    }
    for (uint32_t done = 0; done < count;) {
        uint32_t n = std::min(kChunk, count - done);
        try {
            SourceRead(address + done, dest + done, n);
        } catch (const CError& e) {
            ErrorLog().Log("%s", e.GetText());
            ErrorLog().Log(radioLogLine, address + done);
            throw CGenError(3, kReadFailed);
        }
        done += n;
    }
}

void CCodeplug::LoggedWrite(uint32_t address, const uint8_t* src, uint32_t count, const char* radioLogLine)
{
    if (m_source == kImage) {
        SourceWrite(address, src, count);
        return;
    }
    for (uint32_t done = 0; done < count;) {
        uint32_t n = std::min(kChunk, count - done);
        try {
            SourceWrite(address + done, src + done, n);
        } catch (const CError& e) {
            ErrorLog().Log("%s", e.GetText());
            ErrorLog().Log(radioLogLine, address + done);
            throw CGenError(3, kWriteFailed);
        }
        done += n;
    }
}

void CCodeplug::ReadCpMemory(uint8_t* dest, uint32_t address, uint32_t length)
{
    LoggedRead(address, dest, length, "CCodeplug::ReadCpField: Read radio codeplug failed at address %X");
}

void CCodeplug::ReadCpMemory(ImageBuffer& dest, uint32_t address)
{
    uint32_t length = dest.size > 0 ? static_cast<uint32_t>(dest.size) : 0;
    LoggedRead(address, dest.data, length, "CCodeplug::ReadCpBlock: Read radio codeplug failed at address %X");
}

void CCodeplug::WriteCpMemory(const ImageBuffer& src, uint32_t address)
{
    uint32_t length = src.size > 0 ? static_cast<uint32_t>(src.size) : 0;
    LoggedWrite(address, src.data, length, "CCodeplug::WriteCpBlock: Write radio codeplug failed at address %X");
}
