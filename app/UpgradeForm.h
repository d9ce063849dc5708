#pragma once

#include "app/CommSettings.h"
#include "app/ProgramOutcome.h"
#include "app/UpgradeEngine.h"
#include "files/FileManager.h"
#include "link/VeskBroker.h"
#include "upgrade/CarryOver.h"
#include "upgrade/CodeplugJob.h"
#include "upgrade/UpgradePlan.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The upgrade workflow behind the Program button, free of any window toolkit: every prompt goes
// through the UI services (platform/UiServices.h), so the windowed program, `tessarin program`
// and the tests drive the same code.
//
// Use:
//   CCommSettings settings;  settings.Load(Settings());
//   SetProductLineNumber(ResolveKitProductLine(kit));   // once, at start
//   CUpgradeForm form(kit, settings);
//   form.OnInitialUpdate();          // reads patcher.dat; Title(), Description() then tell the kit
//   ProgramOutcome o = form.OnProgram();   // one press; blocks until the upgrade is over
//
// OnProgram runs synchronously on the caller's thread (a worker thread in the front ends): every
// message box, the flash rate question and the progress messages are UI-services calls made
// from that thread. The kit directory is the start directory: the configuration file, the boot
// code, codeplug and firmware files are read from it whatever the current directory is (the
// engine runs with the kit directory current and the previous one is put back afterwards).
// What is wrong with a kit image's S-record text (its first record, its records' digits and
// checksums, its end record), or empty when it reads whole.
std::string ImageTextProblem(const char* text);
// The message that names a kit file and what is wrong with it.
std::string KitFileProblem(const std::string& file, const std::string& problem);

class CError;

class CUpgradeForm {
public:
    // `settings` is read at every press (a change takes effect at the next one); it must
    // outlive the form.
    CUpgradeForm(std::filesystem::path kitDirectory, const CCommSettings& settings);
    CUpgradeForm(const CUpgradeForm&) = delete;
    CUpgradeForm& operator=(const CUpgradeForm&) = delete;
    ~CUpgradeForm();

    // Start: reads the configuration file, takes the kit's title, description, data-file key
    // and codeplug type, refuses product line 13 and warns about a testing kit. Returns false
    // when the application is to end (a quit was asked of the UI services: unknown product line,
    // or Cancel on the testing-kit warning). A configuration file that cannot be opened or read
    // is reported and leaves the form without configuration (true: the program goes on, but
    // Program refuses).
    bool OnInitialUpdate();
    // One press of Program: verification, matching, the bootstrap prompts and the engine runs
    // with their retries. Every outcome has been shown to the user when it returns.
    ProgramOutcome OnProgram();
    // Verification and matching only, for a dry run: the link, the checks of the radio and the
    // plan, without the identity mark or any other write and without running the engine.
    PlanReport DryRun();

    // The flash rate choice: asks the UI services (once per run of the program, when a plan
    // flashes firmware and asks for the rate) and loads the matching boot code. Exposed so that
    // a front end can offer the choice itself. Closed without a choice, nothing changes and the
    // question is asked again at the next press.
    enum class RateChoice { Chosen, NotChosen, BootcodeUnusable };
    RateChoice ChooseFlashRate();
    // What the flash rate dialog does on OK: the rate (19200, 38400 or 115200) becomes the
    // flash rate and its boot code file is read and deciphered into the flash settings. False
    // (message shown, quit -1 asked) when the file is missing, empty, not a multiple of 8 bytes
    // or larger than 9,990 bytes.
    bool LoadBootcode(int flashBaud);

    // The kit as the configuration file describes it (empty before OnInitialUpdate).
    bool HasConfiguration() const { return m_configLoaded; }
    const std::string& Title() const { return m_title; }
    const std::string& Description() const { return m_description; }
    const std::string& DataFileKey() const { return m_dataFileKey; }
    int CodeplugType() const { return m_codeplugType; }
    static int ProductLine();
    // "Radio Refurbix" or "Radio Flashix", from the product line.
    static std::string WindowTitle();
    const std::filesystem::path& KitDirectory() const { return m_kitDirectory; }

    // State that lives across presses.
    const FlashSettings& GetFlashSettings() const { return m_flashSettings; }
    bool RateDialogShown() const { return m_rateDialogShown != 0; }
    const UpgradePlan& Plan() const { return m_plan; }
    const PatchEntries& GetPatchEntries() const { return m_patchEntries; }
    // The radio of the last press as verification read it.
    const RadioIdentity& Identity() const { return m_identity; }
    // The version text the radio reported to matching (status request 3).
    const std::string& RadioVersion() const { return m_radioVersion; }
    // The release bytes and the level byte matching read ("" and -1 before matching).
    const std::string& RadioRelease() const { return m_radioRelease; }
    int RadioLevel() const { return m_radioLevel; }
    // The radio in one line: identity, version, release and level, codeplug layout, and the
    // flash size once the press has probed it.
    std::string RadioLine() const;
    // The record of the press under way or last made ("" file when none is on disk).
    const CarryOverRecord& PressRecord() const { return m_carryOver; }
    // Whether the last press made or took over a record, and its file (kept here after the
    // press removed the file because it finished the radio; "" when there was none).
    bool PressRecorded() const { return m_pressRecorded; }
    const std::string& RecordFileUsed() const { return m_recordFileUsed; }
    // Why the link could not be opened the last time (the port's own words), or empty.
    const std::string& LinkFailureCause() const { return m_linkFailureCause; }

    // Tests put in their own engine; the default is the upgrade layer's.
    void SetEngineFactory(UpgradeEngineFactory factory) { m_engineFactory = std::move(factory); }
    // Where the carry-over record is kept (default: the user's state directory).
    void SetCarryOverDirectory(const std::filesystem::path& directory) { m_carryOverStore = CCarryOverStore(directory); }
    const CCarryOverStore& CarryOverStore() const { return m_carryOverStore; }

private:
    // Start.
    void WarnIfTestKit(bool& quit);

    // Program (FormProgram.cpp).
    bool OpenLink();
    void CloseLink();
    bool ReachRadio();
    void ProbeBootState();
    void CheckRadioRegions();
    bool CheckRegion(uint32_t first, uint32_t last);
    bool CheckPowerUp();
    void WriteIdentityMark();
    bool NothingPlannedForRunningRadio() const;
    // The checks of the kit's part of the plan, before anything but the identity mark has
    // reached the radio: the codeplug job, then the flash rate and boot code, then the
    // firmware images.
    bool CheckKitPart();
    bool CheckCodeplugJob();
    bool PrepareFlashing();
    // Process-wide flags that belong to one press, back to 0 where a press begins.
    static void ResetPressFlags();

    // The record of the press on disk (FormRecord.cpp).
    void ReadRadioIdentity();
    // Before the first engine run: takes over this radio's unfinished record, if any (its saved
    // data is then carried over instead of what the radio holds now), or makes a new one, and
    // writes it. False (message shown) when the press must not go on.
    bool RecordPress();
    // A refused radio may be one whose press stopped after its firmware was written: finishes
    // its recorded stages instead. True when the plan is now the record's rest.
    bool FinishRecordedPress();
    // No radio answers: offers to finish a radio that a recorded press left without firmware.
    // True when the technician confirmed it and the plan is the record's.
    bool OfferFinishWithoutFirmware();
    // Takes the record's kit part (model entry, codeplug image, patch group) into the form;
    // false when the kit no longer holds what the record was made with.
    bool TakeRecordedPlan(const CarryOverRecord& record, UpgradePlan plan);
    // After the attempt loop: the record goes when the press finished the radio or never
    // touched it; otherwise the technician is told where it is and what to do.
    void EndPressRecord();
    // The attempt loop (FormAttempts.cpp).
    void RunAttempts();
    void ActOnResult(int result);
    void RetryChoice(int answer);

    // Verification and matching (FormVerify.cpp, FormMatch.cpp).
    bool VerifyRadio(bool dryRun);
    bool VerifyRadioChecks(bool dryRun);
    bool SearchRadioGroup();
    bool CheckRelease();
    bool CheckVerificationBlock();
    bool ProcessCodeplugFile();
    void MatchRadio();
    void LoadPatchEntries();
    // Raises the syntax error of a configuration block (the kit cannot be used).
    [[noreturn]] void ConfigSyntaxError(const char* message);

    // The kit's images read whole before the radio is touched (KitFileCheck.cpp).
    bool CheckFirmwareImages();
    bool CheckBootcode();
    bool RefuseKitFile(const std::string& file, const std::string& problem);

    bool RefuseUnlessRecorded(const char* text);
    // Why the radio was refused: the check, what the radio reported, what the kit expected.
    std::string m_refusalDetail;
    // Verification and matching done: the link is closed and the plan reported.
    bool Planned();
    std::string ReadCodeplugImage(const std::string& file, std::string& problem);

    // Message boxes and the failure they stand for.
    int Box(const char* text, const char* caption, unsigned style);
    int Box(const std::string& text, const char* caption, unsigned style) { return Box(text.c_str(), caption, style); }
    void Fail(ProgramEnd end, const std::string& detail = {});
    void ShowError(const char* text);
    void ShowError(const std::string& text) { ShowError(text.c_str()); }
    // An error object's text; a link failure's with a line of advice after it.
    void ShowLinkError(const CError& error);

    std::string m_bootcodeFile;  // the boot code file the flash rate chose
    std::filesystem::path m_kitDirectory;
    const CCommSettings& m_settings;
    UpgradeEngineFactory m_engineFactory;

    std::string m_description;
    std::string m_title;
    int m_attemptState = 0;
    std::string m_codeplugImage;  // deciphered codeplug image text; empty for none
    std::string m_codeplugFile;
    int m_groupIndex = 1;
    int m_radioRow = 0;
    int m_entryIndex = 0;
    int m_entriesPerModel = 0;
    uint8_t m_rateDialogShown = 0;
    // Decision flags: equal to the plan after an ordinary match; in the recovery plans only
    // the first two follow it.
    uint8_t m_askFlashRate = 0;
    uint8_t m_flashFirmware = 0;
    int m_codeplugMode = 0;
    uint8_t m_applyPatches = 0;
    CVeskBroker m_broker;
    FileManager m_config;
    bool m_configLoaded = false;
    std::array<char, 17> m_regionId{};  // reply to status 15: the radio group identifier
    char m_radioCode[2] = {0, 0};
    FlashSettings m_flashSettings;
    std::string m_dataFileKey;
    int m_codeplugType = 0;
    std::array<uint8_t, 16> m_identifier{};  // the group identifier last read from the kit
    PatchEntries m_patchEntries;
    UpgradePlan m_plan;
    CarryOverRecord m_carryOver;
    CCarryOverStore m_carryOverStore;
    RadioIdentity m_identity;
    std::string m_radioVersion;
    std::string m_radioRelease;    // the release bytes matching read (status 14), as text
    int m_radioLevel = -1;         // the level byte matching read (status 16); -1 before
    std::string m_lastFailure;     // the stage and error of the last failed engine run
    CodeplugJob m_codeplugJob;     // the plan's codeplug job, laid out after matching
    bool m_finishing = false;      // this press finishes a recorded one
    bool m_dryRun = false;         // verification for a dry run: nothing is finished
    bool m_pressRecorded = false;  // this press made or took over m_carryOver
    std::string m_recordFileUsed;  // its file, as EndPressRecord found it

    // The press under way.
    ProgramOutcome m_outcome;
    ProgramEnd m_failureKind = ProgramEnd::LinkFailed;  // what an error raised now stands for
    std::string m_linkFailureCause;
    std::vector<std::string> m_dryRunNotes;
};

// True when `pattern` occurs at some position of `text` (an empty pattern occurs everywhere, a
// pattern longer than the text never does): how a model entry's pattern matches the radio's model.
bool ContainsText(const std::string& text, const std::string& pattern);

// The product line named by the kit's configuration file (13 when it names none of the table,
// or when the file cannot be opened or read).
int ResolveKitProductLine(const std::filesystem::path& kitDirectory);
