#include "files/FileManager.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>


#include <cstring>

namespace {

// A configuration loaded from plain text.
struct Loaded : FileManager {
    explicit Loaded(const std::string& text) { LoadText(text); }
};

TEST(FileManager, VersionBlockLinesAndNumbers)
{
    FileManager config;
    config.LoadText("PATCH-D01.01.07\r\nX\r\nY\r\nZ\r\n0A\r\n");
    std::string line;
    ASSERT_TRUE(config.GetFirstLine(line));
    EXPECT_EQ(line, "PATCH-D01.01.07");
    ASSERT_TRUE(config.FindBlock("PATCH-D01.01.07"));
    ASSERT_TRUE(config.GetLine(3, line));
    EXPECT_EQ(line, "Z");
    EXPECT_EQ(config.GetNumber(4, 1), 10);
    EXPECT_EQ(config.GetNumber(4, 1, 0), 0);
}

TEST(FileManager, NumbersFromHexadecimalFields)
{
    FileManager config;
    config.LoadText("B\r\n0100,FF,12,123456789A,,ff,7\r\n");
    ASSERT_TRUE(config.FindBlock("B"));
    struct Case {
        int field;
        int32_t value;
        bool found;
    } cases[] = {
        {1, 256, true}, {2, 255, true}, {3, 18, true},
        {4, 0x3456789A, true},  // more than 8 digits: the last four bytes remain
        {5, 0, true},           // empty field
        {6, 255, true},         // lower case read like upper case
        {7, 0, true},           // a lone digit makes no byte
        {8, 0, false},          // no such field: stops at the line end
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        EXPECT_EQ(config.GetNumber(1, c.field), c.value);
        EXPECT_EQ(config.Found(), c.found);
    }
}

TEST(FileManager, LineEndsAndTheSkippedCharacterAfterACarriageReturn)
{
    // CR LF, LF alone, and a CR whose next character is skipped unread.
    Loaded config("N\r\nA\nB\rxC\r\nD");
    ASSERT_TRUE(config.FindBlock("N"));
    const char* expected[] = {"A", "B", "C", "D"};
    std::string line;
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(config.GetLine(i + 1, line));
        EXPECT_EQ(line, expected[i]);
    }
    EXPECT_FALSE(config.GetLine(5, line));
    EXPECT_EQ(line, "");
}

TEST(FileManager, NthBlockAndCounts)
{
    Loaded config(
        "PATCH-D01.01.07\r\nRADIO_GROUP_REGION\r\nfirst\r\nRADIO_GROUP_REGION\r\nsecond\r\n"
        "RADIO_GROUP_REGION\r\nRADIO_GROUP_REGION\r\nfourth\r\n");
    EXPECT_EQ(config.CountLines("RADIO_GROUP_REGION"), 4);
    std::string line;
    struct Case {
        int n;
        bool found;
        const char* line1;
    } cases[] = {
        {1, true, "first"},
        {2, true, "second"},
        // Two name lines in a row count as one occurrence: the third is the pair.
        {3, true, "RADIO_GROUP_REGION"},
        {4, false, ""},
        {0, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        EXPECT_EQ(config.FindNthBlock("RADIO_GROUP_REGION", c.n), c.found);
        config.GetLine(1, line);
        EXPECT_EQ(line, c.line1);
    }
}

TEST(FileManager, AbsentBlocksLinesAndFieldsAreReported)
{
    Loaded config("PATCH-D01.01.07\r\nT\r\nBLOCK\r\n1,2\r\n");
    std::string text;
    EXPECT_FALSE(config.FindBlock("MISSING"));
    EXPECT_FALSE(config.GetLine(1, text));
    EXPECT_EQ(config.GetNumber(1, 1), 0);
    EXPECT_FALSE(config.Found());

    ASSERT_TRUE(config.FindBlock("BLOCK"));
    EXPECT_TRUE(config.GetField(1, 2, text));
    EXPECT_EQ(text, "2");
    EXPECT_FALSE(config.GetField(1, 3, text));
    EXPECT_FALSE(config.GetField(2, 1, text));
    EXPECT_FALSE(config.GetField(0, 1, text));
    std::vector<uint8_t> bytes;
    EXPECT_FALSE(config.GetBytes(5, 1, bytes));
    EXPECT_TRUE(bytes.empty());

    // A name line that ends the text has no lines below it.
    Loaded last("A\r\nLAST");
    EXPECT_TRUE(last.FindBlock("LAST"));
    EXPECT_FALSE(last.GetLine(1, text));
    EXPECT_EQ(last.GetNumber(1, 1), 0);
}

TEST(FileManager, FieldsAreTakenAsTheyAre)
{
    Loaded config("B\r\n 1,1,*,,AB01FF\r\n");
    ASSERT_TRUE(config.FindBlock("B"));
    std::string a, b;
    config.GetField(1, 1, a);
    config.GetField(1, 2, b);
    EXPECT_NE(a, b);
    EXPECT_EQ(a, " 1");
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(config.GetBytes(1, 5, bytes));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0xAB, 0x01, 0xFF}));
    std::string converted;
    ASSERT_TRUE(config.GetField(1, 5, converted, 1));
    EXPECT_EQ(converted, std::string("\xAB\x01\xFF" "1FF", 6));  // the rest stays as it was
}

TEST(FileManager, NamesCompareExactly)
{
    Loaded config("PRODUCT_LINE \r\nA\r\nproduct_line\r\nB\r\nPRODUCT_LINE\r\nC\r\n");
    std::string name;
    ASSERT_TRUE(config.GetProductLine(name));
    EXPECT_EQ(name, "C");
    EXPECT_EQ(config.CountLines("PRODUCT_LINE"), 1);
}

TEST(FileManager, HexToBytesTable)
{
    struct Case {
        const char* text;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"00FF7A", {0x00, 0xFF, 0x7A}},
        {"E58EC154", {0xE5, 0x8E, 0xC1, 0x54}},
        {"abc", {0xAB}},
        {"", {}},
    };
    for (const Case& c : cases) {
        uint8_t out[8] = {};
        std::size_t n = HexToBytes(c.text, std::strlen(c.text), out);
        EXPECT_EQ(std::vector<uint8_t>(out, out + n), c.bytes) << c.text;
    }
    EXPECT_TRUE(IsHexText("0A"));
    EXPECT_FALSE(IsHexText("0a"));
    EXPECT_FALSE(IsHexText("0A1"));
    EXPECT_FALSE(IsHexText(""));
}

TEST(FileManager, OpensAndLoadsTheEncipheredFileInTheCurrentDirectory)
{
    CScratchDirectory dir{"tessarin-files"};
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    {
        FileManager missing;
        EXPECT_FALSE(missing.Open());
    }
    WriteBytes("patcher.dat", EncipherDataFile("PATCH-D01.01.07\r\nTitle\r\n", kConfigFileKey));
    FileManager config;
    EXPECT_TRUE(config.Open());
    EXPECT_TRUE(config.Load());
    std::string line;
    config.GetFirstLine(line);
    EXPECT_EQ(line, "PATCH-D01.01.07");

    WriteText("bad.dat", std::string(12, 'x'));
    FileManager bad;
    ASSERT_TRUE(bad.Open("bad.dat"));
    EXPECT_FALSE(bad.Load());
    EXPECT_EQ(bad.LoadStatus(), DataFileStatus::BadSize);
    std::filesystem::current_path(previous);
}

}  // namespace

// Lines of a block read in any order, in one block and then another, and after loading other
// text, are the lines counted from the block's mark.
TEST(FileManager, LinesReadInAnyOrderAcrossBlocksAndLoads)
{
    Loaded config("A\r\na1\r\na2\r\na3\r\nB\r\nb1\r\nb2\r\n");
    struct Case {
        const char* block;
        int line;
        const char* text;  // null: the text ends before the line
    } cases[] = {
        {"A", 3, "a3"}, {"A", 1, "a1"}, {"A", 2, "a2"}, {"A", 2, "a2"}, {"A", 5, "b1"}, {"A", 9, nullptr},
        {"A", 4, "B"},  {"B", 2, "b2"}, {"B", 1, "b1"}, {"A", 2, "a2"}, {"B", 3, nullptr}, {"B", 2, "b2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.block) + " line " + std::to_string(c.line));
        ASSERT_TRUE(config.FindBlock(c.block));
        std::string line;
        EXPECT_EQ(config.GetLine(c.line, line), c.text != nullptr);
        if (c.text) {
            EXPECT_EQ(line, c.text);
        }
    }
    config.LoadText("A\r\nx1\r\nx2\r\n");
    ASSERT_TRUE(config.FindBlock("A"));
    std::string line;
    ASSERT_TRUE(config.GetLine(2, line));
    EXPECT_EQ(line, "x2");
    config.LoadText("A\r\ny1\r\n");
    ASSERT_TRUE(config.FindBlock("A"));
    EXPECT_FALSE(config.GetLine(2, line));
}

// The line number of a character, asked in any order and again after loading other text.
TEST(FileManager, TextLineNumbersInAnyOrder)
{
    // Lines start at 0 ("A"), 3 ("bb", after CR LF), 6 ("", after LF), 7 ("", ended by a CR
    // that skips the "x"), 9 ("c") and 12 ("d").
    Loaded config("A\r\nbb\n\n\rxc\r\nd");
    struct Case {
        std::size_t index;
        int number;
    } cases[] = {
        {11, 5}, {0, 1}, {3, 2}, {5, 2}, {6, 3}, {9, 5}, {2, 1}, {7, 4}, {8, 4}, {40, 6}, {4, 2}, {12, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(config.TextLineNumber(c.index), c.number);
    }
    config.LoadText("x\ny\n");
    EXPECT_EQ(config.TextLineNumber(1), 1);
    EXPECT_EQ(config.TextLineNumber(2), 2);
    EXPECT_EQ(config.TextLineNumber(9), 2);
    config.LoadText("x\n");
    EXPECT_EQ(config.TextLineNumber(9), 1);
}

// Blocks asked for in any order, between blocks of another name, after one that is not there,
// and after loading other text, are found as a search from the top finds them.
TEST(FileManager, NthBlocksInAnyOrder)
{
    Loaded config(
        "PATCH-D01.01.07\r\nRADIO_GROUP_REGION\r\nfirst\r\nRADIO_GROUP_REGION\r\nsecond\r\n"
        "RADIO_GROUP_REGION\r\nRADIO_GROUP_REGION\r\nfourth\r\n");
    const char* group = "RADIO_GROUP_REGION";
    const char* version = "PATCH-D01.01.07";
    struct Case {
        const char* name;
        int n;
        const char* line1;  // null: not found
    } cases[] = {
        {group, 2, "second"}, {group, 3, group},   {group, 1, "first"},    {group, 4, nullptr},
        {group, 3, group},    {version, 1, group}, {group, 2, "second"},   {version, 2, nullptr},
        {group, 2, "second"}, {group, 0, nullptr}, {group, 3, group},      {group, 1, "first"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.n));
        EXPECT_EQ(config.FindNthBlock(c.name, c.n), c.line1 != nullptr);
        std::string line;
        config.GetLine(1, line);
        EXPECT_EQ(line, c.line1 ? c.line1 : "");
    }
    config.LoadText("RADIO_GROUP_REGION\r\nonly\r\n");
    std::string line;
    EXPECT_FALSE(config.FindNthBlock(group, 2));
    ASSERT_TRUE(config.FindNthBlock(group, 1));
    ASSERT_TRUE(config.GetLine(1, line));
    EXPECT_EQ(line, "only");
}
