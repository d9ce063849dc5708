// Linked into every test program: the error log's file sink writes into a scratch folder of
// this run, removed at the end, never into the folder the tests are started from.
#include "errors/Log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

class LogDirectoryEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() / ("tessarin-test-log-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
        CwFileLog::SetDirectory(m_dir.string());
    }
    void TearDown() override
    {
        CwFileLog::SetDirectory("");
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

private:
    std::filesystem::path m_dir;
};

// Registered before main runs the tests; the framework owns and deletes it.
[[maybe_unused]] ::testing::Environment* const g_logDirectory =
    ::testing::AddGlobalTestEnvironment(new LogDirectoryEnvironment);

}  // namespace
