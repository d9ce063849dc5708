#pragma once

#include <string>

// Every path the program takes from its environment or its command line is made absolute
// when the program starts, in the folder it was started in. The work later enters other
// folders (the kit folder, for the engine's bare file names); a relative path taken then
// would name another file (a settings file, a log, a record store inside the kit folder).

// Rewrites the path variables of the environment this program reads: TESSARIN_SETTINGS,
// TESSARIN_STATE_DIR and HOME are made absolute; XDG_CONFIG_HOME and XDG_STATE_HOME, which
// must be absolute by their definition, are dropped when they are not (they are then
// ignored, as their definition says). Call once at start, before any thread is started.
void MakeEnvironmentPathsAbsolute();

// `path` made absolute in the current folder ("" and "-", standard input, stay as they are).
// The name itself is kept (no links are resolved).
std::string AbsolutePath(const std::string& path);
