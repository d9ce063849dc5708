#include "platform/InputFile.h"

#include "errors/Error.h"

#include <algorithm>
#include <cstring>

std::string InputFileText::Message(const std::string& path, const char* what) const
{
    return std::string("Cannot read the ") + what + " " + path + ": " + reason;
}

InputFileText TryReadInputFile(const std::string& path, const InputFileRules& rules)
{
    InputFileText result;
    struct stat info{};
    int fd = OpenInputFile(path, rules, info, result);
    if (fd < 0)
        return result;
    // The size said is a hint only: the read stops one byte past the limit whatever it said.
    std::size_t capacity = std::min<std::size_t>(static_cast<std::size_t>(info.st_size), rules.limit) + 1;
    std::string bytes(capacity, '\0');
    std::size_t done = 0;
    for (;;) {
        if (done == bytes.size()) {
            if (done > rules.limit) {
                result.reason = "it grew beyond the " + std::to_string(rules.limit) + " bytes a " + rules.what +
                                " may hold";
                break;
            }
            bytes.resize(std::min(rules.limit + 1, std::max<std::size_t>(bytes.size() * 2, 4096)));
        }
        long got = ReadInputBytes(fd, bytes.data() + done, bytes.size() - done);
        if (got < 0) {
            result.error = static_cast<int>(-got);
            result.reason = std::strerror(result.error);
            break;
        }
        if (got == 0) {
            bytes.resize(done);
            result.bytes = std::move(bytes);
            result.state = InputFileText::State::Read;
            result.mode = info.st_mode & 07777;
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    CloseInputFile(fd);
    return result;
}

std::string ReadInputFile(const std::string& path, const InputFileRules& rules)
{
    InputFileText file = TryReadInputFile(path, rules);
    if (!file.Ok())
        throw CGenError(3, "%s", file.Message(path, rules.what).c_str());
    return std::move(file.bytes);
}

