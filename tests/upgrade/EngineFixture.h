#pragma once

#include "sim/SimPlatform.h"
#include "sim/model/SimRig.h"
#include "upgrade/RadioUpgrade.h"
#include "upgrade/UpgradePlan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// The demo kit as the build packs it, and its data-file key.
inline const std::string kDemoKitDir = DEMO_KIT_DIR;
inline const std::string kDemoKey = "DemoKitDataKey-2026-R0205";

// A deciphered file of the demo kit (its text), or of another directory.
std::string KitText(const std::string& name, const std::string& dir = kDemoKitDir);
RadioProfile DemoProfile();

// Changes the current directory for as long as it lives.
class CCurrentDirectory {
public:
    explicit CCurrentDirectory(const std::filesystem::path& dir);
    ~CCurrentDirectory();
    CCurrentDirectory(const CCurrentDirectory&) = delete;
    CCurrentDirectory& operator=(const CCurrentDirectory&) = delete;

private:
    std::filesystem::path m_previous;
};

// One engine run the way the form sets it up, against a radio (the demo radio unless told)
// in-process on the virtual clock, from the demo kit's directory.
class EngineBench {
public:
    explicit EngineBench(RadioProfile profile = DemoProfile(), const std::string& dir = kDemoKitDir);
    virtual ~EngineBench();
    EngineBench(const EngineBench&) = delete;
    EngineBench& operator=(const EngineBench&) = delete;

    // The form's part before a firmware run: the identity mark written to the radio, the radio put
    // into bootstrap mode and the port opened at the bootstrap rate.
    void PrepareBootstrap();
    // Builds the engine from plan and settings and runs it.
    int RunEngine();

    CSimRadio& Radio() { return rig.Radio(); }
    CScriptedUi& Ui() { return scope.Ui(); }
    std::vector<std::string> Log() const { return scope.LogLines(); }
    bool Logged(const std::string& line) const;
    // The main-frame messages of one kind.
    std::vector<CScriptedUi::FrameMessage> Messages(unsigned message);

    CSimPlatformScope scope;
    CSimRadioRig rig;
    CCurrentDirectory kitDirectory;
    UpgradePlan plan;
    FlashSettings settings;
    std::string codeplugImage;
    PatchEntries patches{PatchEntry{kPatchEnd}};
    std::string key = kDemoKey;
    int codeplugType = 1;
    CSerial* bootstrapPort = nullptr;
    std::unique_ptr<CRadioUpgrade> engine;
};

class EngineTest : public ::testing::Test, public EngineBench {};
