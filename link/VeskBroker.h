#pragma once

#include "link/VeskComm.h"
#include "link/VeskMessage.h"

#include <cstdint>

// The radio's memory and control interface: each operation is one request, one exchange
// through the owned CVeskComm, the result code turned into an error (or, for the product lines
// with a recovery mode, into a question to the user) and the reply's opcode checked.
// Raises CVeskError 1, 3, 4, 5; a CGenError from the exchange passes through. Every failure
// leaves the link open and the broker usable.
class CVeskBroker {
public:
    // Writes carry their 3-byte address in the one-byte data length.
    static constexpr unsigned kMaxWriteLength = CVeskMessage::kMaxData - 3;
    static constexpr unsigned kStatusZeroFill = 16;

    // Exchange parameters: 4 attempts, ack 100 ms, reply 750 ms, 250 ms a byte, pause 10 ms.
    CVeskBroker();
    CVeskBroker(const CVeskBroker&) = delete;
    CVeskBroker& operator=(const CVeskBroker&) = delete;
    virtual ~CVeskBroker();

    // Reads up to `count` bytes at `address` (low 24 bits) into `destination`, which must hold
    // `count` bytes. Returns the number of bytes copied: what the reply carries after its first
    // three data bytes, never more than `count`.
    unsigned ReadRequest(uint32_t address, uint8_t count, uint8_t* destination);
    // At most kMaxWriteLength bytes (a longer write raises CGenError 3 before anything is sent).
    void WriteRequest(uint32_t address, unsigned length, const uint8_t* source);
    // The reply may take up to 20 s; the reply time-out is put back afterwards in every case.
    void EraseFlashRequest();
    void ResetRadioRequest();
    // Copies the status text for `selector` into `destination`, terminated, at most
    // bufferSize - 1 bytes of it. Returns the number of bytes placed before the terminator (a
    // 0x86 reply zeroes 16 bytes, or the whole buffer when smaller, and returns that count).
    unsigned RadioStatusRequest(uint8_t selector, char* destination, unsigned bufferSize);

    // The exchange, for its parameters and its link.
    CVeskComm& Comm() { return m_comm; }
    // Opens the exchange's link and marks it open; CloseLink does the reverse.
    void OpenLink(int port, uint8_t echoMode);
    void CloseLink();
    bool IsLinkOpen() const { return m_linkOpen != 0; }
    void SetLinkOpen(uint8_t open) { m_linkOpen = open; }
    const VeskMessageInfo& GetReplyInfo() const { return m_replyInfo; }

private:
    // One exchange, the reply summary filled and the result code checked (a time-out on a
    // recovery product line asks the user and returns).
    void Exchange(bool expectReply);
    void CheckResult(int result);
    [[noreturn]] void RefuseReply(const char* text);
    bool IsRecoveryProductLine() const;

    VeskMessageInfo m_replyInfo;
    CVeskComm m_comm;
    uint8_t m_linkOpen = 0;
    CVeskMessage m_message;
};
