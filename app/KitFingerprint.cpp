#include "app/KitFingerprint.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The error log's file name: written into the kit folder by the run itself, not part of the kit.
constexpr const char kErrorLogName[] = "tsErrlog.txt";

class CFnv1a64 {
public:
    void Add(const char* bytes, std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i) {
            m_hash ^= static_cast<unsigned char>(bytes[i]);
            m_hash *= 0x100000001B3ULL;
        }
    }
    void Add(const std::string& text) { Add(text.data(), text.size() + 1); }  // with its terminating 0
    std::string Hex() const
    {
        char text[17];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(m_hash));
        return text;
    }

private:
    uint64_t m_hash = 0xCBF29CE484222325ULL;
};

std::vector<fs::path> KitFiles(const fs::path& kitDirectory)
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kitDirectory, ec)) {
        std::error_code statError;
        if (entry.symlink_status(statError).type() == fs::file_type::regular &&
            entry.path().filename() != kErrorLogName)
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

std::string KitFingerprint(const fs::path& kitDirectory)
{
    CFnv1a64 hash;
    std::vector<char> buffer(64 * 1024);
    for (const fs::path& file : KitFiles(kitDirectory)) {
        // The name and the size before the bytes, so that no two kits run together the same way.
        std::error_code ec;
        hash.Add(file.filename().string());
        hash.Add(std::to_string(fs::file_size(file, ec)));
        std::ifstream in(file, std::ios::binary);
        while (in) {
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            hash.Add(buffer.data(), static_cast<std::size_t>(in.gcount()));
        }
    }
    return hash.Hex();
}
