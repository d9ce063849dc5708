#include "authoring/KitInspect.h"

#include "KitFixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// A copy of the demo kit whose configuration and files a case may change.
struct KitCase {
    const char* name;
    std::function<std::string(std::string)> config;
    std::function<void(const CScratchDirectory&)> files;
    const char* problem;  // a text the problem report must hold
};

KitOutcome InspectVariant(const CScratchDirectory& dir, const KitCase& c)
{
    fs::remove_all(dir.File("kit"));
    fs::copy(kDemoKit, dir.File("kit"));
    const std::string config = c.config ? c.config(DemoConfig()) : DemoConfig();
    WriteAll(dir.File("kit/patcher.dat"), Enciphered(config, kConfigFileKey));
    if (c.files)
        c.files(dir);
    return KitInspect(dir.File("kit"));
}

auto Edit(std::string from, std::string to)
{
    return [from, to](std::string text) { return Replace(text, from, to); };
}

TEST(KitInspect, TheDemoKitIsUsable)
{
    KitOutcome outcome = KitInspect(kDemoKit);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    for (const char* text : {"product line: 5 PILLAN, window title \"Radio Refurbix\"", "radio groups: 1",
                             "fw_512k (firmware): 14336 records", "cp_demo (codeplug image): 35 records",
                             "PATCHER_DATA_BLOCK: 2 groups", "The kit is usable."})
        EXPECT_NE(outcome.out.find(text), std::string::npos) << text << "\n" << outcome.out;
}

TEST(KitInspect, EachProblemIsStatedWithItsPlace)
{
    CScratchDirectory dir{"tessarin-kit"};
    const KitCase cases[] = {
        {"other version", Edit("PATCH-D01.01.07", "PATCH-D01.01.08"), nullptr,
         "The configuration file used is not compatible with the current application!"},
        {"unknown product line", Edit("\r\nPILLAN\r\n", "\r\npillan\r\n"), nullptr,
         "PRODUCT_LINE line 1 (file line 7): \"pillan\": Unknown product line in configuration file. Press OK to exit."},
        {"empty data key", Edit("DemoKitDataKey-2026-R0205", ""), nullptr, "the data-file key is empty"},
        {"short identifier", Edit("7E5A1C3B9D2F40618C0B5E7A3D9F2C41", "7E5A1C3B9D2F40618C0B5E7A3D9F2C4"), nullptr,
         "RADIO_GROUP_REGION line 6 (file line 14): the radio identifier"},
        {"verification count beyond its lines", Edit("VERIFICATION_BLOCK\r\n04", "VERIFICATION_BLOCK\r\n05"), nullptr,
         "VERIFICATION_BLOCK line 6 (file line 21): is the block name \"MODEL_MATCHING_BLOCK\""},
        {"verification bytes", Edit("08,00,01,00,02,A55A", "08,00,01,00,02,A55"), nullptr,
         "is not a hexadecimal byte string"},
        {"verification length beyond its value", Edit("04,00,00,00,02,P5", "04,00,00,00,03,P5"), nullptr,
         "the length 3 (field 5) is longer than the value"},
        {"count not hexadecimal", Edit("MODEL_MATCHING_BLOCK\r\n02", "MODEL_MATCHING_BLOCK\r\n2"), nullptr,
         "MODEL_MATCHING_BLOCK line 1 (file line 22): field 1 \"2\" is not a hexadecimal number"},
        {"model level", Edit(",01,00,STD,cp_demo,DM-450", ",1x,00,STD,cp_demo,DM-450"), nullptr,
         "field 4 \"1x\" is not a decimal level"},
        {"radio matching fields", Edit("R01.00,01,01,03,01,01,01,00,01", "R01.00,01,01,03,01,01,01,00"), nullptr,
         "RADIO_MATCHING_BLOCK line 2 (file line 30): has 8 fields, 9 expected"},
        {"codeplug mode", Edit("*,00,00,03,01", "*,00,00,04,01"), nullptr,
         "Syntax error in patch script file : RADIO_MATCHING_BLOCK"},
        {"codeplug planned without a file", Edit("*,00,00,03,01,00,00,00,01", "*,00,00,03,01,00,00,03,01"),
         nullptr, "a model entry at position 2 has no codeplug file"},
        {"patch group missing",
         [](std::string text) { return text.substr(0, text.rfind("20,00,03,0000,00,00")); }, nullptr,
         "patch group 2 is missing"},
        {"patch kind", Edit("50,00,03,0000,00,00", "40,00,03,0000,00,00"), nullptr, "kind 0x0040 is not a patch kind"},
        {"firmware missing", nullptr, [](const CScratchDirectory& d) { fs::remove(d.File("kit/fw_256k")); },
         "fw_256k: Unable to open firmware file!\nPlease make sure installation is completed successfully"},
        {"codeplug corrupt", nullptr, [](const CScratchDirectory& d) { WriteAll(d.File("kit/cp_demo"), std::string(12, 'x')); },
         "cp_demo: The required data file is corrupted and unuseable\nPlease reinstall the application!"},
        {"boot code too large", nullptr,
         [](const CScratchDirectory& d) { WriteAll(d.File("kit/bc38400"), Enciphered(std::string(9992, 'S'), kDemoKey)); },
         "bc38400: Boot code file is non-existent or corrupt !!: Terminating program"},
        {"boot code with a header record", nullptr,
         [](const CScratchDirectory& d) {
             WriteAll(d.File("kit/bc19200"), Enciphered("S0030000FC\r\nS9030000FC\r\n", kDemoKey));
         },
         "bc19200: Read bootcode S-Record file failed"},
        {"firmware without its end record", nullptr,
         [](const CScratchDirectory& d) {
             const std::string text = "S20840000001020304AD\r\nS2084000040506070899\r\n";
             WriteAll(d.File("kit/fw_128k"), Enciphered(text, kDemoKey));
         },
         "fw_128k: does not end with an S9 record"},
        {"firmware beyond its flash", nullptr,
         [](const CScratchDirectory& d) {
             const std::string text = "S20842000001020304AB\r\nS9030000FC\r\n";
             WriteAll(d.File("kit/fw_128k"), Enciphered(text, kDemoKey));
         },
         "fw_128k: records reach"},
        {"configuration with another key", nullptr,
         [](const CScratchDirectory& d) { WriteAll(d.File("kit/patcher.dat"), Enciphered(DemoConfig(), "other")); },
         "not compatible"},
        // A corrupt count stops at the first missing line: one problem, not one per count.
        {"verification count far beyond its lines", Edit("VERIFICATION_BLOCK\r\n04", "VERIFICATION_BLOCK\r\n7FFFFFFF"), nullptr,
         "VERIFICATION_BLOCK line 6 (file line 21): is the block name"},
        {"model count far beyond its lines", Edit("MODEL_MATCHING_BLOCK\r\n02", "MODEL_MATCHING_BLOCK\r\n7FFFFFFF"), nullptr,
         "MODEL_MATCHING_BLOCK line"},
        {"entries per model far beyond the lines", Edit("MODEL_MATCHING_BLOCK\r\n02\r\n02", "MODEL_MATCHING_BLOCK\r\n7FFFFFFF\r\n7FFFFFFF"),
         nullptr, "MODEL_MATCHING_BLOCK line"},
        {"radio matching count far beyond its lines", Edit("RADIO_MATCHING_BLOCK\r\n02", "RADIO_MATCHING_BLOCK\r\n7FFFFFFF"), nullptr,
         "RADIO_MATCHING_BLOCK line 4"},
    };
    for (const KitCase& c : cases) {
        SCOPED_TRACE(c.name);
        KitOutcome outcome = InspectVariant(dir, c);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_NE(outcome.err.find(c.problem), std::string::npos) << outcome.err;
        EXPECT_NE(outcome.out.find("The kit is not usable"), std::string::npos);
        EXPECT_LT(outcome.problems, 10) << outcome.err;
        EXPECT_LT(outcome.err.size() + outcome.out.size(), 20000u);
    }
}

TEST(KitInspect, ATestingKitIsNotedButUsable)
{
    CScratchDirectory dir{"tessarin-kit"};
    KitCase c{"testing kit", Edit("\r\nbc19200\r\n", "\r\ntbc19200\r\n"),
              [](const CScratchDirectory& d) { fs::copy(d.File("kit/bc19200"), d.File("kit/tbc19200")); }, ""};
    KitOutcome outcome = InspectVariant(dir, c);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_NE(outcome.out.find("testing kit"), std::string::npos);
}

TEST(KitInspect, AMissingConfigurationIsReported)
{
    CScratchDirectory dir{"tessarin-kit"};
    KitOutcome outcome = KitInspect(dir.File("nothing"));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("Unable to open configuration file"), std::string::npos);
}

}  // namespace

namespace {

std::string DataFileTextOf(const std::string& path, const std::string& key)
{
    return ReadDataFile(path, key).Text();
}

std::string LayoutImage(const std::string& name)
{
    return ReadAll(std::string(TESSARIN_LAYOUTS_DIR) + "/" + name);
}

}  // namespace

TEST(KitInspect, CodeplugImagesAreDecodedWithTheModelOfTheKitsLayout)
{
    CScratchDirectory dir{"tessarin-kit"};
    struct Case {
        const char* name;
        const char* type;     // line 4 of the version block
        const char* image;    // the layout image put in place of cp_demo, null: cp_demo itself
        const char* firstRecord;  // replaces cp_demo's first record when given
        const char* said;     // in the report (problems or out)
        int status;
    };
    const Case cases[] = {
        {"block model", "01", nullptr, nullptr, "ADK: P1 0x0100", 0},
        {"pointer table", "02", "ride.s19", nullptr, "pointer-table layout: region end", 0},
        {"fixed address", "03", "fixed-extended.s19", nullptr, "fixed-address layout: region end", 0},
        {"first region beyond the image", "01", nullptr, "S1130000FF000000000000000000010020000000CC",
         "Unable to determine codeplug format", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KitCase k{c.name, Edit("DemoKitDataKey-2026-R0205\r\n01\r\n", std::string("DemoKitDataKey-2026-R0205\r\n") + c.type + "\r\n"),
                  [&c](const CScratchDirectory& d) {
                      std::string text = c.image ? LayoutImage(c.image)
                                                 : DataFileTextOf(d.File("kit/cp_demo"), kDemoKey);
                      if (c.firstRecord)
                          text = c.firstRecord + text.substr(text.find("\r\n"));
                      WriteAll(d.File("kit/cp_demo"), Enciphered(text, kDemoKey));
                  },
                  ""};
        KitOutcome outcome = InspectVariant(dir, k);
        EXPECT_EQ(outcome.status, c.status) << outcome.err;
        EXPECT_NE((outcome.out + outcome.err).find(c.said), std::string::npos) << outcome.out << outcome.err;
    }
}
