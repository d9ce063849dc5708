#include "platform/PortTable.h"

#include "platform/InputFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>

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

} // namespace

std::vector<SerialDevice> FindSerialDevices(const std::string& devRoot, const std::string& sysRoot)
{
    std::vector<SerialDevice> devices;
    std::set<std::string> seen;
    std::error_code error;
    auto add = [&](const std::string& node, const std::string& name) {
        std::string path = CanonicalDevicePath(node);
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

bool SerialDevicePresent(const std::string& path)
{
    std::error_code error;
    return fs::exists(path, error);
}
