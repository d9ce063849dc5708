#include "UpgradeFixture.h"

#include "codeplug/CodeplugFactory.h"
#include "upgrade/CarryOverRestore.h"
#include "upgrade/CodeplugJob.h"
#include "upgrade/RadioIdentityRead.h"

#include <atomic>
#include <map>
#include <cstdlib>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string KitSource(const KitCase& c, const std::string& file)
{
    return std::string(TESSARIN_SOURCE_DIR) + "/kits/" + c.kit + "/" + file;
}

std::string PackedKit(const KitCase& c) { return std::string(TESSARIN_BUILD_DIR) + "/kits/" + c.kit; }

}  // namespace

std::string KitFile(const KitCase& c, const std::string& name)
{
    DataFileText file = ReadDataFile(PackedKit(c) + "/" + name, c.key);
    EXPECT_TRUE(file.Ok()) << name << ": " << DescribeDataFileStatus(file.status);
    return file.Text();
}

RadioIdentity ReportedIdentity(const KitCase& c)
{
    static const std::map<std::string, std::pair<const char*, const char*>> reported = {
        {"demo", {"DM450", "4500000042"}},       {"ride-pl10", {"MX1000", "1000000001"}},
        {"ride-pl8", {"BR800", "1000000001"}},   {"fixed-pl11", {"LD1100", "1000000001"}},
        {"fixed-pl12", {"MF1200", "1000000001"}}, {"fixed-pl3", {"VR300", "1000000001"}},
        {"fixed-pl7", {"SV700", "1000000001"}},
    };
    const auto& [model, serial] = reported.at(c.profile);
    return RadioIdentity{c.radioCode, model, serial};
}

const KitCase& DemoKitCase()
{
    static const KitCase demo{"demo", "demo", "cp_demo", "DemoKitDataKey-2026-R0205", 5, 1, 3, "P5", "STD", 0,
                              kDemoRegionEnd, DemoRadioRules()};
    return demo;
}

PatchEntries FirstPatchGroup(const std::string& patcherText)
{
    std::istringstream in(patcherText);
    std::string line;
    while (std::getline(in, line) && line.rfind("PATCHER_DATA_BLOCK", 0) != 0) {
    }
    PatchEntries entries;
    while (std::getline(in, line)) {
        unsigned f[6] = {};
        if (std::sscanf(line.c_str(), "%x,%x,%x,%x,%x,%x", &f[0], &f[1], &f[2], &f[3], &f[4], &f[5]) != 6)
            break;
        entries.push_back(PatchEntry{f[0], static_cast<uint8_t>(f[1]), static_cast<uint8_t>(f[2]),
                                     static_cast<uint16_t>(f[3]), static_cast<uint8_t>(f[4]),
                                     static_cast<uint8_t>(f[5])});
        if (f[0] == kPatchEnd)
            break;
    }
    return entries;
}

std::vector<uint8_t> ExpectedCodeplug(const KitCase& c, const std::vector<uint8_t>& oldCodeplug,
                                      const std::vector<uint8_t>& kitImage)
{
    return ExpectedCodeplug(oldCodeplug, kitImage, c.regionStart, c.regionEnd, c.rules);
}

void ExpectCodeplug(const std::vector<uint8_t>& actual, const std::vector<uint8_t>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    std::ostringstream differ;
    int shown = 0;
    for (std::size_t a = 0; a < actual.size() && shown < 12; ++a) {
        if (actual[a] != expected[a]) {
            char text[48];
            std::snprintf(text, sizeof text, " %04zX: %02X (expected %02X)", a, actual[a], expected[a]);
            differ << text;
            ++shown;
        }
    }
    EXPECT_EQ(shown, 0) << "the codeplug differs at" << differ.str();
}

KitRun::KitRun(const KitCase& c)
    : kase(c),
      rig(scope.Platform(), LoadRadioProfile(std::string(TESSARIN_SOURCE_DIR) + "/sim/profiles/" + c.profile + ".json")),
      previousLine(GetProductLineNumber()),
      previousDir(fs::current_path()),
      key(c.key),
      store(stateDir.Path())
{
    SetProductLineNumber(c.productLine);
    std::vector<uint8_t>& own = Radio().Memory().CodeplugBytes();
    for (const RadioByte& b : c.radioBytes) {
        own[b.sumAt] = static_cast<uint8_t>(own[b.sumAt] + own[b.at] - b.value);
        own[b.at] = b.value;
    }
    fs::current_path(PackedKit(c));  // the engine reads the firmware file from the kit's folder
    plan.codeplugMode = c.codeplugMode;
    plan.applyPatches = 1;
    plan.modelTag = c.modelTag;
    settings.bootcodeText = KitFile(c, "bc38400");
    settings.flashBaud = 38400;
    settings.portBaud = 2400;
    settings.loaderKind = 1;
    codeplugImage = KitFile(c, c.image);
    patches = FirstPatchGroup(ReadText(KitSource(c, "patcher.txt")));
}

KitRun::~KitRun()
{
    engine.reset();
    if (bootstrapPort)
        GetPlatform()->ReleaseSerial();
    std::error_code ignored;
    fs::current_path(previousDir, ignored);
    SetProductLineNumber(previousLine);
}

std::vector<uint8_t> KitRun::Expected()
{
    return ExpectedCodeplug(kase, Codeplug(), SRecordBytes(codeplugImage));
}

void KitRun::PrepareBootstrap()
{
    bootstrapPort = GetPlatform()->GetSerial();
    ASSERT_NE(bootstrapPort, nullptr);
    bootstrapPort->SetEchoMode(Radio().Profile().echo ? 1 : 0);
    bootstrapPort->Configure(settings.portBaud, 0, 0, 8);
    bootstrapPort->OpenPort(1);
    Radio().PowerCycle(true);
}

int KitRun::Run()
{
    IdentityMark = Radio().Memory().Codeplug()[0x3FF0];
    engine = std::make_unique<CRadioUpgrade>();
    engine->SetPort(1, Radio().Profile().echo ? 1 : 0);
    engine->SetPlan(plan);
    engine->SetJob(settings, codeplugImage, patches, kase.codeplugType, key);
    engine->SetRadioCode(kase.radioCode);
    engine->SetCarryOver(&record, &store);
    if (bootstrapPort)
        engine->SetSerial(bootstrapPort);
    return engine->UpgradeRadio();
}

void KitRun::RecordAsTheForm(const RadioIdentity& radio)
{
    CodeplugJob job = PrepareCodeplugJob(plan, codeplugImage, kase.codeplugType, kase.radioCode);
    record.radio = radio;
    record.imageLength = job.imageLength;
    record.regionStart = job.regionStart;
    record.regionEnd = job.regionEnd;
    record.fingerprint = job.fingerprint;
}

void KitRun::RefuseCodeplugWrite(unsigned nth)
{
    FaultRule refuse;
    refuse.kind = FaultKind::Nack;
    refuse.op = FaultOp::CodeplugWrite;
    refuse.nth = nth;
    refuse.count = 4;  // every attempt of the exchange
    Radio().AddFault(refuse);
}

unsigned KitRun::ProgrammingWrites() const
{
    return (kase.regionEnd - kase.regionStart + 31) / 32 + (kase.productLine == 10 ? 2 : 0);
}

std::string KitRun::RestoreRecord(const CarryOverRecord& saved)
{
    auto codeplug = CreateCodeplug(saved.layout);
    codeplug->SetLink(1, Radio().Profile().echo ? 1 : 0);
    codeplug->StartCpAccess(0);
    return ErrorText([&] {
        CCarryOverRestore::CheckRecord(saved);
        CCarryOverRestore restore(*codeplug, saved);
        restore.Check(RequestRadioIdentity(codeplug->GetBroker()));
        restore.Restore();
    });
}

std::string KitRun::LogText() const
{
    std::string text;
    for (const auto& line : Log())
        text += line + "\n";
    return text;
}
