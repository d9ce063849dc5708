#pragma once

#include <string>
#include <utility>
#include <vector>

// The user's settings between runs, shared by the windowed program and the command line: a
// small text file of sections ("[Ports]") holding "key=value" lines. Every read looks at the
// file afresh, so two programs see each other's changes. Reading is tolerant: lines that are
// neither a section, an entry, a comment (";" or "#") nor blank are skipped. Every write
// reads the file again, changes one entry and replaces the file atomically (a temporary file
// renamed over it), so other entries are never lost and no half-written file is left behind;
// the settings folder is locked meanwhile, so programs writing at once lose nothing either.
// Section and key names match regardless of letter case.
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
    // caller's default) and return whether they did.
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

private:
    struct Section {
        std::string name;
        Entries entries;
    };
    std::vector<Section> Load() const;
    bool Store(const std::vector<Section>& sections);
    bool Change(const std::string& section, const std::string& key, const std::string* value);

    std::string m_path;
    std::string m_lastError;
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
