#pragma once

#include "sim/SimWire.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

// A far end that answers link requests from a script, for tests of the link. It gathers the
// PC's bytes into requests (a frame, whose length follows from its first bytes, or the two
// resynchronisation bytes 0x55 0xAA), records each with its time, and answers each with the
// next scripted response (or the handler's).
class CScriptedPeer : public CSimPeer {
public:
    struct Response {
        std::optional<uint8_t> ack = 0x06;  // nothing when empty: the ack is dropped
        double ackDelay = 0.001;             // after the request has arrived
        std::vector<uint8_t> reply;          // nothing when empty
        double replyDelay = 0.002;           // after the ack has arrived
        LineSettings sentWith{};             // baud 0: the PC's own setting
    };
    struct Request {
        std::vector<uint8_t> bytes;
        double time;  // when its last byte arrived
    };
    using Handler = std::function<Response(const Request&)>;

    explicit CScriptedPeer(CSimWire& wire) : m_wire(wire) {}

    // Responses used one per request, in order; when none is left the handler answers, and
    // with no handler the request goes unanswered.
    void Push(Response response) { m_script.push_back(std::move(response)); }
    void SetHandler(Handler handler) { m_handler = std::move(handler); }
    const std::vector<Request>& Requests() const { return m_requests; }
    // Bytes received that did not (yet) make a whole request.
    const std::vector<uint8_t>& Pending() const { return m_pending; }

    void OnHostByte(uint8_t byte, const LineSettings& sentWith) override;
    void OnHostOpen(const LineSettings&) override { m_pending.clear(); }

    // Response helpers: a positive ack, then a reply frame with this opcode and data.
    static Response Ack(uint8_t ack = 0x06);
    static Response Reply(uint8_t opcode, const std::vector<uint8_t>& data, uint8_t ack = 0x06);
    static Response Nack() { return Ack(0x60); }
    static Response Silence();
    // A whole frame (short form up to 13 data bytes, long form beyond) with its checksum.
    static std::vector<uint8_t> Frame(uint8_t opcode, const std::vector<uint8_t>& data, bool forceLong = false);

private:
    void Answer(const Request& request, const LineSettings& sentWith);
    static std::size_t CompleteLength(const std::vector<uint8_t>& bytes);

    CSimWire& m_wire;
    std::deque<Response> m_script;
    Handler m_handler;
    std::vector<Request> m_requests;
    std::vector<uint8_t> m_pending;
};
