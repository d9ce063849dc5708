#include "sim/InterfaceBox.h"

void CInterfaceBox::OnHostByte(uint8_t byte, const LineSettings& sentWith)
{
    if (m_echo) {
        uint8_t echo = byte;
        if (auto it = m_corruptions.find(m_echoed); it != m_corruptions.end())
            echo ^= it->second;
        ++m_echoed;
        m_wire.SendToHost(&echo, 1, sentWith, m_wire.Now());
    }
    m_radio.OnHostByte(byte, sentWith);
}
