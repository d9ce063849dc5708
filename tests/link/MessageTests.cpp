#include "errors/Error.h"
#include "link/VeskMessage.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes FrameOf(const CVeskMessage& message)
{
    return Bytes(message.GetFrame(), message.GetFrame() + message.GetFrameLength());
}

Bytes Counting(std::size_t n, uint8_t first = 1)
{
    Bytes data(n);
    for (std::size_t i = 0; i < n; ++i)
        data[i] = static_cast<uint8_t>(first + i);
    return data;
}

} // namespace

TEST(VeskMessage, WorkedChecksumExamples)
{
    CVeskMessage reset;
    reset.BuildNoData(0x10);
    EXPECT_EQ(FrameOf(reset), (Bytes{0xF1, 0x10, 0xFE}));
    EXPECT_EQ(reset.GetHeaderLength(), 0);
    EXPECT_EQ(reset.GetDataLength(), 0);

    CVeskMessage read;
    const Bytes data{0x0B, 0x00, 0x00, 0x00};
    read.Build(0x11, data.data(), 4, 0);
    EXPECT_EQ(FrameOf(read), (Bytes{0xF5, 0x11, 0x0B, 0x00, 0x00, 0x00, 0xEE}));
    EXPECT_EQ(read.GetChecksum(), 0xEE);

    CVeskMessage status;
    status.BuildOneByte(0x23, 0x0F);
    Bytes frame = FrameOf(status);
    ASSERT_EQ(frame.size(), 4u);
    EXPECT_EQ(frame[0], 0xF2);
    EXPECT_EQ(frame[3], CVeskMessage::Checksum(frame.data(), 4));
    EXPECT_EQ(status.GetHeaderLength(), 2);
    EXPECT_EQ(status.GetDataLength(), 1);
}

TEST(VeskMessage, FormFollowsLengthUnlessForced)
{
    struct Case {
        std::size_t length;
        int form;
        Bytes head;
        std::size_t frameLength;
    };
    const Case cases[] = {
        {13, 0, {0xFE, 0x17}, 16},
        {14, 0, {0xFF, 0x17, 0x00, 0x0F}, 19},
        {3, 2, {0xFF, 0x17, 0x00, 0x04}, 8},
        {0, 1, {0xF1, 0x17}, 3},
        {254, 0, {0xFF, 0x17, 0x00, 0xFF}, 259},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        Bytes data = Counting(c.length);
        CVeskMessage message;
        message.Build(0x17, data.data(), static_cast<uint16_t>(c.length), c.form);
        Bytes frame = FrameOf(message);
        ASSERT_EQ(frame.size(), c.frameLength);
        EXPECT_TRUE(std::equal(c.head.begin(), c.head.end(), frame.begin()));
        EXPECT_TRUE(std::equal(data.begin(), data.end(), frame.begin() + static_cast<long>(c.head.size())));
        EXPECT_TRUE(CVeskMessage::VerifyChecksum(frame.data()));
        EXPECT_EQ(message.GetDataLength(), c.length);
        EXPECT_EQ(message.GetHeaderLength(), c.head.size());
    }
}

TEST(VeskMessage, RefusesDataThatDoesNotFitItsForm)
{
    Bytes data = Counting(255);
    CVeskMessage message;
    EXPECT_THROW(message.Build(0x17, data.data(), 14, 1), CGenError);
    EXPECT_THROW(message.Build(0x17, data.data(), 255, 0), CGenError);
    EXPECT_THROW(message.Build(0x17, data.data(), 255, 2), CGenError);
}

TEST(VeskMessage, VerifyChecksum)
{
    const Bytes good{0xF1, 0x10, 0xFE};
    const Bytes bad{0xF1, 0x10, 0xFF};
    EXPECT_TRUE(CVeskMessage::VerifyChecksum(good.data()));
    EXPECT_FALSE(CVeskMessage::VerifyChecksum(bad.data()));
}

TEST(VeskMessage, ParseShortAndLongFrames)
{
    Bytes longFrame{0xFF, 0x80, 0x00, 0x05, 1, 2, 3, 4, 0};
    longFrame.back() = CVeskMessage::Checksum(longFrame.data(), 9);
    CVeskMessage message;
    message.Parse(longFrame.data());
    VeskMessageInfo info;
    message.GetInfo(info);
    EXPECT_EQ(info.opcode, 0x80);
    EXPECT_EQ(info.dataLength, 4);
    EXPECT_EQ(info.headerLength, 4);
    EXPECT_EQ(info.frameLength, 9);
    EXPECT_EQ(info.checksum, longFrame.back());
    EXPECT_EQ(message.GetData()[0], 1);

    // A received short frame's high nibble is not examined.
    Bytes shortFrame{0x03, 0x8B, 0x0F, 0x41, 0};
    shortFrame.back() = CVeskMessage::Checksum(shortFrame.data(), 5);
    message.Parse(shortFrame.data());
    EXPECT_EQ(message.GetDataLength(), 2);
    EXPECT_EQ(message.GetHeaderLength(), 2);
    EXPECT_EQ(message.GetFrameLength(), 5);
}

TEST(VeskMessage, ParseRefusesFramesThatCannotBeMessages)
{
    const Bytes cases[] = {
        {0xFF, 0x80, 0x00, 0x00},  // count 0
        {0xFF, 0x80, 0x02, 0x0A},  // 526 bytes: beyond the frame buffer
        {0xF0, 0x0F},              // no opcode
    };
    for (const Bytes& frame : cases) {
        CVeskMessage message;
        try {
            message.Parse(frame.data());
            ADD_FAILURE() << "accepted";
        } catch (const CVeskError& e) {
            EXPECT_EQ(e.GetCode(), 4);
        }
        EXPECT_EQ(message.GetFrameLength(), 0);
    }
}

TEST(VeskMessage, CopyFromCopiesEverything)
{
    Bytes data = Counting(20);
    CVeskMessage source;
    source.Build(0x17, data.data(), 20, 0);
    CVeskMessage copy;
    copy.CopyFrom(source);
    EXPECT_EQ(FrameOf(copy), FrameOf(source));
    VeskMessageInfo a, b;
    source.GetInfo(a);
    copy.GetInfo(b);
    EXPECT_EQ(a.opcode, b.opcode);
    EXPECT_EQ(a.frameLength, b.frameLength);
    EXPECT_EQ(a.dataLength, b.dataLength);
    EXPECT_EQ(a.headerLength, b.headerLength);
    EXPECT_EQ(a.checksum, b.checksum);
}
