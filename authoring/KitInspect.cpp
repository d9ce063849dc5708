// `tessarin kit inspect`: reads a kit as the application will and states every problem.
#include "authoring/KitInspect.h"


#include "codeplug/CodeplugFactory.h"
#include "errors/Error.h"
#include "files/DataFile.h"
#include "files/FileManager.h"
#include "files/ProductLine.h"
#include "files/SRecord.h"
#include "link/LinkFlags.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char kImageCorrupt[] =
    "The required data file is corrupted and unuseable\nPlease reinstall the application!";
const char* const kBlockNames[] = {"PRODUCT_LINE", "RADIO_GROUP_REGION", "VERIFICATION_BLOCK",
                                   "MODEL_MATCHING_BLOCK", "RADIO_MATCHING_BLOCK",
                                   "PATCHER_DATA_BLOCK", kConfigVersionLine};
const int kFlashRates[] = {19200, 38400, 115200};
constexpr std::size_t kBootcodeBuffer = 10000;  // the form's boot code buffer
constexpr uint32_t kBootcodeImage = 5000;       // the engine's boot code image
constexpr uint32_t kMaxWriteBytes = 251;        // one write request
constexpr uint32_t kFlashBase = 0x400000;

struct Firmware {
    const char* name;
    uint32_t size;
};
const Firmware kFirmware[] = {{"fw_128k", 128 * 1024}, {"fw_256k", 256 * 1024}, {"fw_512k", 512 * 1024}};

bool IsDecimal(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

const char* LayoutName(int codeplugType)
{
    return codeplugType == 2 ? "pointer-table layout" : codeplugType == 3 ? "fixed-address layout" : "ADK block layout";
}

int CountFields(const std::string& line) { return int(std::count(line.begin(), line.end(), ',')) + 1; }

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

class CKitInspector {
public:
    CKitInspector(const std::string& dir, KitOutcome& outcome) : m_dir(dir), m_outcome(outcome) {}
    void Run();

private:
    void Say(const std::string& text) { m_outcome.out += text + "\n"; }
    void Problem(const std::string& where, const std::string& what) { m_outcome.Problem(where + ": " + what); }
    // "patcher.dat: BLOCK line n (file line m)"
    std::string Where(const char* block, int line);
    bool IsBlockName(const std::string& line) const;
    // Line `line` of the current block, checked to be there and to have `fields` fields. End:
    // the block has no such line (the text ends, or the next block begins): a count beyond
    // the lines present, reported once; the caller stops there.
    enum class LineRead { Ok, Bad, End };
    LineRead EntryLine(const char* block, int line, int fields, std::string& text);
    bool HexField(const char* block, int line, int field, int32_t& value);

    bool ReadConfig();
    void CheckHeader();
    void CheckProductLine();
    void CheckGroups();
    void CheckVerification();
    void CheckModels();
    void CheckRadioMatching();
    void CheckPatches();
    void CheckFirmware();

    bool ReadImage(const std::string& name, const std::string& missing, DataFileText& file);
    void CheckBootcode(const std::string& name, int rate);
    void CheckCodeplug(const std::string& name);
    void DecodeCodeplug(const std::string& name, const char* text);

    fs::path m_dir;
    KitOutcome& m_outcome;
    FileManager m_config;
    std::string m_dataKey;
    int m_codeplugType = 0;
    int m_productLine = kUnmatchedProductLine;
    int m_entriesPerModel = 0;
    std::set<int> m_flashPositions, m_codeplugPositions, m_patchPositions;
    std::map<int, std::vector<std::string>> m_codeplugByPosition;
    std::set<std::string> m_checkedFiles;
};

std::string CKitInspector::Where(const char* block, int line)
{
    // The file line of the block's line `line`, counted from the block mark.
    int fileLine = m_config.TextLineNumber(m_config.BlockMark()) + line - 1;
    return std::string(kConfigFileName) + ": " + block + " line " + std::to_string(line) +
           " (file line " + std::to_string(fileLine) + ")";
}

bool CKitInspector::IsBlockName(const std::string& line) const
{
    return std::any_of(std::begin(kBlockNames), std::end(kBlockNames), [&](const char* n) { return line == n; });
}

CKitInspector::LineRead CKitInspector::EntryLine(const char* block, int line, int fields, std::string& text)
{
    if (!m_config.GetLine(line, text)) {
        Problem(Where(block, line), "missing: the text ends before it; add the line or lower the count");
        return LineRead::End;
    }
    if (IsBlockName(text)) {
        Problem(Where(block, line), "is the block name \"" + text + "\", not an entry; the count is larger than the lines that follow");
        return LineRead::End;
    }
    if (fields > 0 && CountFields(text) < fields) {
        Problem(Where(block, line), "has " + std::to_string(CountFields(text)) + " fields, " +
                                        std::to_string(fields) + " expected: \"" + text + "\"");
        return LineRead::Bad;
    }
    if (fields > 0 && CountFields(text) > fields)
        Say("  note: " + Where(block, line) + " has " + std::to_string(CountFields(text)) + " fields; only the first " +
            std::to_string(fields) + " are read");
    return LineRead::Ok;
}

bool CKitInspector::HexField(const char* block, int line, int field, int32_t& value)
{
    std::string text;
    m_config.GetField(line, field, text);
    value = m_config.GetNumber(line, field);
    if (!IsHexText(text)) {
        Problem(Where(block, line), "field " + std::to_string(field) + " \"" + text +
                                        "\" is not a hexadecimal number (an even number of digits 0-9, A-F)");
        return false;
    }
    return true;
}

bool CKitInspector::ReadConfig()
{
    const std::string path = (m_dir / kConfigFileName).string();
    DataFileText file = ReadDataFile(path, kConfigFileKey);
    if (file.status == DataFileStatus::CannotOpen) {
        Problem(kConfigFileName, "Unable to open configuration file (missing, not a file, or in use); install the kit's patcher.dat");
        return false;
    }
    if (!file.Ok()) {
        Problem(kConfigFileName, std::string("Unable to read configuration file (") + DescribeDataFileStatus(file.status) +
                                     "); reinstall the kit");
        return false;
    }
    m_config.LoadText(file.Text());
    std::string first;
    m_config.GetFirstLine(first);
    std::string shown = first.substr(0, 64);
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
            c = '?';
    Say(std::string(kConfigFileName) + ": " + std::to_string(file.fileSize) + " bytes, version line \"" + shown + "\"");
    if (first != kConfigVersionLine) {
        Problem(std::string(kConfigFileName) + ": line 1",
                std::string("The configuration file used is not compatible with the current application! (\"") +
                    kConfigVersionLine + "\" expected; a file enciphered with another key also shows this)");
        return false;
    }
    return true;
}

void CKitInspector::CheckHeader()
{
    const char* block = kConfigVersionLine;
    m_config.FindBlock(block);
    std::string title, description;
    m_config.GetLine(1, title);
    m_config.GetLine(2, description);
    m_config.GetLine(3, m_dataKey);
    Say("  title: " + title);
    Say("  description: " + description);
    if (m_dataKey.empty())
        Problem(Where(block, 3), "the data-file key is empty; the boot code, firmware and codeplug files cannot be deciphered");
    else
        Say("  data-file key: " + std::to_string(m_dataKey.size()) + " characters");
    int32_t type = 0;
    if (HexField(block, 4, 1, type)) {
        m_codeplugType = type;
        Say("  codeplug type: " + std::to_string(type) + " (" + LayoutName(type) + ")");
    }
}

void CKitInspector::CheckProductLine()
{
    std::string name;
    if (!m_config.GetProductLine(name)) {
        Problem(kConfigFileName, "no PRODUCT_LINE block: Unknown product line in configuration file. Press OK to exit.");
        return;
    }
    m_productLine = ProductLineNumberForName(name);
    if (m_productLine == kUnmatchedProductLine) {
        Problem(Where("PRODUCT_LINE", 1), "\"" + name + "\": Unknown product line in configuration file. Press OK to exit.");
        return;
    }
    const ProductLineRow& row = ProductLineTable[m_productLine];
    Say("  product line: " + std::to_string(m_productLine) + " " + name + ", window title \"" +
        ProductLineTitleText(row.titleString) + "\"");
}

void CKitInspector::CheckGroups()
{
    const char* block = "RADIO_GROUP_REGION";
    const int count = m_config.CountLines(block);
    if (count == 0) {
        Problem(kConfigFileName, "no RADIO_GROUP_REGION block: every radio fails with \"Verification of radio failed. The current radio is not of the supported radio series\"");
        return;
    }
    Say("  radio groups: " + std::to_string(count));
    for (int g = 1; g <= count; ++g) {
        if (!m_config.FindNthBlock(block, g)) {
            Problem(kConfigFileName, "RADIO_GROUP_REGION " + std::to_string(g) +
                                         " cannot be found: two name lines in a row count as one; put a line between them");
            continue;
        }
        std::string line;
        if (g == 1 && m_config.GetLine(2, line) && (line[0] == 't' || line[0] == 'T'))
            Say("  note: line 2 of the first radio group begins with \"" + line.substr(0, 1) +
                "\": the application warns that this is a testing kit");
        std::vector<std::string> boot(3);
        for (int r = 0; r < 3; ++r) {
            if (EntryLine(block, r + 2, 0, line) == LineRead::Ok && m_config.GetField(r + 2, 1, boot[r]) && !boot[r].empty())
                continue;
            Problem(Where(block, r + 2), "the boot code file name for " + std::to_string(kFlashRates[r]) + " Bd is empty");
            boot[r].clear();
        }
        int32_t k = 0;
        if (!HexField(block, 5, 1, k))
            continue;
        std::string ids;
        for (int j = 0; j < k; ++j) {
            std::string id;
            if (EntryLine(block, 6 + j, 1, line) != LineRead::Ok)
                break;
            m_config.GetField(6 + j, 1, id);
            if (id.size() != 32 || !IsHexText(id))
                Problem(Where(block, 6 + j), "the radio identifier \"" + id + "\" is not 32 hexadecimal digits (0-9, A-F)");
            ids += (j ? ", " : "") + id;
        }
        if (k == 0)
            Problem(Where(block, 5), "no radio identifiers: no radio can match this group");
        Say("    group " + std::to_string(g) + ": boot code " + boot[0] + " / " + boot[1] + " / " + boot[2] +
            "; identifiers: " + ids);
        for (int r = 0; r < 3; ++r)
            if (!boot[r].empty())
                CheckBootcode(boot[r], kFlashRates[r]);
    }
}

void CKitInspector::CheckVerification()
{
    const char* block = "VERIFICATION_BLOCK";
    if (!m_config.FindNthBlock(block, 1)) {
        Say("  note: no VERIFICATION_BLOCK: the radio is not verified");
        return;
    }
    int32_t n = 0;
    if (!HexField(block, 1, 1, n))
        return;
    Say("  VERIFICATION_BLOCK: " + std::to_string(n) + " entries");
    // Counts come from the file: 64-bit arithmetic, and the walk ends at the first missing line.
    for (int64_t line = 2; line <= int64_t(n) + 1; ++line) {
        std::string text, value;
        LineRead read = EntryLine(block, int(line), 6, text);
        if (read == LineRead::End)
            break;
        if (read == LineRead::Bad)
            continue;
        int32_t f[6] = {};
        bool ok = true;
        for (int field = 1; field <= 5; ++field)
            ok = HexField(block, line, field, f[field]) && ok;
        m_config.GetField(line, 6, value);
        if (!ok || value.rfind("*", 0) == 0)
            continue;
        const int32_t length = f[5];
        std::size_t available = value.size();
        if (f[3] == 1) {
            if (!IsHexText(value))
                Problem(Where(block, line), "field 6 \"" + value + "\" is not a hexadecimal byte string (field 3 is 1)");
            available = value.size() / 2;
        }
        if (f[1] == 5 && !IsHexText(value))
            Problem(Where(block, line), "field 6 \"" + value + "\" of a threshold entry (selector 5) is not a hexadecimal number");
        if (value.size() > 255)
            Problem(Where(block, line), "field 6 is longer than 255 characters");
        if (length < 0 || std::size_t(length) > available)
            Problem(Where(block, line), "the length " + std::to_string(length) + " (field 5) is longer than the value \"" +
                                            value + "\" (" + std::to_string(available) + " bytes)");
    }
}

void CKitInspector::CheckModels()
{
    const char* block = "MODEL_MATCHING_BLOCK";
    if (!m_config.FindNthBlock(block, 1)) {
        Problem(kConfigFileName, "no MODEL_MATCHING_BLOCK: every radio fails with \"Upgrading of this model not supported\"");
        return;
    }
    int32_t m = 0, e = 0;
    if (!HexField(block, 1, 1, m) || !HexField(block, 2, 1, e))
        return;
    m_entriesPerModel = e;
    Say("  MODEL_MATCHING_BLOCK: " + std::to_string(m) + " models x " + std::to_string(e) + " entries");
    if (m < 1 || e < 1)
        Problem(Where(block, m < 1 ? 1 : 2), "the count is 0: no radio can match a model");
    const int64_t entries = (m < 1 || e < 1) ? 0 : int64_t(m) * e;
    for (int64_t i = 0; i < entries; ++i) {
        const int line = int(3 + i);
        std::string text, level, file;
        LineRead read = EntryLine(block, line, 8, text);
        if (read == LineRead::End)
            break;
        if (read == LineRead::Bad)
            continue;
        m_config.GetField(line, 4, level);
        if (!IsDecimal(level) || std::stoul(level.substr(0, 9)) > 255)
            Problem(Where(block, line), "field 4 \"" + level + "\" is not a decimal level 0-255 (\"00\" matches any level)");
        m_config.GetField(line, 7, file);
        if (file.empty())
            Problem(Where(block, line), "field 7, the codeplug file name, is empty; write \"#\" for no codeplug file");
        m_codeplugByPosition[int(i % std::max(e, 1))].push_back(file);
        if (!file.empty() && file != "#")
            CheckCodeplug(file);
    }
}

void CKitInspector::CheckRadioMatching()
{
    const char* block = "RADIO_MATCHING_BLOCK";
    if (!m_config.FindNthBlock(block, 1)) {
        Problem(kConfigFileName, "no RADIO_MATCHING_BLOCK: no radio gets an upgrade plan");
        return;
    }
    int32_t n = 0;
    if (!HexField(block, 1, 1, n))
        return;
    Say("  RADIO_MATCHING_BLOCK: " + std::to_string(n) + " rows");
    if (n < 1)
        Problem(Where(block, 1), "no rows: no radio gets an upgrade plan");
    const int fields = int(std::min<int64_t>(1 + 4 * int64_t(m_entriesPerModel), INT_MAX));
    for (int64_t line = 2; line <= int64_t(n) + 1; ++line) {
        std::string text;
        LineRead read = EntryLine(block, int(line), fields, text);
        if (read == LineRead::End)
            break;
        if (read == LineRead::Bad)
            continue;
        for (int p = 0; p < m_entriesPerModel; ++p) {
            int32_t v[4] = {};
            bool ok = true;
            for (int j = 0; j < 4; ++j)
                ok = HexField(block, line, 4 * p + 2 + j, v[j]) && ok;
            if (!ok)
                continue;
            if (v[2] < 0 || v[2] > 3)
                Problem(Where(block, line), "codeplug mode " + std::to_string(v[2]) + " of entry " + std::to_string(p + 1) +
                                                ": Syntax error in patch script file : RADIO_MATCHING_BLOCK (0 to 3 allowed)");
            if (v[1])
                m_flashPositions.insert(p);
            if (v[2])
                m_codeplugPositions.insert(p);
            if (v[3])
                m_patchPositions.insert(p);
        }
    }
    for (int p : m_codeplugPositions)
        for (const std::string& file : m_codeplugByPosition[p])
            if (file == "#")
                Problem(kConfigFileName, "a model entry at position " + std::to_string(p + 1) +
                                             " has no codeplug file (\"#\") but a radio matching row plans codeplug programming for it: Read firmware S-Record file failed");
}

void CKitInspector::CheckPatches()
{
    const char* block = "PATCHER_DATA_BLOCK";
    if (!m_config.FindNthBlock(block, 1)) {
        if (!m_patchPositions.empty())
            Problem(kConfigFileName, "no PATCHER_DATA_BLOCK although a radio matching row applies patches");
        return;
    }
    int groups = 0, entries = 0;
    bool open = false;
    for (int line = 1;; ++line) {
        std::string text;
        if (!m_config.GetLine(line, text) || IsBlockName(text) || text.empty())
            break;
        if (EntryLine(block, line, 6, text) != LineRead::Ok)
            break;
        int32_t v[7] = {};
        bool ok = true;
        for (int field = 1; field <= 6; ++field)
            ok = HexField(block, line, field, v[field]) && ok;
        open = true;
        if (ok && v[1] == 0x99) {
            ++groups;
            open = false;
        } else if (ok && v[1] != 0x10 && v[1] != 0x20 && v[1] != 0x30 && v[1] != 0x50) {
            Problem(Where(block, line), "kind " + Hex(uint32_t(v[1])) + " is not a patch kind (10, 20, 30, 50, 99)");
        }
        ++entries;
    }
    if (open)
        Problem(std::string(kConfigFileName) + ": PATCHER_DATA_BLOCK", "the last patch group has no closing line with field 1 \"99\"");
    Say("  PATCHER_DATA_BLOCK: " + std::to_string(groups) + " groups, " + std::to_string(entries) + " lines");
    for (int p : m_patchPositions)
        if (p + 1 > groups)
            Problem(std::string(kConfigFileName) + ": PATCHER_DATA_BLOCK",
                    "patch group " + std::to_string(p + 1) + " is missing; a radio matching row applies patches for model entry " +
                        std::to_string(p + 1));
}

bool CKitInspector::ReadImage(const std::string& name, const std::string& missing, DataFileText& file)
{
    file = ReadDataFile((m_dir / name).string(), m_dataKey);
    if (file.status == DataFileStatus::CannotOpen)
        Problem(name, missing);
    else if (file.status == DataFileStatus::EmptyKey)
        Problem(name, "cannot be deciphered: the data-file key is empty");
    else if (!file.Ok())
        Problem(name, std::string(kImageCorrupt) + " (" + DescribeDataFileStatus(file.status) + ")");
    return file.Ok();
}

void CKitInspector::CheckBootcode(const std::string& name, int rate)
{
    if (!m_checkedFiles.insert(name).second)
        return;
    const std::string missing = "Boot code file is non-existent or corrupt !!: Terminating program (the file is missing)";
    DataFileText file;
    if (!ReadImage(name, missing, file))
        return;
    if (file.fileSize > kBootcodeBuffer - 10) {
        Problem(name, "Boot code file is non-existent or corrupt !!: Terminating program (" + std::to_string(file.fileSize) +
                          " bytes; at most 9990 fit the boot code buffer)");
        return;
    }
    const SRecordSummary s = SummarizeSRecords(file.Text());
    Say("    " + name + " (" + std::to_string(rate) + " Bd): " + DescribeSRecords(s));
    if (!s.firstChecks || s.malformed)
        Problem(name, "Read bootcode S-Record file failed (the first record is not an S1/S2 record with a right checksum, or records are back to back)");
    if (s.dataBytes > kBootcodeImage)
        Problem(name, std::to_string(s.dataBytes) + " data bytes; the boot code image holds at most 5000");
}

void CKitInspector::CheckCodeplug(const std::string& name)
{
    if (!m_checkedFiles.insert(name).second)
        return;
    DataFileText file;
    if (!ReadImage(name, "Unable to open codeplug file\nPlease make sure installation is completed successfully", file))
        return;
    const SRecordSummary s = SummarizeSRecords(file.Text());
    Say("    " + name + " (codeplug image): " + DescribeSRecords(s));
    if (!s.firstChecks || s.malformed) {
        Problem(name, "Read firmware S-Record file failed (the codeplug image's first record does not check, or records are back to back)");
        return;
    }
    const uint32_t limit = m_codeplugType == 3 ? 16384 : 32768;
    if (s.dataBytes > limit)
        Problem(name, std::to_string(s.dataBytes) + " data bytes; the codeplug image buffer holds " + std::to_string(limit));
    if (s.badChecksums)
        Problem(name, std::to_string(s.badChecksums) + " records with a wrong checksum");
    DecodeCodeplug(name, file.Text());
}

// The image decoded as the upgrade form loads it: the codeplug model of the kit's structure
// type reads it (ReadCpFile) and determines its format (GetRdkPtrs).
void CKitInspector::DecodeCodeplug(const std::string& name, const char* text)
{
    std::unique_ptr<CCodeplug> codeplug = CreateCodeplug(m_codeplugType);
    const int previousLine = GetProductLineNumber();
    if (m_productLine != kUnmatchedProductLine)
        SetProductLineNumber(m_productLine);  // the fixed-address layout places its block by it
    std::string failure;
    try {
        codeplug->SetImageText(text, "");
        SRecord reader;
        reader.AttachText(text);
        codeplug->ReadCpFile(reader);
        reader.Detach();
        if (!codeplug->IsFormatDetermined())
            codeplug->InitRdkPtrs();
    } catch (const CError& e) {
        failure = e.GetText();
    }
    SetProductLineNumber(previousLine);
    RdkPtrs p{};
    if (!failure.empty() || !codeplug->GetRdkPtrs(p)) {
        Problem(name, "the " + std::string(LayoutName(m_codeplugType)) + " cannot be decoded (" +
                          (failure.empty() ? "its pointers lie outside the image" : failure) +
                          "): Unable to determine codeplug format");
        return;
    }
    if (m_codeplugType == 2 || m_codeplugType == 3)
        Say("      " + std::string(LayoutName(m_codeplugType)) + ": region end " + Hex(p.regionEnd) + ", " +
            std::to_string(codeplug->GetImageSize()) + " bytes");
    else
        Say("      ADK: P1 " + Hex(p.p1) + ", P2 " + Hex(p.p2) + ", region end " + Hex(p.regionEnd) +
            (p.regionFlag ? " (checksummed)" : "") + ", " + std::to_string(p.blockCount) + " block vectors at " +
            Hex(p.vectorTable));
}

void CKitInspector::CheckFirmware()
{
    if (m_flashPositions.empty()) {
        Say("  no radio matching row flashes firmware");
        return;
    }
    for (const Firmware& fw : kFirmware) {
        DataFileText file;
        if (!ReadImage(fw.name, "Unable to open firmware file!\nPlease make sure installation is completed successfully", file))
            continue;
        const SRecordSummary s = SummarizeSRecords(file.Text());
        Say("    " + std::string(fw.name) + " (firmware): " + DescribeSRecords(s));
        if (!s.firstChecks || s.malformed) {
            Problem(fw.name, "Read firmware S-Record file failed (the first record does not check, or records are back to back)");
            continue;
        }
        if (s.badChecksums)
            Problem(fw.name, std::to_string(s.badChecksums) + " records with a wrong checksum");
        if (s.otherTypes)
            Problem(fw.name, std::to_string(s.otherTypes) + " records of other types than S1/S2 before the end; the flashing writes the record before each of them again. Remove them");
        if (!s.terminated)
            Problem(fw.name, "does not end with an S9 record; its last data record is never written. Add \"S9030000FC\"");
        if (s.longestRecord > kMaxWriteBytes)
            Problem(fw.name, "a record holds " + std::to_string(s.longestRecord) + " data bytes; one write carries at most 251");
        if (((s.lowestAddress | kFlashBase) < kFlashBase) || (s.highestEnd | kFlashBase) > kFlashBase + fw.size ||
            (s.highestEnd > 0 && ((s.highestEnd - 1) | kFlashBase) >= kFlashBase + fw.size))
            Problem(fw.name, "records reach " + Hex(s.highestEnd) + ", beyond the " + std::to_string(fw.size / 1024) +
                                 " KB flash from " + Hex(kFlashBase));
    }
}

void CKitInspector::Run()
{
    Say("Kit " + m_dir.string());
    if (!ReadConfig())
        return;
    CheckHeader();
    CheckProductLine();
    CheckGroups();
    CheckVerification();
    CheckModels();
    CheckRadioMatching();
    CheckPatches();
    CheckFirmware();
}

}  // namespace

KitOutcome KitInspect(const std::string& kitDir)
{
    KitOutcome outcome;
    CKitInspector(kitDir, outcome).Run();
    if (outcome.status == 0)
        outcome.out += "The kit is usable.\n";
    else
        outcome.out += "The kit is not usable: " + std::to_string(outcome.problems) + " problem(s).\n";
    return outcome;
}
