#pragma once

#include <string>

// Names in a folder, for records that must never take another's name (the carry-over records).

// Gives the file `from` the new name `to` in the same folder and drops its old name, only when
// `to` is not taken. 0 on success, EEXIST when `to` exists already, else the system's errno.
int MoveToNewName(const std::string& from, const std::string& to);
// Removes the file's name: 0, or the errno (ENOENT when it was not there).
int RemoveFileName(const std::string& path);
// Makes the folder's names survive a power cut (a no-op where the system does so itself).
void SyncFolder(const std::string& folder);
// A regular file of this user's, looked at without following a link.
bool IsOwnRegularFile(const std::string& path);
// This process's number, for names no other running program uses.
unsigned long ProcessNumber();
// Makes a new folder, this user's only, named `prefix` followed by characters that no other
// name in its folder has, and puts its path in `made`. 0, or the errno.
int MakeNewFolder(const std::string& prefix, std::string& made);
