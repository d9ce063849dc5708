#include "errors/Error.h"
#include "sim/model/RadioProfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

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

namespace {

std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

std::string HexOf(const std::vector<uint8_t>& bytes)
{
    std::string text;
    char two[3];
    for (uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02X", b);
        text += two;
    }
    return text;
}

// The lines of the configuration block that starts with `name`.
std::vector<std::string> Block(const std::string& config, const std::string& name)
{
    std::istringstream in(config);
    std::vector<std::string> lines;
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (inside && !line.empty() && line.find(',') == std::string::npos &&
            line.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_") == std::string::npos)
            break;
        if (inside)
            lines.push_back(line);
        inside = inside || line == name;
    }
    return lines;
}

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    std::string f;
    while (std::getline(in, f, ','))
        fields.push_back(f);
    return fields;
}

// Whether the radio's status replies pass the kit's verification block (runs of entries with
// the same selector pass when any entry does).
bool PassesVerification(const RadioProfile& radio, const std::vector<std::string>& block)
{
    std::map<std::string, bool> runPassed;
    int n = std::stoi(block.at(0));
    for (int i = 1; i <= n; ++i) {
        std::vector<std::string> f = Fields(block.at(i));
        auto reply = radio.status.find(static_cast<uint8_t>(std::stoi(f[0], nullptr, 16)));
        std::string text = reply == radio.status.end() ? "" : std::string(reply->second.begin(), reply->second.end());
        std::string expected = f[5];
        if (f[2] == "01") {
            expected.clear();
            for (std::size_t j = 0; j + 1 < f[5].size(); j += 2)
                expected += static_cast<char>(std::stoi(f[5].substr(j, 2), nullptr, 16));
        }
        std::size_t length = std::stoul(f[4], nullptr, 16);
        bool ok = expected == "*" || text.substr(0, length) == expected.substr(0, length);
        runPassed[f[0]] = runPassed[f[0]] || ok;
    }
    for (const auto& [selector, passed] : runPassed)
        if (!passed)
            return false;
    return true;
}

TEST(ShippedProfiles, DemoRadiosAnswerWhatTheDemoKitChecks)
{
    std::filesystem::path source(TESSARIN_SOURCE_DIR);
    std::string config = ReadText(source / "kits" / "demo" / "patcher.txt");
    ASSERT_FALSE(config.empty());
    for (const char* name : {"demo.json", "demo-dm470-256k.json"}) {
        RadioProfile radio = LoadRadioProfile((source / "sim" / "profiles" / name).string());
        EXPECT_NE(config.find(HexOf(radio.status.at(15))), std::string::npos) << name;
        EXPECT_TRUE(PassesVerification(radio, Block(config, "VERIFICATION_BLOCK"))) << name;
        std::string model(radio.status.at(0).begin(), radio.status.at(0).end());
        model = model.substr(0, model.find(' '));
        EXPECT_NE(config.find("\n" + model + ","), std::string::npos) << name;
    }
    RadioProfile demo = LoadRadioProfile((source / "sim" / "profiles" / "demo.json").string());
    std::string identity(demo.status.at(3).begin(), demo.status.at(3).end());
    EXPECT_NE(config.find("\n" + identity + ","), std::string::npos) << "the full plan's row";

    RadioProfile other = LoadRadioProfile((source / "sim" / "profiles" / "unmatched.json").string());
    EXPECT_EQ(config.find(HexOf(other.status.at(15))), std::string::npos);
}

}  // namespace
