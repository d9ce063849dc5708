// The record of a press on disk: made before the first change to the radio, taken over by a
// later press on the same radio, and used to finish a radio that a press left unfinished.
#include "app/FormMessages.h"
#include "app/UpgradeForm.h"
#include "app/WorkflowFlags.h"
#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "files/DataFile.h"
#include "link/LinkFlags.h"
#include "platform/UiServices.h"
#include "upgrade/RadioIdentityRead.h"

#include <algorithm>
#include <cstring>

namespace {

std::string KitPath(const std::filesystem::path& kit)
{
    std::error_code ec;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(kit, ec);
    return (ec ? std::filesystem::absolute(kit) : canonical).string();
}

bool IsLater(PressStage stage, PressStage than) { return static_cast<int>(stage) > static_cast<int>(than); }

// The newest record of `records` that `take` accepts, or null.
template <class Pred>
const CarryOverRecord* Newest(const std::vector<CarryOverRecord>& records, Pred take)
{
    for (auto it = records.rbegin(); it != records.rend(); ++it)
        if (take(*it))
            return &*it;
    return nullptr;
}

} // namespace

void CUpgradeForm::ReadRadioIdentity()
{
    m_identity = RequestRadioIdentity(m_broker);
}

std::string CUpgradeForm::ReadCodeplugImage(const std::string& name, std::string& problem)
{
    if (name == "#")
        return {};
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        problem = "the record names no codeplug image of the kit";
        return {};
    }
    DataFileText file = ReadDataFile((m_kitDirectory / name).string(), m_dataFileKey);
    if (!file.Ok()) {
        problem = "the codeplug image " + name + " cannot be used: " + DescribeDataFileStatus(file.status);
        return {};
    }
    if (std::string what = ImageTextProblem(file.Text()); !what.empty()) {
        problem = "the codeplug image " + name + " cannot be used: " + what;
        return {};
    }
    return file.Text();
}

bool CUpgradeForm::TakeRecordedPlan(const CarryOverRecord& record, UpgradePlan plan)
{
    std::string problem;
    if (record.kit != KitPath(m_kitDirectory))
        problem = "it was made with the kit in " + record.kit;
    else if (record.productLine != ProductLine())
        problem = "it was made for product line " + std::to_string(record.productLine);
    else if (plan.codeplugMode != 0 && record.layout != m_codeplugType)
        problem = "it was made for codeplug structure type " + std::to_string(record.layout);
    std::string image;
    if (problem.empty())
        image = ReadCodeplugImage(record.codeplugFile, problem);
    if (problem.empty() && plan.codeplugMode != 0) {
        try {
            CodeplugJob job = PrepareCodeplugJob(plan, image, m_codeplugType, record.radioCode.c_str());
            if (job.fingerprint != record.fingerprint)
                problem = "the kit's codeplug image " + record.codeplugFile + " is no longer the one it was made with";
        } catch (const CError& e) {
            problem = e.GetText();
        }
    }
    if (!problem.empty()) {
        ErrorLog().Log("CUpgradeForm::TakeRecordedPlan: The record %s cannot be finished with this kit: %s",
                       record.file.c_str(), problem.c_str());
        m_outcome.detail = problem;
        return false;
    }
    m_plan = plan;
    m_askFlashRate = plan.askFlashRate;
    m_flashFirmware = plan.flashFirmware;
    m_codeplugMode = plan.codeplugMode;
    m_applyPatches = plan.applyPatches;
    m_groupIndex = record.group;
    m_entryIndex = record.entry;
    m_codeplugFile = record.codeplugFile;
    m_codeplugImage = image;
    m_radioCode[0] = record.radioCode.size() > 0 ? record.radioCode[0] : 0;
    m_radioCode[1] = record.radioCode.size() > 1 ? record.radioCode[1] : 0;
    LoadPatchEntries();
    m_carryOver = record;
    m_pressRecorded = true;
    m_finishing = true;
    return true;
}

bool CUpgradeForm::FinishRecordedPress()
{
    std::vector<CarryOverRecord> records = m_carryOverStore.LoadAll();
    if (records.empty())
        return false;
    try {
        ReadRadioIdentity();
    } catch (const CError& e) {
        ErrorLog().Log("%s", e.GetText());
        ErrorLog().Log("CUpgradeForm::FinishRecordedPress: The radio's identity could not be read");
        return false;
    }
    const std::string kit = KitPath(m_kitDirectory);
    const CarryOverRecord* record = Newest(records, [&](const CarryOverRecord& r) {
        return r.radio.Known() && r.radio == m_identity && r.kit == kit && r.flashFirmware == 1 &&
               IsLater(r.stage, PressStage::FlashErased);
    });
    if (record == nullptr) {
        ErrorLog().Log("CUpgradeForm::FinishRecordedPress: No unfinished upgrade with this kit is recorded for the "
                       "radio (%s)",
                       m_identity.Text().c_str());
        return false;
    }
    UpgradePlan plan;
    plan.modelTag = record->modelTag;
    plan.codeplugMode = IsLater(record->stage, PressStage::CodeplugSaved) ? 0 : record->codeplugMode;
    plan.applyPatches = static_cast<uint8_t>(record->applyPatches);
    if (plan.codeplugMode == 0 && plan.applyPatches == 0)
        return false;
    if (!TakeRecordedPlan(*record, plan))
        return false;
    Box(std::string(RecordText::kFinishingNoteStart) + "\nIts firmware is written; " +
            (plan.codeplugMode ? "its codeplug and patch stages" : "its patch stage") + " will now be done, as recorded in " +
            record->file + ".",
        FormText::kNote, MB_OK | MB_ICONINFORMATION);
    return true;
}

bool CUpgradeForm::OfferFinishWithoutFirmware()
{
    std::vector<CarryOverRecord> records = m_carryOverStore.LoadAll();
    const std::string kit = KitPath(m_kitDirectory);
    const CarryOverRecord* record = Newest(records, [&](const CarryOverRecord& r) {
        return r.LeftWithoutFirmware() && r.flashFirmware == 1 && r.kit == kit;
    });
    if (record == nullptr)
        return false;
    const int answer =
        Box(std::string(RecordText::kFinishQuestionStart) +
                " An earlier upgrade with this kit left a radio without firmware:\n\n    " + record->RadioText() +
                "\n    (recorded " + record->created + " in " + record->file +
                ")\n\nIf the radio on the port is that radio, press OK to finish its upgrade from bootstrap mode; its "
                "firmware, codeplug and patches are written as that upgrade planned.\nPress Cancel if it is another radio.",
            FormText::kWarning, MB_OKCANCEL | MB_ICONEXCLAMATION);
    if (answer != IDOK) {
        m_outcome.detail = "a radio left without firmware by an earlier upgrade is recorded in " + record->file +
                           " (" + record->RadioText() + "): press Program with it in bootstrap mode and confirm "
                           "that it is that radio (tessarin program --finish) to finish it";
        return false;
    }
    UpgradePlan plan;
    plan.askFlashRate = 1;
    plan.flashFirmware = 1;
    plan.codeplugMode = record->codeplugMode;
    plan.applyPatches = static_cast<uint8_t>(record->applyPatches);
    plan.modelTag = record->modelTag;
    if (!TakeRecordedPlan(*record, plan)) {
        ShowError("The upgrade recorded in " + record->file + " cannot be finished with this kit:\n" + m_outcome.detail);
        Fail(ProgramEnd::KitUnusable);
        return false;
    }
    // The radio holds the mark of the press that erased it; no new one could be written.
    IdentityMark = record->identityMark;
    m_identity = record->radio;
    BootState = 0;
    m_outcome.planned = true;
    m_outcome.plan = m_plan;
    m_outcome.codeplugFile = m_codeplugFile;
    return true;
}

bool CUpgradeForm::RecordPress()
{
    if (!m_pressRecorded) {
        std::vector<CarryOverRecord> records = m_carryOverStore.LoadAll();
        auto sameRadio = [&](const CarryOverRecord& r) { return m_identity.Known() && r.radio == m_identity; };
        // The radio's own data saved by an unfinished press is carried over from there: what the
        // radio holds now may be the new image's.
        const CarryOverRecord* record = Newest(records, [&](const CarryOverRecord& r) { return sameRadio(r) && r.valid; });
        if (record == nullptr)
            record = Newest(records, sameRadio);
        if (record != nullptr && record->valid &&
            (m_codeplugMode == 0 || record->layout != m_codeplugType || record->productLine != ProductLine() ||
             record->codeplugMode != m_codeplugMode)) {
            ShowError("This radio's own tuning and serial-number data is kept in " + record->file +
                      " by an upgrade that was not finished, made with another plan (" + record->kit +
                      ").\nFinish that upgrade with its kit, or give the data back with:\n"
                      "    tessarin carryover restore " + record->file + " --port N");
            Fail(ProgramEnd::Refused, "the radio has an unfinished upgrade of another plan recorded in " + record->file);
            return false;
        }
        if (record != nullptr) {
            m_carryOver = *record;
            ErrorLog().Log("CUpgradeForm::RecordPress: Taking over the unfinished record %s (%s)", record->file.c_str(),
                           PressStageName(record->stage));
            if (record->valid)
                Box(std::string(RecordText::kFinishingNoteStart) + "\nIts own tuning and serial-number data, saved in " +
                        record->file + " on " + record->created +
                        ", is carried over instead of what its codeplug holds now.",
                    FormText::kNote, MB_OK | MB_ICONINFORMATION);
        }
        m_pressRecorded = true;
    }
    CarryOverRecord& r = m_carryOver;
    r.radio = m_identity;
    r.kit = KitPath(m_kitDirectory);
    r.codeplugFile = m_codeplugFile;
    r.group = m_groupIndex;
    r.entry = m_entryIndex;
    r.flashFirmware = m_flashFirmware;
    r.applyPatches = m_applyPatches;
    r.productLine = ProductLine();
    r.radioCode = std::string(m_radioCode, strnlen(m_radioCode, sizeof m_radioCode));
    r.identityMark = IdentityMark;
    r.modelTag = m_plan.modelTag;
    if (m_codeplugMode != 0) {
        r.layout = m_codeplugType;
        r.codeplugMode = m_codeplugMode;
        r.imageLength = m_codeplugJob.imageLength;
        r.regionStart = m_codeplugJob.regionStart;
        r.regionEnd = m_codeplugJob.regionEnd;
        r.fingerprint = m_codeplugJob.fingerprint;
    }
    try {
        m_carryOverStore.Save(r);
    } catch (const CError& e) {
        ErrorLog().Log("%s", e.GetText());
        ShowError(std::string("The upgrade could not be recorded before the radio is changed:\n") + e.GetText() +
                  "\nNothing was written to the radio but the identity mark.");
        Fail(ProgramEnd::Cancelled, e.GetText());
        return false;
    }
    return true;
}

void CUpgradeForm::EndPressRecord()
{
    if (!m_pressRecorded || m_carryOver.file.empty())
        return;
    m_recordFileUsed = m_carryOver.file;
    const bool finished = m_outcome.end == ProgramEnd::Updated || m_outcome.end == ProgramEnd::PressAgain;
    const bool untouched = m_carryOver.stage == PressStage::Started && !m_carryOver.valid && !m_finishing;
    if (finished || untouched) {
        try {
            m_carryOverStore.Remove(m_carryOver);
        } catch (const CError& e) {
            ErrorLog().Log("%s", e.GetText());
        }
        return;
    }
    const bool saved = m_carryOver.valid;
    Box(std::string("This radio's upgrade is not finished. It is recorded in\n    ") + m_carryOver.file + "\n" +
            (saved ? "with the radio's own tuning and serial-number data.\n" : "") +
            "Press Program again on this radio with this kit to finish it" +
            (m_carryOver.LeftWithoutFirmware() ? ": when it answers only in bootstrap mode, confirm that it is this radio."
                                               : ".") +
            (saved ? "\nTo give back only its own data: tessarin carryover restore " + m_carryOver.file + " --port N"
                   : std::string()),
        FormText::kNote, MB_OK | MB_ICONINFORMATION);
    if (m_outcome.detail.empty())
        m_outcome.detail = "the upgrade is recorded in " + m_carryOver.file;
    else
        m_outcome.detail += "; the upgrade is recorded in " + m_carryOver.file;
}
