// The flash rate choice and the boot code it selects.
#include "app/FormMessages.h"
#include "app/UpgradeForm.h"
#include "files/DataFile.h"
#include "platform/UiServices.h"

#include <vector>

namespace {

// The boot code buffer: the file and ten zero bytes after it.
constexpr std::size_t kBootcodeBufferSize = 10000;

int RateIndex(int flashBaud)
{
    switch (flashBaud) {
    case 19200:
        return 0;
    case 38400:
        return 1;
    case 115200:
        return 2;
    default:
        return -1;
    }
}

} // namespace

CUpgradeForm::RateChoice CUpgradeForm::ChooseFlashRate()
{
    int rate = Ui().AskFlashRate(m_flashSettings.flashBaud);
    if (rate == CUiServices::kFlashRateNotChosen || RateIndex(rate) < 0)
        return RateChoice::NotChosen;  // closed without a choice: nothing changes, asked again next press
    m_rateDialogShown = 1;
    return LoadBootcode(rate) ? RateChoice::Chosen : RateChoice::BootcodeUnusable;
}

bool CUpgradeForm::LoadBootcode(int flashBaud)
{
    int index = RateIndex(flashBaud);
    if (index < 0)
        return true;
    m_flashSettings.flashBaud = flashBaud;
    m_config.FindNthBlock("RADIO_GROUP_REGION", m_groupIndex);
    std::string name;
    m_config.GetField(index + 2, 1, name);
    std::vector<char> buffer(kBootcodeBufferSize, 0);
    DataFileStatus status = DataFileStatus::CannotOpen;
    // The kit's files are bare names in the kit directory.
    if (!name.empty() && name.find('/') == std::string::npos && name != "." && name != "..")
        status = ReadDataFileInto((m_kitDirectory / name).string(), m_dataFileKey, buffer.data(), buffer.size());
    if (status != DataFileStatus::Ok) {
        Box(FormText::kBootcodeUnusable, FormText::kApplicationTitle, MB_OK | MB_ICONEXCLAMATION);
        Ui().Quit(-1);
        return false;
    }
    m_flashSettings.bootcodeText = buffer.data();
    m_bootcodeFile = name;
    return true;
}
