#include "sim/model/RadioTrace.h"

#include <cstdio>

void CRadioTrace::Add(double time, Direction direction, std::string what, std::vector<uint8_t> bytes, std::string note)
{
    m_entries.push_back({time, direction, std::move(what), std::move(bytes), std::move(note)});
}

std::vector<CRadioTrace::Entry> CRadioTrace::Of(const std::string& what) const
{
    std::vector<Entry> found;
    for (const Entry& e : m_entries)
        if (e.what == what)
            found.push_back(e);
    return found;
}

std::string CRadioTrace::Format() const
{
    std::string text;
    char buffer[64];
    for (const Entry& e : m_entries) {
        const char* dir = e.direction == Direction::FromPc ? "PC>R" : e.direction == Direction::ToPc ? "R>PC" : "----";
        std::snprintf(buffer, sizeof buffer, "%12.6f  %s  %-8s", e.time, dir, e.what.c_str());
        text += buffer;
        for (uint8_t b : e.bytes) {
            std::snprintf(buffer, sizeof buffer, " %02X", b);
            text += buffer;
        }
        if (!e.note.empty())
            text += (e.bytes.empty() ? " " : "  ") + e.note;
        text += "\n";
    }
    return text;
}
