#include "files/DataFile.h"
#include "files/ProductLine.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>


namespace {

TEST(ProductLine, TableRows)
{
    for (int id = 0; id < kProductLineCount; ++id)
        EXPECT_EQ(ProductLineTable[id].id, id);
    EXPECT_STREQ(ProductLineTable[4].name, "DORVAL");
    EXPECT_EQ(ProductLineTable[9].bitmapWidth, 480);
    EXPECT_EQ(ProductLineTable[12].bitmap, 229);
    EXPECT_STREQ(ProductLineTitleText(ProductLineTable[0].titleString), "Radio Flashix");
    EXPECT_STREQ(ProductLineTitleText(ProductLineTable[5].titleString), "Radio Refurbix");
    EXPECT_STREQ(ProductLineTitleText(ProductLineTable[4].secondTitleString), "Radio Flashix");
}

TEST(ProductLine, NamesResolveToTheirRows)
{
    struct Case {
        const char* name;
        int number;
    } cases[] = {{"TAMBER", 0}, {"QUELLO3", 2}, {"DORVAL_QUELLO", 9}, {"MOVAR_F", 12},
                 {"pillan", 13}, {"UNMATCHED", 13}, {"", 13}, {"LINDOR ", 13}};
    for (const Case& c : cases)
        EXPECT_EQ(ProductLineNumberForName(c.name), c.number) << c.name;
    EXPECT_TRUE(HasRecoveryMode(11));
    EXPECT_TRUE(HasRecoveryMode(12));
    EXPECT_FALSE(HasRecoveryMode(5));
}

TEST(ProductLine, ResolvedFromTheConfigurationFileAtStart)
{
    CScratchDirectory dir{"tessarin-files"};
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    int number = 7;
    EXPECT_FALSE(ResolveProductLine(number));  // no file: the number stays
    EXPECT_EQ(number, 7);
    WriteBytes("patcher.dat",
               EncipherDataFile("PATCH-D01.01.07\r\nPRODUCT_LINE\r\nLINDOR\r\n", kConfigFileKey));
    EXPECT_TRUE(ResolveProductLine(number));
    EXPECT_EQ(number, 11);
    std::filesystem::current_path(previous);
}

}  // namespace
