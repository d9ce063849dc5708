#pragma once

#include "platform/PrivateLock.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The key of the configuration and patch script file "patcher.dat" (string 142 of the
// program's string table; 93 characters, used without a terminator).
extern const char kConfigFileKey[];
// The name of the configuration and patch script file.
extern const char kConfigFileName[];
// The version line the configuration file must begin with (string 144).
extern const char kConfigVersionLine[];

// Outcome of reading an installed data file. Each reader turns it into its own message.
enum class DataFileStatus {
    Ok,
    CannotOpen,  // missing, not a regular file, or in use by someone else
    Empty,       // size 0
    BadSize,     // size not a multiple of 8
    TooLarge,    // larger than the reader's fixed buffer allows
    NoMemory,    // the buffer could not be allocated
    ReadFailed,  // the read stopped short or failed
    EmptyKey,    // a key of length 0 cannot decipher anything
};

// One line that says what went wrong, for messages and logs ("the file is empty", ...).
const char* DescribeDataFileStatus(DataFileStatus status);
// Corrupt in the readers' sense: the file exists but cannot be used as it is.
bool IsCorrupt(DataFileStatus status);

// The most a data file of each kind can hold, checked before any memory is taken: the boot
// code must fit the 10,000-byte boot code buffer with its ten zero bytes; the others are far
// above any real kit (a 512 KB firmware image is about 1.3 MB of S-records).
namespace DataFileLimit {
inline constexpr std::size_t kBootCode = 9'990;
inline constexpr std::size_t kConfiguration = std::size_t(4) << 20;
inline constexpr std::size_t kCodeplugImage = std::size_t(4) << 20;
inline constexpr std::size_t kFirmware = std::size_t(16) << 20;
inline constexpr std::size_t kAny = kFirmware;  // the largest of them
} // namespace DataFileLimit

// The lock of a kit folder: this user's programs that read a kit share it, one that writes
// the kit (`kit pack`, `kit encipher` into it) holds it alone. It is a private lock of this
// user's (platform/PrivateLock.h), never a lock on the kit's files or folder, which other
// users may read and so could lock. `folder` is made canonical first. When no lock file can
// be made at all the lock is not held and Busy() is false: reading goes on without it.
CPrivateLock LockKitFolder(const std::string& folder, CPrivateLock::Mode mode);

// A data file opened for reading through the one input-file reader (platform/InputFile.h): a
// regular file only (judged before it is opened and opened without blocking, so a named pipe
// or a device planted in a kit is refused at once), within the largest data file's size, while
// its kit folder's lock is shared (LockKitFolder): many programs may read a kit at once, while
// one of this user's that writes the kit keeps readers out. Closed on destruction.
class CDataFileHandle {
public:
    CDataFileHandle() = default;
    CDataFileHandle(const CDataFileHandle&) = delete;
    CDataFileHandle& operator=(const CDataFileHandle&) = delete;
    CDataFileHandle(CDataFileHandle&& other) noexcept;
    CDataFileHandle& operator=(CDataFileHandle&& other) noexcept;
    ~CDataFileHandle();

    // The file must exist and be a regular file; false when it cannot be opened or locked.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    int Descriptor() const { return m_fd; }
    // Why the last Open failed ("it is a named pipe, not a regular file", "another program of
    // yours is writing this kit"); empty after a successful one.
    const std::string& OpenFailure() const { return m_failure; }

private:
    int m_fd = -1;
    std::string m_failure;
    CPrivateLock m_lock;
};

// The one procedure by which every reader turns an installed file into text: take the size
// (0 or not a multiple of 8 is corrupt), allocate size + 10 zero bytes, read the whole file
// into the start, decipher the file size in place with the key. The text is the buffer taken
// as a NUL-terminated string: the producer's NUL padding or the ten zero bytes end it.
struct DataFileText {
    DataFileStatus status = DataFileStatus::CannotOpen;
    std::size_t fileSize = 0;
    std::vector<char> buffer;  // fileSize + 10 bytes when status is Ok
    std::string reason;        // CannotOpen: why (the input-file reader's words)

    bool Ok() const { return status == DataFileStatus::Ok; }
    // The deciphered text (empty unless Ok).
    const char* Text() const { return buffer.empty() ? "" : buffer.data(); }
};

// Reads from an open handle (the handle stays open). A file larger than `limit` is refused as
// TooLarge before its buffer is allocated.
DataFileText ReadDataFile(const CDataFileHandle& file, std::string_view key,
                          std::size_t limit = DataFileLimit::kAny);
// Opens the file, reads it and closes it.
DataFileText ReadDataFile(const std::string& path, std::string_view key,
                          std::size_t limit = DataFileLimit::kAny);

// The same procedure into a caller's fixed buffer of `capacity` bytes (the boot code buffer):
// the buffer is zero-filled first, and a file larger than capacity - 10 bytes is refused as
// TooLarge, so that ten zero bytes always follow the text. `fileSize` receives the size.
DataFileStatus ReadDataFileInto(const std::string& path, std::string_view key, char* buffer,
                                std::size_t capacity, std::size_t* fileSize = nullptr);

// The inverse steps, for whoever makes data files: the bytes padded with NUL bytes to a
// multiple of 8 and enciphered with the key. An empty key gives an empty result.
std::vector<char> EncipherDataFile(std::string_view plain, std::string_view key);
// Deciphers a whole file image (length a multiple of 8); false for a bad length or an empty key.
bool DecipherDataFile(std::vector<char>& bytes, std::string_view key);
