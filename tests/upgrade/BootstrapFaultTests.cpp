// The boot code download meets a radio that does not answer its sync character: the loader
// tries again after the next bootstrap pulse (it must not spin while the pulse holds the line in
// break) and the download goes on.
#include "tests/upgrade/EngineFixture.h"

#include "sim/model/FaultPlan.h"

namespace {

class BootstrapFaults : public EngineTest {};

}  // namespace

TEST_F(BootstrapFaults, AnUnansweredSyncCharacterIsSentAgain)
{
    Radio().AddFault(ParseFaultSpec("drop-ack:op=sync"));
    plan.flashFirmware = 1;
    PrepareBootstrap();
    EXPECT_EQ(RunEngine(), kUpgradeSucceeded);
    EXPECT_TRUE(Logged("Bootstrap::FL0_Send_Bootcode: Retry sending sync character!! Retry 1"));
}
