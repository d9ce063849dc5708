#pragma once

#include "link/VeskBroker.h"
#include "sim/InterfaceBox.h"
#include "sim/ScriptedPeer.h"
#include "sim/SimPlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;
using Response = CScriptedPeer::Response;

// A frame of any size with its checksum (a message built for sending carries at most 254 data
// bytes; a reply may carry more).
Bytes AnyFrame(uint8_t opcode, const Bytes& data, bool forceLong = false);

// Puts every process-wide flag the link reads back to its start value.
void ResetLinkFlags();

// A broker with its link open on the simulated line, through the interface box (echo on or
// off as the test parameter says) to a scripted radio. Flags are reset before and after.
class LinkTest : public ::testing::TestWithParam<bool> {
protected:
    LinkTest();
    ~LinkTest() override;

    bool Echo() const { return GetParam(); }
    CVeskComm& Comm() { return broker.Comm(); }
    double Now() { return scope.Clock().Now(); }
    std::vector<std::string> Log() const { return scope.LogLines(); }
    bool Logged(const std::string& line) const;
    int CountLogged(const std::string& line) const;
    // A reply answering with this raw frame (any bytes, good or not).
    static Response RawReply(const Bytes& frame, double replyDelay = 0.002);
    const std::vector<CScriptedPeer::Request>& Requests() const { return radio.Requests(); }

    CSimPlatformScope scope;
    CScriptedPeer radio{scope.Platform().Serial()};
    CInterfaceBox box{scope.Platform().Serial(), radio, GetParam()};
    CVeskBroker broker;
};
