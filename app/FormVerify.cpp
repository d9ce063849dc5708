// Verification of the attached radio against the configuration file: the version line, the
// radio group, the release of two product lines and the verification block.
#include "app/FormMessages.h"
#include "app/RefusalText.h"
#include "app/UpgradeForm.h"
#include "app/WorkflowFlags.h"
#include "errors/Error.h"
#include "files/DataFile.h"
#include "files/ProductLine.h"
#include "link/LinkFlags.h"
#include "platform/UiServices.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t kGroupSelector = 15;
constexpr uint8_t kRadioCodeSelector = 4;
constexpr uint8_t kThresholdSelector = 5;
constexpr unsigned kReplySize = 256;
constexpr std::size_t kIdentifierSize = 16;

// One entry of the verification block.
struct VerificationEntry {
    int selector = 0;
    int length = 0;
    bool bytes = false;       // the value was given as hexadecimal bytes
    bool wildcard = false;    // the value begins with "*"
    std::string value;        // decoded bytes, or the text
};

// Whether an entry's value agrees with the radio's reply over `length` bytes. A text compares as
// text (up to its end); decoded bytes compare in full, zero bytes included.
bool EntryMatches(const VerificationEntry& entry, const char* reply)
{
    if (entry.wildcard || entry.length <= 0)
        return true;
    if (entry.length > static_cast<int>(kReplySize))
        return false;  // the reply cannot confirm what lies beyond it
    for (int i = 0; i < entry.length; ++i) {
        uint8_t expected = i < static_cast<int>(entry.value.size()) ? static_cast<uint8_t>(entry.value[i]) : 0;
        uint8_t got = static_cast<uint8_t>(reply[i]);
        if (expected != got)
            return false;
        if (!entry.bytes && expected == 0)
            return true;
    }
    return true;
}

} // namespace

bool CUpgradeForm::VerifyRadio(bool dryRun)
{
    std::string first;
    m_config.GetFirstLine(first);
    if (first != kConfigVersionLine) {
        ShowError(FormText::kIncompatibleConfig);
        CloseLink();
        Fail(ProgramEnd::KitUnusable, "the kit's configuration file is of another version");
        return false;
    }
    try {
        m_failureKind = ProgramEnd::LinkFailed;
        m_refusalDetail.clear();
        m_dryRun = dryRun;
        if (VerifyRadioChecks(dryRun))
            return true;
    } catch (const CError& error) {
        // A radio the kit no longer matches may be one whose recorded press is to be finished.
        if (m_failureKind == ProgramEnd::Refused && !dryRun && FinishRecordedPress())
            return Planned();
        if (m_failureKind == ProgramEnd::LinkFailed)
            ShowLinkError(error);
        else
            ShowError(error.GetText());
        Fail(m_failureKind, m_failureKind == ProgramEnd::Refused ? m_refusalDetail : std::string());
    }
    CloseLink();
    return false;
}

bool CUpgradeForm::VerifyRadioChecks(bool dryRun)
{
    int productLine = ProductLine();
    bool recoveryLine = HasRecoveryMode(productLine);
    if (BootState == 0) {
        m_regionId.fill(0);
        m_broker.RadioStatusRequest(kGroupSelector, m_regionId.data(), m_regionId.size());
    }
    if (recoveryLine && RecoverRequested == 0) {
        m_regionId.fill(0);
        m_broker.RadioStatusRequest(kGroupSelector, m_regionId.data(), m_regionId.size());
    }
    bool groupFound = SearchRadioGroup();
    if (!groupFound && !(recoveryLine && RecoverRequested == 1)) {
        m_refusalDetail = "radio group: the radio's group identifier (status 15) is " +
                          ShownBytes(reinterpret_cast<const char*>(m_regionId.data()), kIdentifierSize) +
                          ", which none of the kit's " + std::to_string(m_config.CountLines("RADIO_GROUP_REGION")) +
                          " radio groups lists";
        return RefuseUnlessRecorded(FormText::kNotSupportedSeries);
    }
    m_groupIndex = 1;
    if ((productLine == 1 || productLine == 2) && !CheckRelease())
        return false;
    if (!CheckVerificationBlock())
        return RefuseUnlessRecorded(FormText::kRequirementsNotMet);
    if (!ProcessCodeplugFile())
        return false;
    MatchRadio();
    m_identity.radioCode = std::string(m_radioCode, strnlen(m_radioCode, sizeof m_radioCode));
    if (BootState != 1)
        LoadPatchEntries();
    if ((productLine == 3 || recoveryLine) && BootState != 1 && m_plan.codeplugMode == 3) {
        if (dryRun) {
            m_dryRunNotes.push_back("the radio's codeplug has the old structure: its user data would be lost "
                                    "(a real press asks before going on)");
        } else if (Box(FormText::kOldStructure, FormText::kWarning, MB_OKCANCEL | MB_ICONEXCLAMATION) == IDCANCEL) {
            Fail(ProgramEnd::Cancelled, "cancelled to keep the radio's user data; nothing was written but the identity mark");
            return false;
        }
    }
    return Planned();
}

bool CUpgradeForm::Planned()
{
    CloseLink();
    Ui().ShowRadio(RadioLine());
    m_outcome.planned = true;
    m_outcome.plan = m_plan;
    m_outcome.codeplugFile = m_codeplugFile;
    return true;
}

bool CUpgradeForm::RefuseUnlessRecorded(const char* text)
{
    if (!m_dryRun && FinishRecordedPress())
        return Planned();
    ShowError(text);
    Fail(ProgramEnd::Refused, m_refusalDetail);
    return false;
}

void CUpgradeForm::ConfigSyntaxError(const char* message)
{
    m_failureKind = ProgramEnd::KitUnusable;
    throw CGenError(3, "%s", message);
}

bool CUpgradeForm::SearchRadioGroup()
{
    int groups = m_config.CountLines("RADIO_GROUP_REGION");
    for (int group = 1; group <= groups; ++group) {
        m_config.FindNthBlock("RADIO_GROUP_REGION", group);
        int count = m_config.GetNumber(5, 1);
        // The whole list is read first: a list that is not all there is refused, match or not.
        bool found = false;
        for (int j = 0; j < count; ++j) {
            std::string text;
            if (!m_config.GetField(6 + j, 1, text) || !IsHexText(text))
                ConfigSyntaxError(FormText::kGroupSyntax);  // fewer identifiers than it says, or not hexadecimal
            if (found)
                continue;
            std::vector<uint8_t> bytes;
            m_config.GetBytes(6 + j, 1, bytes);
            m_identifier.fill(0);
            std::memcpy(m_identifier.data(), bytes.data(), std::min(bytes.size(), kIdentifierSize));
            // An identifier is exactly 16 bytes; anything else never matches.
            found = bytes.size() == kIdentifierSize &&
                    std::memcmp(m_identifier.data(), m_regionId.data(), kIdentifierSize) == 0;
        }
        if (found)
            return true;
    }
    return false;
}

bool CUpgradeForm::CheckRelease()
{
    int productLine = ProductLine();
    m_config.FindNthBlock("VERIFICATION_BLOCK", m_groupIndex);
    int selector = m_config.GetNumber(2, 1);
    char reply[kReplySize] = {};
    m_broker.RadioStatusRequest(static_cast<uint8_t>(selector), reply, sizeof reply);
    if (reply[0] != '0')
        return true;
    const char* refusal = nullptr;
    if (reply[1] == '2' && productLine == 2)
        refusal = FormText::kOnlyR03;
    else if (reply[1] == '3' && productLine == 1)
        refusal = FormText::kOnlyR02;
    if (refusal == nullptr)
        return true;
    ShowError(refusal);
    Fail(ProgramEnd::Refused);
    return false;
}

bool CUpgradeForm::CheckVerificationBlock()
{
    // Each verification decides afresh whether a threshold entry lets the radio through.
    VerifyBypass = 0;
    if (!m_config.FindNthBlock("VERIFICATION_BLOCK", m_groupIndex))
        ConfigSyntaxError(FormText::kVerificationSyntax);
    int count = m_config.GetNumber(1, 1);
    if (count <= 0)
        return true;
    std::vector<VerificationEntry> entries;
    for (int line = 2; line < count + 2; ++line) {
        std::string selectorText;
        if (!m_config.GetField(line, 1, selectorText) || !IsHexText(selectorText))
            ConfigSyntaxError(FormText::kVerificationSyntax);  // fewer entries than the count says
        VerificationEntry entry;
        entry.selector = m_config.GetNumber(line, 1);
        int field2 = m_config.GetNumber(line, 2);
        int field3 = m_config.GetNumber(line, 3);
        entry.length = m_config.GetNumber(line, 5);
        entry.bytes = field3 == 1;
        std::string text;
        m_config.GetField(line, 6, text);
        entry.wildcard = !text.empty() && text[0] == '*';
        if (entry.bytes) {
            std::vector<uint8_t> bytes;
            m_config.GetBytes(line, 6, bytes);
            entry.value.assign(bytes.begin(), bytes.end());
        } else {
            entry.value = text;
        }
        if (entry.selector == kThresholdSelector) {
            uint8_t byte = 0;
            m_broker.ReadRequest(static_cast<uint32_t>((field2 * 256 + field3) & 0xFFFF), 1, &byte);
            if (static_cast<uint32_t>(m_config.GetNumber(line, 6)) >= byte)
                VerifyBypass = 1;
        }
        entries.push_back(std::move(entry));
    }
    std::size_t i = 0;
    while (i < entries.size()) {
        int selector = entries[i].selector;
        char reply[kReplySize] = {};  // in the boot state nothing is asked: the reply is empty
        if (BootState == 0) {
            m_broker.RadioStatusRequest(static_cast<uint8_t>(selector), reply, sizeof reply);
            if (selector == kRadioCodeSelector) {
                m_radioCode[0] = reply[0];
                m_radioCode[1] = reply[1];
            }
        }
        bool passed = false;
        std::vector<std::string> expected;
        int shownLength = 0;
        for (; i < entries.size() && entries[i].selector == selector; ++i) {
            passed = passed || VerifyBypass == 1 || EntryMatches(entries[i], reply);
            int length = std::clamp(entries[i].length, 0, static_cast<int>(kReplySize));
            shownLength = std::max(shownLength, length);
            expected.push_back(entries[i].bytes ? ShownBytes(entries[i].value.data(), entries[i].value.size())
                                                : entries[i].value);
        }
        if (!passed) {
            m_refusalDetail = "verification: status " + std::to_string(selector) + " of the radio is " +
                              ShownBytes(reply, static_cast<std::size_t>(shownLength)) + ", the kit expects " +
                              QuotedChoices(expected);
            return false;
        }
    }
    return true;
}
