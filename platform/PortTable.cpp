#include "platform/PortTable.h"

#include "platform/InputFile.h"

#include "platform/SettingsStore.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace fs = std::filesystem;

namespace {
// Sort key of a device node: kind (USB adapter, ACM, built-in, other), then its number.
std::pair<int, long> DeviceOrder(const std::string& path)
{
    static const char* const kKinds[] = {"ttyUSB", "ttyACM", "ttyS"};
    std::string leaf = fs::path(path).filename().string();
    for (int kind = 0; kind < 3; ++kind) {
        std::string prefix = kKinds[kind];
        if (leaf.rfind(prefix, 0) == 0 && leaf.size() > prefix.size() &&
            std::all_of(leaf.begin() + static_cast<long>(prefix.size()), leaf.end(),
                        [](unsigned char c) { return std::isdigit(c); }))
            return {kind, std::strtol(leaf.c_str() + prefix.size(), nullptr, 10)};
    }
    return {3, 0};
}

// A built-in port node exists for every possible UART; only a known UART type means hardware.
bool UartPresent(const std::string& sysRoot, const std::string& leaf)
{
    InputFileText type = TryReadInputFile(sysRoot + "/" + leaf + "/type", InputFileRules{InputLimit::kSystemFile, "UART type file"});
    return type.Ok() && std::strtol(type.bytes.c_str(), nullptr, 10) != 0;
}

std::string Canonical(const std::string& path)
{
    std::error_code error;
    fs::path resolved = fs::canonical(path, error);
    return error ? path : resolved.string();
}

// COM7 (any case) → 7; 0 for anything else.
unsigned NumberOfKey(const std::string& key)
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
} // namespace

std::vector<SerialDevice> FindSerialDevices(const std::string& devRoot, const std::string& sysRoot)
{
    std::vector<SerialDevice> devices;
    std::set<std::string> seen;
    std::error_code error;
    auto add = [&](const std::string& node, const std::string& name) {
        std::string path = Canonical(node);
        if (!seen.insert(path).second) {
            for (SerialDevice& known : devices) {
                if (known.path == path && known.name.empty())
                    known.name = name;
            }
            return;
        }
        devices.push_back(SerialDevice{path, name});
    };

    for (const auto& link : fs::directory_iterator(devRoot + "/serial/by-id", error)) {
        if (fs::exists(link.path(), error))
            add(link.path().string(), link.path().filename().string());
    }
    for (const auto& node : fs::directory_iterator(devRoot, error)) {
        std::string leaf = node.path().filename().string();
        int kind = DeviceOrder(leaf).first;
        if (kind == 3 || (kind == 2 && !UartPresent(sysRoot, leaf)))
            continue;
        add(node.path().string(), "");
    }
    std::stable_sort(devices.begin(), devices.end(), [](const SerialDevice& a, const SerialDevice& b) {
        auto left = DeviceOrder(a.path);
        auto right = DeviceOrder(b.path);
        return left != right ? left < right : a.path < b.path;
    });
    return devices;
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
        std::error_code error;
        table[number] = PortEntry{number, path, name, source, fs::exists(path, error)};
        named.insert(Canonical(path));
    };
    // Saved entries that cannot be read must not be taken over by the devices found: COM3
    // would then name whatever device comes third, not the one saved as COM3. Only the
    // devices named by their path in this run keep their numbers.
    const bool unreadable = !m_store.Unreadable().empty();
    if (!unreadable) {
        for (const auto& [key, path] : m_store.ReadSection(kSection))
            take(NumberOfKey(key), path, "", PortEntry::Source::Saved);
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
        if (named.count(Canonical(device.path)) != 0)
            continue;
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
    const std::string wanted = Canonical(path);
    for (const PortEntry& entry : entries) {
        if (entry.path == path || Canonical(entry.path) == wanted) {
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

std::string CheckSerialDevicePath(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return path + " is not an absolute path; give the device as /dev/ttyUSB0 or /dev/serial/by-id/...";
    struct stat info{};
    if (::stat(path.c_str(), &info) != 0)
        return path + ": " + std::strerror(errno);
    if (!S_ISCHR(info.st_mode))
        return path + " is not a serial device (not a character device)";
    const unsigned major = ::major(info.st_rdev);
    if (major >= 136 && major <= 143)  // a pseudo-terminal's program end
        return {};
    std::error_code error;
    const std::string subsystem =
        fs::read_symlink("/sys/dev/char/" + std::to_string(major) + ":" + std::to_string(::minor(info.st_rdev)) +
                             "/subsystem",
                         error)
            .filename()
            .string();
    if (subsystem != "tty")
        return path + " is not a serial device (not a terminal)";
    return {};
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
