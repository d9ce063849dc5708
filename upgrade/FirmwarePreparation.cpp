// The firmware preparation of an engine run: boot code download, identity check, first erase,
// flash size probe and the firmware file chosen by the size.
#include "upgrade/RadioUpgrade.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "files/DataFile.h"
#include "files/SRecord.h"
#include "link/LinkFlags.h"
#include "link/VeskBroker.h"
#include "platform/Platform.h"
#include "platform/Serial.h"
#include "platform/StopRequest.h"
#include "platform/UiServices.h"
#include "upgrade/Bootstrap.h"
#include "upgrade/UpgradeTexts.h"

#include <array>
#include <typeinfo>

namespace {

constexpr uint32_t kIdentityAddress = 0x3FF0;
constexpr int kPrepareReplyTimeoutMs = 1000;
constexpr int kProbeAttempts = 3;
constexpr unsigned kBootcodeHelloTimeoutMs = 700;

// The last 64 KB of each flash size, counted from the flash base 0x400000; the first probe
// address that takes a write names the firmware file.
struct FlashProbe {
    uint32_t address;
    const char* firmwareFile;
    int kilobytes;
};
constexpr std::array<FlashProbe, 3> kFlashProbes{{
    {0x470000, "fw_512k", 512},
    {0x430000, "fw_256k", 256},
    {0x410000, "fw_128k", 128},
}};

// Sets SkipWriteReplyCheck for as long as it lives.
class CSkipWriteReplyCheck {
public:
    CSkipWriteReplyCheck() { SkipWriteReplyCheck = 1; }
    ~CSkipWriteReplyCheck() { SkipWriteReplyCheck = 0; }
    CSkipWriteReplyCheck(const CSkipWriteReplyCheck&) = delete;
    CSkipWriteReplyCheck& operator=(const CSkipWriteReplyCheck&) = delete;
};

bool IsExactlyGenError(const CError& error) { return typeid(error) == typeid(CGenError); }

// The 700 ms read after the rate change: the boot code's first byte need not come, so only a
// time-out is let go.
void DiscardBootcodeHello(CSerial& serial)
{
    uint8_t hello = 0;
    try {
        serial.Read(&hello, 1, kBootcodeHelloTimeoutMs);
    } catch (const CCommError& e) {
        if (e.GetCode() != 2 && e.GetCode() != 3)
            throw;
    }
}

}  // namespace

bool CRadioUpgrade::PrepareFirmware()
{
    m_radioLeft = RadioLeft::InBootCode;
    // The "Please Wait" window says what it waits for.
    Ui().SetProgressText(kBootcodeWindowText);
    Ui().SendMainFrameMessage(WM_PROGRESS_OPEN, 0, 0);
    try {
        DownloadBootcode();
    } catch (const CError& e) {
        // The download has put the status bar's text back already.
        ErrorLog().Log("%s", e.GetText());
        m_failureText = std::string("boot code download: ") + e.GetText();
        Ui().SendMainFrameMessage(WM_PROGRESS_CLOSE, 0, 0);
        return false;
    }
    Ui().SendMainFrameMessage(WM_PROGRESS_CLOSE, 0, 0);

    CVeskBroker broker;
    auto stop = [&](int result) {
        broker.CloseLink();
        m_result = result;
        Ui().SendMainFrameMessage(WM_STATUS_NOTICE, 3, 0);
        return false;
    };
    try {
        m_progress.Begin(UpgradeStage::Erase);
        broker.Comm().SetPause(0);
        broker.Comm().SetReplyTimeout(kPrepareReplyTimeoutMs);
        broker.OpenLink(m_portNumber, m_echoMode);
        broker.Comm().GetSerial()->SetBaud(m_flashSettings->flashBaud);
        CheckIdentity(broker);
        ThrowIfStopRequested("before the flash was erased");
        // From the erase request on, the radio may hold no firmware until flashing completes:
        // the record on disk says so first.
        RecordStage(PressStage::FlashErased, true);
        m_radioLeft = RadioLeft::FlashErased;
        MarkUnsafeToStop(kStopLeavesNoFirmwareText);
        broker.EraseFlashRequest();
    } catch (const CError& e) {
        m_failureText = std::string("identity check and flash erase: ") + e.GetText();
        return stop(kUpgradeFlashSizeFailed);
    }
    const char* firmwareFile = ProbeFlashSize(broker);
    if (!firmwareFile) {
        m_failureText = "flash size probe: no probe address took a write";
        return stop(kUpgradeFlashSizeFailed);
    }
    m_firmwareFile = firmwareFile;
    if (!ProcessFirmwareFile(firmwareFile))
        return stop(kUpgradeInvalidDataFile);
    m_firmwareLoaded = true;
    m_progress.Replan(ForecastWork());
    broker.CloseLink();
    return true;
}

void CRadioUpgrade::CheckIdentity(CVeskBroker& broker)
{
    uint8_t identity = 0;
    unsigned got = 0;
    {
        CSkipWriteReplyCheck skip;
        got = broker.ReadRequest(kIdentityAddress, 1, &identity);
    }
    if (got == 0) {
        ErrorLog().Log("CRadioUpgrade::CheckIdentity: The identity read at %X carried no byte", kIdentityAddress);
        throw CVeskError(3, "No reply from radio.");
    }
    if (identity != IdentityMark) {
        Ui().MessageBox(kDifferentModelText, "Error", MB_OK | MB_ICONSTOP);
        throw CVeskError(3, "Did not received Good Write Reply for VESK Erase Flash Request");
    }
}

int FlashKilobytesOf(const std::string& firmwareFile)
{
    for (const FlashProbe& size : kFlashProbes)
        if (firmwareFile == size.firmwareFile)
            return size.kilobytes;
    return 0;
}

const char* CRadioUpgrade::ProbeFlashSize(CVeskBroker& broker)
{
    const uint8_t probe = 0xAA;
    for (const FlashProbe& size : kFlashProbes) {
        for (int attempt = 0; attempt < kProbeAttempts; ++attempt) {
            try {
                broker.WriteRequest(size.address, 1, &probe);
                return size.firmwareFile;
            } catch (const CError&) {
                // No good write reply: this flash does not reach the probe address.
            }
        }
    }
    return nullptr;
}

void CRadioUpgrade::DownloadBootcode()
{
    if (!m_serial)
        throw CGenError(3, "Com Port was not opened");
    std::vector<uint8_t> image;
    try {
        image = LoadBootcodeImage();
    } catch (const CError&) {
        // The port was lent for this download: it goes back on every way out, so that a retry
        // can borrow it again.
        m_serial = nullptr;
        GetPlatform()->ReleaseSerial();
        throw;
    }
    Ui().SendMainFrameMessage(WM_STATUS_NOTICE, 1, 0);
    try {
        CBootstrap bootstrap(m_serial);
        bootstrap.SetLoaderType(m_flashSettings->loaderKind);
        m_progress.Begin(UpgradeStage::Bootstrap);
        bootstrap.SetProgress([this](unsigned blocksSent) {
            if (blocksSent == 0)
                m_progress.Begin(UpgradeStage::BootCode);
            else
                m_progress.Step();
        });
        bootstrap.SendBootcode(image.data(), static_cast<unsigned>(image.size()));
        m_serial->SetBaud(m_flashSettings->flashBaud);
        DiscardBootcodeHello(*m_serial);
        m_serial = nullptr;
        GetPlatform()->ReleaseSerial();
    } catch (const CError& e) {
        m_serial = nullptr;
        GetPlatform()->ReleaseSerial();
        Ui().SendMainFrameMessage(WM_STATUS_NOTICE, 3, 0);
        if (!IsExactlyGenError(e))
            throw;
        ErrorLog().Log("%s", e.GetText());
        throw CGenError(3, "General communication error occurred while downloading bootcode");
    }
}

std::vector<uint8_t> CRadioUpgrade::LoadBootcodeImage() const
{
    SRecord reader;
    reader.AttachText(m_flashSettings->bootcodeText);
    if (!reader.CheckFirstRecord())
        throw CGenError(3, "Read bootcode S-Record file failed");
    uint32_t length = reader.CountDataBytes();
    if (length > kBootcodeBufferSize) {
        ErrorLog().Log("CRadioUpgrade::DownloadBootcode: Boot code of %u bytes does not fit the %u-byte "
                       "boot code buffer",
                       length, kBootcodeBufferSize);
        throw CGenError(3,
                        "The boot code holds %u bytes, more than the %u bytes a radio takes; please "
                        "reinstall the upgrade kit",
                        length, kBootcodeBufferSize);
    }
    std::vector<uint8_t> buffer(kBootcodeBufferSize, 0);
    ImageBuffer image{buffer.data(), 0};
    bool loaded = reader.LoadData(image, kBootcodeBufferSize);
    reader.Detach();
    if (!loaded)
        throw CGenError(3, "Read bootcode S-Record file failed");
    buffer.resize(static_cast<std::size_t>(image.size));
    return buffer;
}

bool CRadioUpgrade::ProcessFirmwareFile(const char* fileName)
{
    DataFileText file = ReadDataFile(fileName, *m_keySource);
    switch (file.status) {
    case DataFileStatus::Ok:
        m_flashSettings->firmwareText = file.Text();
        return true;
    case DataFileStatus::CannotOpen:
        Ui().MessageBox(kFirmwareOpenFailedText, "Error", MB_OK | MB_ICONSTOP);
        break;
    case DataFileStatus::NoMemory:
        ErrorLog().Log("CUpgradeForm::ProcessFirmwareFile: Unable to allocate memory for storing firmware S-Record");
        Ui().MessageBox(kFirmwareNoMemoryText, "Error", MB_OK | MB_ICONSTOP);
        break;
    default:
        Ui().MessageBox(kDataFileCorruptText, "Error", MB_OK | MB_ICONSTOP);
        break;
    }
    ErrorLog().Log("CRadioUpgrade::ProcessFirmwareFile: %s: %s", fileName, DescribeDataFileStatus(file.status));
    return false;
}
