#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/KeyFile.h"

#include "files/DataFile.h"
#include "authoring/KitInspect.h"
#include "files/Kit.h"
#include "errors/Error.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>

namespace {

// The key choice shared by the commands that decipher or encipher.
struct KeyChoice {
    bool configKey = false;
    std::string key;
    std::string keyFile;
    CLI::Option* keyOption = nullptr;
    CLI::Option* keyFileOption = nullptr;

    void Add(CLI::App* command)
    {
        CLI::Option* config = command->add_flag("--config-key", configKey,
                                                "the key of patcher.dat");
        keyOption = AddRefusedKeyOption(*command, key);
        keyFileOption = command->add_option("--key-file", keyFile,
                                            "read the data-file key (line 3 of the version block) from the first "
                                            "line of FILE, or of standard input with --key-file -");
        config->excludes(keyFileOption);
    }
    bool Given() const { return configKey || keyFileOption->count() > 0; }
    std::string Key() const
    {
        if (configKey)
            return kConfigFileKey;
        return ReadKeyFile(keyFile);
    }
};

// Runs `work` with the key; a key that cannot be read ends the command with status 1.
template <class Work>
int WithKey(const KeyChoice& keys, Work work)
{
    std::string key;
    try {
        key = keys.Key();
    } catch (const CError& error) {
        std::fprintf(stderr, "%s\n", error.GetText());
        return 1;
    }
    return work(key);
}

int Report(const KitOutcome& outcome)
{
    std::fputs(outcome.out.c_str(), stdout);
    std::fputs(outcome.err.c_str(), stderr);
    return outcome.status;
}

void AddCipherCommand(CLI::App* kit, int& exitCode, bool encipher)
{
    auto* command = AddCommand(*kit, encipher ? "encipher" : "decipher",
                               encipher ? "encipher a plain file (padded with NUL bytes to a multiple of 8)"
                                        : "decipher a data file (the text up to its first NUL); the plain "
                                          "file is written readable by you only (mode 0600)",
                               encipher ? "tessarin kit encipher --config-key patcher.txt patcher.dat"
                                        : "tessarin kit decipher --key-file - fw_256k fw_256k.s19 < key.txt");
    auto keys = std::make_shared<KeyChoice>();
    auto paths = std::make_shared<std::pair<std::string, std::string>>();
    auto raw = std::make_shared<bool>(false);
    keys->Add(command);
    command->add_option("IN", paths->first, "input file")->required();
    command->add_option("OUT", paths->second, "output file")->required();
    if (!encipher)
        command->add_flag("--raw", *raw, "write every deciphered byte, padding included");
    command->callback([keys, paths, raw, encipher, &exitCode] {
        if (!keys->Given())
            throw CLI::RequiredError("--config-key or --key-file");
        exitCode = WithKey(*keys, [&](const std::string& key) {
            return Report(encipher ? KitEncipher(paths->first, paths->second, key)
                                   : KitDecipher(paths->first, paths->second, key, *raw));
        });
    });
}

}  // namespace

void AddKitCommands(CLI::App& app, int& exitCode)
{
    auto* kit = AddCommand(app, "kit", "make, inspect and read upgrade kits", "tessarin kit inspect /path/to/kit");
    kit->require_subcommand(1);
    AddCipherCommand(kit, exitCode, true);
    AddCipherCommand(kit, exitCode, false);

    auto* pack = AddCommand(*kit, "pack", "encipher kit sources (patcher.txt and plain S-record files) into a kit",
                            "tessarin kit pack kits/demo /tmp/demo-kit");
    auto packDirs = std::make_shared<std::pair<std::string, std::string>>();
    pack->add_option("SRC_DIR", packDirs->first, "folder of plain sources")->required();
    pack->add_option("OUT_DIR", packDirs->second, "folder for the kit")->required();
    pack->callback([packDirs, &exitCode] { exitCode = Report(KitPack(packDirs->first, packDirs->second)); });

    auto* inspect = AddCommand(*kit, "inspect", "check an installed kit as the application will read it",
                               "tessarin kit inspect /path/to/kit");
    auto kitDir = std::make_shared<std::string>();
    inspect->add_option("KIT_DIR", *kitDir, "folder of the kit")->required();
    inspect->callback([kitDir, &exitCode] { exitCode = Report(KitInspect(*kitDir)); });

    auto* srec = AddCommand(*kit, "srec", "summarise an S-record file, plain or enciphered",
                            "tessarin kit srec --key-file key.txt /path/to/kit/fw_256k --out fw_256k.bin");
    auto keys = std::make_shared<KeyChoice>();
    auto files = std::make_shared<std::pair<std::string, std::string>>();
    keys->Add(srec);
    srec->add_option("FILE", files->first, "S-record file")->required();
    srec->add_option("--out", files->second, "write the data bytes to this file");
    srec->callback([keys, files, &exitCode] {
        if (!keys->Given()) {
            exitCode = Report(KitSrec(files->first, nullptr, files->second));
            return;
        }
        exitCode = WithKey(*keys, [&](const std::string& key) { return Report(KitSrec(files->first, &key, files->second)); });
    });
}
