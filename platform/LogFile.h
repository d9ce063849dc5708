#pragma once

#include <cstdio>
#include <string>

// The error log's file: opened for writing never through a link, used only when it is a
// regular file of this user with no other names, created private to the user, emptied.
// Returns the open file, or null with `reason` set (in the user's words).
std::FILE* OpenPrivateLogFile(const std::string& path, std::string& reason);

// Empties an open file in place (not by its name, which could reach another file by now) and
// goes back to its start.
void EmptyOpenFile(std::FILE* file);
