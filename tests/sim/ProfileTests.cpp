#include "errors/Error.h"
#include "sim/model/RadioProfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

std::string ErrorOf(const std::string& json)
{
    try {
        ParseRadioProfile(json, "radio.json");
    } catch (const CGenError& e) {
        return e.GetText();
    }
    return "";
}

TEST(RadioProfile, ReadsEverySection)
{
    RadioProfile p = ParseRadioProfile(R"({
        "name": "demo", "productLine": 11, "ackByte": "0x06", "echo": false,
        "status": {"0": {"text": "AB12 X"}, "15": {"hex": "00 01 02"}},
        "unsupportedSelectors": [9, "0x0A"],
        "codeplug": {"fill": "0x00", "bytes": [{"address": "0x3FF0", "hex": "55"}]},
        "flash": {"sizeKB": 128, "initial": "erased", "applicationMarks": ["0x400000", "0x41FFF0"]},
        "bootstrap": {"loader": "K4", "baud": 4430, "pulseByte": "0xFC"},
        "timing": {"eraseSeconds": 4.5, "ackLatencyMs": 1}
    })", "/tmp/x/radio.json");
    EXPECT_EQ(p.productLine, 11);
    EXPECT_FALSE(p.echo);
    EXPECT_EQ(p.status.at(0), (std::vector<uint8_t>{'A', 'B', '1', '2', ' ', 'X'}));
    EXPECT_EQ(p.status.at(15), (std::vector<uint8_t>{0, 1, 2}));
    EXPECT_EQ(p.unsupportedSelectors, (std::vector<uint8_t>{9, 10}));
    EXPECT_EQ(p.codeplugFill, 0);
    EXPECT_EQ(p.codeplugBytes.at(0).first, 0x3FF0u);
    EXPECT_EQ(p.FlashSize(), 128u * 1024);
    EXPECT_FALSE(p.flashInitiallyProgrammed);
    EXPECT_EQ(p.applicationMarks.size(), 2u);
    EXPECT_EQ(p.loader, LoaderKind::K4);
    EXPECT_EQ(p.bootstrapBaud, 4430);
    EXPECT_DOUBLE_EQ(p.eraseTime, 4.5);
    EXPECT_DOUBLE_EQ(p.ackLatency, 0.001);
    EXPECT_EQ(p.BlockAnswerBytes(), 16);
}

TEST(RadioProfile, ErrorsNameTheFileAndTheKey)
{
    struct Case {
        const char* json;
        const char* key;
    } cases[] = {
        {R"({})", "productLine"},
        {R"({"productLine": 4, "flash": {"sizeKB": 300}})", "flash.sizeKB"},
        {R"({"productLine": 4, "flash": {"sizKB": 256}})", "flash.sizKB"},
        {R"({"productLine": 4, "status": {"3": {"txt": "A"}}})", "status.3"},
        {R"({"productLine": 4, "status": {"x": {"text": "A"}}})", "status.x"},
        {R"({"productLine": 4, "bootstrap": {"loader": "Z80"}})", "bootstrap.loader"},
        {R"({"productLine": 4, "timing": {"eraseSeconds": 25}})", "timing.eraseSeconds"},
        {R"({"productLine": 4, "ackByte": 96})", "ackByte"},
        {R"({"productLine": 4, "codeplug": {"bytes": [{"address": "0xFFFF", "hex": "0102"}]}})", "codeplug.bytes[0]"},
        {R"({"productLine": "four"})", "productLine"},
    };
    for (const Case& c : cases) {
        std::string text = ErrorOf(c.json);
        EXPECT_NE(text.find("radio.json"), std::string::npos) << c.json << " -> " << text;
        EXPECT_NE(text.find(std::string("\"") + c.key + "\""), std::string::npos) << c.json << " -> " << text;
    }
    EXPECT_NE(ErrorOf("{\"productLine\": ").find("not valid JSON"), std::string::npos);
}

TEST(RadioProfile, ShippedProfilesLoad)
{
    std::filesystem::path dir = std::filesystem::path(TESSARIN_SOURCE_DIR) / "sim" / "profiles";
    int loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".json")
            continue;
        EXPECT_NO_THROW(LoadRadioProfile(entry.path().string())) << entry.path();
        ++loaded;
    }
    EXPECT_GE(loaded, 2);
}

}  // namespace
