#pragma once

#include "errors/Error.h"
#include "link/VeskOpcodes.h"
#include "platform/Platform.h"
#include "sim/SimPlatform.h"
#include "sim/model/BootCodeHeader.h"
#include "sim/model/RadioFrames.h"
#include "sim/model/SimRig.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

// A small radio of product line 4 with a known codeplug and status table.
inline RadioProfile TestProfile()
{
    RadioProfile p;
    p.name = "test radio";
    p.productLine = 4;
    p.status[0] = {'T', 'R', '4', '0', '0', ' ', 'X'};
    p.status[3] = {'I', 'D', '-', '1'};
    p.status[4] = {'D', '1'};
    p.status[5] = std::vector<uint8_t>(10, 0);
    p.status[15] = {0xE5, 0x8E, 0xC1, 0x54, 0x19, 0x9D, 0x11, 0xD1, 0x80, 0x18, 0x00, 0x60, 0xB0, 0x3C, 0x8A, 0xFF};
    p.status[16] = {0x07};
    p.unsupportedSelectors = {9};
    p.codeplugBytes = {{0x0000, {0x02, 0x80, 0x11}}, {0x3FF0, {0x42}}};
    p.flashSizeKB = 256;
    p.eraseTime = 3.0;
    return p;
}

// Boot code as the demo kit's files carry it: its header, then the program.
inline std::vector<uint8_t> BootCode(uint32_t rate, std::size_t length = 40)
{
    std::vector<uint8_t> code = boot_code_header::Make(rate);
    for (std::size_t i = code.size(); i < length; ++i)
        code.push_back(static_cast<uint8_t>(i * 7));
    return code;
}

// What came back for one request.
struct Answer {
    std::optional<uint8_t> ack;
    std::vector<uint8_t> reply;  // empty when none came
    double ackTime = 0;          // virtual time of the acknowledgement, from the request's end
};

// The model in-process: the simulated platform, the radio behind its box, the PC's port open
// at 9600 8N1 with the echo checked. One per test (RadioFixture) or one per row of a table.
class RadioBench {
public:
    explicit RadioBench(RadioProfile profile = TestProfile()) : rig(scope.Platform(), std::move(profile))
    {
        port = GetPlatform()->GetSerial();
        port->SetEchoMode(rig.Radio().Profile().echo ? 1 : 0);
        port->Configure(9600, 0, 0, 8);
        port->OpenPort(1);
    }
    virtual ~RadioBench()
    {
        port->Close();
        GetPlatform()->ReleaseSerial();
    }
    RadioBench(const RadioBench&) = delete;
    RadioBench& operator=(const RadioBench&) = delete;

    CSimRadio& Radio() { return rig.Radio(); }
    CVirtualClock& Clock() { return scope.Clock(); }

    // Sends a frame (echo checked) and collects the acknowledgement and the reply frame.
    Answer Exchange(const std::vector<uint8_t>& frame, unsigned replyTimeoutMs = 750)
    {
        Answer a;
        port->PurgeInput();
        port->Write(frame.data(), static_cast<unsigned>(frame.size()), 2000);
        double sent = Clock().Now();
        uint8_t byte = 0;
        try {
            port->Read(&byte, 1, 100);
        } catch (const CError&) {
            return a;
        }
        a.ack = byte;
        a.ackTime = Clock().Now() - sent;
        try {
            port->Read(&byte, 1, replyTimeoutMs);
        } catch (const CError&) {
            return a;
        }
        a.reply.push_back(byte);
        std::size_t length = 0;
        while ((length = radio_frames::ExpectedLength(a.reply)) == 0 || a.reply.size() < length) {
            port->Read(&byte, 1, 250);
            a.reply.push_back(byte);
        }
        return a;
    }
    static std::vector<uint8_t> ReadFrame(uint32_t address, uint8_t count)
    {
        return radio_frames::Build(vesk::kRequestRead, {count, uint8_t(address >> 16), uint8_t(address >> 8), uint8_t(address)});
    }
    static std::vector<uint8_t> WriteFrame(uint32_t address, std::vector<uint8_t> bytes)
    {
        std::vector<uint8_t> data{uint8_t(address >> 16), uint8_t(address >> 8), uint8_t(address)};
        data.insert(data.end(), bytes.begin(), bytes.end());
        // Writes always travel in the long form.
        std::vector<uint8_t> frame{0xFF, vesk::kRequestWrite, uint8_t((data.size() + 1) >> 8), uint8_t(data.size() + 1)};
        frame.insert(frame.end(), data.begin(), data.end());
        frame.push_back(radio_frames::Checksum(frame.data(), frame.size()));
        return frame;
    }
    static std::vector<uint8_t> StatusFrame(uint8_t selector) { return radio_frames::Build(vesk::kRequestStatus, {selector}); }
    static std::vector<uint8_t> EraseFrame() { return radio_frames::Build(vesk::kRequestErase, {vesk::kEraseAllFlash}); }

    // Puts the radio in bootstrap mode and downloads boot code for `rate` with the FL0
    // handshake, as the bootstrap loader does; leaves the port at `rate`.
    void DownloadFl0(uint32_t rate) { DownloadFl0Code(BootCode(rate), rate); }
    void DownloadFl0Code(std::vector<uint8_t> code, uint32_t rate);

    CSimPlatformScope scope;
    CSimRadioRig rig;
    CSerial* port = nullptr;
};

class RadioFixture : public ::testing::Test, public RadioBench {
protected:
    explicit RadioFixture(RadioProfile profile = TestProfile()) : RadioBench(std::move(profile)) {}
};
