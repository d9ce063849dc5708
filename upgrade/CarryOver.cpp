// Carry-over records on disk: written atomically, read back as untrusted input.
#include "upgrade/CarryOver.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "platform/AtomicFile.h"
#include "platform/InputFile.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char kPrefix[] = "carryover-";
const char kSuffix[] = ".txt";

fs::path DefaultDirectory()
{
    if (const char* dir = std::getenv("TESSARIN_STATE_DIR"); dir && *dir)
        return dir;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg)
        return fs::path(xdg) / "tessarin" / "carryover";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : ".") / ".local" / "state" / "tessarin" / "carryover";
}

fs::path Absolute(const fs::path& path)
{
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    return ec ? path : absolute.lexically_normal();
}

std::string Timestamp(const char* format)
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

[[noreturn]] void Fail(const std::string& what, const fs::path& path, int error)
{
    throw CGenError(3, "Cannot %s carry-over record %s: %s", what.c_str(), path.c_str(), std::strerror(error));
}

void SyncDirectory(const fs::path& dir)
{
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Writes `text` under a hidden name of this process's own in `dir` (through the one atomic
// writer, so nothing planted at that name is followed); returns its path.
fs::path WriteTemporary(const fs::path& dir, const std::string& text)
{
    static std::atomic<unsigned> counter{0};
    fs::path temp = dir / (".carryover-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".new");
    WriteFileAtomically(temp.string(), text, FileMode::kPrivate);
    return temp;
}

bool IsRecordName(const std::string& name)
{
    return name.rfind(kPrefix, 0) == 0 && name.size() > sizeof kSuffix &&
           name.compare(name.size() - (sizeof kSuffix - 1), sizeof kSuffix - 1, kSuffix) == 0;
}

// A regular file of this user's, looked at without following a link.
bool IsOwnRegularFile(const fs::path& path)
{
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
}

}  // namespace

CCarryOverStore::CCarryOverStore() : m_directory(Absolute(DefaultDirectory())) {}
CCarryOverStore::CCarryOverStore(fs::path directory) : m_directory(Absolute(directory)) {}

void CCarryOverStore::Save(CarryOverRecord& record)
{
    std::error_code ec;
    fs::create_directories(m_directory, ec);
    if (ec)
        Fail("create the directory for the", m_directory, ec.value());
    if (record.created.empty())
        record.created = Timestamp("%Y-%m-%d %H:%M:%S");
    if (!record.file.empty()) {
        WriteFileAtomically(record.file, FormatCarryOver(record), FileMode::kPrivate);
        return;
    }
    fs::path temp = WriteTemporary(m_directory, FormatCarryOver(record));
    // A new record gets a name no other record has: link() refuses a name that exists.
    std::string stem = kPrefix + Timestamp("%Y%m%d-%H%M%S") + "-" +
                       (record.radioCode.size() == 2 && std::isalnum(static_cast<unsigned char>(record.radioCode[0])) &&
                                std::isalnum(static_cast<unsigned char>(record.radioCode[1]))
                            ? record.radioCode
                            : std::string("XX"));
    for (int n = 0; n < 1000; ++n) {
        fs::path final = m_directory / (stem + (n ? "-" + std::to_string(n) : std::string()) + kSuffix);
        if (::link(temp.c_str(), final.c_str()) == 0) {
            ::unlink(temp.c_str());
            SyncDirectory(m_directory);
            record.file = final.string();
            return;
        }
        if (errno != EEXIST) {
            int error = errno;
            ::unlink(temp.c_str());
            Fail("write", final, error);
        }
    }
    ::unlink(temp.c_str());
    Fail("name a new", m_directory / stem, EEXIST);
}

void CCarryOverStore::Remove(CarryOverRecord& record)
{
    if (record.file.empty())
        return;
    if (::unlink(record.file.c_str()) != 0 && errno != ENOENT)
        Fail("remove", record.file, errno);
    SyncDirectory(fs::path(record.file).parent_path());
    record.file.clear();
}

std::vector<fs::path> CCarryOverStore::List() const
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(m_directory, ec)) {
        if (IsRecordName(entry.path().filename().string()) && IsOwnRegularFile(entry.path()))
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());  // the names begin with the time they were made
    return files;
}

std::vector<CarryOverRecord> CCarryOverStore::LoadAll(std::vector<std::string>* unreadable) const
{
    std::vector<CarryOverRecord> records;
    for (const fs::path& file : List()) {
        try {
            records.push_back(Load(file));
        } catch (const CError& e) {
            ErrorLog().Log("CCarryOverStore::LoadAll: %s", e.GetText());
            if (unreadable)
                unreadable->push_back(e.GetText());
        }
    }
    return records;
}

CarryOverRecord CCarryOverStore::Load(const fs::path& file)
{
    InputFileText read = TryReadInputFile(
        file.string(), InputFileRules{static_cast<std::size_t>(kMaxFileSize), "carry-over record", false, true});
    if (!read.Ok())
        throw CGenError(3, "Cannot read carry-over record %s: %s", file.c_str(), read.reason.c_str());
    const std::string& text = read.bytes;
    return ParseCarryOver(text, file.string());
}
