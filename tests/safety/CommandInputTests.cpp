// The `tessarin` command as a second user on the bench PC meets it: every command that reads a
// file is given a named pipe, an endless device, a huge sparse file, a folder or a link to
// them, and must refuse it at once, by what it is, with little memory; keys are never taken
// from the command line; a settings file that cannot be read is said, never replaced by the
// defaults.
#include "tests/support/ScratchDirectoryTest.h"
#include "ChildProcess.h"

#include "files/DataFile.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

const std::string kTessarin = TESSARIN_BIN;
const std::string kDemoKit = DEMO_KIT_DIR;
const std::string kDemoKey = "DemoKitDataKey-2026-R0205";

// Far above what a refusal takes, far below what reading 2 GB or waiting on a pipe would.
constexpr std::chrono::milliseconds kPrompt{5'000};
constexpr long kModestMemoryKb = 200 * 1024;

class CommandInputTest : public ScratchDirectoryTest {
protected:
    ChildResult Tessarin(std::vector<std::string> args, ChildOptions options = {})
    {
        args.insert(args.begin(), kTessarin);
        options.env.emplace("TESSARIN_SETTINGS", PathOf("settings.ini"));
        options.env.emplace("TESSARIN_STATE_DIR", PathOf("state"));
        options.limit = std::max(options.limit, std::chrono::milliseconds(kPrompt * 2));
        return RunChild(args, options);
    }
    std::string Shown(const std::vector<std::string>& args) const
    {
        std::string text = "tessarin";
        for (const std::string& a : args)
            text += " " + a;
        return text;
    }
};

// What a second user plants where a file is read. Each returns the path to give.
struct Planted {
    const char* what;
    std::function<std::string(const std::string&)> plant;
    const char* says;  // in the refusal
};

std::vector<Planted> PlantedThings()
{
    return {
        {"a named pipe", [](const std::string& p) { ::mkfifo(p.c_str(), 0666); return p; }, "named pipe"},
        {"an endless device", [](const std::string&) { return std::string("/dev/zero"); }, "character device"},
        {"a link to a named pipe", [](const std::string& p) {
             ::mkfifo((p + ".fifo").c_str(), 0666);
             fs::create_symlink(p + ".fifo", p);
             return p;
         }, "named pipe"},
        {"a 2 GB sparse file", [](const std::string& p) {
             std::ofstream(p).close();
             fs::resize_file(p, std::uintmax_t(2) << 30);
             return p;
         }, "2147483648 bytes"},
        {"a folder", [](const std::string& p) { fs::create_directory(p); return p; }, "folder"},
    };
}

// Every command that reads a file given to it, with each planted thing in its place: refused
// within moments, with little memory, with a message that names the path, never a hang.
TEST_F(CommandInputTest, EveryFileReadIsBoundedAndNeverBlocks)
{
    const std::vector<char> enciphered = EncipherDataFile("S9030000FC\r\n", kDemoKey);
    WriteFile("data", std::string(enciphered.begin(), enciphered.end()));
    WriteFile("key", kDemoKey + "\n");
    struct Command {
        const char* name;
        std::function<std::vector<std::string>(const std::string&)> args;  // with the planted path
        bool dataFile;  // read as a kit data file (the size limit says "larger than its reader accepts")
    };
    const std::string data = PathOf("data"), key = PathOf("key"), out = PathOf("out");
    const Command commands[] = {
        {"codeplug --image", [&](const std::string& p) { return std::vector<std::string>{"codeplug", "--image", p, "blocks"}; }, false},
        {"codeplug --image --key-file", [&](const std::string& p) {
             return std::vector<std::string>{"codeplug", "--image", p, "--key-file", key, "blocks"};
         }, true},
        {"codeplug build", [&](const std::string& p) { return std::vector<std::string>{"codeplug", "build", p, "--output", out}; }, false},
        {"codeplug --key-file", [&](const std::string& p) {
             return std::vector<std::string>{"codeplug", "--image", data, "--key-file", p, "blocks"};
         }, false},
        {"kit encipher", [&](const std::string& p) { return std::vector<std::string>{"kit", "encipher", "--key-file", key, p, out}; }, false},
        {"kit decipher", [&](const std::string& p) { return std::vector<std::string>{"kit", "decipher", "--key-file", key, p, out}; }, true},
        {"kit srec", [&](const std::string& p) { return std::vector<std::string>{"kit", "srec", p}; }, false},
        {"kit srec --key-file", [&](const std::string& p) { return std::vector<std::string>{"kit", "srec", "--key-file", p, data}; }, false},
        {"kit decipher --key-file", [&](const std::string& p) {
             return std::vector<std::string>{"kit", "decipher", "--key-file", p, data, out};
         }, false},
        {"sim --profile", [&](const std::string& p) {
             return std::vector<std::string>{"sim", "--profile", p, "--link", PathOf("link")};
         }, false},
    };
    int index = 0;
    for (const Command& command : commands) {
        for (const Planted& thing : PlantedThings()) {
            const std::string path = thing.plant(PathOf("planted" + std::to_string(index++)));
            const std::vector<std::string> args = command.args(path);
            SCOPED_TRACE(std::string(command.name) + ", " + thing.what + ": " + Shown(args));
            ChildResult run = Tessarin(args);
            EXPECT_FALSE(run.timedOut) << "it hung";
            EXPECT_LT(run.elapsed, kPrompt);
            EXPECT_EQ(run.status, 1) << run.err;
            EXPECT_LT(run.maxResidentKb, kModestMemoryKb);
            EXPECT_NE(run.err.find(path), std::string::npos) << "the refusal names the file: " << run.err;
            const bool sizeRefusedByDataReader = command.dataFile && std::string(thing.what) == "a 2 GB sparse file";
            if (!sizeRefusedByDataReader) {
                EXPECT_NE(run.err.find(thing.says), std::string::npos) << run.err;
            }
            EXPECT_FALSE(fs::exists(out));
        }
    }
}

// The settings file is read through the same reader: a pipe, an endless device, a huge file
// or a folder in its place is said, and nothing is shown or written as if it were the settings.
TEST_F(CommandInputTest, SettingsFileIsBoundedAndNeverBlocks)
{
    int index = 0;
    for (const Planted& thing : PlantedThings()) {
        SCOPED_TRACE(thing.what);
        const std::string path = thing.plant(PathOf("settings" + std::to_string(index++)));
        ChildOptions options;
        options.env["TESSARIN_SETTINGS"] = path;
        ChildResult run = Tessarin({"settings", "--port", "5"}, options);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_LT(run.maxResidentKb, kModestMemoryKb);
        EXPECT_NE(run.err.find("cannot read the settings file " + path), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(thing.says), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find("Port ID"), std::string::npos) << "no defaults shown: " << run.out;
    }
}

// A key from standard input is a line: an endless stream is refused after 4,096 bytes.
TEST_F(CommandInputTest, KeyFromAnEndlessStandardInputIsRefused)
{
    const std::vector<char> enciphered = EncipherDataFile("S9030000FC\r\n", kDemoKey);
    WriteFile("data", std::string(enciphered.begin(), enciphered.end()));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"kit", "srec", "--key-file", "-", PathOf("data")},
          std::vector<std::string>{"codeplug", "--image", PathOf("data"), "--key-file", "-", "blocks"}}) {
        SCOPED_TRACE(Shown(args));
        ChildOptions options;
        options.stdinPath = "/dev/zero";
        ChildResult run = Tessarin(args, options);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_LT(run.maxResidentKb, kModestMemoryKb);
        EXPECT_NE(run.err.find("longer than 4096 bytes"), std::string::npos) << run.err;
    }
}

// A field length is checked before any memory is taken for it.
TEST_F(CommandInputTest, FieldLengthIsCheckedBeforeItIsAllocated)
{
    const std::string image = std::string(TESSARIN_SOURCE_DIR) + "/kits/layouts/adk.s19";
    for (const char* length : {"4294967295", "65537", "2147483648"}) {
        SCOPED_TRACE(length);
        ChildResult run = Tessarin({"codeplug", "read-field", "--image", image, "--block", "3", "--length", length});
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_LT(run.maxResidentKb, kModestMemoryKb);
        EXPECT_NE(run.err.find("--length must be at most 65536"), std::string::npos) << run.err;
    }
}

// Keys never on the command line, where every user of the PC sees them: --key is refused with
// a message that says to use --key-file; the commands that take keys all have --key-file.
TEST_F(CommandInputTest, KeysOnTheCommandLineAreRefused)
{
    const std::string image = std::string(TESSARIN_SOURCE_DIR) + "/kits/layouts/adk.s19";
    const std::string description = std::string(TESSARIN_SOURCE_DIR) + "/kits/layouts/adk.cpd";
    const std::vector<std::vector<std::string>> commands = {
        {"kit", "encipher", "--key", "secret", image, PathOf("out")},
        {"kit", "decipher", "--key", "secret", kDemoKit + "/cp_demo", PathOf("out")},
        {"kit", "srec", "--key", "secret", kDemoKit + "/cp_demo"},
        {"codeplug", "--image", kDemoKit + "/cp_demo", "--key", "secret", "blocks"},
        {"codeplug", "check", "--image", kDemoKit + "/cp_demo", "--key", "secret"},
        {"codeplug", "build", description, "--output", PathOf("out"), "--key", "secret"},
        {"codeplug", "--key", "secret", "build", description, "--output", PathOf("out")},
    };
    for (const auto& args : commands) {
        SCOPED_TRACE(Shown(args));
        ChildResult run = Tessarin(args);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_NE(run.err.find("--key-file"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("seen by every user"), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(PathOf("out")));
    }
    // The same commands with --key-file FILE and --key-file - work.
    WriteFile("key", kDemoKey + "\n");
    ChildResult fromFile = Tessarin({"codeplug", "--image", kDemoKit + "/cp_demo", "--key-file", PathOf("key"), "check"});
    EXPECT_EQ(fromFile.status, 0) << fromFile.err;
    ChildOptions input;
    input.stdinPath = PathOf("key");
    ChildResult fromInput = Tessarin({"codeplug", "check", "--image", kDemoKit + "/cp_demo", "--key-file", "-"}, input);
    EXPECT_EQ(fromInput.status, 0) << fromInput.err;
    ChildResult built = Tessarin({"codeplug", "build", description, "--output", PathOf("built"), "--key-file", PathOf("key")});
    EXPECT_EQ(built.status, 0) << built.err;
    ChildResult check = Tessarin({"codeplug", "check", "--image", PathOf("built"), "--key-file", PathOf("key")});
    EXPECT_EQ(check.status, 0) << check.err << "the image was enciphered with the key from the file";
}

// A settings file that cannot be read is said by every command that would use it, and no
// port chosen by a default in place of the saved one is ever opened.
TEST_F(CommandInputTest, UnreadableSettingsAreSaidAndNoDefaultPortIsOpened)
{
    fs::create_directory(PathOf("settings.ini"));  // what stands where the settings should be
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {{"settings"}, 1, "cannot read the settings file"},
        {{"settings", "--port", "9"}, 1, "nothing was changed"},
        {{"ports"}, 1, "the saved port numbers are not known"},
        {{"plan", "--kit", kDemoKit}, 2, "No port is opened in its place"},
        {{"program", "--kit", kDemoKit, "--yes"}, 2, "No port is opened in its place"},
        {{"plan", "--kit", kDemoKit, "--port", "3", "--echo", "on"}, 1, "the port table is not known"},
        {{"plan", "--kit", kDemoKit, "--device", "/dev/null"}, 1, "the interface box echo is taken as on"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Shown(c.args));
        ChildResult run = Tessarin(c.args);
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(c.says), std::string::npos) << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(PathOf("settings.ini")), std::string::npos) << run.out << run.err;
        EXPECT_TRUE(fs::is_directory(PathOf("settings.ini"))) << "left as it was";
    }
}

// A saved port that is no port number is not replaced by COM1 either.
TEST_F(CommandInputTest, SavedPortThatIsNoPortNumberIsNotReplaced)
{
    WriteFile("settings.ini", "[Communication]\nPort ID=250\nORX Echo Type=1\n");
    ChildResult plan = Tessarin({"plan", "--kit", kDemoKit});
    EXPECT_EQ(plan.status, 2) << plan.err;
    EXPECT_NE(plan.err.find("Port ID=250"), std::string::npos) << plan.err;
    ChildResult show = Tessarin({"settings"});
    EXPECT_EQ(show.status, 1);
    EXPECT_NE(show.out.find("Port ID        not known"), std::string::npos) << show.out;
}

}  // namespace
