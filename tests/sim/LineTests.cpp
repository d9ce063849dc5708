// The simulated line's own parts: the schedule of the line to the PC and the driver's input
// ring.
#include "sim/ByteRing.h"
#include "sim/LineSchedule.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Reservation {
    double now, earliest, duration;
    double start;  // expected
};

struct ScheduleCase {
    const char* name;
    std::vector<Reservation> steps;
};

TEST(LineSchedule, EachReservationTakesTheEarliestFreeGap)
{
    const ScheduleCase cases[] = {
        {"one after another", {{0, 0, 1, 0}, {0, 0, 1, 1}, {0, 0, 1, 2}}},
        {"a gap that fits is used", {{0, 0, 1, 0}, {0, 2, 1, 2}, {0, 0, 1, 1}}},
        {"a gap too small is passed", {{0, 0, 1, 0}, {0, 2, 1, 2}, {0, 0.5, 1.5, 3}}},
        {"later than everything", {{0, 0, 1, 0}, {0, 7, 1, 7}, {0, 3, 1, 3}, {0, 3, 1, 4}}},
        {"ended stretches are forgotten", {{0, 0, 1, 0}, {0, 1, 1, 1}, {5, 0, 1, 0}}},
        {"only those that ended", {{0, 0, 1, 0}, {0, 1, 4, 1}, {2, 0.5, 1, 5}}},
    };
    for (const ScheduleCase& c : cases) {
        SCOPED_TRACE(c.name);
        CLineSchedule line;
        for (const Reservation& r : c.steps)
            EXPECT_DOUBLE_EQ(line.Reserve(r.now, r.earliest, r.duration), r.start);
    }
}

TEST(LineSchedule, ManyStretchesForgottenAndNewOnesBeforeTheRest)
{
    // Enough stretches that the forgotten ones are moved out; an echo in the past still finds
    // the gaps between what is left.
    CLineSchedule line;
    for (int i = 0; i < 300; ++i)
        EXPECT_DOUBLE_EQ(line.Reserve(0, 2.0 * i, 1), 2.0 * i);
    for (int i = 0; i < 200; ++i)
        EXPECT_DOUBLE_EQ(line.Reserve(2.0 * i + 1.5, 2.0 * i + 1.0, 0.5), 2.0 * i + 1.0) << i;
    EXPECT_DOUBLE_EQ(line.Reserve(400, 400, 1), 401);
    EXPECT_DOUBLE_EQ(line.Reserve(400, 400, 0.5), 403);
    line.Clear();
    EXPECT_DOUBLE_EQ(line.Reserve(400, 0, 1), 0);
}

TEST(LineSchedule, PlacesBytesOneCharacterTimeApart)
{
    CLineSchedule line;
    line.Reserve(0, 0.5, 1);  // busy 0.5 .. 1.5
    std::vector<double> arrivals;
    double last = line.PlaceBytes(0, 0, 3, 1, [&](std::size_t i, double time) {
        EXPECT_EQ(i, arrivals.size());
        arrivals.push_back(time);
    });
    EXPECT_EQ(arrivals, (std::vector<double>{2.5, 3.5, 4.5}));
    EXPECT_DOUBLE_EQ(last, 4.5);
}

TEST(ByteRing, FirstInFirstOutAcrossItsEnd)
{
    CByteRing<4> ring;
    uint8_t out[4] = {};
    ring.Push(1);
    ring.Push(2);
    ring.Push(3);
    ring.Pop(out, 2);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[1], 2);
    for (uint8_t b : {4, 5, 6})
        ring.Push(b);
    EXPECT_TRUE(ring.Full());
    ring.Push(7);  // no room: kept as it was
    ASSERT_EQ(ring.Size(), 4u);
    ring.Pop(out, 4);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{3, 4, 5, 6}));
    EXPECT_EQ(ring.Size(), 0u);
    ring.Push(8);
    ring.Clear();
    EXPECT_EQ(ring.Size(), 0u);
}

}  // namespace
