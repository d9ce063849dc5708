#include "CodeplugFixture.h"

#include "codeplug/CodeplugFactory.h"
#include "authoring/CodeplugImageFile.h"
#include "authoring/CodeplugInspector.h"
#include "files/SRecord.h"
#include "link/LinkFlags.h"

#include <gmock/gmock.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

using ::testing::HasSubstr;

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string BuilderError(const std::string& description)
{
    try {
        BuildImage(description);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

TEST(CodeplugBuilderTest, RefusesDescriptionsItCannotLayOut)
{
    struct Case {
        const char* description;
        const char* error;
    } cases[] = {
        {"block 1 @0 esize=1\nend", "\"size\" must come first"},
        {"size 64\nbytes 62 01 02 03", "run past the image end"},
        {"size 64\nblock 1 @0x10 esize=4\nentry 01\nend\nblock 2 @0x12 esize=1\nend", "overlaps what line 2"},
        {"size 64\nblock 1 @0x10 esize=2\nentry 01 02 03\nend", "longer than the entry size"},
        {"size 64\nblock 1 @0x10 esize=2", "has no \"end\""},
        {"size 2048\nride 73 @0x400 data=4", "found through block 72"},
        {"size 64\nfrobnicate", "unknown directive"},
        {"size 64\nbytes 0 0G", "hexadecimal"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_THAT(BuilderError(c.description), HasSubstr(c.error));
    }
}

TEST(CodeplugBuilderTest, SRecordsLoadBackByteForByte)
{
    std::vector<uint8_t> image(100);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<uint8_t>(i * 7);
    std::string text = ImageToSRecords(image);
    SRecord reader;
    reader.AttachText(text.c_str());
    EXPECT_TRUE(reader.CheckFirstRecord());
    EXPECT_EQ(reader.CountRecords(), 4u);
    EXPECT_EQ(reader.GetEndAddress(), 100u);
    std::vector<uint8_t> loaded(128);
    ImageBuffer buffer{loaded.data(), 0};
    ASSERT_TRUE(reader.LoadData(buffer, 128));
    loaded.resize(static_cast<std::size_t>(buffer.size));
    EXPECT_EQ(loaded, image);
    // Every record's checksum is right.
    uint8_t data[256];
    SRecordData record{data, 0, 0};
    reader.AttachText(text.c_str());
    while (reader.ReadNextRecord(record) || record.length != 0)
        ASSERT_TRUE(record.length > 0);
}

TEST(CodeplugBuilderTest, RewrittenRecordsKeepTheirAddresses)
{
    // Two records with a gap between them: the data stay where loading packs them.
    std::string original = "S1050010AABB84\r\nS1040100CC2E\r\nS9030000FC\r\n";
    const uint8_t packed[] = {0x01, 0x02, 0x03};
    std::string rewritten = RewriteSRecords(original, packed, 3);
    EXPECT_EQ(rewritten, "S10500100102E7\r\nS104010003F7\r\nS9030000FC\r\n");
}

TEST(CodeplugBuilderTest, RewrittenRecordsCarryRecordsOfOtherTypes)
{
    // A header record first and a count record before the end: both stay, byte for byte, and
    // every data record still gets its bytes.
    std::string original = "S00600004844521B\r\nS1050010AABB84\r\nS1040100CC2E\r\nS5030002FA\r\nS9030000FC\r\n";
    const uint8_t packed[] = {0x01, 0x02, 0x03};
    EXPECT_EQ(RewriteSRecords(original, packed, 3),
              "S00600004844521B\r\nS10500100102E7\r\nS104010003F7\r\nS5030002FA\r\nS9030000FC\r\n");
    // Bytes that no record of the original holds are refused, not dropped.
    EXPECT_NE(ErrorText([&] { RewriteSRecords(original, packed, 2); }), "");
    const uint8_t more[] = {0x01, 0x02, 0x03, 0x04};
    EXPECT_NE(ErrorText([&] { RewriteSRecords(original, more, 4); }), "");
}

// The committed images are what the builder makes of the descriptions beside them, and every
// checksum they hold is right.
class LayoutImageTest : public ::testing::TestWithParam<std::pair<const char*, int>> {};

TEST_P(LayoutImageTest, ImageMatchesItsDescriptionAndChecks)
{
    auto [name, type] = GetParam();
    std::string base = std::string(TESSARIN_LAYOUTS_DIR) + "/" + name;
    std::string text = ImageToSRecords(BuildImage(ReadText(base + ".cpd")));
    EXPECT_EQ(ReadText(base + ".s19"), text) << "rebuild " << base << ".s19 with tessarin codeplug build";

    int previous = GetProductLineNumber();
    SetProductLineNumber(11);
    auto codeplug = CreateCodeplug(type);
    codeplug->SetImageText(text.c_str(), "");
    SRecord reader;
    reader.AttachText(text.c_str());
    codeplug->ReadCpFile(reader);
    reader.Detach();
    ASSERT_TRUE(codeplug->InitRdkPtrs());
    std::vector<CpCheckLine> lines = CheckCodeplug(*codeplug);
    EXPECT_GE(lines.size(), 4u);
    for (const CpCheckLine& line : lines)
        EXPECT_TRUE(line.ok) << line.what << ": " << line.detail;
    for (const CpBlockLine& line : ListCodeplugBlocks(*codeplug))
        EXPECT_THAT(line.problem, ::testing::Not(HasSubstr("unreadable"))) << FormatBlockId(line.id);
    SetProductLineNumber(previous);
}

INSTANTIATE_TEST_SUITE_P(Kits, LayoutImageTest,
                         ::testing::Values(std::make_pair("adk", 1), std::make_pair("ride", 2),
                                           std::make_pair("fixed-extended", 3), std::make_pair("fixed-basic", 3)),
                         [](const auto& info) {
                             std::string n = info.param.first;
                             for (char& c : n)
                                 if (c == '-')
                                     c = '_';
                             return n;
                         });

TEST(CodeplugCheckTest, NamesEachChecksumThatIsWrong)
{
    std::vector<uint8_t> image =
        BuildImage(std::string(kAdkFrame) + "block 1 @0x100 esize=2 flags=0xC0\nentry 01 02\nentry 03 04\nend");
    image[0x104] ^= 0x01;  // entry 0's checksum byte
    CCodeplug codeplug;
    LoadImage(codeplug, image);
    ASSERT_TRUE(codeplug.InitRdkPtrs());
    std::vector<std::string> failed;
    for (const CpCheckLine& line : CheckCodeplug(codeplug))
        if (!line.ok)
            failed.push_back(line.what);
    EXPECT_THAT(failed, ::testing::ElementsAre("entry 0 of block 1", "block 1", "region 3"));
}

TEST(CodeplugCheckTest, RangeBeyondTheImageFailsWithoutReadingItWhole)
{
    std::vector<uint8_t> image = BuildImage(std::string(kAdkFrame) + "block 1 @0x100 esize=2\nentry 01 02\nend");
    CCodeplug codeplug;
    LoadImage(codeplug, image);
    uint8_t sum = 0;
    for (uint32_t at = 0xF0; at <= 0x3A0; ++at)
        sum = static_cast<uint8_t>(sum + image[at]);
    EXPECT_EQ(SumCodeplugRange(codeplug, 0xF0, 0x3A0), sum);
    // Ranges a corrupt header can give: up to the last address, and the whole address space
    // (whose length does not fit 32 bits).
    for (uint32_t from : {0x100u, 0u}) {
        SCOPED_TRACE(from);
        EXPECT_THROW(SumCodeplugRange(codeplug, from, 0xFFFFFFFF), CGenError);
    }
}

}  // namespace
