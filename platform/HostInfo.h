#pragma once

#include <chrono>
#include <ctime>
#include <string>

// Who and where a run is: for records that several benches, users and processes share.

// This machine's host name ("" when it cannot be told).
std::string HostName();
// The user running the program: the login name of the effective user id, else its number.
std::string UserName();
// `when` as local time in ISO 8601 with the offset from UTC: "2026-12-11T09:41:07+01:00".
std::string LocalIsoTime(std::chrono::system_clock::time_point when);
// `when` in the local time zone.
std::tm LocalTimeOf(std::time_t when);
// `local` in ISO 8601 with `utcOffsetSeconds` as its offset from UTC.
std::string IsoTimeText(const std::tm& local, long utcOffsetSeconds);
