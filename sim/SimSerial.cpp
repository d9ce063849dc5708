#include "sim/SimSerial.h"

#include "errors/Error.h"

#include <algorithm>

CSimSerial::~CSimSerial() = default;

void CSimSerial::Attach(CVirtualClock* clock, CSimPeer* peer)
{
    m_clock = clock;
    m_peer = peer;
}

void CSimSerial::At(double time, std::function<void()> action) { m_clock->Schedule(time, std::move(action)); }

void CSimSerial::OpenDevice(unsigned port)
{
    if (m_peer == nullptr || m_clock == nullptr || m_unplugged)
        throw CCommError(1, "CWinSerial::Open: Unable to open com%u (no simulated radio is connected)", port);
    m_deviceOpen = true;
    m_input.Clear();
    m_errors = 0;
    m_peer->OnHostOpen(m_settings);
}

void CSimSerial::CloseDevice()
{
    if (!m_deviceOpen)
        return;
    m_deviceOpen = false;
    m_pulledWhileOpen = false;
    m_input.Clear();
    ++m_transmitGeneration;
    m_bytesInFlight = 0;
    if (m_peer)
        m_peer->OnHostClose();
}

bool CSimSerial::ApplyLineSettings(const LineSettings& settings)
{
    if (!m_deviceOpen || Gone() || settings.baud <= 0)
        return false;
    m_settings = settings;
    m_peer->OnHostLineChange(m_settings);
    return true;
}

unsigned CSimSerial::TransmitBytes(const uint8_t* data, unsigned count)
{
    if (m_deviceOpen && Gone())
        RaiseDeviceGone("COM" + std::to_string(GetPortNumber()) + " (simulated port)", "writing");
    if (!m_deviceOpen)
        return 0;
    // The driver queues what fits in its buffer; the bytes then go one character time each,
    // one after another.
    const unsigned taken = std::min(count, kOutputBufferSize - std::min(kOutputBufferSize, m_bytesInFlight));
    const double characterTime = CharacterTime(m_settings);
    const LineSettings sentWith = m_settings;
    const uint64_t generation = m_transmitGeneration;
    const double first = std::max(m_clock->Now(), m_toPeerBusyUntil);
    for (unsigned i = 0; i < taken; ++i) {
        const uint8_t byte = data[i];
        m_toPeerBusyUntil = first + (i + 1) * characterTime;
        ++m_bytesInFlight;
        const uint32_t slot = m_onTheWire.Put({byte, sentWith, generation});
        m_clock->Schedule(m_toPeerBusyUntil, [this, slot] { ArriveAtPeer(slot); });
    }
    return taken;
}

void CSimSerial::ArriveAtPeer(uint32_t slot)
{
    const CPendingBytes::Byte byte = m_onTheWire.Take(slot);
    if (byte.generation != m_transmitGeneration)
        return;
    --m_bytesInFlight;
    m_peer->OnHostByte(byte.value, byte.sentWith);
}

void CSimSerial::ArriveAtHost(uint32_t slot)
{
    const CPendingBytes::Byte byte = m_onTheWire.Take(slot);
    Deliver(byte.value, byte.sentWith);
}

unsigned CSimSerial::InputQueueCount()
{
    if (m_deviceOpen && Gone())
        RaiseDeviceGone("COM" + std::to_string(GetPortNumber()) + " (simulated port)", "counting the input");
    return static_cast<unsigned>(m_input.Size());
}

unsigned CSimSerial::OutputQueueCount() { return m_bytesInFlight; }

bool CSimSerial::ReadQueued(uint8_t* buffer, unsigned count)
{
    if (m_deviceOpen && Gone())
        RaiseDeviceGone("COM" + std::to_string(GetPortNumber()) + " (simulated port)", "reading");
    if (m_failNextRead || count > m_input.Size()) {
        m_failNextRead = false;
        return false;
    }
    m_input.Pop(buffer, count);
    return true;
}

int CSimSerial::ReadAndClearErrors()
{
    // A break counts once, when it begins, as a UART's break counter does; holding the line in
    // break does not report it again at every poll.
    int flags = m_errors;
    m_errors = 0;
    return flags;
}

void CSimSerial::PurgeDevice(bool receive, bool transmit)
{
    if (receive)
        m_input.Clear();
    if (transmit) {
        // Bytes still in the driver are dropped; the one on the wire finishes.
        ++m_transmitGeneration;
        m_bytesInFlight = 0;
        m_toPeerBusyUntil = std::min(m_toPeerBusyUntil, m_clock->Now() + CharacterTime(m_settings));
    }
}

void CSimSerial::Deliver(uint8_t byte, const LineSettings& sentWith)
{
    if (!m_deviceOpen)
        return;
    if (m_breaksHeld > 0)
        return;
    if (!SettingsCompatible(sentWith, m_settings)) {
        // A receiver at another setting samples the wrong bits and misses the stop bit.
        byte = GarbledByte(byte);
        m_errors |= CE_FRAME;
    }
    if (m_input.Full()) {
        m_errors |= CE_RXOVER;
        return;
    }
    m_input.Push(byte);
}

double CSimSerial::SendToHost(const uint8_t* bytes, std::size_t count, const LineSettings& sentWith,
                              double notBefore)
{
    return m_toHost.PlaceBytes(m_clock->Now(), notBefore, count, CharacterTime(sentWith),
                               [&](std::size_t i, double time) {
                                   const uint32_t slot = m_onTheWire.Put({bytes[i], sentWith, 0});
                                   m_clock->Schedule(time, [this, slot] { ArriveAtHost(slot); });
                               });
}

void CSimSerial::SendBreak(double start, double duration)
{
    start = m_toHost.Reserve(m_clock->Now(), std::max(start, m_clock->Now()), duration);
    m_clock->Schedule(start, [this] {
        ++m_breaksHeld;
        m_errors |= CE_BREAK;
    });
    m_clock->Schedule(start + duration, [this] { --m_breaksHeld; });
}

void CSimSerial::RaiseLineError(int flags, double time)
{
    m_clock->Schedule(time, [this, flags] { m_errors |= flags; });
}
