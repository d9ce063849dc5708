#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// A log sink. Start switches it on and writes "Start Logging"; a sink writes only while on.
class CLog {
public:
    virtual ~CLog() = default;
    virtual bool ClearLog() = 0;
    // Writes a built-in text by its id; nothing when there is no such text.
    virtual void WriteResource(int stringId) = 0;
    virtual void WriteLine(const char* text) = 0;

    void Start();
    bool IsEnabled() const { return m_enabled != 0; }

protected:
    uint8_t m_enabled = 0;
};

// The log file: each line stamped "%m/%d/%y %H:%M:%S  " and ended with "\r\n", written in
// one write and flushed. Creating the sink empties the file.
//
// The file is opened without following a link, only as a regular file this user owns, and is
// created with mode 0600: a link or another user's file planted under the log's name is left
// alone. A path that does not fit is refused rather than cut. A failure to open is reported
// once per run ("Unable to open Log file for writing" with the path and the reason) and the
// sink then writes nothing; logging never stops the work.
class CwFileLog : public CLog {
public:
    explicit CwFileLog(const char* fileName);
    ~CwFileLog() override;
    bool ClearLog() override;
    void WriteResource(int stringId) override;
    void WriteLine(const char* text) override;

    const char* Path() const { return m_path; }
    bool IsOpen() const { return m_file != nullptr; }

    // Where the file sink writes. By default the file name in the folder given here (the start
    // directory; empty means the current directory). The command line switches the file off
    // and names it only when asked (--log [FILE]).
    static void SetDirectory(const std::string& directory);
    static const std::string& Directory();
    // An exact path for the log file instead of directory and name.
    static void SetFilePath(const std::string& path);
    // Whether the platform makes a file sink at all.
    static void SetFileWanted(bool wanted);
    static bool FileWanted();

    static constexpr std::size_t kPathSize = 4096;

private:
    static void Report(const std::string& path, const std::string& reason);

    char m_path[kPathSize] = {};
    std::FILE* m_file = nullptr;
};

// A sink that keeps its lines in memory, for tests and for front ends that show the log.
class CMemoryLog : public CLog {
public:
    bool ClearLog() override;
    void WriteResource(int stringId) override;
    void WriteLine(const char* text) override;

    const std::vector<std::string>& Lines() const { return m_lines; }

private:
    std::vector<std::string> m_lines;
};

// The texts that WriteResource knows by id (none are defined yet: null for every id).
const char* LookUpLogResource(int stringId);
