#pragma once

#include <cstddef>
#include <string>

#include <sys/stat.h>
#include <sys/types.h>

// The one way this program reads a file it is given (on the command line, in the environment,
// in a settings, state or kit folder). Whatever is found at the path is judged before a byte
// is read or any memory is taken for it:
//   - it is opened without blocking and without becoming a controlling terminal, so a named
//     pipe, a terminal or a device planted under the name never makes the program wait;
//   - only a regular file is read (a pipe, device, socket or folder is refused by what it is);
//   - a file larger than the limit of what it holds is refused by its size, and the read
//     stops at the limit whatever the size said (a file that grows meanwhile, /proc files);
//   - where asked, a symbolic link is refused rather than followed, and only a file of this
//     user is accepted (the records kept in the user's own folders).
// Every refusal says what the file is and why in words for the user.

// The most each kind of input file may hold. The kit's enciphered data files have theirs in
// files/DataFile.h (DataFileLimit); the plain kit sources share them.
namespace InputLimit {
// A key file: one line, the key (--key-file).
inline constexpr std::size_t kKeyFile = 4096;
// The settings file (ports, echo, window position).
inline constexpr std::size_t kSettings = std::size_t(1) << 20;
// A carry-over record: at most a whole codeplug's 64 KB as hexadecimal, and its header.
inline constexpr std::size_t kCarryOverRecord = std::size_t(1) << 20;
// The simulator's radio profile (JSON).
inline constexpr std::size_t kSimProfile = std::size_t(1) << 20;
// A codeplug description for `codeplug build`.
inline constexpr std::size_t kCodeplugDescription = std::size_t(1) << 20;
// Plain S-record text: a codeplug image (the enciphered ones are bounded alike), the
// simulator's memory images.
inline constexpr std::size_t kCodeplugImage = std::size_t(4) << 20;
inline constexpr std::size_t kFirmwareImage = std::size_t(16) << 20;
// A small system file (/sys, /proc).
inline constexpr std::size_t kSystemFile = 64 * 1024;
} // namespace InputLimit

struct InputFileRules {
    std::size_t limit = 0;    // the most the file may hold, in bytes
    const char* what = "file";  // what it holds, for messages ("settings file", "key file")
    bool followLinks = true;  // false: a symbolic link at the path is refused
    bool ownerOnly = false;   // true: only a file of this user is read
};

// What became of a read.
struct InputFileText {
    enum class State { Read, Absent, Refused } state = State::Refused;
    std::string bytes;   // the whole file when Read
    std::string reason;  // why it was not read: "it is a named pipe, not a regular file", ...
    int error = 0;       // the system's errno when the system refused (ENOENT when Absent)
    mode_t mode = 0;     // the file's permission bits when Read

    bool Ok() const { return state == State::Read; }
    // "<what> <path> cannot be read: <reason>" (for Absent: "... does not exist").
    std::string Message(const std::string& path, const char* what) const;
};

// Reads the whole file under the rules; never raises.
InputFileText TryReadInputFile(const std::string& path, const InputFileRules& rules);
// Reads the whole file under the rules; raises CGenError 3 with the message otherwise.
std::string ReadInputFile(const std::string& path, const InputFileRules& rules);

// The opening and judging steps alone, for a reader that reads into its own buffer (the kit's
// data files): a descriptor of a regular file whose size is within the limit, or -1 with
// `refused` set (state Absent or Refused, reason, error). `info` receives the file's status.
int OpenInputFile(const std::string& path, const InputFileRules& rules, struct stat& info,
                  InputFileText& refused);

// For such a reader: reads `size` bytes from the file's start into `dest` (false when the
// file ends sooner or the system refuses), tells the size the open file has now, and closes
// it.
bool ReadFromStart(int fd, char* dest, std::size_t size);
bool OpenFileSize(int fd, std::size_t& size);
void CloseInputFile(int fd);
// Reads what comes next, at most `size` bytes: how many (0 at the end), or minus the errno.
long ReadInputBytes(int fd, char* dest, std::size_t size);
