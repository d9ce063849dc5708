#include "sim/SimWire.h"

#include <cmath>

double CharacterTime(const LineSettings& settings)
{
    double stop = settings.stopBits == 1 ? 1.5 : settings.stopBits == 2 ? 2.0 : 1.0;
    double parity = (settings.parity == 1 || settings.parity == 2) ? 1.0 : 0.0;
    double baud = settings.baud > 0 ? settings.baud : 1;
    return (1.0 + settings.charSize + parity + stop) / baud;
}

bool SettingsCompatible(const LineSettings& sender, const LineSettings& receiver)
{
    if (sender.baud <= 0 || receiver.baud <= 0)
        return false;
    double mismatch = std::fabs(static_cast<double>(sender.baud - receiver.baud)) / sender.baud;
    return mismatch <= 0.03 && sender.charSize == receiver.charSize && sender.parity == receiver.parity;
}

uint8_t GarbledByte(uint8_t byte) { return static_cast<uint8_t>((byte ^ 0xA5) + 0x3B); }
