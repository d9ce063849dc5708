#pragma once

#include <cstdio>
#include <string>

// A stream a command writes to (or reads from), as text: an anonymous scratch file.
class Capture {
public:
    Capture() : m_file(std::tmpfile()) {}
    explicit Capture(const std::string& input) : m_file(std::tmpfile())
    {
        std::fputs(input.c_str(), m_file);
        std::rewind(m_file);
    }
    ~Capture() { std::fclose(m_file); }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;
    std::FILE* File() { return m_file; }
    std::string Text()
    {
        std::fflush(m_file);
        std::rewind(m_file);
        std::string text;
        for (int c; (c = std::fgetc(m_file)) != EOF;)
            text += static_cast<char>(c);
        return text;
    }

private:
    std::FILE* m_file;
};
