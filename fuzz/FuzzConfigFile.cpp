// The configuration file's text and its look-ups: every block name the application and the kit
// tools ask for, the lines and fields below it as lines, numbers, bytes and text, and the
// enciphering round trip of the file itself.
#include "files/DataFile.h"
#include "files/FileManager.h"
#include "files/ProductLine.h"
#include "fuzz/FuzzInput.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

const char* const kBlockNames[] = {"PRODUCT_LINE", "RADIO_GROUP_REGION", "VERIFICATION_BLOCK",
                                   "MODEL_MATCHING_BLOCK", "RADIO_MATCHING_BLOCK", "PATCHER_DATA_BLOCK"};
constexpr int kLines = 6;
constexpr int kFields = 6;

void ReadBlock(FileManager& config)
{
    // A count in line 1 as the readers take it, then that many lines (a few at most).
    const int32_t count = config.GetNumber(1, 1);
    const int lines = count > 0 && count < kLines ? count + 1 : kLines;
    for (int line = 0; line <= lines; ++line) {
        std::string text;
        if (config.GetLine(line, text))
            FUZZ_EXPECT(text.find_first_of("\r\n") == std::string::npos);
        for (int field = 0; field <= kFields; ++field) {
            std::string plain, hex;
            std::vector<uint8_t> bytes;
            const bool found = config.GetField(line, field, plain);
            FUZZ_EXPECT(config.GetBytes(line, field, bytes) == found);
            FUZZ_EXPECT(bytes.size() == plain.size() / 2);
            if (field <= 1) {
                config.GetField(line, field, hex, 1);
                FUZZ_EXPECT(hex.size() == plain.size());
                config.GetNumber(line, field, 0);
            }
            config.GetNumber(line, field);
            FUZZ_EXPECT(IsHexText(plain) == (!plain.empty() && plain.size() % 2 == 0 &&
                                             plain.find_first_not_of("0123456789ABCDEF") == std::string::npos));
        }
    }
    config.TextLineNumber(config.BlockMark());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    FileManager config;
    config.LoadText(input);
    FUZZ_EXPECT(std::strlen(config.Text()) <= size);

    std::string first;
    config.GetFirstLine(first);
    std::vector<std::string_view> names(std::begin(kBlockNames), std::end(kBlockNames));
    names.push_back(kConfigVersionLine);
    if (!first.empty())
        names.push_back(first);
    for (std::string_view name : names) {
        const int count = config.CountLines(name);
        FUZZ_EXPECT(!config.FindNthBlock(name, 0));
        for (int n = 1; n <= 2 && n <= count + 1; ++n) {
            config.FindNthBlock(name, n);
            FUZZ_EXPECT(config.BlockMark() <= size);
            ReadBlock(config);
        }
    }
    std::string productLine;
    if (config.GetProductLine(productLine))
        ProductLineNumberForName(productLine);
    config.TextLineNumber(size + 10);

    // The file as installed: enciphered with the configuration key and read back.
    std::vector<char> file = EncipherDataFile(input, kConfigFileKey);
    FUZZ_EXPECT(file.size() % 8 == 0);
    if (!file.empty())
        FUZZ_EXPECT(DecipherDataFile(file, kConfigFileKey));
    FUZZ_EXPECT(file.size() >= size && (size == 0 || std::memcmp(file.data(), input.data(), size) == 0));
    return 0;
}
