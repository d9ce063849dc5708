#pragma once

#include <string>

// Where this user's carry-over records are kept: $TESSARIN_STATE_DIR when set; else, on
// Linux, $XDG_STATE_HOME/tessarin/carryover or ~/.local/state/tessarin/carryover; on Windows
// %LOCALAPPDATA%\Tessarin\carryover.
std::string CarryOverFolder();

// The settings file: $TESSARIN_SETTINGS when set; else, on Linux,
// $XDG_CONFIG_HOME/tessarin/settings.ini or ~/.config/tessarin/settings.ini.
std::string SettingsFilePath();
