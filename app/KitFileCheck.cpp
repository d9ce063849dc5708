// The kit's images read whole before anything is sent to the radio: a corrupt image found only
// once the flash has been erased would leave the radio without firmware.
#include "app/FormMessages.h"
#include "app/UpgradeForm.h"
#include "files/DataFile.h"
#include "files/Kit.h"
#include "upgrade/ProgressForecast.h"
#include "upgrade/UpgradeTexts.h"

#include <system_error>

namespace {

// The firmware images, one per flash size; the engine picks one by the size it finds.
constexpr const char* kFirmwareImages[] = {"fw_512k", "fw_256k", "fw_128k"};

} // namespace

std::string ImageTextProblem(const char* text)
{
    const SRecordSummary s = SummarizeSRecords(text);
    if (!s.firstChecks)
        return "its first record does not read (a damaged file, or one enciphered with another key)";
    if (s.malformed)
        return "it holds records written back to back";
    if (s.badChecksums > 0)
        return std::to_string(s.badChecksums) + " of its records have digits that are not hexadecimal or a wrong checksum";
    if (!s.terminated)
        return "it ends before its end record (the file is cut short)";
    return {};
}

std::string KitFileProblem(const std::string& file, const std::string& problem)
{
    return "The kit file \"" + file + "\" cannot be used: " + problem + ".\n" + FormText::kReinstall;
}

bool CUpgradeForm::RefuseKitFile(const std::string& file, const std::string& problem)
{
    ShowError(KitFileProblem(file, problem).c_str());
    Fail(ProgramEnd::KitUnusable, "the kit file " + file + " cannot be used: " + problem);
    return false;
}

bool CUpgradeForm::CheckBootcode()
{
    // No boot code chosen yet: the engine refuses the empty text before it sends anything.
    if (m_flashSettings.bootcodeText.empty())
        return true;
    std::string problem = ImageTextProblem(m_flashSettings.bootcodeText.c_str());
    return problem.empty() || RefuseKitFile(m_bootcodeFile, problem);
}

bool CUpgradeForm::CheckFirmwareImages()
{
    bool any = false;
    std::string missing;
    std::vector<ImageCounts> images;
    for (const char* name : kFirmwareImages) {
        std::error_code error;
        if (!std::filesystem::exists(m_kitDirectory / name, error)) {
            missing += missing.empty() ? name : std::string(", ") + name;
            continue;
        }
        any = true;
        DataFileText file = ReadDataFile((m_kitDirectory / name).string(), m_dataFileKey);
        std::string problem = file.Ok() ? ImageTextProblem(file.Text()) : DescribeDataFileStatus(file.status);
        if (!problem.empty())
            return RefuseKitFile(name, problem);
        images.push_back(CountImage(file.Text()));
    }
    m_flashSettings.firmwareForecast = FirmwareBeforeProbe(images);
    if (!any)
        return RefuseKitFile("fw_128k", "the kit holds no firmware image (fw_128k, fw_256k or fw_512k) to flash");
    if (!missing.empty()) {
        // Which image the radio needs is known only once its flash has been erased and its size
        // probed: an image missing then would leave the radio without firmware. Said now, with
        // the message the upgrade would give, before the radio is touched.
        ShowError(kFirmwareOpenFailedText);
        Fail(ProgramEnd::KitUnusable, "the kit has no firmware image " + missing +
                                          " (a radio of that flash size could not be flashed)");
        return false;
    }
    return true;
}
