// `kit inspect` on a kit directory made from the input (see KitArchive.h): the configuration
// file, the boot code, codeplug and firmware files as the application will read them.
#include "authoring/KitInspect.h"
#include "files/DataFile.h"
#include "files/FileManager.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/KitArchive.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxFiles = 16;
constexpr std::size_t kMaxName = 64;

// A scratch directory of this process, in memory where the system offers it; removed when
// the process ends.
class CScratchDir {
public:
    CScratchDir()
    {
        std::string base = fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string();
        std::string pattern = base + "/tessarin-fuzz-kit-XXXXXX";
        if (!mkdtemp(pattern.data()))
            std::abort();
        m_path = pattern;
    }
    ~CScratchDir()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

const fs::path& KitDir()
{
    static const CScratchDir dir;
    return dir.Path();
}

bool UsableName(const std::string& name)
{
    if (name.empty() || name.size() > kMaxName || name == "." || name == "..")
        return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.'))
            return false;
    return true;
}

std::string DataFileKey(const std::string& config)
{
    FileManager text;
    text.LoadText(config);
    std::string key;
    if (text.FindBlock(kConfigVersionLine))
        text.GetLine(3, key);
    return key;
}

void WriteKit(const std::vector<kitarchive::File>& files)
{
    std::string key;
    for (const auto& [name, body] : files)
        if (name == kConfigFileName)
            key = DataFileKey(body);
    std::size_t written = 0;
    for (const auto& [rawName, body] : files) {
        const bool raw = !rawName.empty() && rawName[0] == '!';
        const std::string name = raw ? rawName.substr(1) : rawName;
        if (!UsableName(name) || ++written > kMaxFiles)
            continue;
        std::vector<char> bytes;
        if (raw)
            bytes.assign(body.begin(), body.end());
        else
            bytes = EncipherDataFile(body, name == kConfigFileName ? std::string_view(kConfigFileKey) : key);
        std::ofstream(KitDir() / name, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const fs::path& dir = KitDir();
    for (const auto& entry : fs::directory_iterator(dir))
        fs::remove(entry.path());
    WriteKit(kitarchive::Split(std::string_view(reinterpret_cast<const char*>(data), size)));
    KitOutcome outcome = KitInspect(dir.string());
    FUZZ_EXPECT(outcome.status == (outcome.problems > 0 ? 1 : 0));
    FUZZ_EXPECT(outcome.out.size() < 64 * size + (1 << 20));
    return 0;
}
