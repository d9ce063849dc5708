// Carry-over records on disk: written atomically, read back as untrusted input.
#include "upgrade/CarryOver.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "platform/AtomicFile.h"
#include "platform/FileNames.h"
#include "platform/InputFile.h"
#include "platform/HostInfo.h"
#include "platform/UserFolders.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace fs = std::filesystem;

namespace {

const char kPrefix[] = "carryover-";
const char kSuffix[] = ".txt";

fs::path Absolute(const fs::path& path)
{
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    return ec ? path : absolute.lexically_normal();
}

std::string Timestamp(const char* format)
{
    std::tm local = LocalTimeOf(std::time(nullptr));
    char text[32];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

[[noreturn]] void Fail(const std::string& what, const fs::path& path, int error)
{
    throw CGenError(3, "Cannot %s carry-over record %s: %s", what.c_str(), path.string().c_str(), std::strerror(error));
}

// Writes `text` under a hidden name of this process's own in `dir` (through the one atomic
// writer, so nothing planted at that name is followed); returns its path.
fs::path WriteTemporary(const fs::path& dir, const std::string& text)
{
    static std::atomic<unsigned> counter{0};
    fs::path temp = dir / (".carryover-" + std::to_string(ProcessNumber()) + "-" + std::to_string(counter++) + ".new");
    WriteFileAtomically(temp.string(), text, FileMode::kPrivate);
    return temp;
}

bool IsRecordName(const std::string& name)
{
    return name.rfind(kPrefix, 0) == 0 && name.size() > sizeof kSuffix &&
           name.compare(name.size() - (sizeof kSuffix - 1), sizeof kSuffix - 1, kSuffix) == 0;
}

}  // namespace

CCarryOverStore::CCarryOverStore() : m_directory(Absolute(CarryOverFolder())) {}
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
        int error = MoveToNewName(temp.string(), final.string());
        if (error == 0) {
            SyncFolder(m_directory.string());
            record.file = final.string();
            return;
        }
        if (error != EEXIST) {
            RemoveFileName(temp.string());
            Fail("write", final, error);
        }
    }
    RemoveFileName(temp.string());
    Fail("name a new", m_directory / stem, EEXIST);
}

void CCarryOverStore::Remove(CarryOverRecord& record)
{
    if (record.file.empty())
        return;
    if (int error = RemoveFileName(record.file); error != 0 && error != ENOENT)
        Fail("remove", record.file, error);
    SyncFolder(fs::path(record.file).parent_path().string());
    record.file.clear();
}

std::vector<fs::path> CCarryOverStore::List() const
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(m_directory, ec)) {
        if (IsRecordName(entry.path().filename().string()) && IsOwnRegularFile(entry.path().string()))
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
        throw CGenError(3, "Cannot read carry-over record %s: %s", file.string().c_str(), read.reason.c_str());
    const std::string& text = read.bytes;
    return ParseCarryOver(text, file.string());
}
