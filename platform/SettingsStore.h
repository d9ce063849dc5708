#pragma once

#include <chrono>
#include <optional>
#include <sys/types.h>
#include <string>
#include <utility>
#include <vector>

// The user's settings between runs, shared by the windowed program and the command line: a
// small text file of sections ("[Ports]") holding "key=value" lines. Every read looks at the
// file afresh, so two programs see each other's changes. Reading is tolerant: lines that are
// neither a section, an entry, a comment (";" or "#") nor blank are skipped. Every write
// reads the file again, changes the one entry's line and replaces the file atomically, keeping
// its mode, so every other line (comments, unknown sections, lines it does not understand)
// stays as it was and no half-written file is left behind; a private lock file of this
// user's is held meanwhile (platform/PrivateLock.h; waiting at most LockWait for another
// program), so programs writing at once lose nothing either. The file is read through the
// one input-file reader (a regular file of at most 1 MB, never blocking). A file that exists
// but cannot be read is never written over: the write fails and LastError says why. Section
// and key names match regardless of letter case. A path that names a registry key
// (RegistrySettings.h, the default on Windows) keeps the same sections and entries there.
class CSettingsStore {
public:
    using Entries = std::vector<std::pair<std::string, std::string>>;

    explicit CSettingsStore(std::string path = DefaultPath());

    // $TESSARIN_SETTINGS when set; else $XDG_CONFIG_HOME/tessarin/settings.ini; else
    // ~/.config/tessarin/settings.ini.
    static std::string DefaultPath();

    const std::string& Path() const { return m_path; }
    void SetPath(std::string path) { m_path = std::move(path); }

    // The reads store into `value` only on success (a missing or unreadable entry keeps the
    // caller's default) and return whether they did; an unreadable file also sets LastError.
    bool ReadDword(const std::string& section, const std::string& key, int& value) const;
    bool ReadString(const std::string& section, const std::string& key, std::string& value) const;
    // The writes return false when the file cannot be written (LastError says why) or the
    // key or value cannot be stored (line breaks, "=" or "[" in a key).
    bool WriteDword(const std::string& section, const std::string& key, int value);
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);
    bool Remove(const std::string& section, const std::string& key);
    // Every entry of a section, in file order.
    Entries ReadSection(const std::string& section) const;

    const std::string& LastError() const { return m_lastError; }
    // Empty when the file can be read now or does not exist yet; otherwise why it cannot be
    // read ("cannot read the settings file PATH (reason)"), so that a caller never takes the
    // defaults for the saved values without saying so.
    std::string Unreadable() const;

    static constexpr std::chrono::milliseconds kDefaultLockWait{10'000};
    void SetLockWait(std::chrono::milliseconds wait) { m_lockWait = wait; }

private:
    struct Section {
        std::string name;
        Entries entries;
    };
    struct FileText {
        enum class State { Absent, Read, Unreadable } state = State::Unreadable;
        std::string text;
        std::string error;  // why it could not be read
        mode_t mode = 0;    // its permission bits when read
    };
    FileText ReadFileText() const;
    std::string UnreadableText(const std::string& reason) const;
    std::vector<Section> Load() const;
    // Replaces the file; one that was there keeps its mode exactly (`mode`), a new one is
    // readable by others as the umask allows.
    bool Store(const std::string& text, std::optional<mode_t> mode);
    bool Change(const std::string& section, const std::string& key, const std::string* value);

    std::string m_path;
    mutable std::string m_lastError;
    std::chrono::milliseconds m_lockWait = kDefaultLockWait;
};

// The sections the program keeps its settings in: the communication settings ("Port ID",
// "ORX Echo Type") under "Communication", the port table ("COM3=/dev/ttyUSB0") under "Ports",
// window positions ("X", "Y") under "Settings".
namespace SettingsSection {
inline constexpr const char* kCommunication = "Communication";
inline constexpr const char* kPorts = "Ports";
inline constexpr const char* kWindow = "Settings";
} // namespace SettingsSection

// The settings of this user (created on first use at the default location).
CSettingsStore& Settings();
