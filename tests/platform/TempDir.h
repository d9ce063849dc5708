#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

// A scratch folder for one test, removed afterwards.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() /
              ("tessarin-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string PathOf(const std::string& leaf) const { return (dir / leaf).string(); }
    void WriteFile(const std::string& leaf, const std::string& text) const
    {
        std::filesystem::create_directories((dir / leaf).parent_path());
        std::ofstream(dir / leaf, std::ios::binary) << text;
    }
    std::string ReadFile(const std::string& leaf) const
    {
        std::ifstream in(dir / leaf, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path dir;
};
