#include "platform/SettingsStore.h"

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "errors/Error.h"
#include "platform/AtomicFile.h"
#include "platform/InputFile.h"
#include "platform/PrivateLock.h"
#include "platform/RegistrySettings.h"
#include "platform/UserFolders.h"

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

// The settings file as one name whatever way it was reached: its folder made canonical.
std::string LockKey(const std::string& path)
{
    std::error_code error;
    std::filesystem::path full = std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
    return full.empty() ? path : full.string();
}

} // namespace

CSettingsStore::CSettingsStore(std::string path) : m_path(std::move(path)) {}

std::string CSettingsStore::DefaultPath()
{
    return SettingsFilePath();
}

namespace {
// What one line of the file is, as far as the settings go.
struct ParsedLine {
    enum class Kind { Other, Header, BrokenHeader, Entry } kind = Kind::Other;
    std::string name;   // section of a header, key of an entry
    std::string value;  // value of an entry
};

ParsedLine Parse(const std::string& raw)
{
    std::string line = Trim(raw);
    ParsedLine parsed;
    if (line.empty() || line[0] == ';' || line[0] == '#')
        return parsed;
    if (line.front() == '[') {
        if (line.back() != ']' || line.size() < 3) {
            parsed.kind = ParsedLine::Kind::BrokenHeader;
            return parsed;
        }
        parsed.kind = ParsedLine::Kind::Header;
        parsed.name = Trim(line.substr(1, line.size() - 2));
        return parsed;
    }
    std::size_t equals = line.find('=');
    if (equals == std::string::npos || equals == 0)
        return parsed;
    parsed.kind = ParsedLine::Kind::Entry;
    parsed.name = Trim(line.substr(0, equals));
    parsed.value = Trim(line.substr(equals + 1));
    return parsed;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Where (section, key) sits among the lines: the entry lines that hold it and the line after
// which a new entry of that section belongs (npos when the section is not there).
struct Place {
    std::vector<std::size_t> entries;
    std::size_t insertAfter = std::string::npos;
};

Place Find(const std::vector<std::string>& lines, const std::string& section, const std::string& key)
{
    Place place;
    bool inside = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ParsedLine parsed = Parse(lines[i]);
        if (parsed.kind == ParsedLine::Kind::Header || parsed.kind == ParsedLine::Kind::BrokenHeader) {
            inside = parsed.kind == ParsedLine::Kind::Header && SameName(parsed.name, section);
            if (inside)
                place.insertAfter = i;
        } else if (inside && parsed.kind == ParsedLine::Kind::Entry) {
            place.insertAfter = i;
            if (SameName(parsed.name, key))
                place.entries.push_back(i);
        }
    }
    return place;
}
} // namespace

CSettingsStore::FileText CSettingsStore::ReadFileText() const
{
    FileText file;
    InputFileText read = TryReadInputFile(m_path, InputFileRules{InputLimit::kSettings, "settings file"});
    switch (read.state) {
    case InputFileText::State::Absent:
        file.state = FileText::State::Absent;
        break;
    case InputFileText::State::Read:
        file.state = FileText::State::Read;
        file.text = std::move(read.bytes);
        file.mode = read.mode & 0777;
        break;
    case InputFileText::State::Refused:
        file.error = read.reason;
        break;
    }
    return file;
}

std::vector<CSettingsStore::Section> CSettingsStore::Load() const
{
    std::vector<Section> sections;
    FileText file = ReadFileText();
    if (file.state == FileText::State::Unreadable) {
        m_lastError = UnreadableText(file.error);
        return sections;
    }
    Section* current = nullptr;
    for (const std::string& line : SplitLines(file.text)) {
        ParsedLine parsed = Parse(line);
        if (parsed.kind == ParsedLine::Kind::BrokenHeader) {
            current = nullptr;  // a broken header: skip its entries rather than misfile them
        } else if (parsed.kind == ParsedLine::Kind::Header) {
            auto found = std::find_if(sections.begin(), sections.end(),
                                      [&](const Section& s) { return SameName(s.name, parsed.name); });
            if (found == sections.end()) {
                sections.push_back(Section{parsed.name, {}});
                current = &sections.back();
            } else {
                current = &*found;
            }
        } else if (parsed.kind == ParsedLine::Kind::Entry && current != nullptr) {
            auto found = std::find_if(current->entries.begin(), current->entries.end(),
                                      [&](const auto& entry) { return SameName(entry.first, parsed.name); });
            if (found == current->entries.end())
                current->entries.emplace_back(parsed.name, parsed.value);
            else
                found->second = parsed.value;  // the last of repeated keys wins
        }
    }
    return sections;
}

std::string CSettingsStore::Unreadable() const
{
    if (RegistrySettings::IsLocation(m_path)) {
        m_lastError = RegistrySettings::Unreadable(m_path);
        return m_lastError;
    }
    FileText file = ReadFileText();
    if (file.state != FileText::State::Unreadable)
        return {};
    m_lastError = UnreadableText(file.error);
    return "cannot read the settings file " + m_path + " (" + file.error + ")";
}

std::string CSettingsStore::UnreadableText(const std::string& reason) const
{
    return "cannot read the settings file " + m_path + " (" + reason +
           "); it was left as it is and nothing was saved. Give it back to your user "
           "(for example: sudo chown $USER " + m_path + ") or move it away, then try again";
}

bool CSettingsStore::Store(const std::string& text, std::optional<mode_t> mode)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path target(m_path);
    if (target.has_parent_path())
        fs::create_directories(target.parent_path(), error);
    try {
        // A file that is there keeps its mode exactly (a private 0600 file stays private); a
        // new one is readable by others, as the user's umask allows.
        if (mode)
            WriteFileAtomically(m_path, text, *mode, FileModeRule::Exact);
        else
            WriteFileAtomically(m_path, text, FileMode::kShared);
    } catch (const CError& failure) {
        m_lastError = failure.GetText();
        return false;
    }
    return true;
}

bool CSettingsStore::Change(const std::string& section, const std::string& key, const std::string* value)
{
    if (!StorableName(section) || !StorableName(key) || (value != nullptr && !StorableValue(*value))) {
        m_lastError = "a setting name or value holds characters that cannot be stored";
        return false;
    }
    if (RegistrySettings::IsLocation(m_path)) {
        // The registry changes one value at a time by itself.
        return value == nullptr ? RegistrySettings::Remove(m_path, section, key, m_lastError)
                                : RegistrySettings::WriteText(m_path, section, key, *value, m_lastError);
    }
    // Two programs of this user writing at once must not lose each other's entries: they agree
    // through a lock file of this user's own, never through the settings folder, which another
    // user who may read it could lock.
    CPrivateLock lock("settings", LockKey(m_path), CPrivateLock::Mode::Exclusive, m_lockWait);
    if (!lock.Locked()) {
        if (lock.Busy())
            m_lastError = "the settings file " + m_path + " stayed locked by another program for " +
                          std::to_string(m_lockWait.count()) +
                          " ms; nothing was saved. Close other Tessarin windows and commands, then try again";
        else
            m_lastError = "cannot lock the settings file " + m_path + ": " + lock.Error() + "; nothing was saved";
        return false;
    }
    FileText file = ReadFileText();
    if (file.state == FileText::State::Unreadable) {
        m_lastError = UnreadableText(file.error);
        return false;
    }
    // Only the one entry changes: comments, unknown sections and lines this store does not
    // understand stay exactly as they were.
    std::vector<std::string> lines = SplitLines(file.text);
    Place place = Find(lines, section, key);
    if (value == nullptr) {
        if (place.entries.empty())
            return true;
        for (auto it = place.entries.rbegin(); it != place.entries.rend(); ++it)
            lines.erase(lines.begin() + static_cast<long>(*it));
    } else if (!place.entries.empty()) {
        lines[place.entries.back()] = key + "=" + *value;  // the last of repeated keys is the one read
    } else if (place.insertAfter != std::string::npos) {
        lines.insert(lines.begin() + static_cast<long>(place.insertAfter) + 1, key + "=" + *value);
    } else {
        if (!lines.empty() && !Trim(lines.back()).empty())
            lines.emplace_back();
        lines.push_back("[" + section + "]");
        lines.push_back(key + "=" + *value);
    }
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return Store(text, file.state == FileText::State::Read ? std::optional<mode_t>(file.mode) : std::nullopt);
}

CSettingsStore::Entries CSettingsStore::ReadSection(const std::string& section) const
{
    if (RegistrySettings::IsLocation(m_path)) {
        Entries entries;
        RegistrySettings::ReadSection(m_path, section, entries, m_lastError);
        return entries;
    }
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
    if (RegistrySettings::IsLocation(m_path) && StorableName(section) && StorableName(key))
        return RegistrySettings::WriteNumber(m_path, section, key, value, m_lastError);
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
