#pragma once

#include "upgrade/RadioLeft.h"
#include "upgrade/UpgradePlan.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class CSerial;
class CCarryOverStore;
struct CarryOverRecord;

// One engine run as the form drives it: the setters, then UpgradeRadio. The form makes a new
// one for every attempt. CRadioUpgradeEngine is the real one; tests put in their own to give
// the form any result code.
class CUpgradeEngine {
public:
    virtual ~CUpgradeEngine() = default;
    virtual void SetPort(int portNumber, uint8_t echoMode) = 0;
    virtual void SetPlan(const UpgradePlan& plan) = 0;
    virtual void SetJob(FlashSettings& settings, const std::string& codeplugImage, const PatchEntries& patchEntries,
                        int codeplugType, const std::string& keySource) = 0;
    virtual void SetSerial(CSerial* serial) = 0;
    virtual void SetRadioCode(const char* code) = 0;
    virtual void SetCarryOver(CarryOverRecord* record, CCarryOverStore* store) = 0;
    // One of the kUpgrade* results; never throws.
    virtual int UpgradeRadio() = 0;
    // The firmware image chosen by the flash size in the last run ("fw_256k"), or empty.
    virtual std::string FirmwareFile() const { return {}; }
    // After a run that a stop ended: what the radio holds, in words for the user.
    virtual std::string RadioLeftText() const { return {}; }
    virtual RadioLeft GetRadioLeft() const { return RadioLeft::Untouched; }
    // The stage and error that ended a failed run ("" when unknown).
    virtual std::string FailureText() const { return {}; }
};

using UpgradeEngineFactory = std::function<std::unique_ptr<CUpgradeEngine>()>;

// The engine of the upgrade layer.
std::unique_ptr<CUpgradeEngine> MakeRadioUpgradeEngine();
