#include "tests/link/LinkFixture.h"

#include "link/LinkFlags.h"
#include "platform/FlashWriteMode.h"

#include <algorithm>

Bytes AnyFrame(uint8_t opcode, const Bytes& data, bool forceLong)
{
    Bytes frame;
    if (data.size() <= 13 && !forceLong) {
        frame = {static_cast<uint8_t>(0xF0 | (data.size() + 1)), opcode};
    } else {
        std::size_t count = data.size() + 1;
        frame = {0xFF, opcode, static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count)};
    }
    frame.insert(frame.end(), data.begin(), data.end());
    frame.push_back(0);
    frame.back() = CVeskMessage::Checksum(frame.data(), static_cast<uint16_t>(frame.size()));
    return frame;
}

void ResetLinkFlags()
{
    FlashWriteMode = 0;
    SkipWriteReplyCheck = 0;
    ResetRecoveryFlags();
    SetProductLineNumber(13);
}

LinkTest::LinkTest()
{
    ResetLinkFlags();
    scope.Platform().AttachPeer(&box);
    broker.OpenLink(1, Echo() ? 1 : 0);
}

LinkTest::~LinkTest()
{
    broker.CloseLink();
    ResetLinkFlags();
}

bool LinkTest::Logged(const std::string& line) const { return CountLogged(line) > 0; }

int LinkTest::CountLogged(const std::string& line) const
{
    auto lines = scope.LogLines();
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

Response LinkTest::RawReply(const Bytes& frame, double replyDelay)
{
    Response response = CScriptedPeer::Ack();
    response.reply = frame;
    response.replyDelay = replyDelay;
    return response;
}
