#include "cli/JournalQuery.h"

#include <algorithm>
#include <cctype>

using json = nlohmann::json;

JournalText ParseJournal(const std::string& text)
{
    JournalText journal;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        json value = json::parse(line, nullptr, false);
        if (value.is_discarded() || !value.is_object()) {
            ++journal.skipped;
            continue;
        }
        journal.entries.push_back({std::move(line), std::move(value)});
    }
    return journal;
}

std::string Field(const JournalEntry& entry, const char* pointer)
{
    const json::json_pointer at(pointer);
    if (!entry.value.contains(at))
        return {};
    const json& value = entry.value.at(at);
    if (value.is_string())
        return value.get<std::string>();
    if (value.is_number() || value.is_boolean())
        return value.dump();
    return {};
}

std::string SinceProblem(const std::string& date)
{
    const bool shaped = date.size() == 10 && date[4] == '-' && date[7] == '-' &&
                        std::all_of(date.begin(), date.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)) || c == '-'; });
    if (shaped) {
        int month = std::stoi(date.substr(5, 2));
        int day = std::stoi(date.substr(8, 2));
        if (month >= 1 && month <= 12 && day >= 1 && day <= 31)
            return {};
    }
    return "--since must be a date YYYY-MM-DD, not " + date;
}

bool Matches(const JournalEntry& entry, const HistoryFilter& filter)
{
    if (!filter.serial.empty() && Field(entry, "/radio/serial") != filter.serial)
        return false;
    // The entry's time is the local time of the press: its first ten characters are its day.
    if (!filter.since.empty() && Field(entry, "/time").substr(0, 10) < filter.since)
        return false;
    if (!filter.outcomes.empty() &&
        std::find(filter.outcomes.begin(), filter.outcomes.end(), Field(entry, "/outcome")) == filter.outcomes.end())
        return false;
    return true;
}

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}
