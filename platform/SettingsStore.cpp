#include "platform/SettingsStore.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
std::string Trim(const std::string& text)
{
    const char* blanks = " \t\r";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

bool SameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Names may not be empty, padded, or hold what would end or start a line's syntax.
bool StorableName(const std::string& name)
{
    return !name.empty() && Trim(name) == name && name[0] != ';' && name[0] != '#' &&
           name.find_first_of("\n\r=[]") == std::string::npos;
}

bool StorableValue(const std::string& value) { return value.find_first_of("\n\r") == std::string::npos; }

std::string HomeDirectory()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr)
        return entry->pw_dir;
    return ".";
}
} // namespace

CSettingsStore::CSettingsStore(std::string path) : m_path(std::move(path)) {}

std::string CSettingsStore::DefaultPath()
{
    if (const char* explicitPath = std::getenv("TESSARIN_SETTINGS"); explicitPath != nullptr && *explicitPath != '\0')
        return explicitPath;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/')
        return std::string(config) + "/tessarin/settings.ini";
    return HomeDirectory() + "/.config/tessarin/settings.ini";
}

std::vector<CSettingsStore::Section> CSettingsStore::Load() const
{
    std::vector<Section> sections;
    std::ifstream in(m_path);
    std::string line;
    Section* current = nullptr;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3) {
                current = nullptr;  // a broken header: skip its entries rather than misfile them
                continue;
            }
            std::string name = Trim(line.substr(1, line.size() - 2));
            auto found = std::find_if(sections.begin(), sections.end(),
                                      [&](const Section& s) { return SameName(s.name, name); });
            if (found == sections.end()) {
                sections.push_back(Section{name, {}});
                current = &sections.back();
            } else {
                current = &*found;
            }
            continue;
        }
        std::size_t equals = line.find('=');
        if (current == nullptr || equals == std::string::npos || equals == 0)
            continue;
        std::string key = Trim(line.substr(0, equals));
        std::string value = Trim(line.substr(equals + 1));
        auto found = std::find_if(current->entries.begin(), current->entries.end(),
                                  [&](const auto& entry) { return SameName(entry.first, key); });
        if (found == current->entries.end())
            current->entries.emplace_back(key, value);
        else
            found->second = value;  // the last of repeated keys wins
    }
    return sections;
}

bool CSettingsStore::Store(const std::vector<Section>& sections)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path target(m_path);
    if (target.has_parent_path())
        fs::create_directories(target.parent_path(), error);
    std::string temporary = m_path + ".tmp-" + std::to_string(getpid());
    std::FILE* out = std::fopen(temporary.c_str(), "w");
    if (out == nullptr) {
        m_lastError = "cannot write " + temporary + ": " + std::strerror(errno);
        return false;
    }
    bool ok = true;
    for (const Section& section : sections) {
        ok = ok && std::fprintf(out, "[%s]\n", section.name.c_str()) >= 0;
        for (const auto& [key, value] : section.entries)
            ok = ok && std::fprintf(out, "%s=%s\n", key.c_str(), value.c_str()) >= 0;
        ok = ok && std::fputs("\n", out) >= 0;
    }
    ok = std::fflush(out) == 0 && ok;
    ok = fsync(fileno(out)) == 0 && ok;
    int savedErrno = errno;
    ok = std::fclose(out) == 0 && ok;
    if (!ok || std::rename(temporary.c_str(), m_path.c_str()) != 0) {
        m_lastError = "cannot write " + m_path + ": " + std::strerror(ok ? errno : savedErrno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

namespace {
// Holds the settings folder locked while one program reads, changes and replaces the file,
// so that two programs writing at once do not lose each other's entries.
class CFolderLock {
public:
    explicit CFolderLock(const std::string& file)
    {
        std::filesystem::path folder = std::filesystem::path(file).parent_path();
        if (folder.empty())
            folder = ".";
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        m_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd >= 0)
            flock(m_fd, LOCK_EX);
    }
    ~CFolderLock()
    {
        if (m_fd >= 0)
            close(m_fd);  // closing releases the lock
    }
    CFolderLock(const CFolderLock&) = delete;
    CFolderLock& operator=(const CFolderLock&) = delete;

private:
    int m_fd = -1;
};
} // namespace

bool CSettingsStore::Change(const std::string& section, const std::string& key, const std::string* value)
{
    if (!StorableName(section) || !StorableName(key) || (value != nullptr && !StorableValue(*value))) {
        m_lastError = "a setting name or value holds characters that cannot be stored";
        return false;
    }
    CFolderLock lock(m_path);
    std::vector<Section> sections = Load();
    auto owner = std::find_if(sections.begin(), sections.end(),
                              [&](const Section& s) { return SameName(s.name, section); });
    if (owner == sections.end()) {
        if (value == nullptr)
            return true;
        sections.push_back(Section{section, {}});
        owner = sections.end() - 1;
    }
    auto entry = std::find_if(owner->entries.begin(), owner->entries.end(),
                              [&](const auto& e) { return SameName(e.first, key); });
    if (value == nullptr) {
        if (entry == owner->entries.end())
            return true;
        owner->entries.erase(entry);
    } else if (entry == owner->entries.end()) {
        owner->entries.emplace_back(key, *value);
    } else {
        entry->second = *value;
    }
    return Store(sections);
}

CSettingsStore::Entries CSettingsStore::ReadSection(const std::string& section) const
{
    for (Section& s : Load()) {
        if (SameName(s.name, section))
            return std::move(s.entries);
    }
    return {};
}

bool CSettingsStore::ReadString(const std::string& section, const std::string& key, std::string& value) const
{
    for (const auto& [name, text] : ReadSection(section)) {
        if (SameName(name, key)) {
            value = text;
            return true;
        }
    }
    return false;
}

bool CSettingsStore::ReadDword(const std::string& section, const std::string& key, int& value) const
{
    std::string text;
    if (!ReadString(section, key, text) || text.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    long number = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || number < INT32_MIN || number > INT32_MAX)
        return false;
    value = static_cast<int>(number);
    return true;
}

bool CSettingsStore::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    return Change(section, key, &value);
}

bool CSettingsStore::WriteDword(const std::string& section, const std::string& key, int value)
{
    return WriteString(section, key, std::to_string(value));
}

bool CSettingsStore::Remove(const std::string& section, const std::string& key)
{
    return Change(section, key, nullptr);
}

CSettingsStore& Settings()
{
    static CSettingsStore store;
    return store;
}
