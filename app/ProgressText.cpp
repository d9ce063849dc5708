#include "app/ProgressText.h"

#include <cstdio>

std::string FormatDuration(double seconds)
{
    long total = seconds < 0 ? 0 : static_cast<long>(seconds + 0.5);
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

std::string ProgressReportText(const ProgressReport& report, double sinceReport)
{
    if (report.Finished())
        return {};
    std::string text = "Stage " + std::to_string(report.stageNumber) + " of " + std::to_string(report.stageCount) +
                       ": " + report.stageName;
    if (report.secondsLeft >= 0) {
        double left = report.secondsLeft - (sinceReport > 0 ? sinceReport : 0);
        text += ", about " + FormatDuration(left < 0 ? 0 : left) + " left";
    }
    return text;
}
