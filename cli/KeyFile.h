#pragma once

#include <iosfwd>
#include <string>

namespace CLI {
class App;
class Option;
}

// Keys never stand on the command line, where every user of the PC sees them in the process
// list: commands that encipher or decipher take `--key-file FILE` (the first line of FILE,
// read through the one input-file reader: a regular file of at most 4,096 bytes) or
// `--key-file -` (the first line of standard input, at most 4,096 bytes). `--key` is still
// known, so that giving it is refused with a message that says what to do instead.

// The key: the first line of the file, or of `in` for "-", without its line end. Raises
// CGenError 3 naming the file and what is wrong (not a regular file, too large, an empty key).
std::string ReadKeyFile(const std::string& path, std::istream& in);
std::string ReadKeyFile(const std::string& path);

// Adds `--key`, which is refused as a wrong command line (exit status 2) with RefusedKeyText:
// "--key: a key on the command line is seen by every user of this PC ...; ... give --key-file
// FILE, or give --key-file - and the key on standard input".
CLI::Option* AddRefusedKeyOption(CLI::App& command, std::string& sink);
const char* RefusedKeyText();
