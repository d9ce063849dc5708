#include "app/WorkflowFlags.h"

#include "link/LinkFlags.h"

uint8_t BootState = 0;
uint8_t RegionFault1 = 0;
uint8_t RegionFault2 = 0;
uint8_t RegionFault3 = 0;
uint8_t VerifyBypass = 0;
uint8_t PlanToggle = 0;

void ResetWorkflowFlags()
{
    BootState = 0;
    RegionFault1 = RegionFault2 = RegionFault3 = 0;
    VerifyBypass = 0;
    PlanToggle = 0;
    ResetRecoveryFlags();
}
