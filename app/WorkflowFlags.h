#pragma once

#include <cstdint>

// The upgrade form's process-wide flags: 0 at program start, alive for the whole run. The
// recovery flags the request broker shares with the form live in link/LinkFlags.h.

// The radio answers from its boot state, not from its application (product lines 11 and 12).
extern uint8_t BootState;
// A radio memory region failed its checksum (CheckRadioRegions).
extern uint8_t RegionFault1;
extern uint8_t RegionFault2;
extern uint8_t RegionFault3;
// A threshold entry of the verification block was met: every verification entry passes.
extern uint8_t VerifyBypass;
// Alternates the boot-state recovery plan between firmware with codeplug and codeplug alone.
extern uint8_t PlanToggle;

// Every flag of the workflow back to 0, these and the recovery flags alike (tests, and a
// front end that starts a fresh session).
void ResetWorkflowFlags();
