#include "EngineFixture.h"

#include "files/DataFile.h"
#include "platform/Platform.h"
#include "platform/Serial.h"
#include "sim/model/RadioProfile.h"

#include <algorithm>

std::string KitText(const std::string& name, const std::string& dir)
{
    DataFileText file = ReadDataFile(dir + "/" + name, kDemoKey);
    EXPECT_TRUE(file.Ok()) << name << ": " << DescribeDataFileStatus(file.status);
    return file.Text();
}

RadioProfile DemoProfile() { return LoadRadioProfile(std::string(TESSARIN_SOURCE_DIR) + "/sim/profiles/demo.json"); }

CCurrentDirectory::CCurrentDirectory(const std::filesystem::path& dir) : m_previous(std::filesystem::current_path())
{
    std::filesystem::current_path(dir);
}

CCurrentDirectory::~CCurrentDirectory()
{
    std::error_code ignored;
    std::filesystem::current_path(m_previous, ignored);
}

EngineBench::EngineBench(RadioProfile profile, const std::string& dir)
    : rig(scope.Platform(), std::move(profile)), kitDirectory(dir)
{
    settings.bootcodeText = KitText("bc38400");
    settings.flashBaud = 38400;
    settings.portBaud = 2400;
    settings.loaderKind = 1;
    codeplugImage = KitText("cp_demo");
}

EngineBench::~EngineBench()
{
    engine.reset();
    GetPlatform()->ReleaseSerial();
}

void EngineBench::PrepareBootstrap()
{
    IdentityMark = 42;
    Radio().Memory().CodeplugBytes()[0x3FF0] = IdentityMark;
    bootstrapPort = GetPlatform()->GetSerial();
    ASSERT_NE(bootstrapPort, nullptr);
    bootstrapPort->SetEchoMode(Radio().Profile().echo ? 1 : 0);
    bootstrapPort->Configure(settings.portBaud, 0, 0, 8);
    bootstrapPort->OpenPort(1);
    Radio().PowerCycle(true);
    // The technician confirms the bootstrap prompt once the radio is up.
    GetPlatform()->Sleep(300);
}

int EngineBench::RunEngine()
{
    engine = std::make_unique<CRadioUpgrade>();
    engine->SetPort(1, Radio().Profile().echo ? 1 : 0);
    engine->SetPlan(plan);
    engine->SetJob(settings, codeplugImage, patches, codeplugType, key);
    engine->SetRadioCode("P5");
    if (bootstrapPort)
        engine->SetSerial(bootstrapPort);
    return engine->UpgradeRadio();
}

bool EngineBench::Logged(const std::string& line) const
{
    auto lines = Log();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::vector<CScriptedUi::FrameMessage> EngineBench::Messages(unsigned message)
{
    std::vector<CScriptedUi::FrameMessage> out;
    for (const auto& m : scope.Ui().frameMessages)
        if (m.message == message)
            out.push_back(m);
    return out;
}
