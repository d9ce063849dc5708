// The command exchange's frame reader, fed by a scripted radio on the simulated line: every
// request the broker sends is answered from the input (acknowledgement, reply frame, delays,
// garbled bytes, breaks, line errors), through the interface box with or without echo.
//
// Input: a setup byte (bit 0 echo; bit 1 flash write mode; bit 2 skip the write reply check;
// bit 3 a product line with a recovery mode; bits 4-5 attempts - 1), the number of requests
// - 1 (two bits), then for each request its kind and parameters; the radio's answer to each
// request the broker sends is read from the input when the request arrives (see Answer).
#include "errors/Error.h"
#include "fuzz/FuzzInput.h"
#include "link/LinkFlags.h"
#include "link/VeskBroker.h"
#include "link/VeskMessage.h"
#include "platform/FlashWriteMode.h"
#include "sim/InterfaceBox.h"
#include "sim/ScriptedPeer.h"
#include "sim/SimPlatform.h"

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// A frame of any size (beyond what a request may carry) with its checksum.
Bytes Frame(uint8_t opcode, const Bytes& data, bool forceLong)
{
    Bytes frame;
    if (data.size() <= 13 && !forceLong) {
        frame = {uint8_t(0xF0 | (data.size() + 1)), opcode};
    } else {
        const std::size_t count = data.size() + 1;
        frame = {0xFF, opcode, uint8_t(count >> 8), uint8_t(count)};
    }
    frame.insert(frame.end(), data.begin(), data.end());
    frame.push_back(0);
    frame.back() = CVeskMessage::Checksum(frame.data(), uint16_t(frame.size()));
    return frame;
}

// One answer. Flags: bit 0 no acknowledgement; bit 1 a whole frame (opcode, data length, data)
// rather than raw bytes (length word, bytes); bit 2 long form; bit 3 sent at another rate
// (garbled); bit 4 a break after the acknowledgement; bit 5 a line error; bit 6 delays read
// from the input (acknowledgement, reply; 8 ms a step). Then the acknowledgement byte.
CScriptedPeer::Response Answer(CFuzzInput& in, CSimWire& wire)
{
    const uint8_t flags = in.Byte();
    CScriptedPeer::Response response;
    const uint8_t ack = in.Byte();
    if (flags & 1)
        response.ack.reset();
    else
        response.ack = ack;
    if (flags & 2) {
        const uint8_t opcode = in.Byte();
        const std::size_t length = in.Below(600);
        response.reply = Frame(opcode, in.Bytes(length), flags & 4);
    } else {
        response.reply = in.Bytes(in.Below(600));
    }
    if (flags & 8)
        response.sentWith = LineSettings{4800, 0, 0, 8};
    if (flags & 0x40) {
        response.ackDelay = 0.008 * in.Byte();
        response.replyDelay = 0.008 * in.Byte();
    }
    const double now = wire.Now();
    if (flags & 0x10)
        wire.SendBreak(now + response.ackDelay + 0.002, 0.001 * (1 + in.Byte()));
    if (flags & 0x20)
        wire.RaiseLineError(1 << (in.Byte() % 5), now + 0.001 * in.Byte());
    return response;
}

void Request(CVeskBroker& broker, CFuzzInput& in)
{
    switch (in.Byte() % 5) {
    case 0: {
        const uint32_t address = uint32_t(in.Byte()) << 16 | in.Word();
        const uint8_t count = in.Byte();
        Bytes destination(count);
        const unsigned copied = broker.ReadRequest(address, count, destination.data());
        FUZZ_EXPECT(copied <= count);
        break;
    }
    case 1: {
        Bytes source(in.Byte() % (CVeskBroker::kMaxWriteLength + 1), 0xA5);
        broker.WriteRequest(0x400000, unsigned(source.size()), source.data());
        break;
    }
    case 2:
        broker.EraseFlashRequest();
        break;
    case 3:
        broker.ResetRadioRequest();
        break;
    default: {
        const uint8_t selector = in.Byte();
        const unsigned size = 1 + in.Byte();
        std::vector<char> text(size);
        const unsigned placed = broker.RadioStatusRequest(selector, text.data(), size);
        FUZZ_EXPECT(placed < size || (placed == size && placed <= CVeskBroker::kStatusZeroFill));
        break;
    }
    }
}

void ResetLinkFlags(int productLine)
{
    FlashWriteMode = 0;
    SkipWriteReplyCheck = 0;
    ResetRecoveryFlags();
    SetProductLineNumber(productLine);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    CFuzzInput in(data, size);
    const uint8_t setup = in.Byte();
    const int requests = 1 + in.Byte() % 4;
    ResetLinkFlags(setup & 8 ? 11 : 13);

    CSimPlatformScope scope;
    CSimSerial& wire = scope.Platform().Serial();
    CScriptedPeer radio{wire};
    CInterfaceBox box{wire, radio, (setup & 1) != 0};
    scope.Platform().AttachPeer(&box);
    radio.SetHandler([&](const CScriptedPeer::Request&) { return Answer(in, wire); });
    // Every message box (the recovery question) is answered from the input: OK or Cancel.
    for (int i = 0; i < 8; ++i)
        scope.Ui().answers.push_back(in.Byte() & 1 ? 1 : 2);

    CVeskBroker broker;
    broker.OpenLink(1, setup & 1);
    broker.Comm().SetAttempts(1 + (setup >> 4 & 3));
    FlashWriteMode = setup & 2 ? 1 : 0;
    SkipWriteReplyCheck = setup & 4 ? 1 : 0;
    const double start = scope.Clock().Now();
    for (int i = 0; i < requests; ++i) {
        try {
            Request(broker, in);
        } catch (const CError&) {
        }
        FUZZ_EXPECT(broker.IsLinkOpen());
    }
    // Each request ends within its attempts' time-outs (the erase waits longest, 20 s).
    FUZZ_EXPECT(scope.Clock().Now() - start < requests * 4 * 40.0);
    broker.CloseLink();
    ResetLinkFlags(13);
    return 0;
}
