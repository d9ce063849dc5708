#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

// The progress of an upgrade on a terminal or in a log. Live: one line redrawn in place with a
// bar, the percentage, the stage, the elapsed time and the time left. Plain (not a terminal): a
// line per stage and per 10 %. Fed with the main frame's progress messages and texts.
class CProgressLine {
public:
    using Clock = std::chrono::steady_clock;

    CProgressLine(std::FILE* out, bool live) : m_out(out), m_live(live) {}

    void Open(unsigned total, bool percentageMode);
    void Step();
    void Close();
    // A status bar notice (1 boot code, 2 flashing, 3 checksum or end, other: end).
    void Notice(unsigned kind);
    // The progress window's text; its first line, without the dots, names the stage.
    void SetText(const std::string& text);
    // Redraws the live line (the clock moves); nothing in plain mode.
    void Refresh();
    // Takes the live line off the screen before other output, and puts it back after.
    void Suspend();
    void Resume();

    // The stage a text names: "Programming flash ROM...\nWARNING!!" -> "Programming flash ROM".
    static std::string StageOf(const std::string& text);
    // "1:05", "12:00", "1:02:03".
    static std::string FormatSeconds(double seconds);

private:
    void StageLine(const std::string& stage);
    void Draw();

    std::FILE* m_out;
    bool m_live;
    bool m_open = false;
    bool m_drawn = false;
    unsigned m_total = 0;
    unsigned m_position = 0;
    int m_lastTenth = -1;
    std::string m_stage;
    std::string m_pendingNotice;  // what a notice shows until it is ended
    Clock::time_point m_started;
};
