#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the radio heard and said, with the time on the line's clock: every request and the
// acknowledgement and reply to it, boot ROM events, faults that fired, mode changes.
class CRadioTrace {
public:
    enum class Direction { FromPc, ToPc, Event };
    struct Entry {
        double time;
        Direction direction;
        std::string what;  // short kind: "frame", "ack", "reply", "nack", "mode", "fault", ...
        std::vector<uint8_t> bytes;
        std::string note;
    };

    void Add(double time, Direction direction, std::string what, std::vector<uint8_t> bytes, std::string note = {});
    void Event(double time, std::string what, std::string note) { Add(time, Direction::Event, std::move(what), {}, std::move(note)); }
    const std::vector<Entry>& Entries() const { return m_entries; }
    // Entries of one kind, in order.
    std::vector<Entry> Of(const std::string& what) const;
    // One line per entry: "   12.345678  PC>R  frame  F5 11 01 00 3F F0 B7  read 1 at 003FF0".
    std::string Format() const;
    void Clear() { m_entries.clear(); }

private:
    std::vector<Entry> m_entries;
};
