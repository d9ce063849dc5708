#pragma once

// A simulated radio of sim/profiles with the test kit made for it, the engine set up the way
// the form sets it up, and the expected codeplug after an upgrade derived from the kit image
// and the radio's old codeplug by rules given as data.
#include "UpgradeTestSupport.h"
#include "tests/support/ExpectedCodeplug.h"
#include "tests/support/ScratchDirectory.h"

#include "files/DataFile.h"
#include "link/LinkFlags.h"
#include "platform/Platform.h"
#include "platform/Serial.h"
#include "sim/model/RadioProfile.h"
#include "upgrade/CarryOver.h"
#include "upgrade/RadioUpgrade.h"
#include "upgrade/UpgradePlan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

// A byte of the radio's own codeplug set before the upgrade, the checksum byte at `sumAt` moved
// with it so that its range keeps its sum.
struct RadioByte {
    uint32_t at;
    uint8_t value;
    uint32_t sumAt;
};

// A simulated radio and its kit.
struct KitCase {
    const char* profile;  // sim/profiles/<profile>.json
    const char* kit;      // kits/<kit> (sources) and <build>/kits/<kit> (packed)
    const char* image;    // the kit's codeplug image file
    const char* key;      // the kit's data-file key
    int productLine;
    int codeplugType;
    int codeplugMode;
    const char* radioCode;
    const char* modelTag;
    uint32_t regionStart, regionEnd;
    std::vector<Rule> rules;
    std::vector<RadioByte> radioBytes = {};
    const char* variant = "";  // tells apart cases of one radio

    static std::string Name(const KitCase& c)
    {
        std::string name = std::string(c.profile) + c.variant;
        for (char& ch : name)
            if (ch == '-')
                ch = '_';
        return name;
    }
};

// The identity the case's radio reports (its profile's status replies 0, 11 and 4), as the
// Program press records it.
RadioIdentity ReportedIdentity(const KitCase& c);
// The demo radio (sim/profiles/demo.json) with the demo kit.
const KitCase& DemoKitCase();
// The plain text of one of the case's packed kit files.
std::string KitFile(const KitCase& c, const std::string& name);
// The patch entries of the kit's first patch group (its patcher.txt source).
PatchEntries FirstPatchGroup(const std::string& patcherText);
// The codeplug a case must leave: the old codeplug, the kit image over the region, the rules.
std::vector<uint8_t> ExpectedCodeplug(const KitCase& c, const std::vector<uint8_t>& oldCodeplug,
                                      const std::vector<uint8_t>& kitImage);
// Compares two codeplugs and names the first addresses that differ.
void ExpectCodeplug(const std::vector<uint8_t>& actual, const std::vector<uint8_t>& expected);

// One Program press on one radio: the engine built for each attempt, the carry-over record
// kept across the attempts and stored in a temporary state directory.
class KitRun {
public:
    explicit KitRun(const KitCase& c);
    ~KitRun();
    KitRun(const KitRun&) = delete;
    KitRun& operator=(const KitRun&) = delete;

    // The expected codeplug, from the radio as it is now.
    std::vector<uint8_t> Expected();
    // The form's part before a firmware run: identity mark, bootstrap mode, the port at 2400.
    void PrepareBootstrap();
    // One attempt: a new engine with the plan, the kit and the record of this press.
    int Run();
    // What the form puts in the record before the engine runs: the radio's identity and the
    // codeplug job's region and fingerprint.
    void RecordAsTheForm(const RadioIdentity& radio);
    // Makes the radio refuse every attempt of its `nth` codeplug write from now on.
    void RefuseCodeplugWrite(unsigned nth);
    // The codeplug writes of the programming loop (and the moved fields written before it).
    unsigned ProgrammingWrites() const;
    // Runs `tessarin carryover restore`'s checks and restore of `record` on the radio; the text
    // of the error raised, "" when it was restored.
    std::string RestoreRecord(const CarryOverRecord& record);

    CSimRadio& Radio() { return rig.Radio(); }
    CVirtualClock& Clock() { return scope.Clock(); }
    std::vector<uint8_t> Codeplug() { return Radio().Memory().Codeplug(); }
    std::vector<std::string> Log() const { return scope.LogLines(); }
    std::string LogText() const;

    const KitCase& kase;
    CSimPlatformScope scope;
    CSimRadioRig rig;
    int previousLine;
    std::filesystem::path previousDir;
    UpgradePlan plan;
    FlashSettings settings;
    std::string codeplugImage;
    PatchEntries patches;
    std::string key;
    CScratchDirectory stateDir{"tessarin-carryover"};
    CCarryOverStore store;
    CarryOverRecord record;
    CSerial* bootstrapPort = nullptr;
    std::unique_ptr<CRadioUpgrade> engine;
};
