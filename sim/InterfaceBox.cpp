#include "sim/InterfaceBox.h"

void CInterfaceBox::OnHostByte(uint8_t byte, const LineSettings& sentWith)
{
    if (m_echo) {
        uint8_t echo = byte;
        if (auto it = m_corruptions.find(m_echoed); it != m_corruptions.end())
            echo ^= it->second;
        if (m_spoiler)
            echo ^= m_spoiler(byte, sentWith);
        ++m_echoed;
        // The box loops the line back as the byte goes by: its echo has fully arrived as
        // soon as the byte itself has.
        m_wire.SendToHost(&echo, 1, sentWith, m_wire.Now() - CharacterTime(sentWith) + m_echoDelay);
    }
    m_radio.OnHostByte(byte, sentWith);
}
