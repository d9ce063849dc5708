#include "platform/AppendFile.h"

#include "errors/Error.h"
#include "platform/InputFile.h"

std::string ReadOwnFile(const std::string& path, std::size_t maxBytes, bool* exists)
{
    InputFileText read = TryReadInputFile(path, InputFileRules{maxBytes, "file", false, true});
    if (exists)
        *exists = read.state != InputFileText::State::Absent;
    if (read.state == InputFileText::State::Absent)
        return {};
    if (!read.Ok())
        throw CGenError(3, "Cannot read %s: %s", path.c_str(), read.reason.c_str());
    return std::move(read.bytes);
}
