#pragma once

#include "files/DataFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

// A scratch folder per test and process (several builds may run the tests at once), removed
// afterwards.
class KitScratch {
public:
    KitScratch()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = fs::path(::testing::TempDir()) /
                 (std::string("tessarin_kit_") + std::to_string(::getpid()) + "_" + info->test_suite_name() + "_" +
                  info->name());
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~KitScratch() { fs::remove_all(m_path); }
    std::string File(const std::string& name) const { return (m_path / name).string(); }
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

inline std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteAll(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

inline std::string Enciphered(const std::string& text, const std::string& key)
{
    std::vector<char> bytes = EncipherDataFile(text, key);
    return std::string(bytes.begin(), bytes.end());
}

inline const std::string kDemoKit = DEMO_KIT_DIR;
inline const std::string kDemoKey = "DemoKitDataKey-2026-R0205";

// The demo kit's configuration as plain text.
inline std::string DemoConfig()
{
    DataFileText file = ReadDataFile(kDemoKit + "/patcher.dat", kConfigFileKey);
    EXPECT_TRUE(file.Ok());
    return file.Text();
}

inline std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}
