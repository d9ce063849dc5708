#include "files/DataFile.h"

#include "files/Blowfish.h"
#include "platform/InputFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>


const char kConfigFileKey[] =
    "Every radio that leaves this bench should work better than on the day it first left the line.";
const char kConfigFileName[] = "patcher.dat";
const char kConfigVersionLine[] = "PATCH-D01.01.07";

namespace {

constexpr std::size_t kZeroTail = 10;

// The cipher for a key. The key schedule costs as much as enciphering a few kilobytes and a kit
// reads all its files with one or two keys, so each thread keeps the schedule of the last key it
// used. Null for an empty key, which cannot drive the schedule.
const CBlowfish* CipherFor(std::string_view key)
{
    struct LastSchedule {
        std::string key;
        CBlowfish cipher;
    };
    thread_local LastSchedule last;
    if (key.empty())
        return nullptr;
    if (!last.cipher.IsReady() || last.key != key) {
        last.key.clear();
        if (!last.cipher.Initialize(reinterpret_cast<const uint8_t*>(key.data()), key.size()))
            return nullptr;
        last.key.assign(key);
    }
    return &last.cipher;
}

DataFileStatus CheckSize(std::size_t size)
{
    if (size == 0)
        return DataFileStatus::Empty;
    if (size % CBlowfish::kBlockSize != 0)
        return DataFileStatus::BadSize;
    return DataFileStatus::Ok;
}

// Steps 2 to 5 of the procedure, into a buffer that holds at least size + 10 bytes.
DataFileStatus ReadAndDecipher(int fd, std::size_t size, std::string_view key, char* buffer)
{
    if (!ReadFromStart(fd, buffer, size))
        return DataFileStatus::ReadFailed;
    const CBlowfish* cipher = CipherFor(key);
    if (!cipher)
        return DataFileStatus::EmptyKey;
    cipher->DecipherBuffer(reinterpret_cast<uint8_t*>(buffer), size);
    return DataFileStatus::Ok;
}

}  // namespace

const char* DescribeDataFileStatus(DataFileStatus status)
{
    switch (status) {
    case DataFileStatus::Ok: return "read and deciphered";
    case DataFileStatus::CannotOpen: return "the file cannot be opened (missing, not a file, or in use)";
    case DataFileStatus::Empty: return "the file is empty";
    case DataFileStatus::BadSize: return "the file size is not a multiple of 8";
    case DataFileStatus::TooLarge: return "the file is larger than its reader accepts";
    case DataFileStatus::NoMemory: return "no memory for the file buffer";
    case DataFileStatus::ReadFailed: return "the file could not be read";
    case DataFileStatus::EmptyKey: return "the key is empty";
    }
    return "unknown";
}

bool IsCorrupt(DataFileStatus status)
{
    return status == DataFileStatus::Empty || status == DataFileStatus::BadSize ||
           status == DataFileStatus::TooLarge || status == DataFileStatus::ReadFailed;
}

CPrivateLock LockKitFolder(const std::string& folder, CPrivateLock::Mode mode)
{
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::canonical(folder.empty() ? "." : folder, error);
    if (error)
        canonical = std::filesystem::absolute(folder.empty() ? "." : folder, error);
    return CPrivateLock("kit", canonical.string(), mode);
}

CDataFileHandle::CDataFileHandle(CDataFileHandle&& other) noexcept
    : m_fd(other.m_fd), m_lock(std::move(other.m_lock))
{
    other.m_fd = -1;
}

CDataFileHandle& CDataFileHandle::operator=(CDataFileHandle&& other) noexcept
{
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        m_lock = std::move(other.m_lock);
        other.m_fd = -1;
    }
    return *this;
}

CDataFileHandle::~CDataFileHandle() { Close(); }

bool CDataFileHandle::Open(const std::string& path)
{
    Close();
    // A writer of this user's holds the kit alone; a kit whose lock file cannot be made at all
    // is read without it (the lock keeps this user's own programs apart, nothing else).
    CPrivateLock lock = LockKitFolder(std::filesystem::path(path).parent_path().string(), CPrivateLock::Mode::Shared);
    if (!lock.Locked() && lock.Busy()) {
        m_failure = "another program of yours is writing this kit";
        return false;
    }
    struct stat st {};
    InputFileText refused;
    // The size is judged by the reader of each kind (TooLarge), not here.
    int fd = OpenInputFile(path, InputFileRules{std::numeric_limits<std::size_t>::max(), "kit data file"}, st, refused);
    if (fd < 0) {
        m_failure = refused.reason;
        return false;
    }
    m_fd = fd;
    m_lock = std::move(lock);
    return true;
}

void CDataFileHandle::Close()
{
    m_failure.clear();
    if (m_fd >= 0) {
        CloseInputFile(m_fd);
        m_fd = -1;
    }
    m_lock.Release();
}

DataFileText ReadDataFile(const CDataFileHandle& file, std::string_view key, std::size_t limit)
{
    DataFileText result;
    if (!file.IsOpen())
        return result;
    if (!OpenFileSize(file.Descriptor(), result.fileSize)) {
        result.status = DataFileStatus::ReadFailed;
        return result;
    }
    result.status = CheckSize(result.fileSize);
    if (result.status != DataFileStatus::Ok)
        return result;
    if (result.fileSize > limit) {
        result.status = DataFileStatus::TooLarge;
        return result;
    }
    try {
        result.buffer.assign(result.fileSize + kZeroTail, '\0');
    } catch (const std::bad_alloc&) {
        result.status = DataFileStatus::NoMemory;
        return result;
    } catch (const std::length_error&) {
        result.status = DataFileStatus::NoMemory;
        return result;
    }
    result.status = ReadAndDecipher(file.Descriptor(), result.fileSize, key, result.buffer.data());
    if (!result.Ok())
        result.buffer.clear();
    return result;
}

DataFileText ReadDataFile(const std::string& path, std::string_view key, std::size_t limit)
{
    CDataFileHandle file;
    if (!file.Open(path)) {
        DataFileText refused;
        refused.reason = file.OpenFailure();
        return refused;
    }
    return ReadDataFile(file, key, limit);
}

DataFileStatus ReadDataFileInto(const std::string& path, std::string_view key, char* buffer,
                                std::size_t capacity, std::size_t* fileSize)
{
    if (fileSize)
        *fileSize = 0;
    CDataFileHandle file;
    if (!file.Open(path))
        return DataFileStatus::CannotOpen;
    std::size_t size = 0;
    if (!OpenFileSize(file.Descriptor(), size))
        return DataFileStatus::ReadFailed;
    if (fileSize)
        *fileSize = size;
    DataFileStatus status = CheckSize(size);
    if (status != DataFileStatus::Ok)
        return status;
    if (capacity < kZeroTail || size > capacity - kZeroTail)
        return DataFileStatus::TooLarge;
    std::memset(buffer, 0, capacity);
    status = ReadAndDecipher(file.Descriptor(), size, key, buffer);
    if (status != DataFileStatus::Ok)
        std::memset(buffer, 0, capacity);
    return status;
}

std::vector<char> EncipherDataFile(std::string_view plain, std::string_view key)
{
    const CBlowfish* cipher = CipherFor(key);
    if (!cipher)
        return {};
    std::size_t padded = (plain.size() + CBlowfish::kBlockSize - 1) / CBlowfish::kBlockSize *
                         CBlowfish::kBlockSize;
    std::vector<char> bytes(padded, '\0');
    std::copy(plain.begin(), plain.end(), bytes.begin());
    cipher->EncipherBuffer(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
    return bytes;
}

bool DecipherDataFile(std::vector<char>& bytes, std::string_view key)
{
    const CBlowfish* cipher = CipherFor(key);
    if (!cipher)
        return false;
    return cipher->DecipherBuffer(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
}
