// The codeplug stage: save the radio's own data, program the region from the image, restore
// the saved data into the new codeplug.
#include "upgrade/CarryOverPath.h"
#include "upgrade/RadioUpgrade.h"

#include "codeplug/CodeplugFactory.h"
#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "files/SRecord.h"
#include "link/LinkFlags.h"
#include "link/VeskComm.h"
#include "platform/Serial.h"
#include "platform/UiServices.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace {

// The image is built into a buffer of this size, indexed by radio address from 0.
constexpr uint32_t kImageBuffer = 32 * 1024;
constexpr uint32_t kFixedImageBuffer = 16 * 1024;

// Tells the user about records that earlier presses left unrestored: the data in them belongs
// to a radio whose codeplug was reprogrammed without getting its own data back.
void ReportUnfinishedRecords(CCarryOverStore& store, const std::string& current)
{
    for (const auto& file : store.List()) {
        if (file.string() == current)
            continue;
        std::string radio;
        try {
            radio = CCarryOverStore::Load(file).RadioText();
        } catch (const CError& e) {
            radio = std::string("unreadable: ") + e.GetText();
        }
        ErrorLog().Log("CRadioUpgrade::DoProgCp: Unfinished carry-over record %s (%s)", file.c_str(), radio.c_str());
        Ui().MessageBox("An earlier upgrade did not give a radio back its own tuning and serial-number data.\n"
                        "They are kept in " + file.string() + " (" + radio + ").\n"
                        "Restore them into that radio with: tessarin carryover restore " + file.string() +
                            " --port N",
                        "Warning", MB_OK | MB_ICONEXCLAMATION);
    }
}

// What the record of a press is made of, besides what the radio holds.
struct CarryOverSetting {
    CCarryOverStore* store;
    int layout;
    int codeplugMode;
    std::string radioCode;
    std::string modelTag;
    uint32_t imageLength;
};

// The radio's own data into the record (read from the radio on the first attempt of a press,
// kept from it on a retry), and the record on disk before the first programming write.
void SaveCarryOver(const CarryOverSetting& s, CCarryOverPath& path, CarryOverRecord& record)
{
    if (record.valid) {
        if (record.layout != s.layout || record.productLine != GetProductLineNumber() ||
            record.codeplugMode != s.codeplugMode)
            throw CGenError(3, "The carry-over record of this press (layout %d, product line %d, codeplug mode %d) "
                               "does not fit this codeplug",
                            record.layout, record.productLine, record.codeplugMode);
        ErrorLog().Log("CRadioUpgrade::DoProgCp: Carrying over the data read from the radio at %s (%s), not the "
                       "radio's present codeplug",
                       record.created.c_str(), record.RadioText().c_str());
    } else {
        if (s.store)
            ReportUnfinishedRecords(*s.store, record.file);
        record = CarryOverRecord{};
        record.layout = s.layout;
        record.productLine = GetProductLineNumber();
        record.codeplugMode = s.codeplugMode;
        record.radioCode = s.radioCode;
        record.identityMark = IdentityMark;
        record.modelTag = s.modelTag;
        record.imageLength = s.imageLength;
        path.Save(record);
        record.valid = true;
    }
    // On disk before the first programming write; a retry puts it back if the last attempt
    // had removed it.
    if (s.store && (record.file.empty() || !std::filesystem::exists(record.file))) {
        try {
            s.store->Save(record);
        } catch (const CError& e) {
            ErrorLog().Log("%s", e.GetText());
            ErrorLog().Log("CRadioUpgrade::DoProgCp: The radio's own data could not be saved; its codeplug was not "
                           "touched");
            throw;
        }
    }
}

// The programming loop: 32-byte writes from the image over the region, one progress step each.
void ProgramRegion(CCodeplug& codeplug, const uint8_t* image, uint32_t start, uint32_t end, bool progress,
                   const char* logLine)
{
    for (uint32_t pos = start; pos < end;) {
        if (progress)
            Ui().SendMainFrameMessage(WM_PROGRESS_STEP, 0, 0);
        uint32_t n = std::min<uint32_t>(CCodeplug::kChunk, end - pos);
        try {
            codeplug.GetBroker().WriteRequest(pos, n, image + pos);
        } catch (const CError&) {
            ErrorLog().Log("%s", logLine);
            ErrorLog().Log("Write radio codeplug failed at address %X", pos);
            throw;
        }
        pos += n;
    }
}

}  // namespace

void CRadioUpgrade::DoProgCp()
{
    if (m_regionEnd == 0)
        throw CGenError(3, "Error in calculating the programmable codeplug region");
    if (m_codeplugType < 1 || m_codeplugType > 3)
        throw CGenError(3, "Codeplug layout %d has no rules for carrying a radio's own data over", m_codeplugType);
    const uint32_t capacity = m_codeplugType == 3 ? kFixedImageBuffer : kImageBuffer;
    if (m_regionStart > m_regionEnd || m_regionEnd > capacity)
        throw CGenError(3, "The codeplug region %X to %X does not lie within the %u-byte image", m_regionStart,
                        m_regionEnd, capacity);

    // The image, refused before the radio is touched when it does not fit.
    std::vector<uint8_t> image(capacity, 0);
    uint32_t imageLength = 0;
    {
        SRecord reader;
        reader.AttachText(m_codeplugImage ? m_codeplugImage->c_str() : "");
        ImageBuffer buffer{image.data(), 0};
        bool loaded = reader.LoadData(buffer, capacity);
        reader.Detach();
        imageLength = static_cast<uint32_t>(buffer.size);
        if (!loaded) {
            ErrorLog().Log("CRadioUpgrade::DoProgCp: The codeplug image does not fit the %u-byte image buffer",
                           capacity);
            throw CGenError(3, "The codeplug image holds more than the %u bytes this codeplug layout takes", capacity);
        }
    }

    std::unique_ptr<CCodeplug> codeplug = CreateCodeplug(m_codeplugType);
    codeplug->SetLink(m_portNumber, m_echoMode);
    codeplug->StartCpAccess(0);
    codeplug->GetBroker().Comm().SetPause(2);
    if (m_plan->flashFirmware == 1) {
        if (CSerial* serial = codeplug->GetBroker().Comm().GetSerial())
            serial->SetBaud(m_flashSettings->flashBaud);
    }
    if (m_codeplugType == 3) {
        codeplug->SetImageText(m_codeplugImage->c_str(), m_radioCode);
        Ui().SendMainFrameMessage(WM_STATUS_NOTICE, 4, 0);
        Ui().SetProgressText("Programming Codeplug...");
    }
    std::unique_ptr<CCarryOverPath> path = CreateCarryOverPath(m_codeplugType, *codeplug);

    CarryOverRecord attemptOnly;
    CarryOverRecord& record = m_carryOver ? *m_carryOver : attemptOnly;
    std::string code(m_radioCode, m_radioCode[1] ? 2 : (m_radioCode[0] ? 1 : 0));
    SaveCarryOver({m_carryOverStore, m_codeplugType, m_plan->codeplugMode, code, m_plan->modelTag, imageLength}, *path, record);

    m_radioLeft = RadioLeft::CodeplugPartlyWritten;
    path->BeforeProgramming(record);
    ProgramRegion(*codeplug, image.data(), m_regionStart, m_regionEnd, m_progressShown, path->ProgrammingLogLine());
    path->Restore(record, std::vector<uint8_t>(image.begin(), image.begin() + 2));
    // Restored and read back: the file has done its work. The record stays valid for a retry
    // of this press, which restores the same data again.
    if (m_carryOverStore)
        m_carryOverStore->Remove(record);
}

