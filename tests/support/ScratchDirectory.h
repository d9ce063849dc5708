#pragma once

#include <filesystem>
#include <string>

// A folder of one test's own under the temporary directory, made with a unique name (several
// builds run their test suites on one machine at once, so a fixed name is shared by test
// programs that do not know of each other) and removed with what it holds when it goes.
class CScratchDirectory {
public:
    explicit CScratchDirectory(const std::string& prefix = "tessarin-test");
    ~CScratchDirectory();
    CScratchDirectory(const CScratchDirectory&) = delete;
    CScratchDirectory& operator=(const CScratchDirectory&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // The path of `leaf` inside the folder.
    std::string File(const std::string& leaf) const { return (m_path / leaf).string(); }

private:
    std::filesystem::path m_path;
};
