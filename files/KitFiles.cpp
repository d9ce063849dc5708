#include "files/Kit.h"

#include "files/DataFile.h"
#include "files/FileManager.h"
#include "files/SRecord.h"
#include "errors/Error.h"
#include "platform/AtomicFile.h"
#include "platform/InputFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>


namespace fs = std::filesystem;

namespace {

const char kImageCorrupt[] =
    "The required data file is corrupted and unuseable\nPlease reinstall the application!";

// Plain kit sources through the one input-file reader: a regular file within the limit of
// the data file it becomes; false with the reason in `problem` otherwise.
bool ReadPlainFile(const std::string& path, std::size_t limit, std::string& bytes, std::string& problem)
{
    InputFileText file = TryReadInputFile(path, InputFileRules{limit, "plain kit file"});
    if (!file.Ok()) {
        problem = file.Message(path, "plain kit file");
        return false;
    }
    bytes = std::move(file.bytes);
    return true;
}

// The kit folder an output goes to, held by this program alone while it writes (readers of
// this user's wait for the whole kit, never see half of it).
bool LockForWriting(KitOutcome& outcome, const std::string& folder, CPrivateLock& lock)
{
    lock = LockKitFolder(folder, CPrivateLock::Mode::Exclusive);
    if (!lock.Locked() && lock.Busy()) {
        outcome.Problem(folder + ": another program of yours is reading or writing this kit; try again when it has ended");
        return false;
    }
    return true;
}

std::string FolderOf(const std::string& path)
{
    std::string folder = fs::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

std::string FileName(const std::string& path) { return fs::path(path).filename().string(); }

bool IsConfigFile(const std::string& path) { return FileName(path) == kConfigFileName; }

// Plain text for a data file: NUL bytes may only pad its end, or the reader cuts the text.
bool CheckPlainText(KitOutcome& outcome, const std::string& name, const std::string& text)
{
    if (text.empty()) {
        outcome.Problem(name + ": the file is empty; the application refuses an empty data file");
        return false;
    }
    std::size_t nul = text.find('\0');
    if (nul != std::string::npos && text.find_first_not_of('\0', nul) != std::string::npos) {
        outcome.Problem(name + ": holds a NUL byte at offset " + std::to_string(nul) +
                        "; the application would cut the text there. Remove it");
        return false;
    }
    return true;
}

// Every output goes through the one atomic writer; plaintext is the user's only.
bool WriteOutput(KitOutcome& outcome, const std::string& out, std::string_view bytes, mode_t mode)
{
    try {
        WriteFileAtomically(out, bytes, mode);
        return true;
    } catch (const CError& error) {
        outcome.Problem(error.GetText());
        return false;
    }
}

bool EncipherTo(KitOutcome& outcome, const std::string& text, const std::string& out,
                std::string_view key)
{
    std::vector<char> bytes = EncipherDataFile(text, key);
    return WriteOutput(outcome, out, std::string_view(bytes.data(), bytes.size()), FileMode::kShared);
}

// The reader procedure's failure in the words of the reader of that kind of file.
std::string ReadFailure(const std::string& path, const DataFileText& file)
{
    std::string what = IsConfigFile(path)
                           ? (file.status == DataFileStatus::CannotOpen ? "Unable to open configuration file"
                                                                         : "Unable to read configuration file")
                           : kImageCorrupt;
    return path + ": " + what + " (" + DescribeDataFileStatus(file.status) +
           (file.reason.empty() ? "" : ": " + file.reason) + ")";
}

}  // namespace

void KitOutcome::Problem(const std::string& text)
{
    status = 1;
    ++problems;
    err += text;
    err += '\n';
}

KitOutcome KitEncipher(const std::string& in, const std::string& out, std::string_view key)
{
    KitOutcome outcome;
    std::string text;
    if (key.empty()) {
        outcome.Problem("the key is empty: give a key of at least one character");
        return outcome;
    }
    std::string problem;
    if (!ReadPlainFile(in, DataFileLimit::kAny, text, problem)) {
        outcome.Problem(problem);
        return outcome;
    }
    CPrivateLock lock;
    if (!LockForWriting(outcome, FolderOf(out), lock))
        return outcome;
    if (CheckPlainText(outcome, in, text) && EncipherTo(outcome, text, out, key))
        outcome.out = out + ": " + std::to_string((text.size() + 7) / 8 * 8) + " bytes enciphered from " +
                      std::to_string(text.size()) + " bytes of " + in + "\n";
    return outcome;
}

KitOutcome KitDecipher(const std::string& in, const std::string& out, std::string_view key, bool raw)
{
    KitOutcome outcome;
    if (key.empty()) {
        outcome.Problem("the key is empty: give a key of at least one character");
        return outcome;
    }
    DataFileText file = ReadDataFile(in, key);
    if (!file.Ok()) {
        outcome.Problem(ReadFailure(in, file));
        return outcome;
    }
    std::size_t size = raw ? file.fileSize : std::strlen(file.Text());
    if (!WriteOutput(outcome, out, std::string_view(file.buffer.data(), size), FileMode::kPrivate))
        return outcome;
    outcome.out = out + ": " + std::to_string(size) + " bytes deciphered from " + in + "\n";
    return outcome;
}

KitOutcome KitPack(const std::string& srcDir, const std::string& outDir)
{
    KitOutcome outcome;
    const fs::path src(srcDir), dest(outDir);
    std::string config, problem;
    if (!ReadPlainFile((src / "patcher.txt").string(), DataFileLimit::kConfiguration, config, problem)) {
        outcome.Problem(problem + "; the kit sources hold the configuration as plain text in patcher.txt");
        return outcome;
    }
    if (!CheckPlainText(outcome, "patcher.txt", config))
        return outcome;
    FileManager manager;
    manager.LoadText(config);
    std::string first, key;
    manager.GetFirstLine(first);
    if (first != kConfigVersionLine) {
        outcome.Problem("patcher.txt: line 1 is \"" + first + "\", not \"" + kConfigVersionLine +
                        "\"; the application refuses it (The configuration file used is not compatible with the current application!)");
        return outcome;
    }
    manager.FindBlock(kConfigVersionLine);
    if (!manager.GetLine(3, key) || key.empty()) {
        outcome.Problem("patcher.txt: line 4 (the data-file key, line 3 of the version block) is empty; write the key of the boot code, firmware and codeplug files there");
        return outcome;
    }
    std::error_code ec;
    fs::create_directories(dest, ec);
    if (ec) {
        outcome.Problem(outDir + ": cannot be created (" + ec.message() + ")");
        return outcome;
    }
    CPrivateLock lock;
    if (!LockForWriting(outcome, outDir, lock))
        return outcome;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(src, ec)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name[0] != '.' && name != "patcher.txt")
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    if (std::find(names.begin(), names.end(), kConfigFileName) != names.end()) {
        outcome.Problem(srcDir + ": holds patcher.dat; the sources keep the configuration as patcher.txt only. Remove patcher.dat");
        return outcome;
    }
    if (!EncipherTo(outcome, config, (dest / kConfigFileName).string(), kConfigFileKey))
        return outcome;
    outcome.out += "patcher.dat: configuration, " + std::to_string(config.size()) + " bytes\n";
    for (const std::string& name : names) {
        std::string text;
        if (!ReadPlainFile((src / name).string(), DataFileLimit::kAny, text, problem)) {
            outcome.Problem(problem);
            continue;
        }
        if (CheckPlainText(outcome, name, text) && EncipherTo(outcome, text, (dest / name).string(), key))
            outcome.out += name + ": " + std::to_string(text.size()) + " bytes\n";
    }
    outcome.out += "packed " + std::to_string(names.size() + 1) + " files into " + outDir + "\n";
    return outcome;
}

SRecordSummary SummarizeSRecords(const char* text)
{
    SRecordSummary s;
    SRecord reader;
    reader.AttachText(text);
    s.firstChecks = reader.CheckFirstRecord();
    s.records = reader.CountRecords();
    s.endAddress = reader.GetEndAddress();
    s.dataBytes = reader.CountDataBytes();
    uint8_t data[256];
    SRecordData record{data, 0, 0};
    bool first = true;
    for (uint32_t i = 0; i < s.records; ++i) {
        record.length = -1;
        bool ok = reader.ReadNextRecord(record);
        if (record.length < 0) {  // untouched: a record of another type
            ++s.otherTypes;
            continue;
        }
        s.badChecksums += !ok;
        s.longestRecord = std::max(s.longestRecord, uint32_t(record.length));
        s.lowestAddress = first ? record.address : std::min(s.lowestAddress, record.address);
        s.highestEnd = std::max(s.highestEnd, record.address + uint32_t(record.length));
        first = false;
    }
    s.malformed = reader.Malformed();
    const std::size_t length = std::strlen(text);
    std::size_t lastS = std::string_view(text, length).rfind('S');
    s.terminated = lastS != std::string_view::npos && text[lastS + 1] == '9';
    return s;
}

std::string DescribeSRecords(const SRecordSummary& s)
{
    char line[256];
    std::snprintf(line, sizeof line,
                  "%u records, first record %s, end address 0x%04X, %u data bytes", s.records,
                  s.firstChecks ? "checks" : "does not check", s.endAddress, s.dataBytes);
    return line;
}

KitOutcome KitSrec(const std::string& file, const std::string* key, const std::string& outBin)
{
    KitOutcome outcome;
    std::string text;
    if (key) {
        if (key->empty()) {
            outcome.Problem("the key is empty: give a key of at least one character");
            return outcome;
        }
        DataFileText data = ReadDataFile(file, *key);
        if (!data.Ok()) {
            outcome.Problem(ReadFailure(file, data));
            return outcome;
        }
        text = data.Text();
    } else if (std::string problem; !ReadPlainFile(file, DataFileLimit::kAny, text, problem)) {
        outcome.Problem(problem);
        return outcome;
    }
    text.resize(std::strlen(text.c_str()));
    const SRecordSummary s = SummarizeSRecords(text.c_str());
    char line[512];
    std::snprintf(line, sizeof line,
                  "%s\nrecords: %u\nfirst record: %s\nend address: 0x%04X\ndata bytes: %u\n",
                  file.c_str(), s.records, s.firstChecks ? "checks" : "does not check",
                  s.endAddress, s.dataBytes);
    outcome.out = line;
    if (s.malformed)
        outcome.Problem(file + ": records are written back to back; put each record on a line of its own");
    if (!s.firstChecks)
        outcome.Problem(file + ": the first record is not an S1 or S2 record with a right checksum; the application refuses the file");
    if (!outBin.empty() && outcome.status == 0) {
        std::vector<uint8_t> bytes(s.dataBytes + 1);
        ImageBuffer image{bytes.data(), 0};
        SRecord reader;
        reader.AttachText(text);
        reader.LoadData(image, s.dataBytes);
        const std::string_view data(reinterpret_cast<const char*>(bytes.data()), std::size_t(image.size));
        // Bytes deciphered from a kit are plaintext: the user's only.
        if (WriteOutput(outcome, outBin, data, key ? FileMode::kPrivate : FileMode::kShared))
            outcome.out += "wrote " + std::to_string(image.size) + " data bytes to " + outBin + "\n";
    }
    return outcome;
}
