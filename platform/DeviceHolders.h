#pragma once

#include <string>
#include <vector>

// The programs that have the terminal open at `fd` besides this descriptor: "pid 1234
// (minicom)" each. The far end of a pseudo-terminal (a process holding its master, such as
// the simulated radio) opens the device only to keep it alive and is not counted. Used before
// taking over a terminal whose exclusive flag is set but whose lock is free: the flag may
// belong to a live program that does not use the lock.
std::vector<std::string> OtherHoldersOf(int fd);
