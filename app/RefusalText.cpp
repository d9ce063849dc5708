#include "app/RefusalText.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

std::string ShownBytes(const char* data, std::size_t size)
{
    std::size_t used = size;
    while (used > 0 && data[used - 1] == '\0')
        --used;
    bool printable = std::all_of(data, data + used, [](char c) { return std::isprint(static_cast<unsigned char>(c)); });
    if (printable)
        return "\"" + std::string(data, used) + "\"";
    std::string hex;
    for (std::size_t i = 0; i < size; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02X", static_cast<unsigned char>(data[i]));
        hex += (i == 0 ? "" : " ") + std::string(byte);
    }
    return hex;
}

std::string QuotedChoices(const std::vector<std::string>& texts, std::size_t most)
{
    std::vector<std::string> distinct;
    for (const std::string& text : texts)
        if (std::find(distinct.begin(), distinct.end(), text) == distinct.end())
            distinct.push_back(text);
    std::string words;
    std::size_t shown = std::min(distinct.size(), most);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0)
            words += i + 1 == shown && shown == distinct.size() ? " or " : ", ";
        words += "\"" + distinct[i] + "\"";
    }
    if (distinct.size() > shown)
        words += " and " + std::to_string(distinct.size() - shown) + " more";
    return words.empty() ? "nothing" : words;
}
