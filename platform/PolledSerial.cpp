#include "platform/PolledSerial.h"

// Placeholder until the port algorithms land.
void CPolledSerial::PurgeInput() {}
double CPolledSerial::GetByteTime() { return 10.0 / m_live.baud; }
void CPolledSerial::OpenPort(unsigned port) { m_portNumber = port; OpenDevice(port); m_open = true; (void)m_configured; }
void CPolledSerial::Close() { if (m_open) CloseDevice(); m_open = false; m_portNumber = 0; }
unsigned CPolledSerial::GetPortNumber() { return m_portNumber; }
void CPolledSerial::Read(uint8_t*, unsigned, unsigned) {}
void CPolledSerial::Write(const uint8_t*, unsigned, unsigned) {}
bool CPolledSerial::WaitForCommError(int, unsigned) { return false; }
bool CPolledSerial::DetectSyncPulse(unsigned) { return false; }
void CPolledSerial::WaitForBytesUnless(unsigned, unsigned) {}
void CPolledSerial::Configure(int baud, int parity, int stopBits, int charSize) { m_pending = {baud, parity, stopBits, charSize}; m_configured = true; }
int CPolledSerial::GetStopBits() { return m_live.stopBits; }
void CPolledSerial::SetStopBits(int v) { m_live.stopBits = v; }
int CPolledSerial::GetCharSize() { return m_live.charSize; }
void CPolledSerial::SetCharSize(int v) { m_live.charSize = v; }
int CPolledSerial::GetParity() { return m_live.parity; }
void CPolledSerial::SetParity(int v) { m_live.parity = v; }
int CPolledSerial::GetBaud() { return m_live.baud; }
void CPolledSerial::SetBaud(int v) { m_live.baud = v; (void)m_echoBuffer; }

int FlashWriteMode = 0;
