#pragma once

#include <filesystem>

// Makes a directory current for as long as it lives and puts the previous one back (the engine
// opens the kit's firmware files by their bare names). When the directory cannot be entered
// the current one stays and Entered() is false.
class CDirectoryScope {
public:
    explicit CDirectoryScope(const std::filesystem::path& directory)
    {
        std::error_code error;
        m_previous = std::filesystem::current_path(error);
        if (error)
            return;
        std::filesystem::current_path(directory, error);
        m_entered = !error;
    }
    ~CDirectoryScope()
    {
        if (m_entered) {
            std::error_code error;
            std::filesystem::current_path(m_previous, error);
        }
    }
    CDirectoryScope(const CDirectoryScope&) = delete;
    CDirectoryScope& operator=(const CDirectoryScope&) = delete;
    bool Entered() const { return m_entered; }

private:
    std::filesystem::path m_previous;
    bool m_entered = false;
};
