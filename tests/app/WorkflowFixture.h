#pragma once

#include "app/CommSettings.h"
#include "app/UpgradeForm.h"
#include "sim/SimPlatform.h"
#include "sim/model/SimRig.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// The demo kit's configuration text (plain, LF line ends), for tests to change a line of.
std::string DemoConfigText();
// A kit for product line 11 radios that lost their application: the codeplug from the boot
// state, then the firmware with a second press.
std::string RecoveryKitConfigText();
// Replaces the first occurrence of `from` in `text` (the test fails when it is not there).
std::string Replace(std::string text, const std::string& from, const std::string& to);

// A kit directory of its own for one test: the demo kit's files, with a configuration text of
// the test's choosing.
class CTestKit {
public:
    CTestKit();
    ~CTestKit();
    CTestKit(const CTestKit&) = delete;
    CTestKit& operator=(const CTestKit&) = delete;

    const fs::path& Path() const { return m_path; }
    // Writes patcher.dat enciphered with the configuration key.
    void SetConfig(const std::string& plainText);
    void WriteFile(const std::string& name, const std::string& bytes);
    void Remove(const std::string& name);

private:
    fs::path m_path;
};

// An engine that returns scripted results and records how it was set up.
struct FakeEngineLog {
    std::deque<int> results;  // 5 once they run out
    int runs = 0;
    std::vector<UpgradePlan> plans;
    std::vector<bool> hadSerial;
    std::vector<std::string> bootcodeTexts;
    std::vector<fs::path> directories;  // the current directory during each run
};
UpgradeEngineFactory FakeEngine(FakeEngineLog& log);

// The simulated platform with a radio on its port, the form on a kit, and scripted answers.
class WorkflowTest : public ::testing::Test {
protected:
    WorkflowTest();
    ~WorkflowTest() override;

    // Puts a radio of this profile on the line (replacing any).
    void Attach(RadioProfile profile);
    static RadioProfile Profile(const std::string& name);
    // Makes the form on the kit (after SetConfig), runs its start, and installs the fake
    // engine unless `realEngine`.
    bool Start(bool realEngine = false);

    CUpgradeForm& Form() { return *form; }
    CScriptedUi& ScriptedUi() { return scope.Ui(); }
    // The texts of the boxes shown since the last call, "Caption: text" each.
    std::vector<std::string> TakeBoxes();
    void Answer(std::initializer_list<int> answers);
    uint8_t CodeplugByte(uint32_t address);

    CSimPlatformScope scope;
    std::unique_ptr<CSimRadioRig> rig;
    CTestKit kit;
    CCommSettings comm;
    FakeEngineLog engine;
    std::unique_ptr<CUpgradeForm> form;
    fs::path stateDir;
    std::size_t boxesTaken = 0;
};
