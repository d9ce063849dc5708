#pragma once

#include "platform/SettingsStore.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

// A serial device found on this machine.
struct SerialDevice {
    std::string path;  // the device node, links resolved (/dev/ttyUSB0)
    std::string name;  // its stable name under /dev/serial/by-id, or empty
    unsigned number = 0;  // the number the system gives it (COM5 on Windows), else 0
};

// Whether the device at `path` is there now.
bool SerialDevicePresent(const std::string& path);

// "COM7" (any case) → 7; 0 for anything else (and for numbers above 99).
unsigned ComPortNumber(const std::string& name);

// `path` with links resolved (itself when it cannot be resolved).
std::string CanonicalDevicePath(const std::string& path);

// The serial devices present: those named under <devRoot>/serial/by-id (links resolved) and
// the ttyUSB*, ttyACM* and ttyS* nodes of <devRoot>; ttyS* only where <sysRoot>/ttySN/type
// says a UART is there. No duplicates; USB adapters first, then ACM, then built-in ports,
// each in number order.
std::vector<SerialDevice> FindSerialDevices(const std::string& devRoot = "/dev",
                                            const std::string& sysRoot = "/sys/class/tty");

// Empty when `path` may name a serial port: an absolute path whose target (links resolved) is
// a character device that is a terminal (a serial port or a pseudo-terminal); otherwise what
// is wrong with it, for a message. Checked when an entry is saved and again when it is opened.
std::string CheckSerialDevicePath(const std::string& path);

// One port number and the device it names.
struct PortEntry {
    enum class Source { Saved, ThisRun, Found };
    unsigned number = 0;
    std::string path;
    std::string name;  // the by-id name of a found device, else empty
    Source source = Source::Found;
    bool present = false;  // the device node exists now
};

// Port numbers N (COMN, 1 to 99) and the devices they name. Entries saved in the settings'
// "Ports" section ("COM3=/dev/ttyUSB0") come first; paths assigned for this run next; then
// every found device not named yet gets the lowest free number, in the order found.
class CPortTable {
public:
    using Finder = std::function<std::vector<SerialDevice>()>;
    // Empty when a path may be saved, else why not.
    using Checker = std::function<std::string(const std::string&)>;

    explicit CPortTable(CSettingsStore& store, Finder finder = [] { return FindSerialDevices(); },
                        Checker checker = CheckSerialDevicePath);

    static constexpr const char* kSection = SettingsSection::kPorts;
    static constexpr unsigned kMaxNumber = 99;

    // The whole table, in number order.
    std::vector<PortEntry> Entries() const;
    // The device of port `number`, or empty when no device has that number. While the
    // settings file cannot be read, only the devices named by their path in this run have
    // numbers: the saved ones are unknown, and the devices found do not take their place.
    std::string PathFor(unsigned number) const;
    // Why the saved port table is not known (the settings file cannot be read); empty when it is.
    std::string Unreadable() const;
    // The number of a device given by its path: its number in the table if it has one, else
    // the lowest free number, kept for this run only (not saved). 0 when all are taken.
    unsigned AssignPath(const std::string& path);
    // True when `number` came from AssignPath in this run: the user named the device by its
    // path, so messages name it by that path rather than by a number the user never chose.
    bool GivenByPath(unsigned number) const { return m_givenByPath.count(number) != 0; }
    // Saves `path` as port `number`: false when the number is out of range, the path is not
    // a serial device (CheckSerialDevicePath) or the settings cannot be written; LastError
    // says which.
    bool Save(unsigned number, const std::string& path);
    const std::string& LastError() const { return m_lastError; }
    bool Forget(unsigned number);

private:
    CSettingsStore& m_store;
    Finder m_finder;
    Checker m_checker;
    std::map<unsigned, std::string> m_thisRun;
    std::set<unsigned> m_givenByPath;
    std::string m_lastError;
};

// The port table of this user's settings.
CPortTable& PortTable();

// What `tessarin ports` lists: the port table with the devices present now.
std::vector<PortEntry> ListAvailablePorts();
