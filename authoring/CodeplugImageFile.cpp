#include "authoring/CodeplugImageFile.h"

#include "files/HexText.h"

#include "errors/Error.h"
#include "files/DataFile.h"
#include "files/FileManager.h"
#include "files/SRecord.h"
#include "platform/AtomicFile.h"
#include "platform/InputFile.h"

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

CodeplugImageText ReadCodeplugImageFile(const std::string& path, const std::string& key)
{
    CodeplugImageText result;
    result.key = key;
    if (!key.empty()) {
        DataFileText file = ReadDataFile(path, key, DataFileLimit::kCodeplugImage);
        if (!file.Ok())
            throw CGenError(3, "Cannot read the codeplug image %s: %s", path.c_str(),
                            file.status == DataFileStatus::CannotOpen ? file.reason.c_str()
                                                                      : DescribeDataFileStatus(file.status));
        result.text = file.Text();
    } else {
        result.text = ReadInputFile(path, InputFileRules{InputLimit::kCodeplugImage, "codeplug image"});
        result.text.resize(std::min(result.text.size(), result.text.find('\0')));
    }
    // A header record (S0) first is let through: loading logs it and goes on.
    const std::string& t = result.text;
    bool ok = t.size() > 2 && t[0] == 'S' && t[1] >= '0' && t[1] <= '9';
    if (!ok)
        throw CGenError(3, "%s is not S-record text%s", path.c_str(),
                        key.empty() ? "; for an enciphered image give --key-file or --config-key"
                                    : " after deciphering: the key may be wrong");
    return result;
}

std::string KitDataFileKey(const std::string& imagePath)
{
    fs::path config = fs::path(imagePath).parent_path() / kConfigFileName;
    FileManager manager;
    std::string key;
    if (!manager.Open(config.string()) || !manager.Load() || !manager.FindBlock(kConfigVersionLine) || !manager.GetLine(3, key) ||
        key.empty())
        throw CGenError(3, "Cannot take the data-file key from %s: it is missing or not a readable kit file",
                        config.string().c_str());
    return key;
}

std::string RewriteSRecords(const std::string& original, const uint8_t* packed, uint32_t packedLength)
{
    SRecord reader;
    reader.AttachText(original.c_str());
    std::string out;
    uint8_t data[SRecord::kMaxDataBytes + 1];
    uint32_t used = 0;
    for (;;) {
        // A record of another type than S1/S2 leaves the record as it was: the length stays -1.
        SRecordData record{data, -1, 0};
        uint32_t start = reader.Position();
        reader.ReadNextRecord(record);
        if (record.length == 0)
            break;
        if (record.length < 0) {
            // Header, count and other records are carried through as they were.
            std::string text = original.substr(start, reader.Position() - start);
            text.erase(text.find_last_not_of("\r\n") + 1);
            out += text + "\r\n";
            continue;
        }
        uint32_t n = static_cast<uint32_t>(record.length);
        if (used + n > packedLength)
            throw CGenError(3, "The image's records hold more data bytes than the %u of the codeplug image; nothing "
                               "was written", packedLength);
        out += FormatSRecord(record.address > 0xFFFF ? '2' : '1', record.address, packed + used, n);
        used += n;
    }
    reader.Detach();
    if (used != packedLength)
        throw CGenError(3, "The image's records hold %u of the %u data bytes of the codeplug image; nothing was "
                           "written", used, packedLength);
    out += "S9030000FC\r\n";
    return out;
}

void WriteCodeplugImageFile(const std::string& path, const std::string& text, const std::string& key)
{
    std::vector<char> bytes;
    if (key.empty())
        bytes.assign(text.begin(), text.end());
    else
        bytes = EncipherDataFile(text, key);
    WriteFileAtomically(path, std::string_view(bytes.data(), bytes.size()), FileMode::kShared);
}
