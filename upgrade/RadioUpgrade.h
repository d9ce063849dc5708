#pragma once

#include "upgrade/CarryOver.h"
#include "upgrade/CodeplugJob.h"
#include "upgrade/RadioLeft.h"
#include "upgrade/UpgradeProgress.h"
#include "upgrade/UpgradePlan.h"

#include <cstdint>
#include <string>
#include <vector>

class CSerial;
class CVeskBroker;
class SRecord;

// The flash size, in KB, of the radio the flash size probe chose `firmwareFile` for
// ("fw_512k": 512); 0 for any other name.
int FlashKilobytesOf(const std::string& firmwareFile);

// The engine behind Program: one object per attempt. The form calls the setters, then
// UpgradeRadio, then destroys it; a retry builds a new one.
//
// Stages, each as far as the plan asks: firmware preparation (boot code, identity check,
// first erase, flash size probe, firmware file), PrepareUpgrade (images checked, work
// counted), FlashFirmware, DoProgCp (codeplug with the radio's own data carried over),
// DoPatch. Progress goes to the main frame through the UI services; the engine never
// computes a percentage.
class CRadioUpgrade {
public:
    CRadioUpgrade();
    CRadioUpgrade(const CRadioUpgrade&) = delete;
    CRadioUpgrade& operator=(const CRadioUpgrade&) = delete;
    virtual ~CRadioUpgrade();

    void SetPort(int portNumber, uint8_t echoMode);
    void SetPlan(const UpgradePlan& plan);
    // keySource: the data-file key text the firmware file is deciphered with.
    void SetJob(FlashSettings& settings, const std::string& codeplugImage,
                const PatchEntries& patchEntries, int codeplugType, const std::string& keySource);
    // The port the form opened at the bootstrap rate; only when flashing.
    void SetSerial(CSerial* serial);
    // Copies exactly two characters.
    void SetRadioCode(const char* code);
    // The carry-over record kept by the caller across the attempts of one Program press, and
    // the store that keeps it on disk. Without them DoProgCp keeps its record for this attempt
    // only.
    void SetCarryOver(CarryOverRecord* record, CCarryOverStore* store);

    // Runs the plan; returns one of the kUpgrade* results. Never throws. A stop asked for by a
    // signal (platform/StopRequest.h) ends the run at the next safe point (between requests,
    // boot code blocks or stages) with the result of the stage it reached; RadioLeftText()
    // then says what the radio holds.
    int UpgradeRadio();

    // The firmware image the flash size probe chose ("" before the probe).
    const std::string& FirmwareFile() const { return m_firmwareFile; }
    // The error that ended a failed run, with the stage it failed in ("" after a success).
    const std::string& FailureText() const { return m_failureText; }

    // How far this run has changed the radio, and that in words for the user.
    RadioLeft GetRadioLeft() const { return m_radioLeft; }
    std::string RadioLeftText() const;

    // Checks the images of the plan and counts the work units (firmware records, codeplug
    // chunks, patch entries); raises CGenError 3 for an image or plan that cannot be used.
    // Public for tests of the single stage; UpgradeRadio runs it.
    void PrepareUpgrade();

    // Exposed for tests of the single stages.
    int GetResult() const { return m_result; }
    int GetFirmwareRecords() const { return m_firmwareRecords; }
    int GetCodeplugChunks() const { return m_codeplugChunks; }
    int GetPatchCount() const { return m_patchCount; }
    uint32_t GetRegionStart() const { return m_regionStart; }
    uint32_t GetRegionEnd() const { return m_regionEnd; }
    // The stages reported and the time left, as the run has gone so far.
    const CUpgradeProgress& Progress() const { return m_progress; }

    // The boot code image is built in a buffer of this many bytes; a longer one is refused
    // before anything is sent.
    static constexpr uint32_t kBootcodeBufferSize = 5000;

private:
    // Firmware preparation: returns false (result set to 3, 4 or 6) when the run must end.
    bool PrepareFirmware();
    // Lends the port back to the platform on every way out.
    void DownloadBootcode();
    std::vector<uint8_t> LoadBootcodeImage() const;
    // Raises when the radio's identity byte cannot be read or differs from IdentityMark.
    void CheckIdentity(CVeskBroker& broker);
    // The firmware file named by the first probe address that takes a write; null when none does.
    const char* ProbeFlashSize(CVeskBroker& broker);
    // Reads, checks and deciphers the firmware file (by bare name, from the current directory)
    // into flashSettings.firmwareText; false, after its message box, when the file is unusable.
    bool ProcessFirmwareFile(const char* fileName);
    // PrepareUpgrade with its failure turned into the invalid data file result.
    bool RunPrepareUpgrade();
    void CountCodeplugChunks();
    void OpenCountedProgress();
    // The run's work as far as it is known now, for the time left.
    UpgradeWork ForecastWork() const;
    // FlashFirmware, DoProgCp and DoPatch as the plan asks; a failure leaves the result at the
    // stage that failed.
    void RunStages();
    // Logs the stop and what the radio holds, when a stop ended the run.
    void LogStop() const;
    // Writes how far the run has taken the radio into the press record on disk (when the caller
    // keeps one). `mustSave`: a record that cannot be written raises, so that the change it
    // announces is not made.
    void RecordStage(PressStage stage, bool mustSave = false);
    void FlashFirmware();
    void WriteRecords(SRecord& reader, CVeskBroker& broker);
    void DoProgCp();
    void DoPatch();

    char m_radioCode[2] = {0, 0};
    int m_codeplugType = 0;
    bool m_progressShown = false;
    int m_patchCount = 0;
    int m_codeplugChunks = 0;
    int m_firmwareRecords = 0;
    uint32_t m_regionStart = 0;
    uint32_t m_regionEnd = 0;
    CodeplugJob m_codeplugJob;  // the codeplug stage's image and region, laid out by PrepareUpgrade
    const UpgradePlan* m_plan = nullptr;
    FlashSettings* m_flashSettings = nullptr;
    const std::string* m_codeplugImage = nullptr;
    const PatchEntries* m_patchEntries = nullptr;
    int m_portNumber = 0;
    uint8_t m_echoMode = 0;
    CSerial* m_serial = nullptr;
    std::vector<uint8_t> m_firmwareBuffer;
    const std::string* m_keySource = nullptr;
    int m_result = 0;
    RadioLeft m_radioLeft = RadioLeft::Untouched;
    std::string m_firmwareFile;
    std::string m_failureText;
    bool m_firmwareLoaded = false;
    CarryOverRecord* m_carryOver = nullptr;
    CCarryOverStore* m_carryOverStore = nullptr;
    CUpgradeProgress m_progress;
};

// The patch entries before the end entry.
int CountPatchEntries(const PatchEntries& entries);
