#include "link/LinkFlags.h"

int SkipWriteReplyCheck = 0;
uint8_t RecoverRequested = 0;
uint8_t RecoverDeclined = 0;
uint8_t TimeoutDeferred = 0;
uint8_t RecoveryPending = 0;
uint8_t RecoveryNoticeShown = 0;

void ResetRecoveryFlags()
{
    RecoverRequested = RecoverDeclined = TimeoutDeferred = RecoveryPending = RecoveryNoticeShown = 0;
}

namespace {
int g_productLineNumber = 13;
}

int GetProductLineNumber() { return g_productLineNumber; }
void SetProductLineNumber(int number) { g_productLineNumber = number; }
