#include "upgrade/CodeplugJob.h"

#include "codeplug/Codeplug.h"
#include "codeplug/CodeplugFactory.h"
#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "files/SRecord.h"

#include <cstdio>
#include <memory>

namespace {

constexpr uint32_t kImageBuffer = 32 * 1024;
constexpr uint32_t kFixedImageBuffer = 16 * 1024;

[[noreturn]] void Unusable(const char* logLine, const std::string& what)
{
    ErrorLog().Log("CRadioUpgrade::PrepareUpgrade: %s", logLine);
    throw CGenError(3, "%s", what.c_str());
}

}  // namespace

uint32_t CodeplugImageCapacity(int codeplugType) { return codeplugType == 3 ? kFixedImageBuffer : kImageBuffer; }

CodeplugJob PrepareCodeplugJob(const UpgradePlan& plan, const std::string& imageText, int codeplugType,
                               const char radioCode[2])
{
    if (plan.codeplugMode < 1 || plan.codeplugMode > 3)
        Unusable(("The plan's codeplug mode " + std::to_string(plan.codeplugMode) + " is not 1, 2 or 3").c_str(),
                 "Syntax error in patch script file : RADIO_MATCHING_BLOCK");
    if (codeplugType < 1 || codeplugType > 3)
        Unusable("The kit's codeplug structure type is not 1, 2 or 3",
                 "The kit names codeplug structure type " + std::to_string(codeplugType) +
                     ", which this program does not know");
    if (imageText.empty())
        Unusable("The plan programs the codeplug but the matched model names no codeplug image",
                 "The kit's plan programs the codeplug, but its model entry names no codeplug image");

    CodeplugJob job;
    job.image.assign(CodeplugImageCapacity(codeplugType), 0);
    {
        SRecord reader;
        reader.AttachText(imageText);
        if (!reader.CheckFirstRecord())
            Unusable("The codeplug image's first record does not read", "Read codeplug S-Record file failed");
        ImageBuffer buffer{job.image.data(), 0};
        bool loaded = reader.LoadData(buffer, job.Capacity());
        reader.Detach();
        job.imageLength = static_cast<uint32_t>(buffer.size);
        if (!loaded) {
            char line[96];
            std::snprintf(line, sizeof line, "The codeplug image does not fit the %u-byte image buffer", job.Capacity());
            Unusable(line, "The codeplug image holds more than the " + std::to_string(job.Capacity()) +
                               " bytes this codeplug layout takes");
        }
    }

    std::unique_ptr<CCodeplug> codeplug = CreateCodeplug(codeplugType);
    codeplug->SetStructure(codeplugType, 0);
    if (codeplugType == 3) {
        const char code[3] = {radioCode[0], radioCode[1], 0};
        codeplug->SetImageText(imageText.c_str(), code);
    }
    codeplug->SetSource(CCodeplug::kImage);
    {
        SRecord reader;
        reader.AttachText(imageText);
        codeplug->ReadCpFile(reader);
        reader.Detach();
    }
    RdkPtrs ptrs{};
    if (!codeplug->GetRdkPtrs(ptrs))
        Unusable("The codeplug image's layout values could not be derived from the image",
                 "The codeplug image does not describe its programmable region; please reinstall the upgrade kit");
    switch (plan.codeplugMode) {
    case 1:
        job.regionStart = 0;
        job.regionEnd = ptrs.p1;
        break;
    case 2:
        job.regionStart = ptrs.p1;
        job.regionEnd = ptrs.regionEnd + 1;
        break;
    default:
        job.regionStart = 0;
        job.regionEnd = ptrs.regionEnd + 1;
        break;
    }
    if (job.regionEnd == 0 || job.regionEnd < job.regionStart || job.regionEnd > job.Capacity()) {
        char line[128];
        std::snprintf(line, sizeof line, "Codeplug region %X to %X does not lie within the %u-byte image",
                      job.regionStart, job.regionEnd, job.Capacity());
        Unusable(line, "The codeplug image does not describe its programmable region; please reinstall the upgrade kit");
    }
    uint32_t span = job.regionEnd - job.regionStart;
    job.chunks = static_cast<int>((span + CCodeplug::kChunk - 1) / CCodeplug::kChunk);
    job.fingerprint = RegionFingerprint(job.image.data() + job.regionStart, job.regionStart, span);
    return job;
}

std::string RegionFingerprint(const uint8_t* bytes, uint32_t start, uint32_t count)
{
    uint64_t hash = 0xCBF29CE484222325ull;
    auto mix = [&hash](uint8_t byte) {
        hash ^= byte;
        hash *= 0x100000001B3ull;
    };
    for (uint32_t i = 0; i < count; ++i)
        mix(bytes[i]);
    for (uint32_t value : {start, count})
        for (int shift = 24; shift >= 0; shift -= 8)
            mix(static_cast<uint8_t>(value >> shift));
    char text[17];
    std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(hash));
    return text;
}
