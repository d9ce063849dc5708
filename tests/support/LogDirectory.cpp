// Linked into every test program: the error log's file sink writes into a scratch folder of
// this run, removed at the end, never into the folder the tests are started from; and the
// settings file and the carry-over records live there too unless the test program chose its
// own, so that no test reads or leaves anything in the user's own folders, and test programs
// running at the same time (several builds on one machine) never see each other's files.
#include "errors/Log.h"
#include "platform/Environment.h"
#include "tests/support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

class LogDirectoryEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        m_dir = std::make_unique<CScratchDirectory>("tessarin-test-log");
        CwFileLog::SetDirectory(m_dir->Path().string());
        SetEnvironmentValue("TESSARIN_SETTINGS", m_dir->File("settings.ini"), false);
        SetEnvironmentValue("TESSARIN_STATE_DIR", m_dir->File("carryover"), false);
    }
    void TearDown() override
    {
        CwFileLog::SetDirectory("");
        m_dir.reset();
    }

private:
    std::unique_ptr<CScratchDirectory> m_dir;
};

// Registered before main runs the tests; the framework owns and deletes it.
[[maybe_unused]] ::testing::Environment* const g_logDirectory =
    ::testing::AddGlobalTestEnvironment(new LogDirectoryEnvironment);

}  // namespace
