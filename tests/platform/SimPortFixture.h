#pragma once

#include "errors/Error.h"
#include "platform/FlashWriteMode.h"
#include "platform/PolledSerial.h"
#include "sim/InterfaceBox.h"
#include "sim/SimPlatform.h"
#include "sim/SimSerial.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

// The radio behind the interface box: records what reaches it, and when.
class RecordingRadio : public CSimPeer {
public:
    explicit RecordingRadio(CVirtualClock& clock) : m_clock(clock) {}
    void OnHostByte(uint8_t byte, const LineSettings&) override
    {
        bytes.push_back(byte);
        times.push_back(m_clock.Now());
    }
    std::vector<uint8_t> bytes;
    std::vector<double> times;

private:
    CVirtualClock& m_clock;
};

// The platform's port on the simulated line at 9600 8N1, with the box's echo on and the
// port's echo mode off unless a test turns it on.
class SimPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scope.Platform().AttachPeer(&box);
        port.Configure(9600, 0, 0, 8);
        port.OpenPort(1);
    }
    void TearDown() override { FlashWriteMode = 0; }

    double CharTime() { return port.GetByteTime(); }
    // The radio puts bytes on the line at the port's setting, the first arriving one character
    // time after `notBefore` and the rest back to back.
    void RadioSends(const std::vector<uint8_t>& bytes, double notBefore = 0)
    {
        port.SendToHost(bytes.data(), bytes.size(), port.HostSettings(), notBefore);
    }
    void RadioSendsSpaced(const std::vector<uint8_t>& bytes, double first, double gap)
    {
        for (std::size_t i = 0; i < bytes.size(); ++i)
            RadioSends({bytes[i]}, first + gap * static_cast<double>(i));
    }
    bool Logged(const std::string& line)
    {
        auto lines = scope.LogLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    CSimPlatformScope scope;
    CSimSerial& port = scope.Platform().Serial();
    RecordingRadio radio{scope.Clock()};
    CInterfaceBox box{port, radio, true};
};

// Runs `action` and returns the error it raised (code -1 with an empty text when none).
template <class ErrorKind>
std::pair<int, std::string> Raised(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ErrorKind& error) {
        return {error.GetCode(), error.GetText()};
    }
    return {-1, ""};
}
