#pragma once

#include "platform/UiServices.h"

#include <string>

// "1:05", "12:00", "1:02:03".
std::string FormatDuration(double seconds);

// How both front ends word an engine run's progress report:
// "Stage 4 of 6: Firmware, about 0:48 left". `sinceReport`: seconds since the report came,
// which the time left has run down by meanwhile (never below 0).
std::string ProgressReportText(const ProgressReport& report, double sinceReport = 0);
