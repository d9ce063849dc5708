#pragma once

#include "link/VeskMessage.h"

#include <cstdint>
#include <string>

class CError;
class CSerial;

// One VESK exchange with the radio: send the request, take the one-byte acknowledgement
// (0x60 is a negative one), receive and check the reply when one is expected, pause, and hand
// the reply back. A failed attempt is logged and retried; the outcome is a result code:
//   0 success, 1 negative acknowledgement or failed resynchronisation, 3 wrong reply,
//   4 corrupted reply, 5 any serial-port failure (time-outs included).
// A CGenError is never retried: it leaves SendCommand at once, as does the CCommError of a
// device that has gone (kCommDeviceGone).
class CVeskComm {
public:
    static constexpr std::size_t kReceiveBufferSize = 512;

    CVeskComm();
    CVeskComm(const CVeskComm&) = delete;
    CVeskComm& operator=(const CVeskComm&) = delete;
    virtual ~CVeskComm();

    // Borrows the platform's port and opens it at 9600 8N1 with the echo mode. Raises
    // CGenError 2 when the port cannot be borrowed, CGenError 3 "Unable to open communication
    // port" when it cannot be opened (the cause is logged and kept: OpenFailureCause). A link
    // that is open is closed first; a failed open gives the port back.
    void OpenPort(int port, uint8_t echoMode);
    void ClosePort();
    // On success `message` holds the parsed reply (or the request as sent when no reply is
    // expected); on failure it is unchanged. Raises CGenError 2 when the link is not open.
    int SendCommand(CVeskMessage& message, bool expectReply);

    bool IsOpen() const { return m_serial != nullptr; }
    int GetPortNumber() const { return m_portNumber; }
    // The borrowed port while open (for line changes such as SetBaud), else null.
    CSerial* GetSerial() const { return m_serial; }
    // Why the last OpenPort failed (the port's own error text); empty after a good open.
    const std::string& OpenFailureCause() const { return m_openFailureCause; }

    // Parameters, set by the owner for each phase of its work. Times in milliseconds.
    int GetAttempts() const { return m_attempts; }
    void SetAttempts(int attempts) { m_attempts = attempts < 1 ? 1 : attempts; }
    int GetAckTimeout() const { return m_ackTimeout; }
    void SetAckTimeout(int ms) { m_ackTimeout = ms; }
    int GetReplyTimeout() const { return m_replyTimeout; }
    void SetReplyTimeout(int ms) { m_replyTimeout = ms; }
    int GetPerByteTimeout() const { return m_perByteTimeout; }
    void SetPerByteTimeout(int ms) { m_perByteTimeout = ms; }
    int GetPause() const { return m_pause; }
    void SetPause(int ms) { m_pause = ms; }

    // 1 sending, 2 waiting for the acknowledgement, 3 receiving the reply.
    int GetPhase() const { return m_phase; }
    int GetLastError() const { return m_lastError; }
    const VeskMessageInfo& GetRequestInfo() const { return m_requestInfo; }

private:
    void LoadRequest(const CVeskMessage& message);
    void Attempt(bool expectReply);
    void Resynchronise();
    // Takes bytes off the line until it has been quiet for an answer's time.
    void AwaitQuietLine();
    void ReceiveReply();
    void ReadReply(unsigned count, unsigned timeoutMs);
    void Pause();
    void LogFailure(const CError& error);
    // Logs a failed attempt and keeps its result code for when the attempts run out.
    void HandleFailedAttempt(const CError& error);

    CSerial* m_serial = nullptr;
    int m_perByteTimeout = 250;
    int m_receivedCount = 0;
    bool m_replyComplete = false;
    uint8_t m_receiveBuffer[kReceiveBufferSize] = {};
    VeskMessageInfo m_requestInfo;
    CVeskMessage m_working;
    int m_attempts = 1;
    bool m_echoFailed = false;  // the last attempt failed on a wrong echo
    int m_ackTimeout = 100;
    int m_replyTimeout = 500;
    int m_pause = 5;
    int m_portNumber = 0;
    int m_phase = 0;
    int m_lastError = 0;
    std::string m_openFailureCause;
};
