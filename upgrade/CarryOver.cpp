#include "upgrade/CarryOver.h"

#include "errors/Error.h"
#include "files/HexText.h"
#include "platform/AtomicFile.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <sstream>
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

std::string Hex(const std::vector<uint8_t>& bytes) { return BytesToHex(bytes.data(), bytes.size()); }

std::string Trim(const std::string& s)
{
    std::size_t from = s.find_first_not_of(" \t\r");
    if (from == std::string::npos)
        return "";
    std::size_t to = s.find_last_not_of(" \t\r");
    return s.substr(from, to - from + 1);
}

std::string Printable(const std::vector<uint8_t>& bytes)
{
    std::string out;
    for (uint8_t b : bytes)
        out += (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
    return out;
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

}  // namespace

const std::vector<uint8_t>& CarryOverRecord::Item(const std::string& name) const
{
    auto it = items.find(name);
    if (it == items.end())
        throw CGenError(3, "The carry-over record %s holds no \"%s\"", file.empty() ? "in memory" : file.c_str(),
                        name.c_str());
    return it->second;
}

std::string CarryOverRecord::RadioText() const
{
    std::string text = "radio code " + (radioCode.empty() ? std::string("?") : radioCode);
    static const std::pair<const char*, std::pair<std::size_t, std::size_t>> serials[] = {
        {"entry0-serial", {0, 11}}, {"block48-serial", {0, 10}}, {"block139", {4, 10}}};
    for (const auto& [name, range] : serials) {
        if (!Has(name))
            continue;
        const std::vector<uint8_t>& bytes = items.at(name);
        if (bytes.size() < range.first + range.second)
            continue;
        text += ", serial " + Printable(std::vector<uint8_t>(bytes.begin() + static_cast<long>(range.first),
                                                             bytes.begin() + static_cast<long>(range.first + range.second)));
        break;
    }
    return text;
}

std::string FormatCarryOver(const CarryOverRecord& r)
{
    std::ostringstream out;
    out << "# Tessarin carry-over record: a radio's own tuning and serial-number data, saved before\n"
           "# its codeplug was reprogrammed. While this file exists the data has not been restored.\n"
           "# Restore it with: tessarin carryover restore <this file> --port N\n"
           "# Items are the saved bytes as hexadecimal pairs.\n";
    out << "format = 1\n";
    out << "created = " << r.created << "\n";
    out << "radio = " << r.RadioText() << "\n";
    out << "layout = " << r.layout << "\n";
    out << "product-line = " << r.productLine << "\n";
    out << "codeplug-mode = " << r.codeplugMode << "\n";
    out << "radio-code = " << r.radioCode << "\n";
    out << "identity-mark = " << static_cast<int>(r.identityMark) << "\n";
    out << "model-tag = " << r.modelTag << "\n";
    out << "image-length = " << r.imageLength << "\n";
    for (const auto& [name, bytes] : r.items)
        out << "item " << name << " = " << Hex(bytes) << "\n";
    return out.str();
}

CarryOverRecord ParseCarryOver(const std::string& text, const std::string& file)
{
    CarryOverRecord r;
    r.file = file;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    bool sawFormat = false, sawLayout = false;
    auto bad = [&](const char* why) -> CGenError {
        return CGenError(3, "Carry-over record %s, line %d: %s", file.c_str(), number, why);
    };
    auto toInt = [&](const std::string& v) {
        char* end = nullptr;
        long n = std::strtol(v.c_str(), &end, 10);
        if (v.empty() || *end != 0)
            throw bad("not a number");
        return static_cast<int>(n);
    };
    while (std::getline(in, line)) {
        ++number;
        line = Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            throw bad("expected \"name = value\"");
        std::string key = Trim(line.substr(0, eq));
        std::string value = Trim(line.substr(eq + 1));
        if (key.rfind("item ", 0) == 0) {
            std::string name = Trim(key.substr(5));
            if (name.empty() || value.size() % 2 != 0)
                throw bad("an item needs a name and an even number of hexadecimal digits");
            std::vector<uint8_t> bytes;
            for (std::size_t i = 0; i < value.size(); i += 2) {
                int hi = HexDigitValue(value[i]), lo = HexDigitValue(value[i + 1]);
                if (hi < 0 || lo < 0)
                    throw bad("not a hexadecimal digit");
                bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
            }
            r.items[name] = std::move(bytes);
        } else if (key == "format") {
            if (value != "1")
                throw bad("unknown format (this program reads format 1)");
            sawFormat = true;
        } else if (key == "created") {
            r.created = value;
        } else if (key == "radio") {
            // For people only.
        } else if (key == "layout") {
            r.layout = toInt(value);
            sawLayout = r.layout >= 1 && r.layout <= 3;
            if (!sawLayout)
                throw bad("the layout is 1, 2 or 3");
        } else if (key == "product-line") {
            r.productLine = toInt(value);
        } else if (key == "codeplug-mode") {
            r.codeplugMode = toInt(value);
        } else if (key == "radio-code") {
            r.radioCode = value;
        } else if (key == "identity-mark") {
            r.identityMark = static_cast<uint8_t>(toInt(value));
        } else if (key == "image-length") {
            r.imageLength = static_cast<uint32_t>(toInt(value));
        } else if (key == "model-tag") {
            r.modelTag = value;
        } else {
            throw bad("unknown name");
        }
    }
    number = 0;
    if (!sawFormat || !sawLayout)
        throw bad("not a carry-over record (no format or layout line)");
    r.valid = true;
    return r;
}

CCarryOverStore::CCarryOverStore() : m_directory(DefaultDirectory()) {}
CCarryOverStore::CCarryOverStore(fs::path directory) : m_directory(std::move(directory)) {}

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
        std::string name = entry.path().filename().string();
        if (name.rfind(kPrefix, 0) == 0 && name.size() > sizeof kSuffix &&
            name.compare(name.size() - (sizeof kSuffix - 1), sizeof kSuffix - 1, kSuffix) == 0)
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());  // the names begin with the time they were made
    return files;
}

CarryOverRecord CCarryOverStore::Load(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        Fail("read", file, errno ? errno : ENOENT);
    std::ostringstream all;
    all << in.rdbuf();
    return ParseCarryOver(all.str(), file.string());
}
