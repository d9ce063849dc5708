#pragma once

#include <cstddef>
#include <cstdint>

// What the exchange puts on and takes off the line, for a person watching a session.
enum class LinkTraceEvent {
    Request,       // a request frame was handed to the port
    Ack,           // the acknowledgement byte arrived
    Reply,         // a whole reply frame arrived
    PartialReply,  // an attempt failed after these reply bytes had arrived
    ResyncRequest, // the resynchronisation bytes 0x55 0xAA were sent
    ResyncAnswer,  // the byte that answered them arrived
    AttemptFailed, // an attempt failed; the bytes are the error's text
};

// A sink for the exchange's frames. Null by default: nothing is traced, nothing costs.
class CLinkTraceSink {
public:
    virtual ~CLinkTraceSink() = default;
    // `seconds` is the trace clock's time when the event happened.
    virtual void OnLinkEvent(LinkTraceEvent event, double seconds, const uint8_t* bytes,
                             std::size_t count) = 0;
};

// The process-wide trace sink (not owned); returns the previous one.
CLinkTraceSink* SetLinkTraceSink(CLinkTraceSink* sink);
CLinkTraceSink* GetLinkTraceSink();

// Reports an event to the installed sink, if any, stamped with the platform's monotonic time
// (virtual time under the simulator).
void TraceLinkEvent(LinkTraceEvent event, const uint8_t* bytes, std::size_t count);
