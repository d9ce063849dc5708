#pragma once

#include <cstdint>

// Process-wide state of the link, 0 at start and alive for the whole run.

// 1 around a read made while FlashWriteMode may be on: that reply is not a write reply.
extern int SkipWriteReplyCheck;

// The recovery workflow's flags, shared by the request broker and the upgrade form.
extern uint8_t RecoverRequested;
extern uint8_t RecoverDeclined;
extern uint8_t TimeoutDeferred;
extern uint8_t RecoveryPending;
extern uint8_t RecoveryNoticeShown;
// All five back to 0, as at start.
void ResetRecoveryFlags();

// The product line number: the row of the product line table resolved at start (13 until
// set, and when no row matched).
int GetProductLineNumber();
void SetProductLineNumber(int number);
