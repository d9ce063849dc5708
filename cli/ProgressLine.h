#pragma once

#include "platform/UiServices.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

// The progress of an upgrade on a terminal or in a log. Live: one line redrawn in place with a
// bar, the percentage, the stage (numbered among the run's stages), the elapsed time and the
// time left. Plain (not a terminal): a line per stage and per 10 %. Fed with the main frame's
// progress messages, the status notices and the engine's progress reports, whose stage and
// time left it shows as they are (app/ProgressText.h words them).
class CProgressLine {
public:
    using Clock = std::chrono::steady_clock;

    CProgressLine(std::FILE* out, bool live) : m_out(out), m_live(live) {}

    void Open(unsigned total, bool percentageMode);
    void Step();
    void Close();
    // A status bar notice (1 boot code, 2 flashing, 3 checksum or end, other: end).
    void Notice(unsigned kind);
    // The engine's report: the stage that runs and the time left; a finished one ends the run.
    void Report(const ProgressReport& report);
    // A line of its own: what the workflow is doing.
    void Activity(const std::string& text);
    // Redraws the live line (the clock moves); nothing in plain mode.
    void Refresh();
    // Takes the live line off the screen before other output, and puts it back after.
    void Suspend();
    void Resume();

    // "1:05", "12:00", "1:02:03".
    static std::string FormatSeconds(double seconds);

private:
    // A bar or a stage is up.
    bool Showing() const { return m_open || m_reporting; }
    void Draw();

    std::FILE* m_out;
    bool m_live;
    bool m_open = false;
    bool m_reporting = false;  // between the first report of a run and its end
    bool m_drawn = false;
    unsigned m_total = 0;
    unsigned m_position = 0;
    int m_lastTenth = -1;
    ProgressReport m_report;
    Clock::time_point m_reportAt;
    std::string m_pendingNotice;  // what a notice shows until it is ended
    Clock::time_point m_started;
};
