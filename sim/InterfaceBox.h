#pragma once

#include "sim/SimWire.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>

// The interface box between the PC and the radio. With echo on it sends every byte the PC
// transmits straight back to the PC as soon as it has arrived, before the radio's own answer,
// and passes it on to the radio behind it.
class CInterfaceBox : public CSimPeer {
public:
    CInterfaceBox(CSimWire& wire, CSimPeer& radio, bool echo = true) : m_wire(wire), m_radio(radio), m_echo(echo) {}

    void SetEcho(bool echo) { m_echo = echo; }
    // A box that holds each echo back this long after the byte has gone by (0: looped back
    // at once).
    void SetEchoDelay(double seconds) { m_echoDelay = seconds; }
    bool Echo() const { return m_echo; }
    // Echoes byte number `index` (counting every echoed byte from 0) with these bits flipped.
    void CorruptEcho(std::size_t index, uint8_t flipMask) { m_corruptions[index] = flipMask; }
    // Drops the wrong echoes armed for bytes that have not come (the request they were meant
    // for was cut short).
    void ForgetEchoFaults() { m_corruptions.clear(); }
    // Asked for every byte before it is echoed: the bits to flip in its echo (0: none). The
    // radio behind the box uses it to spoil the echo of a byte of a request it is about to
    // take, which only it can tell apart from bytes it will drop or ignore.
    using EchoSpoiler = std::function<uint8_t(uint8_t byte, const LineSettings& sentWith)>;
    void SetEchoSpoiler(EchoSpoiler spoiler) { m_spoiler = std::move(spoiler); }

    void OnHostByte(uint8_t byte, const LineSettings& sentWith) override;
    void OnHostOpen(const LineSettings& settings) override { m_radio.OnHostOpen(settings); }
    void OnHostClose() override { m_radio.OnHostClose(); }
    void OnHostLineChange(const LineSettings& settings) override { m_radio.OnHostLineChange(settings); }

private:
    CSimWire& m_wire;
    CSimPeer& m_radio;
    bool m_echo;
    double m_echoDelay = 0;
    std::size_t m_echoed = 0;
    std::map<std::size_t, uint8_t> m_corruptions;
    EchoSpoiler m_spoiler;
};
