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
// The file is opened without following a link, only as a regular file this user owns with no
// other names, and is created with mode 0600: a link or another user's file planted under the
// log's name is left alone. A path that does not fit is refused rather than cut. A failure to
// open is never shown in a message box (it would stop an upgrade half-way for a file the work
// does not need, in a read-only kit folder for one): it is said once per run and path on
// standard error ("Unable to open Log file for writing: PATH: reason") and kept for whoever
// names the log (OpenFailure); the sink then writes nothing. Logging never stops the work.
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
    // and names it only when asked (--log [FILE]). A relative folder or path is made absolute
    // when it is given, so the log stays where it was asked for.
    static void SetDirectory(const std::string& directory);
    static const std::string& Directory();
    // An exact path for the log file instead of directory and name.
    static void SetFilePath(const std::string& path);
    // The log file open now (empty when none is), and why the last one could not be opened
    // (empty when it could): what a journal of the run names.
    static const std::string& OpenPath();
    static const std::string& OpenFailure();
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
