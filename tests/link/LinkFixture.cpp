#include "tests/link/LinkFixture.h"

#include "link/LinkFlags.h"
#include "platform/FlashWriteMode.h"

#include <algorithm>

void ResetLinkFlags()
{
    FlashWriteMode = 0;
    SkipWriteReplyCheck = 0;
    RecoverRequested = 0;
    RecoverDeclined = 0;
    TimeoutDeferred = 0;
    RecoveryPending = 0;
    RecoveryNoticeShown = 0;
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
