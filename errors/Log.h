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
class CwFileLog : public CLog {
public:
    explicit CwFileLog(const char* fileName);
    ~CwFileLog() override;
    bool ClearLog() override;
    void WriteResource(int stringId) override;
    void WriteLine(const char* text) override;

    const char* Path() const { return m_path; }
    // The folder the file sink writes into; empty means the current directory at start.
    static void SetDirectory(const std::string& directory);
    static const std::string& Directory();

private:
    char m_path[256] = {};
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
