#include "tests/reliability/MatrixKit.h"

#include "files/DataFile.h"
#include "tests/support/ExpectedCodeplug.h"
#include "tests/support/FlashImage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr char kDemoKey[] = "DemoKitDataKey-2026-R0205";
// The identity mark is the calendar time and differs between runs by design.
constexpr std::size_t kIdentityMark = 0x3FF0;

// The firmware text cut to the first and the last data record (they program the radio's
// application marks) and every 256th between, so a whole upgrade takes a few dozen firmware
// requests.
std::string ShortFirmware(const std::string& full)
{
    std::istringstream lines(full);
    std::vector<std::string> data, others;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("S2", 0) == 0 || line.rfind("S1", 0) == 0)
            data.push_back(line);
        else if (!line.empty() && line != "\r")
            others.push_back(line);
    }
    std::string text;
    for (const std::string& line : others)
        if (line.rfind("S0", 0) == 0)
            text += line + "\n";
    for (std::size_t i = 0; i < data.size(); ++i)
        if (i % 256 == 0 || i + 1 == data.size())
            text += data[i] + "\n";
    for (const std::string& line : others)
        if (line.rfind("S0", 0) != 0)
            text += line + "\n";
    return text;
}

std::string Plaintext(const fs::path& file)
{
    DataFileText text = ReadDataFile(file.string(), kDemoKey);
    EXPECT_TRUE(text.Ok()) << file;
    return text.Text();
}

// The first addresses where two memories differ, past `skip`.
std::string FirstDifferences(const char* what, const std::vector<uint8_t>& actual, const std::vector<uint8_t>& expected,
                             std::size_t skip = SIZE_MAX)
{
    if (actual.size() != expected.size())
        return std::string(what) + " has " + std::to_string(actual.size()) + " bytes, expected " +
               std::to_string(expected.size());
    std::string text;
    int shown = 0;
    for (std::size_t a = 0; a < actual.size() && shown < 8; ++a) {
        if (a == skip || actual[a] == expected[a])
            continue;
        char one[48];
        std::snprintf(one, sizeof one, " %04zX: %02X (expected %02X)", a, actual[a], expected[a]);
        text += one;
        ++shown;
    }
    return text.empty() ? "" : std::string(what) + " differs at" + text;
}

}  // namespace

CMatrixKit::CMatrixKit() : m_kit(m_scratch.Path() / "kit")
{
    fs::create_directories(m_kit);
    for (const auto& entry : fs::directory_iterator(TESSARIN_DEMO_KIT))
        fs::copy_file(entry.path(), m_kit / entry.path().filename());
    for (uint32_t kb : {128u, 256u, 512u}) {
        const fs::path file = m_kit / ("fw_" + std::to_string(kb) + "k");
        m_firmware[kb] = ShortFirmware(Plaintext(file));
        std::vector<char> bytes = EncipherDataFile(m_firmware[kb], kDemoKey);
        std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
    }
    m_codeplugImage = SRecordBytes(Plaintext(m_kit / "cp_demo"));
}

std::string CMatrixKit::Differences(const BenchRun& run) const
{
    const auto firmware = m_firmware.find(static_cast<uint32_t>(run.flash.size() / 1024));
    if (firmware == m_firmware.end())
        return "a flash of " + std::to_string(run.flash.size()) + " bytes has no firmware file in the kit";
    std::string flash = FirstDifferences("the flash", run.flash,
                                         FlashImage(firmware->second, static_cast<uint32_t>(run.flash.size())));
    std::string codeplug =
        FirstDifferences("the codeplug", run.codeplug,
                         ExpectedCodeplug(run.codeplugBefore, m_codeplugImage, 0, kDemoRegionEnd, DemoRadioRules()),
                         kIdentityMark);
    return flash + (flash.empty() || codeplug.empty() ? "" : "; ") + codeplug;
}

RadioProfile DemoRadio(bool k4, uint32_t flashKB)
{
    RadioProfile profile = LoadRadioProfile(std::string(TESSARIN_PROFILES) + "/demo.json");
    if (k4)
        profile.loader = LoaderKind::K4;
    if (flashKB != profile.flashSizeKB) {
        // The firmware ends 64 KB below the top of the flash; its first and last bytes are the
        // marks of a programmed application.
        profile.flashSizeKB = flashKB;
        profile.applicationMarks = {0x400000, 0x400000 + flashKB * 1024 - 0x10001};
    }
    return profile;
}
