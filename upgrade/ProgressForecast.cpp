#include "upgrade/ProgressForecast.h"

#include "files/SRecord.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kBitsPerByte = 10.0;  // start, eight data bits, stop
constexpr uint32_t kWriteFrameBytes = 8;   // long form header, address and checksum around the data
constexpr uint32_t kWriteReplyBytes = 6;   // the good write reply with its address
constexpr uint32_t kReadFrameBytes = 7;    // the read request
constexpr uint32_t kReadReplyBytes = 6;    // the read reply around the bytes read
constexpr uint32_t kAckBytes = 1;
constexpr uint32_t kBootBlockBytes = 8;    // the boot ROM returns each 8-byte block
constexpr uint32_t kCodeplugChunk = 32;
constexpr double kCodeplugPauseSeconds = 0.002;  // the codeplug link's pause after each request
constexpr double kBrokerPauseSeconds = 0.010;    // the pause of a plain broker's request
// The carry-over reads and restores its writes around the codeplug programming, and the
// codeplug access the patcher opens before its entries and the reset after them: requests of a
// block each, as many as the larger layouts take.
constexpr uint32_t kCarryOverRequests = 48;
constexpr uint32_t kPatchSetupRequests = 12;
constexpr uint32_t kPatchBlockBytes = 32;
// Identity read, probe writes (three attempts on each of two probes a smaller flash refuses).
constexpr uint32_t kEraseStageRequests = 8;

double LineSeconds(uint64_t bytes, int baud) { return static_cast<double>(bytes) * kBitsPerByte / baud; }

// One request and its answer: the frame out, the acknowledgement and the reply in.
double RequestSeconds(uint32_t out, uint32_t in, int baud, const RadioTiming& timing)
{
    return LineSeconds(out + kAckBytes + in, baud) + timing.answerSeconds;
}

double ReadsSeconds(uint32_t requests, uint32_t bytesEach, int baud, double pause, const RadioTiming& timing)
{
    return requests * (RequestSeconds(kReadFrameBytes, kReadReplyBytes + bytesEach, baud, timing) + pause);
}

} // namespace

ImageCounts CountImage(const std::string& text)
{
    ImageCounts counts;
    SRecord reader;
    reader.AttachText(text);
    if (reader.CheckFirstRecord()) {
        counts.records = reader.CountRecords();
        counts.dataBytes = reader.CountDataBytes();
    }
    reader.Detach();
    return counts;
}

ImageCounts FirmwareBeforeProbe(const std::vector<ImageCounts>& images)
{
    if (images.empty())
        return {};
    auto [smallest, largest] = std::minmax_element(images.begin(), images.end(), [](const ImageCounts& a, const ImageCounts& b) {
        return a.dataBytes < b.dataBytes;
    });
    ImageCounts middle;
    middle.records = static_cast<uint32_t>(std::lround(std::sqrt(double(smallest->records) * largest->records)));
    middle.dataBytes = static_cast<uint64_t>(std::llround(std::sqrt(double(smallest->dataBytes) * double(largest->dataBytes))));
    return middle;
}

const char* UpgradeStageName(UpgradeStage stage)
{
    switch (stage) {
    case UpgradeStage::Bootstrap:
        return "Bootstrap";
    case UpgradeStage::BootCode:
        return "Boot code";
    case UpgradeStage::Erase:
        return "Erase";
    case UpgradeStage::Firmware:
        return "Firmware";
    case UpgradeStage::Codeplug:
        return "Codeplug programming";
    case UpgradeStage::Patches:
        return "Patches";
    }
    return "Upgrade";
}

std::vector<UpgradeStage> PlannedStages(const UpgradePlan& plan)
{
    std::vector<UpgradeStage> stages;
    if (plan.flashFirmware == 1)
        stages = {UpgradeStage::Bootstrap, UpgradeStage::BootCode, UpgradeStage::Erase, UpgradeStage::Firmware};
    if (plan.codeplugMode != 0)
        stages.push_back(UpgradeStage::Codeplug);
    if (plan.applyPatches == 1)
        stages.push_back(UpgradeStage::Patches);
    return stages;
}

std::vector<StageForecast> ForecastStages(const UpgradeWork& work, const RadioTiming& timing)
{
    // After flashing the radio runs the boot code, which talks at the flash rate.
    const int radioBaud = work.plan.flashFirmware == 1 ? work.flashBaud : work.applicationBaud;
    std::vector<StageForecast> forecast;
    for (UpgradeStage stage : PlannedStages(work.plan)) {
        StageForecast f{stage};
        switch (stage) {
        case UpgradeStage::Bootstrap:
            f.seconds = timing.bootstrapSeconds;
            break;
        case UpgradeStage::BootCode: {
            // Each 8-byte block goes out, then comes back from the boot ROM before the next.
            f.steps = (work.bootcodeBytes + kBootBlockBytes - 1) / kBootBlockBytes;
            f.seconds = LineSeconds(2ull * f.steps * kBootBlockBytes, work.bootstrapBaud) + timing.bootCodeStartSeconds;
            break;
        }
        case UpgradeStage::Erase:
            f.seconds = 2 * timing.eraseSeconds +
                        kEraseStageRequests * RequestSeconds(kWriteFrameBytes + 1, kWriteReplyBytes, work.flashBaud, timing);
            break;
        case UpgradeStage::Firmware:
            f.steps = work.firmwareRecords;
            f.seconds = work.firmwareRecords * RequestSeconds(kWriteFrameBytes, kWriteReplyBytes, work.flashBaud, timing) +
                        LineSeconds(work.firmwareBytes, work.flashBaud) +
                        static_cast<double>(work.firmwareBytes) * timing.flashWritePerByte;
            break;
        case UpgradeStage::Codeplug:
            f.steps = work.codeplugChunks;
            f.seconds = work.codeplugChunks * (RequestSeconds(kWriteFrameBytes, kWriteReplyBytes, radioBaud, timing) +
                                               kCodeplugPauseSeconds + timing.eepromWritePer32) +
                        LineSeconds(work.codeplugBytes, radioBaud) +
                        ReadsSeconds(kCarryOverRequests, kCodeplugChunk, radioBaud, kCodeplugPauseSeconds, timing);
            break;
        case UpgradeStage::Patches:
            f.steps = work.patchEntries;
            f.seconds = ReadsSeconds(work.patchEntries + kPatchSetupRequests, kPatchBlockBytes, radioBaud,
                                     kBrokerPauseSeconds, timing);
            break;
        }
        forecast.push_back(f);
    }
    return forecast;
}
