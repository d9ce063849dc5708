#include "upgrade/FixedConversion.h"

#include "errors/Error.h"

#include <algorithm>

namespace fixedconv {

namespace {

struct BandRow {
    char letter;
    uint8_t increment;
    uint8_t limit;
};
// The tuning byte of some bands is raised when the radio moves to a new codeplug.
constexpr BandRow kBands[] = {{'B', 0, 255},  {'C', 0, 255}, {'F', 0, 255}, {'K', 37, 190}, {'E', 0, 255},
                              {'P', 0, 255},  {'R', 37, 190}, {'S', 37, 190}, {'U', 0, 255}};

void Need(const std::vector<uint8_t>& bytes, std::size_t count, const char* what)
{
    if (bytes.size() < count)
        throw CGenError(3, "The %s has %u bytes; converting it needs %u", what, static_cast<unsigned>(bytes.size()),
                        static_cast<unsigned>(count));
}

void CopyRange(const std::vector<uint8_t>& from, std::size_t at, std::size_t count, std::vector<uint8_t>& to,
               std::size_t dest)
{
    std::copy(from.begin() + static_cast<long>(at), from.begin() + static_cast<long>(at + count),
              to.begin() + static_cast<long>(dest));
}

std::vector<uint8_t> Header8(std::vector<uint8_t> h8, uint8_t last)
{
    h8[2] = h8[3] = 0;
    h8[6] = 0x02;
    h8[7] = last;
    return h8;
}

}  // namespace

bool ByMarker(int productLine) { return productLine == 11 || productLine == 12; }

bool IsExtended(const std::vector<uint8_t>& marker)
{
    return marker.size() >= 2 && marker[0] == 0x02 && marker[1] == 0x80;
}

Case CaseOf(const std::vector<uint8_t>& oldMarker, const std::vector<uint8_t>& newMarker)
{
    if (!IsExtended(oldMarker))
        return Case::BasicToExtended;
    return IsExtended(newMarker) ? Case::ExtendedToExtended : Case::ExtendedToBasic;
}

Output Convert(const Input& in)
{
    const Case c = in.conversion;
    std::vector<uint8_t> t = in.tuning;
    Need(t, c == Case::BasicToExtended ? 92 : c == Case::ExtendedToBasic ? 98 : 89, "saved tuning entry");
    Need(in.newBlock, 57, "new block 139");
    Need(in.oldBlock, 57, "saved block 139");
    Need(in.h3, 3, "saved header H3");
    Need(in.h8, 8, "saved header H8");
    if (in.productLine == 11)
        Need(in.byteN, 1, "saved byte N");

    // The tuning byte: at 82 in the basic entry, at 88 in the extended one.
    uint8_t b = c == Case::BasicToExtended ? t[82] : t[88];
    char band = static_cast<char>(in.newBlock[17]);
    if (band == 'R') {
        t[34] = 0x60;
        t[35] = t[36] = t[37] = 0x6F;
    }
    for (const BandRow& row : kBands) {
        if (row.letter == band && b < row.limit) {
            t[c == Case::ExtendedToBasic ? 82 : 88] = static_cast<uint8_t>(b + row.increment);
            break;
        }
    }

    Output out;
    switch (c) {
    case Case::BasicToExtended:
        out.tuning.assign(98, 0);
        CopyRange(t, 0, 41, out.tuning, 0);
        CopyRange(t, 41, 51, out.tuning, 47);
        break;
    case Case::ExtendedToBasic:
        out.tuning.assign(92, 0);
        CopyRange(t, 0, 41, out.tuning, 0);
        CopyRange(t, 47, 51, out.tuning, 41);
        break;
    case Case::ExtendedToExtended:
        out.tuning = t;
        break;
    }

    if (in.productLine == 11 && c != Case::ExtendedToBasic) {
        out.writeByteN = true;
        out.byteN = in.byteN[0];
    }

    const bool mode1 = in.codeplugMode == 1;
    if (in.productLine == 11) {
        if (c == Case::BasicToExtended) {
            out.headers = {{0x280, in.h3}, {0x283, Header8(in.h8, 0xD3)}};
        } else if (c == Case::ExtendedToBasic) {
            out.headers = {{0x200, in.h3}, {0x203, Header8(in.h8, 0x51)}};
        }
    } else {
        if (c == Case::BasicToExtended) {
            out.headers.push_back({0x280, in.h3});
            if (mode1)
                out.headers.push_back({0x283, in.h8});
        } else if (c == Case::ExtendedToBasic) {
            out.headers.push_back({0x200, in.h3});
            if (mode1)
                out.headers.push_back({0x203, in.h8});
        } else if (mode1) {
            out.headers.push_back({0x283, in.h8});
        }
    }

    std::vector<uint8_t> blk = in.oldBlock;
    blk.resize(72, 0);
    const std::vector<uint8_t>& o = in.newBlock;
    blk[30] = o[30];
    blk[31] = o[31];
    CopyRange(o, 33, 12, blk, 33);
    CopyRange(o, 47, 10, blk, 47);
    if (c == Case::BasicToExtended) {
        blk[1] = 0;
        blk[2] = 'C';
        blk[69] = blk[70] = 0;
    } else if (c == Case::ExtendedToBasic) {
        blk[1] = 0;
        blk[2] = 'A';
    }
    if (in.productLine == 12 && in.codeplugMode == 3)
        blk[57] = blk[58] = 0;
    out.block139 = std::move(blk);
    return out;
}

bool MovesTuningFields(const std::string& radioCode) { return radioCode.size() >= 2 && radioCode[1] == '1'; }

std::vector<uint8_t> MoveTuningFields(const std::vector<uint8_t>& oldEntry, std::vector<uint8_t> newEntry)
{
    Need(oldEntry, 92, "saved tuning entry");
    Need(newEntry, 98, "new tuning entry");
    CopyRange(oldEntry, 1, 40, newEntry, 1);
    CopyRange(oldEntry, 41, 2, newEntry, 47);
    newEntry[50] = oldEntry[43];
    newEntry[49] = oldEntry[44];
    CopyRange(oldEntry, 45, 47, newEntry, 51);
    return newEntry;
}

std::vector<uint8_t> CarrySerialFields(const std::vector<uint8_t>& oldBlock, std::vector<uint8_t> newBlock)
{
    Need(oldBlock, 69, "saved block 139");
    Need(newBlock, 69, "new block 139");
    CopyRange(oldBlock, 4, 10, newBlock, 4);
    CopyRange(oldBlock, 64, 5, newBlock, 64);
    newBlock[59] = oldBlock[59];
    return newBlock;
}

}  // namespace fixedconv
