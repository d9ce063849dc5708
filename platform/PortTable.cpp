#include "platform/PortTable.h"

#include "platform/SettingsStore.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

unsigned ComPortNumber(const std::string& key)
{
    if (key.size() < 4 || key.size() > 5)
        return 0;
    for (int i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(key[static_cast<std::size_t>(i)])) != "COM"[i])
            return 0;
    }
    if (!std::all_of(key.begin() + 3, key.end(), [](unsigned char c) { return std::isdigit(c); }))
        return 0;
    unsigned number = static_cast<unsigned>(std::strtoul(key.c_str() + 3, nullptr, 10));
    return number <= CPortTable::kMaxNumber ? number : 0;
}

std::string CanonicalDevicePath(const std::string& path)
{
    std::error_code error;
    fs::path resolved = fs::canonical(path, error);
    return error ? path : resolved.string();
}

CPortTable::CPortTable(CSettingsStore& store, Finder finder, Checker checker)
    : m_store(store), m_finder(std::move(finder)), m_checker(std::move(checker))
{
}

std::vector<PortEntry> CPortTable::Entries() const
{
    std::map<unsigned, PortEntry> table;
    std::set<std::string> named;
    auto take = [&](unsigned number, const std::string& path, const std::string& name, PortEntry::Source source) {
        if (number == 0 || path.empty() || table.count(number) != 0)
            return;
        table[number] = PortEntry{number, path, name, source, SerialDevicePresent(path)};
        named.insert(CanonicalDevicePath(path));
    };
    // Saved entries that cannot be read must not be taken over by the devices found: COM3
    // would then name whatever device comes third, not the one saved as COM3. Only the
    // devices named by their path in this run keep their numbers.
    const bool unreadable = !m_store.Unreadable().empty();
    if (!unreadable) {
        for (const auto& [key, path] : m_store.ReadSection(kSection))
            take(ComPortNumber(key), path, "", PortEntry::Source::Saved);
    }
    for (const auto& [number, path] : m_thisRun)
        take(number, path, "", PortEntry::Source::ThisRun);
    if (unreadable) {
        std::vector<PortEntry> entries;
        for (auto& [number, entry] : table)
            entries.push_back(std::move(entry));
        return entries;
    }

    unsigned next = 1;
    for (const SerialDevice& device : m_finder()) {
        if (named.count(CanonicalDevicePath(device.path)) != 0)
            continue;
        // A device the system numbers itself (COM5 on Windows) keeps its number while free.
        if (device.number >= 1 && device.number <= kMaxNumber && table.count(device.number) == 0) {
            take(device.number, device.path, device.name, PortEntry::Source::Found);
            continue;
        }
        while (next <= kMaxNumber && table.count(next) != 0)
            ++next;
        if (next > kMaxNumber)
            break;
        take(next, device.path, device.name, PortEntry::Source::Found);
    }
    std::vector<PortEntry> entries;
    for (auto& [number, entry] : table)
        entries.push_back(std::move(entry));
    return entries;
}

std::string CPortTable::Unreadable() const { return m_store.Unreadable(); }

std::string CPortTable::PathFor(unsigned number) const
{
    for (const PortEntry& entry : Entries()) {
        if (entry.number == number)
            return entry.path;
    }
    return {};
}

unsigned CPortTable::AssignPath(const std::string& path)
{
    std::vector<PortEntry> entries = Entries();
    const std::string wanted = CanonicalDevicePath(path);
    for (const PortEntry& entry : entries) {
        if (entry.path == path || CanonicalDevicePath(entry.path) == wanted) {
            // A found device's number could move when devices come and go: pin it.
            if (entry.source == PortEntry::Source::Found)
                m_thisRun[entry.number] = entry.path;
            m_givenByPath.insert(entry.number);
            return entry.number;
        }
    }
    // Lowest number neither saved, assigned nor taken by a found device.
    unsigned number = 1;
    for (const PortEntry& entry : entries) {
        if (entry.number != number)
            break;
        ++number;
    }
    if (number > kMaxNumber)
        return 0;
    m_thisRun[number] = path;
    m_givenByPath.insert(number);
    return number;
}

bool CPortTable::Save(unsigned number, const std::string& path)
{
    if (number < 1 || number > kMaxNumber) {
        m_lastError = "a port number is between 1 and " + std::to_string(kMaxNumber);
        return false;
    }
    m_lastError = m_checker(path);
    if (!m_lastError.empty())
        return false;
    if (!m_store.WriteString(kSection, "COM" + std::to_string(number), path)) {
        m_lastError = m_store.LastError();
        return false;
    }
    return true;
}

bool CPortTable::Forget(unsigned number)
{
    m_thisRun.erase(number);
    m_givenByPath.erase(number);
    return m_store.Remove(kSection, "COM" + std::to_string(number));
}

CPortTable& PortTable()
{
    static CPortTable table(Settings());
    return table;
}

std::vector<PortEntry> ListAvailablePorts() { return PortTable().Entries(); }
