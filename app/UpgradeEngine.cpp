#include "app/UpgradeEngine.h"

#include "upgrade/RadioUpgrade.h"

namespace {

class CRadioUpgradeEngine : public CUpgradeEngine {
public:
    void SetPort(int portNumber, uint8_t echoMode) override { m_engine.SetPort(portNumber, echoMode); }
    void SetPlan(const UpgradePlan& plan) override { m_engine.SetPlan(plan); }
    void SetJob(FlashSettings& settings, const std::string& codeplugImage, const PatchEntries& patchEntries,
                int codeplugType, const std::string& keySource) override
    {
        m_engine.SetJob(settings, codeplugImage, patchEntries, codeplugType, keySource);
    }
    void SetSerial(CSerial* serial) override { m_engine.SetSerial(serial); }
    void SetRadioCode(const char* code) override { m_engine.SetRadioCode(code); }
    void SetCarryOver(CarryOverRecord* record, CCarryOverStore* store) override
    {
        m_engine.SetCarryOver(record, store);
    }
    int UpgradeRadio() override { return m_engine.UpgradeRadio(); }
    std::string RadioLeftText() const override { return m_engine.RadioLeftText(); }
    RadioLeft GetRadioLeft() const override { return m_engine.GetRadioLeft(); }
    std::string FirmwareFile() const override { return m_engine.FirmwareFile(); }
    std::string FailureText() const override { return m_engine.FailureText(); }

private:
    CRadioUpgrade m_engine;
};

} // namespace

std::unique_ptr<CUpgradeEngine> MakeRadioUpgradeEngine() { return std::make_unique<CRadioUpgradeEngine>(); }
