#include "upgrade/RadioUpgrade.h"

// Placeholder until the engine's stages are written: every run ends as an invalid data file.

uint8_t IdentityMark = 0;

CRadioUpgrade::CRadioUpgrade() = default;
CRadioUpgrade::~CRadioUpgrade() = default;

void CRadioUpgrade::SetPort(int portNumber, uint8_t echoMode)
{
    m_portNumber = portNumber;
    m_echoMode = echoMode;
}
void CRadioUpgrade::SetPlan(const UpgradePlan& plan) { m_plan = &plan; }
void CRadioUpgrade::SetJob(FlashSettings& settings, const std::string& codeplugImage,
                           const PatchEntries& patchEntries, int codeplugType,
                           const std::string& keySource)
{
    m_flashSettings = &settings;
    m_codeplugImage = &codeplugImage;
    m_patchEntries = &patchEntries;
    m_codeplugType = codeplugType;
    m_keySource = &keySource;
}
void CRadioUpgrade::SetSerial(CSerial* serial) { m_serial = serial; }
void CRadioUpgrade::SetRadioCode(const char* code)
{
    m_radioCode[0] = code[0];
    m_radioCode[1] = code[1];
}
void CRadioUpgrade::SetCarryOver(CarryOverRecord* record, CCarryOverStore* store)
{
    m_carryOver = record;
    m_carryOverStore = store;
}
int CRadioUpgrade::UpgradeRadio()
{
    m_result = kUpgradeInvalidDataFile;
    return m_result;
}
