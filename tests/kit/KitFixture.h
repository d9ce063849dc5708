#pragma once

#include "files/DataFile.h"
#include "tests/support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

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
