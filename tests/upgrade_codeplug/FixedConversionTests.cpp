// The tuning entry of the fixed-address layout as it goes into a new codeplug: the band letter
// of the new block 139 decides whether the tuning byte b is raised, band "R" also sets four
// bytes of its own, and the entry is widened (basic to extended), narrowed (extended to basic)
// or kept. The expected bytes of each row are written out from the layout's rules here:
//   band  B C F K E P R S U       increment 0 0 0 37 0 0 37 37 0, stored only while b is
//   limit 255 ... K, R, S 190     below the limit, at 88 (to extended) or 82 (to basic);
//   widened: T[0..40], six zeros, T[41..91]; narrowed: T[0..40], T[47..97].
#include "upgrade/FixedConversion.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using fixedconv::Case;

struct Row {
    const char* name;
    Case conversion;
    char band;
    uint8_t b;
    std::vector<std::pair<std::size_t, uint8_t>> changed;  // new entry bytes not just moved from T
};

// The old entry: every byte its own position plus one, b at 82 (basic) or 88 (extended).
std::vector<uint8_t> OldEntry(const Row& row)
{
    std::vector<uint8_t> t(row.conversion == Case::BasicToExtended ? 92 : 98);
    for (std::size_t i = 0; i < t.size(); ++i)
        t[i] = static_cast<uint8_t>(i + 1);
    t[row.conversion == Case::BasicToExtended ? 82 : 88] = row.b;
    return t;
}

// Where each byte of the old entry lands in the new one, nothing else changed.
std::vector<uint8_t> Moved(const Row& row, const std::vector<uint8_t>& t)
{
    if (row.conversion == Case::ExtendedToExtended)
        return t;
    std::vector<uint8_t> moved;
    if (row.conversion == Case::BasicToExtended) {
        moved.assign(t.begin(), t.begin() + 41);
        moved.insert(moved.end(), 6, 0);
        moved.insert(moved.end(), t.begin() + 41, t.end());
    } else {
        moved.assign(t.begin(), t.begin() + 41);
        moved.insert(moved.end(), t.begin() + 47, t.end());
    }
    return moved;
}

TEST(FixedConversion, TuningEntryByBandLetterAndTuningByte)
{
    const std::vector<std::pair<std::size_t, uint8_t>> bandR{{34, 0x60}, {35, 0x6F}, {36, 0x6F}, {37, 0x6F}};
    auto with = [](std::vector<std::pair<std::size_t, uint8_t>> a, std::pair<std::size_t, uint8_t> b) {
        a.push_back(b);
        return a;
    };
    const std::vector<Row> rows{
        // Basic to extended: T[88] lands at 94 of the widened entry.
        {"K, b 180: 217 stored at T[88]", Case::BasicToExtended, 'K', 180, {{94, 217}}},
        {"K, b 189: 226 stored at T[88]", Case::BasicToExtended, 'K', 189, {{94, 226}}},
        {"K, b 190: not below the limit, nothing stored", Case::BasicToExtended, 'K', 190, {}},
        {"S, b 200: nothing stored", Case::BasicToExtended, 'S', 200, {}},
        {"B, b 190: increment 0 stores b itself at T[88]", Case::BasicToExtended, 'B', 190, {{94, 190}}},
        {"band letter in no row: nothing stored", Case::BasicToExtended, 'Z', 100, {}},
        {"lower-case k is in no row: nothing stored", Case::BasicToExtended, 'k', 100, {}},
        {"R, b 100: its four bytes and 137 at T[88]", Case::BasicToExtended, 'R', 100, with(bandR, {94, 137})},
        {"R, b 190: its four bytes, nothing stored", Case::BasicToExtended, 'R', 190, bandR},
        // Extended to basic: stored at T[82], which lands at 76 of the narrowed entry.
        {"extended to basic, S, b 150: 187 at T[82]", Case::ExtendedToBasic, 'S', 150, {{76, 187}}},
        {"extended to basic, R, b 190: its four bytes only", Case::ExtendedToBasic, 'R', 190, bandR},
        {"extended to basic, band in no row", Case::ExtendedToBasic, 'X', 10, {}},
        // Extended to extended: the entry keeps its place, stored at 88.
        {"extended to extended, K, b 0: 37 at 88", Case::ExtendedToExtended, 'K', 0, {{88, 37}}},
        {"extended to extended, K, b 190", Case::ExtendedToExtended, 'K', 190, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fixedconv::Input in{11, 3, row.conversion, OldEntry(row), {1, 2, 3}, {1, 2, 3, 4, 5, 6, 7, 8}, {0x42},
                            std::vector<uint8_t>(72, 0x11), std::vector<uint8_t>(72, 0x22)};
        in.newBlock[17] = static_cast<uint8_t>(row.band);
        std::vector<uint8_t> expected = Moved(row, in.tuning);
        for (const auto& [at, value] : row.changed)
            expected[at] = value;
        EXPECT_EQ(fixedconv::Convert(in).tuning, expected);
    }
}

}  // namespace
