#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Words for what a radio reported and what a kit expected, for the line that says why a radio
// was refused.

// `size` bytes as the user reads them: "text" in quotes when all are printable, else
// hexadecimal bytes ("7E 5A 1C"); trailing zero bytes of a text reply are not shown.
std::string ShownBytes(const char* data, std::size_t size);

// "a", "b" or "c" (at most `most` of the distinct texts, then "and N more").
std::string QuotedChoices(const std::vector<std::string>& texts, std::size_t most = 6);
