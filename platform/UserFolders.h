#pragma once

#include <string>

// Where this user's carry-over records are kept: $TESSARIN_STATE_DIR when set; else, on
// Linux, $XDG_STATE_HOME/tessarin/carryover or ~/.local/state/tessarin/carryover; on Windows
// %LOCALAPPDATA%\Tessarin\carryover.
std::string CarryOverFolder();

// The folder the command line writes its error log in when asked for one without a file name:
// empty for the current directory (Linux); %LOCALAPPDATA%\Tessarin on Windows, where the
// current directory is often the program's own folder, which a technician may not write (the
// folder is made when it is not there).
std::string DefaultLogFolder();

// Where the settings are kept: $TESSARIN_SETTINGS (a file) when set; else, on Linux, the file
// $XDG_CONFIG_HOME/tessarin/settings.ini or ~/.config/tessarin/settings.ini; on Windows the
// registry key HKEY_CURRENT_USER\Software\Tessarin (RegistrySettings.h).
std::string SettingsFilePath();
