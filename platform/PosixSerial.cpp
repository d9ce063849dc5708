#include "platform/PosixSerial.h"

#include "errors/Error.h"

// Placeholder until the termios implementation lands.
CPosixSerial::~CPosixSerial() = default;
void CPosixSerial::OpenDevice(unsigned port) { throw CCommError(1, "CWinSerial::Open: Unable to open com%u", port); }
void CPosixSerial::CloseDevice() {}
bool CPosixSerial::ApplyLineSettings(const LineSettings&) { return false; }
bool CPosixSerial::TransmitChar(uint8_t) { return false; }
unsigned CPosixSerial::InputQueueCount() { return 0; }
unsigned CPosixSerial::OutputQueueCount() { return 0; }
bool CPosixSerial::ReadQueued(uint8_t*, unsigned) { return false; }
int CPosixSerial::ReadAndClearErrors() { return 0; }
void CPosixSerial::PurgeDevice(bool, bool) {}
