#include "tests/app/WorkflowFixture.h"

#include "app/WorkflowFlags.h"
#include "files/DataFile.h"
#include "files/ProductLine.h"
#include "link/LinkFlags.h"
#include "platform/Platform.h"

#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

std::string ReadFileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

fs::path ScratchPath(const char* what)
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return fs::temp_directory_path() / ("tessarin-" + std::string(what) + "-" + std::to_string(getpid()) + "-" +
                                        info->test_suite_name() + "-" + info->name());
}

class CFakeEngine : public CUpgradeEngine {
public:
    explicit CFakeEngine(FakeEngineLog& log) : m_log(log) {}
    void SetPort(int, uint8_t) override {}
    void SetPlan(const UpgradePlan& plan) override { m_plan = plan; }
    void SetJob(FlashSettings& settings, const std::string&, const PatchEntries&, int, const std::string&) override
    {
        m_settings = &settings;
    }
    void SetSerial(CSerial* serial) override { m_serial = serial; }
    void SetRadioCode(const char*) override {}
    void SetCarryOver(CarryOverRecord*, CCarryOverStore*) override {}
    int UpgradeRadio() override
    {
        ++m_log.runs;
        m_log.plans.push_back(m_plan);
        m_log.hadSerial.push_back(m_serial != nullptr);
        m_log.bootcodeTexts.push_back(m_settings ? m_settings->bootcodeText : "");
        m_log.directories.push_back(fs::current_path());
        if (m_log.results.empty())
            return kUpgradeSucceeded;
        int result = m_log.results.front();
        m_log.results.pop_front();
        return result;
    }

private:
    FakeEngineLog& m_log;
    UpgradePlan m_plan;
    FlashSettings* m_settings = nullptr;
    CSerial* m_serial = nullptr;
};

} // namespace

std::string DemoConfigText()
{
    // With LF line ends, so that tests can change whole lines.
    std::string text = ReadFileBytes(fs::path(TESSARIN_DEMO_SOURCES) / "patcher.txt");
    std::erase(text, '\r');
    return text;
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << "not in the text: " << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

CTestKit::CTestKit() : m_path(ScratchPath("kit"))
{
    fs::remove_all(m_path);
    fs::create_directories(m_path);
    for (const auto& entry : fs::directory_iterator(TESSARIN_DEMO_KIT))
        fs::copy_file(entry.path(), m_path / entry.path().filename());
}

CTestKit::~CTestKit() { fs::remove_all(m_path); }

void CTestKit::SetConfig(const std::string& plainText)
{
    std::vector<char> bytes = EncipherDataFile(plainText, std::string_view(kConfigFileKey));
    WriteFile(kConfigFileName, std::string(bytes.begin(), bytes.end()));
}

void CTestKit::WriteFile(const std::string& name, const std::string& bytes)
{
    std::ofstream(m_path / name, std::ios::binary | std::ios::trunc) << bytes;
}

void CTestKit::Remove(const std::string& name) { fs::remove(m_path / name); }

UpgradeEngineFactory FakeEngine(FakeEngineLog& log)
{
    return [&log] { return std::unique_ptr<CUpgradeEngine>(new CFakeEngine(log)); };
}

WorkflowTest::WorkflowTest() : stateDir(ScratchPath("state"))
{
    ResetWorkflowFlags();
    SetProductLineNumber(kUnmatchedProductLine);
    fs::remove_all(stateDir);
    // A calendar time whose identity mark is not the 0 a fresh codeplug holds.
    scope.Platform().SetCalendarStart(1'700'000'042);
    kit.SetConfig(DemoConfigText());
}

WorkflowTest::~WorkflowTest()
{
    form.reset();
    ResetWorkflowFlags();
    SetProductLineNumber(kUnmatchedProductLine);
    fs::remove_all(stateDir);
}

RadioProfile WorkflowTest::Profile(const std::string& name)
{
    return LoadRadioProfile((fs::path(TESSARIN_PROFILES) / (name + ".json")).string());
}

void WorkflowTest::Attach(RadioProfile profile)
{
    // Whatever the old radio still has scheduled runs while it is alive.
    if (rig)
        scope.Clock().AdvanceBy(2.0);
    rig.reset();
    rig = std::make_unique<CSimRadioRig>(scope.Platform(), std::move(profile));
}

bool WorkflowTest::Start(bool realEngine)
{
    form.reset();  // the configuration file is held exclusively while a form lives
    SetProductLineNumber(ResolveKitProductLine(kit.Path()));
    form = std::make_unique<CUpgradeForm>(kit.Path(), comm);
    form->SetCarryOverDirectory(stateDir);
    if (!realEngine)
        form->SetEngineFactory(FakeEngine(engine));
    return form->OnInitialUpdate();
}

std::vector<std::string> WorkflowTest::TakeBoxes()
{
    std::vector<std::string> texts;
    const auto& boxes = scope.Ui().boxes;
    for (; boxesTaken < boxes.size(); ++boxesTaken)
        texts.push_back(boxes[boxesTaken].caption + ": " + boxes[boxesTaken].text);
    return texts;
}

void WorkflowTest::Answer(std::initializer_list<int> answers)
{
    for (int answer : answers)
        scope.Ui().answers.push_back(answer);
}

uint8_t WorkflowTest::CodeplugByte(uint32_t address) { return rig->Radio().Memory().Read(address); }

std::string RecoveryKitConfigText()
{
    return "PATCH-D01.01.07\n"
           "LINDOR recovery test kit\n"
           "Recovers LD-1100 radios that lost their application.\n"
           "DemoKitDataKey-2026-R0205\n"
           "01\n"
           "PRODUCT_LINE\n"
           "LINDOR\n"
           "RADIO_GROUP_REGION\n"
           "LD radios\n"
           "bc19200\n"
           "bc38400\n"
           "bc115200\n"
           "01\n"
           "00000000000000000000000000000000\n"
           "VERIFICATION_BLOCK\n"
           "00\n"
           "MODEL_MATCHING_BLOCK\n"
           "01\n"
           "01\n"
           "LD1100,000000000,0000000000,00,00,REC,cp_demo,LD-1100\n"
           "RADIO_MATCHING_BLOCK\n"
           "01\n"
           "*,01,01,03,00\n"
           "PATCHER_DATA_BLOCK\n"
           "99,00,00,0000,00,00\n";
}
