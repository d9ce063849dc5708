#include "cli/KeyFile.h"

#include "errors/Error.h"
#include "platform/InputFile.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <istream>

namespace {

std::string FirstLine(const std::string& text)
{
    std::string line = text.substr(0, text.find('\n'));
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

} // namespace

std::string ReadKeyFile(const std::string& path, std::istream& in)
{
    std::string text;
    if (path == "-") {
        // One character at a time up to the first line end: nothing after the line is taken,
        // and an endless stream (/dev/zero) is refused after the limit, not read to its end.
        char c = 0;
        while (in.get(c) && c != '\n') {
            if (text.size() == InputLimit::kKeyFile)
                throw CGenError(3, "--key-file -: the first line of standard input is longer than %zu bytes; it is "
                                   "not a key",
                                InputLimit::kKeyFile);
            text += c;
        }
        if (in.bad())
            throw CGenError(3, "--key-file -: standard input cannot be read");
        text = FirstLine(text);
    } else {
        text = FirstLine(ReadInputFile(path, InputFileRules{InputLimit::kKeyFile, "key file"}));
    }
    if (text.empty())
        throw CGenError(3, "--key-file %s: the first line is empty; write the key on the first line",
                        path.c_str());
    return text;
}

std::string ReadKeyFile(const std::string& path) { return ReadKeyFile(path, std::cin); }

const char* RefusedKeyText()
{
    return "a key on the command line is seen by every user of this PC (in the process list), so it is refused. "
           "Put the key on the first line of a file readable by you only and give --key-file FILE, or give "
           "--key-file - and the key on standard input";
}

CLI::Option* AddRefusedKeyOption(CLI::App& command, std::string& sink)
{
    return command.add_option("--key", sink, "refused: give --key-file instead (others see a key given here)")
        ->check([](const std::string&) { return std::string(RefusedKeyText()); });
}
