#pragma once

#include "tests/support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

// A test with a scratch folder of its own (`dir`), made before it runs and removed after it.
class ScratchDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_scratch = std::make_unique<CScratchDirectory>("tessarin-test");
        dir = m_scratch->Path();
    }
    void TearDown() override { m_scratch.reset(); }

    std::string PathOf(const std::string& leaf) const { return (dir / leaf).string(); }
    // Writes `text` into `leaf`, making the folders on its way.
    void WriteFile(const std::string& leaf, const std::string& text) const
    {
        std::filesystem::create_directories((dir / leaf).parent_path());
        std::ofstream(dir / leaf, std::ios::binary) << text;
    }
    std::string ReadFile(const std::string& leaf) const { return Contents(PathOf(leaf)); }
    static std::string Contents(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // The names in the folder, sorted.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::filesystem::path dir;

private:
    std::unique_ptr<CScratchDirectory> m_scratch;
};
