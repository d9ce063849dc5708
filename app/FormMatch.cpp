// Matching the radio to the kit: its model (which codeplug image and patch group), its identity
// (which plan), and the patch entries of the plan.
#include "app/FormMessages.h"
#include "app/RefusalText.h"
#include "app/UpgradeForm.h"
#include "app/WorkflowFlags.h"
#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "files/DataFile.h"
#include "files/ProductLine.h"
#include "link/LinkFlags.h"
#include "platform/UiServices.h"
#include "upgrade/RadioIdentityRead.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

// The two release bytes as the radio reported them: text when they are printable, else hex.
std::string ReleaseText(const char* release)
{
    std::string text;
    bool printable = true;
    for (int i = 0; i < 2 && release[i] != '\0'; ++i) {
        printable = printable && std::isprint(static_cast<unsigned char>(release[i]));
        text += release[i];
    }
    if (printable)
        return text;
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X %02X", static_cast<uint8_t>(release[0]), static_cast<uint8_t>(release[1]));
    return hex;
}

constexpr uint8_t kModelSelector = 0;
constexpr uint8_t kIdentitySelector = 3;
constexpr uint8_t kThirdTextSelector = 11;
constexpr uint8_t kReleaseSelector = 14;
constexpr uint8_t kLevelSelector = 16;
constexpr unsigned kModelBufferSize = 525;
constexpr unsigned kReplySize = 256;
// Model and radio matching blocks larger than this are not believed.
constexpr int kMaxTableLines = 4096;

const uint8_t kFixedIdentifiers[6][16] = {
    {0xE5, 0x8E, 0xC1, 0x54, 0x19, 0x9D, 0x11, 0xD1, 0x80, 0x18, 0x00, 0x60, 0xB0, 0x3C, 0x8A, 0xFF},
    {0xB2, 0xA7, 0x0A, 0x04, 0x90, 0x2F, 0x11, 0xD6, 0xBF, 0xA6, 0x00, 0xC0, 0x4F, 0x6B, 0x8C, 0x5D},
    {0x48, 0x5F, 0x2B, 0x48, 0xFB, 0xA7, 0x45, 0xAF, 0xB2, 0x78, 0xDD, 0x8E, 0x6B, 0x17, 0xF3, 0xBC},
    {0x06, 0xF6, 0x7B, 0x2F, 0x23, 0x04, 0x4F, 0xA8, 0xB5, 0x6C, 0x64, 0x1F, 0xC8, 0xCC, 0xD9, 0x24},
    {0xBC, 0x91, 0xAC, 0x20, 0x21, 0x4D, 0x48, 0xDD, 0x94, 0xB5, 0x7D, 0xC2, 0x99, 0x5A, 0x87, 0xAB},
    {},
};

// A signed decimal number at the start of the text, up to its first non-digit.
int DecimalValue(const std::string& text)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 100000000; ++i)
        value = value * 10 + (text[i] - '0');
    return static_cast<int>(negative ? -value : value);
}

struct ModelEntry {
    std::string pattern, secondText, thirdText, level, release, tag, file;
    uint8_t levelValue = 0;
};

} // namespace

bool ContainsText(const std::string& text, const std::string& pattern)
{
    return text.find(pattern) != std::string::npos;
}

bool CUpgradeForm::ProcessCodeplugFile()
{
    if (!m_config.FindNthBlock("MODEL_MATCHING_BLOCK", m_groupIndex))
        ConfigSyntaxError(FormText::kModelSyntax);
    int models = m_config.GetNumber(1, 1);
    m_entriesPerModel = m_config.GetNumber(2, 1);
    int entriesPerModel = m_entriesPerModel;
    std::vector<ModelEntry> entries;
    if (models > 0 && entriesPerModel > 0 && models <= kMaxTableLines && entriesPerModel <= kMaxTableLines &&
        models * entriesPerModel <= kMaxTableLines) {
        for (int line = 3; line < 3 + models * entriesPerModel; ++line) {
            ModelEntry entry;
            std::string last;
            if (!m_config.GetField(line, 8, last))
                ConfigSyntaxError(FormText::kModelSyntax);  // fewer entries than the counts say
            m_config.GetField(line, 1, entry.pattern);
            m_config.GetField(line, 2, entry.secondText);
            m_config.GetField(line, 3, entry.thirdText);
            m_config.GetField(line, 4, entry.level);
            m_config.GetField(line, 5, entry.release);
            m_config.GetField(line, 6, entry.tag);
            m_config.GetField(line, 7, entry.file);
            entry.levelValue = static_cast<uint8_t>(DecimalValue(entry.level));
            entries.push_back(std::move(entry));
        }
    }

    int productLine = ProductLine();
    bool recoveryLine = HasRecoveryMode(productLine);
    bool fromMemory = recoveryLine && RecoverRequested == 1;

    std::string modelText;
    if (recoveryLine && BootState == 1) {
        char memory[11] = {};
        m_broker.ReadRequest(0x0299, 10, reinterpret_cast<uint8_t*>(memory));
        modelText = CutText(memory, 10, 10);
    } else {
        std::vector<char> reply(kModelBufferSize, 0);
        m_broker.RadioStatusRequest(kModelSelector, reply.data(), kModelBufferSize);
        modelText = CutText(reply.data(), kModelBufferSize, kModelBufferSize - 1);
    }

    bool readSecond = false;
    for (const auto& fixed : kFixedIdentifiers)
        readSecond = readSecond || std::memcmp(fixed, m_identifier.data(), sizeof fixed) == 0;
    std::string secondText;
    if (readSecond) {
        uint32_t address = productLine == 10 ? 0x02C2 : productLine == 8 ? 0x02CC : 0x02C5;
        char memory[11] = {};
        m_broker.ReadRequest(address, 10, reinterpret_cast<uint8_t*>(memory));
        secondText = CutText(memory, 10, 10);
    }

    std::string thirdText;
    char release[3] = {};
    uint8_t level = 0;
    if (fromMemory) {
        char memory[11] = {};
        m_broker.ReadRequest(0x02BA, 10, reinterpret_cast<uint8_t*>(memory));
        thirdText = CutText(memory, 10, 10);
        m_broker.ReadRequest(0x00E9, 3, reinterpret_cast<uint8_t*>(release));
        uint8_t levelBytes[2] = {};
        m_broker.ReadRequest(0x02C6, 2, levelBytes);
        level = levelBytes[0];
    } else {
        char reply[11] = {};
        m_broker.RadioStatusRequest(kThirdTextSelector, reply, sizeof reply);
        thirdText = CutText(reply, 10, 10);
        m_broker.RadioStatusRequest(kReleaseSelector, release, sizeof release);
        char levelReply[2] = {};
        m_broker.RadioStatusRequest(kLevelSelector, levelReply, sizeof levelReply);
        level = static_cast<uint8_t>(levelReply[0]);
    }
    // The release bytes end at their first space.
    for (int i = 0; i < 2; ++i)
        if (release[i] == ' ') {
            release[i] = '\0';
            break;
        }
    release[2] = '\0';
    m_identity.modelText = modelText;
    m_identity.serial = thirdText;
    m_radioRelease = ReleaseText(release);
    m_radioLevel = level;
    bool releaseRule = productLine == 3 || productLine == 10 || recoveryLine;
    bool secondReleaseMarked = static_cast<uint8_t>(release[1]) == 0xFE;

    const ModelEntry* matched = nullptr;
    for (int model = 0; model < models && !matched && !entries.empty(); ++model) {
        for (int p = 0; p < entriesPerModel; ++p) {
            const ModelEntry& entry = entries[static_cast<std::size_t>(model * entriesPerModel + p)];
            if (!ContainsText(modelText, entry.pattern))
                continue;
            if (readSecond && entry.secondText != secondText && entry.secondText != "000000000")
                continue;
            if (entry.thirdText != thirdText && entry.thirdText != "0000000000")
                continue;
            if (entry.levelValue != level && entry.level != "00")
                continue;
            if (releaseRule && (entry.release == "01") != secondReleaseMarked)
                continue;
            m_entryIndex = p;
            matched = &entry;
            break;
        }
    }
    if (matched == nullptr) {
        std::vector<std::string> patterns;
        for (const ModelEntry& entry : entries)
            patterns.push_back(entry.pattern);
        m_refusalDetail = "model matching: the radio reports model \"" + modelText + "\", serial \"" + thirdText +
                          "\", release " + ShownBytes(release, 2) + ", level " + std::to_string(level) +
                          "; no model entry of the kit matches all of these (its models: " +
                          QuotedChoices(patterns) + ")";
        m_failureKind = ProgramEnd::Refused;
        throw CGenError(3, "%s", FormText::kModelNotSupported);
    }
    m_plan.modelTag = matched->tag;
    m_codeplugFile = matched->file;

    if (m_codeplugFile == "#") {
        m_codeplugImage.clear();
        return true;
    }
    m_codeplugImage.clear();
    // The kit's files are bare names in the kit directory.
    bool bareName = !m_codeplugFile.empty() && m_codeplugFile.find('/') == std::string::npos &&
                    m_codeplugFile != "." && m_codeplugFile != "..";
    DataFileText file;
    if (bareName)
        file = ReadDataFile((m_kitDirectory / m_codeplugFile).string(), m_dataFileKey);
    if (!bareName || file.status == DataFileStatus::CannotOpen) {
        m_failureKind = ProgramEnd::KitUnusable;
        throw CGenError(3, "%s", FormText::kCannotOpenCodeplug);
    }
    if (file.status == DataFileStatus::NoMemory) {
        ErrorLog().Log("%s", FormText::kNoMemoryLog);
        ShowError(FormText::kNoMemory);
        Fail(ProgramEnd::KitUnusable, "not enough memory for the codeplug image " + m_codeplugFile);
        return false;
    }
    if (!file.Ok()) {
        ShowError(FormText::kDataFileCorrupted);
        Fail(ProgramEnd::KitUnusable,
             "the codeplug image " + m_codeplugFile + " cannot be used: " + DescribeDataFileStatus(file.status));
        return false;
    }
    if (std::string problem = ImageTextProblem(file.Text()); !problem.empty())
        return RefuseKitFile(m_codeplugFile, problem);
    m_codeplugImage = file.Text();
    return true;
}

void CUpgradeForm::MatchRadio()
{
    if (!m_config.FindNthBlock("RADIO_MATCHING_BLOCK", m_groupIndex))
        ConfigSyntaxError(FormText::kRadioMatchingSyntax);
    int rows = m_config.GetNumber(1, 1);
    char reply[kReplySize] = {};  // nothing asked: the identity is empty text
    if (BootState == 0 || (RecoveryPending == 1 && RecoverRequested == 0))
        m_broker.RadioStatusRequest(kIdentitySelector, reply, sizeof reply);
    std::string identity(reply, strnlen(reply, sizeof reply));
    m_radioVersion = identity;

    // Every row the count announces holds its name and four values per model entry.
    for (int row = 1; row <= rows && row <= kMaxTableLines; ++row) {
        std::string last;
        if (!m_config.GetField(row + 1, 1 + 4 * std::max(m_entriesPerModel, 1), last))
            ConfigSyntaxError(FormText::kRadioMatchingSyntax);
    }
    m_radioRow = 0;
    std::vector<std::string> rowNames;  // all of them when none matches
    for (int row = 1; row <= rows && row <= kMaxTableLines; ++row) {
        std::string text;
        if (!m_config.GetField(row + 1, 1, text))
            break;
        rowNames.push_back(text);
        if (text == identity || text == "*") {
            m_radioRow = row;
            break;
        }
    }

    bool recoveryLine = HasRecoveryMode(ProductLine());
    if (recoveryLine && BootState == 1 && RecoveryPending == 0) {
        m_plan.askFlashRate = 0;
        m_plan.flashFirmware = 0;
        m_plan.codeplugMode = 3;
        m_plan.applyPatches = 0;
        PlanToggle = 1;
    } else if (recoveryLine && BootState == 1 && RecoveryPending == 1) {
        uint8_t flash = PlanToggle == 1 ? 1 : 0;
        PlanToggle = flash ? 0 : 1;
        m_plan.askFlashRate = flash;
        m_plan.flashFirmware = flash;
        m_plan.codeplugMode = 3;
        m_plan.applyPatches = 0;
    } else if (recoveryLine && BootState == 0 && RecoveryPending == 1) {
        m_plan.askFlashRate = 1;
        m_plan.flashFirmware = 1;
        m_plan.codeplugMode = 0;
        m_plan.applyPatches = 0;
    } else {
        if (m_radioRow == 0) {
            m_refusalDetail = "radio matching: the radio reports version " +
                              ShownBytes(m_radioVersion.data(), m_radioVersion.size()) +
                              " (status 3), the kit plans upgrades from " + QuotedChoices(rowNames);
            m_failureKind = ProgramEnd::Refused;
            throw CGenError(3, "%s", FormText::kRadioNotMatched);
        }
        int line = m_radioRow + 1;
        int base = 4 * m_entryIndex;
        m_plan.askFlashRate = m_config.GetNumber(line, base + 2) != 0;
        m_plan.flashFirmware = m_config.GetNumber(line, base + 3) != 0;
        m_plan.codeplugMode = m_config.GetNumber(line, base + 4);
        m_plan.applyPatches = m_config.GetNumber(line, base + 5) != 0;
        m_codeplugMode = m_plan.codeplugMode;
        m_applyPatches = m_plan.applyPatches;
    }
    m_askFlashRate = m_plan.askFlashRate;
    m_flashFirmware = m_plan.flashFirmware;
}

void CUpgradeForm::LoadPatchEntries()
{
    m_patchEntries.clear();
    if (m_applyPatches == 0)
        return;
    m_config.FindNthBlock("PATCHER_DATA_BLOCK", m_groupIndex);
    int group = 1;
    for (int line = 1;; ++line) {
        bool readable = true;
        for (int field = 1; field <= 6 && readable; ++field) {
            std::string text;
            readable = m_config.GetField(line, field, text) && IsHexText(text);
        }
        if (!readable) {
            // The text or the block ended before the group's closing entry.
            m_patchEntries.clear();
            m_failureKind = ProgramEnd::KitUnusable;
            throw CGenError(3, "%s", FormText::kPatchScriptSyntax);
        }
        PatchEntry entry;
        entry.kind = static_cast<uint32_t>(m_config.GetNumber(line, 1));
        entry.a = static_cast<uint8_t>(m_config.GetNumber(line, 2));
        entry.b = static_cast<uint8_t>(m_config.GetNumber(line, 3));
        entry.c = static_cast<uint16_t>(m_config.GetNumber(line, 4));
        entry.d = static_cast<uint8_t>(m_config.GetNumber(line, 5));
        entry.e = static_cast<uint8_t>(m_config.GetNumber(line, 6));
        if (group == m_entryIndex + 1)
            m_patchEntries.push_back(entry);
        if (entry.kind == kPatchEnd) {
            if (group == m_entryIndex + 1)
                return;
            ++group;
        }
    }
}
