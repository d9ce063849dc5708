// S-record files made by independent producers (srec_cat and objcopy), run at test time.
#include "files/SRecord.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <random>
#include <sstream>

namespace {

struct Producer {
    const char* name;
    std::string command;    // with IN and OUT in place of the file names
    uint32_t offset;        // load address of the data
    bool s1;                // 16-bit addresses (S9 end) rather than S2 records
    bool stripFirstLine;    // the producer always writes an S0 header record
    bool crlf;
    bool lowerCase;
};

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

std::vector<Producer> Producers()
{
    const std::string srecCat = SREC_CAT_PATH;
    const std::string objcopy = OBJCOPY_PATH;
    const std::string common = " -disable=header -disable=data-count -obs=32";
    return {
        {"srec_cat S1 LF", srecCat + " IN -binary -offset 0x0200 -o OUT -motorola -address-length=2 -execution-start-address=0" + common,
         0x0200, true, false, false, false},
        {"srec_cat S1 CRLF", srecCat + " IN -binary -offset 0x0200 -o OUT -motorola -address-length=2 -execution-start-address=0 -line-termination=crlf" + common,
         0x0200, true, false, true, false},
        {"srec_cat S2 lower case", srecCat + " IN -binary -offset 0x400000 -o OUT -motorola -address-length=3 -execution-start-address=0x400000 -obs=250 -disable=header -disable=data-count",
         0x400000, false, false, false, true},
        {"objcopy S1", objcopy + " -I binary -O srec --change-addresses 0x0100 IN OUT", 0x0100, true, true, false, false},
        {"objcopy S2 CRLF", objcopy + " -I binary -O srec --change-addresses 0x410000 --srec-len 64 IN OUT", 0x410000, false, true, true, false},
    };
}

std::string Produce(const CScratchDirectory& dir, const Producer& p, const std::vector<char>& data)
{
    WriteBytes(dir.File("in.bin"), data);
    std::string command = Replace(Replace(p.command, "IN", dir.File("in.bin")), "OUT", dir.File("out.srec"));
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::string text = ReadWhole(dir.File("out.srec"));
    if (p.stripFirstLine)
        text.erase(0, text.find('\n') + 1);
    text = Replace(text, "\r\n", "\n");
    if (p.crlf)
        text = Replace(text, "\n", "\r\n");
    if (p.lowerCase)
        for (char& c : text)
            if (c != 'S')
                c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

TEST(SRecordProducers, ReadBackWhatIndependentToolsWrote)
{
    if (std::string(SREC_CAT_PATH).empty() || std::string(OBJCOPY_PATH).empty())
        GTEST_SKIP() << "srec_cat or objcopy not installed";
    CScratchDirectory dir{"tessarin-files"};
    std::mt19937 random(7);
    std::vector<char> data(1000 + 37);
    for (char& c : data)
        c = char(random());
    for (const Producer& p : Producers()) {
        SCOPED_TRACE(p.name);
        const std::string text = Produce(dir, p, data);
        const std::size_t lines = std::size_t(std::count(text.begin(), text.end(), '\n'));
        ASSERT_GT(lines, 2u);

        SRecord reader;
        reader.AttachText(text);
        EXPECT_TRUE(reader.CheckFirstRecord());
        EXPECT_EQ(reader.CountRecords(), lines - 1);  // every line but the terminator
        if (p.s1) {
            EXPECT_EQ(reader.GetEndAddress(), p.offset + data.size());
        }

        std::vector<uint8_t> image(data.size());
        ImageBuffer buffer{image.data(), 0};
        EXPECT_TRUE(reader.LoadData(buffer, uint32_t(image.size())));
        EXPECT_EQ(std::size_t(buffer.size), data.size());
        EXPECT_TRUE(std::equal(image.begin(), image.end(), reinterpret_cast<const uint8_t*>(data.data())));

        // Record by record: contiguous addresses from the load address, all checksums right.
        reader.Detach();
        reader.AttachText(text);
        uint8_t bytes[256];
        SRecordData record{bytes, 0, 0};
        uint32_t expected = p.offset;
        while (reader.ReadNextRecord(record)) {
            EXPECT_EQ(record.address, expected);
            expected += uint32_t(record.length);
        }
        EXPECT_EQ(record.length, 0);  // ended at the cleared record, not at a bad one
        EXPECT_EQ(expected, p.offset + data.size());
    }
}

TEST(SRecordProducers, TheHeaderRecordOfAProducerIsRefused)
{
    if (std::string(OBJCOPY_PATH).empty())
        GTEST_SKIP() << "objcopy not installed";
    CScratchDirectory dir{"tessarin-files"};
    Producer p = Producers()[3];
    p.stripFirstLine = false;
    const std::string text = Produce(dir, p, std::vector<char>(64, 'x'));
    SRecord reader;
    reader.AttachText(text);
    EXPECT_FALSE(reader.CheckFirstRecord());
}

}  // namespace
