// Broken kits through `tessarin program` on the in-process demo radio: each refusal says what is
// wrong with which file, and a kit refused before the engine runs leaves the radio as it was
// (the identity mark aside).
#include "app/FormMessages.h"
#include "app/WorkflowFlags.h"
#include "cli/ProgramCommand.h"
#include "files/DataFile.h"
#include "platform/SettingsStore.h"
#include "tests/app/WorkflowFixture.h"
#include "tests/support/ScratchDirectory.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>

using namespace FormText;

namespace {

constexpr char kDemoKey[] = "DemoKitDataKey-2026-R0205";
constexpr std::size_t kIdentityMark = 0x3FF0;

std::string FileText(std::FILE* file)
{
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;)
        text += static_cast<char>(c);
    return text;
}

class BrokenKitTest : public WorkflowTest {
public:
    using WorkflowTest::kit;

protected:
    BrokenKitTest()
    {
        Settings().SetPath(settingsPath.string());
        // Carry-over records of the runs stay in a folder of this test's own.
        if (const char* old = std::getenv("XDG_STATE_HOME"))
            oldStateHome = old;
        ::setenv("XDG_STATE_HOME", stateHome.c_str(), 1);
    }
    ~BrokenKitTest() override
    {
        if (oldStateHome.empty())
            ::unsetenv("XDG_STATE_HOME");
        else
            ::setenv("XDG_STATE_HOME", oldStateHome.c_str(), 1);
    }

public:
    std::string KitFile(const std::string& name)
    {
        std::ifstream in(kit.Path() / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // A kit file's plain text, changed by `edit`, enciphered again with `key`.
    void Rewrite(const std::string& name, const std::function<std::string(std::string)>& edit,
                 const std::string& key = kDemoKey)
    {
        DataFileText plain = ReadDataFile((kit.Path() / name).string(), kDemoKey);
        ASSERT_TRUE(plain.Ok()) << name;
        std::vector<char> bytes = EncipherDataFile(edit(plain.Text()), key);
        kit.WriteFile(name, std::string(bytes.begin(), bytes.end()));
    }

protected:
    // Runs `tessarin program --yes --json` and returns its summary.
    nlohmann::json Program(int& status)
    {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        std::FILE* in = std::tmpfile();
        ProgramOptions options;
        options.kit = kit.Path().string();
        options.port.port = 1;
        options.port.echo = "on";
        options.answers.yes = true;
        options.answers.flashBaud = 115200;
        options.json = true;
        status = RunProgram(options, ProgramStreams{out, err, in, false, false});
        std::string text = FileText(out);
        errText = FileText(err);
        std::fclose(out);
        std::fclose(err);
        std::fclose(in);
        return nlohmann::json::parse(text, nullptr, false);
    }

    CScratchDirectory scratch{"tessarin-brokenkit"};
    fs::path settingsPath = scratch.Path() / "settings.ini";
    fs::path stateHome = scratch.Path() / "state";
    std::string oldStateHome;
    std::string errText;
};

struct BrokenKit {
    const char* name;
    std::function<void(BrokenKitTest&)> breakKit;
    const char* message;   // the whole message, or the words it must contain
    bool whole;            // `message` is the whole text
    int status;
    bool radioChanged;     // found only once the engine has changed the radio
};

}  // namespace

TEST_F(BrokenKitTest, EveryKindOfBrokenKit)
{
    // Only the configuration text is given here; file-level damage is done by each case.
    const std::string config = DemoConfigText();
    auto setConfig = [&](const std::string& text) { return [text](BrokenKitTest& t) { t.kit.SetConfig(text); }; };
    auto remove = [](const char* name) { return [name](BrokenKitTest& t) { t.kit.Remove(name); }; };
    auto truncate = [](const char* name, std::size_t keep) {
        return [name, keep](BrokenKitTest& t) { t.kit.WriteFile(name, t.KitFile(name).substr(0, keep)); };
    };
    auto oddSize = [](const char* name) {
        return [name](BrokenKitTest& t) { t.kit.WriteFile(name, t.KitFile(name) + "x"); };
    };
    auto wrongKey = [](const char* name) {
        return [name](BrokenKitTest& t) { t.Rewrite(name, [](std::string s) { return s; }, "NotTheKitKey"); };
    };
    // A digit of the second data record turned into a letter that is not hexadecimal.
    auto badDigit = [](const char* name) {
        return [name](BrokenKitTest& t) {
            t.Rewrite(name, [](std::string s) {
                std::size_t second = s.find("\nS", s.find("\nS") + 1);
                s[second + 10] = 'G';
                return s;
            });
        };
    };

    const BrokenKit cases[] = {
        {"the kit as built (a control)", [](BrokenKitTest&) {}, kUpdateSuccessful, true, kExitUpdated, true},
        {"configuration file missing", remove("patcher.dat"), kCannotOpenConfig, true, kExitKitUnusable, false},
        {"configuration file with a wrong key", wrongKey("patcher.dat"), kUnknownProductLine, true, kExitKitUnusable, false},
        {"configuration file truncated", truncate("patcher.dat", 400), kModelSyntax, true, kExitKitUnusable, false},
        {"configuration file size not a multiple of 8", oddSize("patcher.dat"), kCannotReadConfig, true, kExitKitUnusable, false},
        {"wrong version line", setConfig(Replace(config, "PATCH-D01.01.07", "PATCH-D01.01.06")), kIncompatibleConfig, true,
         kExitKitUnusable, false},
        {"identifier count beyond its lines", setConfig(Replace(config, "bc115200\n01\n", "bc115200\n03\n")), kGroupSyntax,
         true, kExitKitUnusable, false},
        {"verification count beyond its lines", setConfig(Replace(config, "VERIFICATION_BLOCK\n04", "VERIFICATION_BLOCK\n09")),
         kVerificationSyntax, true, kExitKitUnusable, false},
        {"model count beyond its lines", setConfig(Replace(config, "MODEL_MATCHING_BLOCK\n02\n02", "MODEL_MATCHING_BLOCK\n02\n07")),
         kModelSyntax, true, kExitKitUnusable, false},
        {"radio matching count beyond its lines", setConfig(Replace(config, "RADIO_MATCHING_BLOCK\n02", "RADIO_MATCHING_BLOCK\n08")),
         kRadioMatchingSyntax, true, kExitKitUnusable, false},
        {"bad hexadecimal in the group identifier",
         setConfig(Replace(config, "7E5A1C3B9D2F40618C0B5E7A3D9F2C41", "7E5A1C3B9D2F40618C0B5E7A3D9F2CZZ")), kGroupSyntax, true,
         kExitKitUnusable, false},
        {"bad hexadecimal in a patch entry", setConfig(Replace(config, "30,00,00,0000,0F,05", "30,00,00,00G0,0F,05")),
         kPatchScriptSyntax, true, kExitKitUnusable, false},
        {"codeplug image missing", remove("cp_demo"), kCannotOpenCodeplug, true, kExitKitUnusable, false},
        {"codeplug image with a wrong key", wrongKey("cp_demo"), "\"cp_demo\" cannot be used: its first record", false,
         kExitKitUnusable, false},
        {"codeplug image truncated", truncate("cp_demo", 512), "\"cp_demo\" cannot be used: it ends before its end record",
         false, kExitKitUnusable, false},
        {"codeplug image size not a multiple of 8", oddSize("cp_demo"), kDataFileCorrupted, true, kExitKitUnusable, false},
        {"codeplug image with bad hexadecimal", badDigit("cp_demo"), "\"cp_demo\" cannot be used: 1 of its records", false,
         kExitKitUnusable, false},
        {"boot code missing", remove("bc115200"), kBootcodeUnusable, true, kExitKitUnusable, false},
        {"boot code size not a multiple of 8", oddSize("bc115200"), kBootcodeUnusable, true, kExitKitUnusable, false},
        {"boot code with a wrong key", wrongKey("bc115200"), "\"bc115200\" cannot be used: its first record", false,
         kExitKitUnusable, false},
        {"boot code truncated", truncate("bc115200", 512), "\"bc115200\" cannot be used: it ends before its end record",
         false, kExitKitUnusable, false},
        // Which image the radio needs is known only once its flash is erased and probed: any
        // image missing is refused before that.
        {"firmware image for the radio's size missing", remove("fw_128k"), "Unable to open firmware file!", false,
         kExitKitUnusable, false},
        {"firmware image for another size missing", remove("fw_512k"), "Unable to open firmware file!", false,
         kExitKitUnusable, false},
        {"no firmware image at all",
         [](BrokenKitTest& t) {
             for (const char* name : {"fw_128k", "fw_256k", "fw_512k"})
                 t.kit.Remove(name);
         },
         "the kit holds no firmware image", false, kExitKitUnusable, false},
        {"firmware image with a wrong key", wrongKey("fw_128k"), "\"fw_128k\" cannot be used: its first record", false,
         kExitKitUnusable, false},
        {"firmware image truncated", truncate("fw_128k", 4096), "\"fw_128k\" cannot be used: it ends before its end record",
         false, kExitKitUnusable, false},
        {"firmware image size not a multiple of 8", oddSize("fw_128k"), "\"fw_128k\" cannot be used: the file size is not a multiple of 8",
         false, kExitKitUnusable, false},
        {"firmware image with bad hexadecimal", badDigit("fw_128k"), "\"fw_128k\" cannot be used: 1 of its records", false,
         kExitKitUnusable, false},
    };
    for (const BrokenKit& c : cases) {
        SCOPED_TRACE(c.name);
        ResetWorkflowFlags();
        form.reset();
        kit.SetConfig(config);
        for (const char* name : {"cp_demo", "bc115200", "fw_128k", "fw_256k", "fw_512k"})
            kit.WriteFile(name, std::string(std::istreambuf_iterator<char>(std::ifstream(fs::path(TESSARIN_DEMO_KIT) / name,
                                                                                              std::ios::binary).rdbuf()),
                                            std::istreambuf_iterator<char>()));
        c.breakKit(*this);
        fs::remove_all(stateHome);
        Attach(Profile("demo"));
        rig->Radio().SetAutoBootstrap(true);
        const std::vector<uint8_t> codeplugBefore = rig->Radio().Memory().Codeplug();
        const std::vector<uint8_t> flashBefore = rig->Radio().Memory().Flash();

        int status = -1;
        nlohmann::json summary = Program(status);
        ASSERT_FALSE(summary.is_discarded()) << errText;
        std::string messages;
        for (const auto& m : summary["messages"])
            messages += m["caption"].get<std::string>() + ": " + m["text"].get<std::string>() + "\n";
        std::printf("%-46s exit %d  %s", c.name, status, messages.c_str());
        EXPECT_EQ(status, c.status) << messages;
        bool said = false;
        for (const auto& m : summary["messages"]) {
            std::string text = m["text"];
            said = said || (c.whole ? text == c.message : text.find(c.message) != std::string::npos);
        }
        EXPECT_TRUE(said) << "expected " << (c.whole ? "the message " : "a message naming ") << c.message << ", got:\n"
                          << messages;
        if (!c.radioChanged) {
            EXPECT_EQ(rig->Radio().Memory().Flash(), flashBefore) << "the flash is untouched";
            std::vector<uint8_t> codeplugAfter = rig->Radio().Memory().Codeplug();
            codeplugAfter[kIdentityMark] = codeplugBefore[kIdentityMark];
            EXPECT_EQ(codeplugAfter, codeplugBefore) << "the codeplug is untouched but for the identity mark";
        }
    }
}
