#pragma once

#include "errors/Error.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class CLog;

// The process-wide error log. Every layer writes diagnostic lines and hexadecimal dumps to
// it. Sink 0 is the file log; sink 1 is whatever else the platform offers (a memory log
// under the simulator). Each sink writes only while its enabled flag here is on; the sinks
// themselves are created, and say "Start Logging", on the first write, the file sink only
// when it is switched on or an upgrade attempt starts the log (Clear). The file is opened at
// most once per run (until DropSinks): Clear empties the open file in place.
class CErrorLog {
public:
    CErrorLog() = default;
    CErrorLog(const CErrorLog&) = delete;
    CErrorLog& operator=(const CErrorLog&) = delete;
    ~CErrorLog();

    // printf-style; a null format writes nothing. A line is cut at 511 characters.
    void Log(const char* format, ...) __attribute__((format(TESSARIN_PRINTF_FORMAT, 2, 3)));
    // Upper-case hex, two digits a byte, no separators; a dump longer than 511 bytes goes on
    // as many lines as it needs.
    void LogBytes(const uint8_t* bytes, std::size_t count);
    void EnableFileLog(uint8_t enable) { m_fileSinkEnabled = enable; }
    void EnableSink1(uint8_t enable) { m_sink1Enabled = enable; }
    // Starts the log afresh: the file sink emptied in place (made now if it was not yet) with
    // a new "Start Logging" line, and a cleared sink 1.
    void Clear();

    // Sink 0 or 1 once created; null before the first write or when the platform has none.
    CLog* Sink(int number) const;
    // Deletes both sinks, so that the next write asks the (possibly new) platform again.
    void DropSinks();

    static constexpr std::size_t kMaxDumpBytesPerLine = 511;

private:
    void EnsureSinks();
    void OpenFileSink();
    void WriteLine(const char* line);

    uint8_t m_sink1Enabled = 0;
    uint8_t m_fileSinkEnabled = 0;
    std::unique_ptr<CLog> m_sink1;
    std::unique_ptr<CLog> m_sink0;
    bool m_sink0Made = false;  // the file sink was asked for (it may have failed to open)
    bool m_sink1Made = false;
};

// The one error log of the process.
CErrorLog& ErrorLog();
