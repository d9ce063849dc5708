#include "cli/CommandLine.h"
#include "cli/Commands.h"

#include "files/DataFile.h"
#include "authoring/KitInspect.h"
#include "files/Kit.h"
#include "errors/Error.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

namespace {

// The longest key file read (a key is a line of text; a bigger file is not a key).
constexpr std::size_t kMaxKeyFileBytes = 4096;

// A key read from a file or, for "-", standard input: its first line, without the line end.
std::string ReadKeyFile(const std::string& path)
{
    std::string text;
    if (path == "-") {
        std::getline(std::cin, text);
    } else {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            throw CGenError(3, "--key-file %s: cannot be read (%s)", path.c_str(), std::strerror(errno));
        std::getline(in, text);
    }
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    if (text.size() > kMaxKeyFileBytes)
        throw CGenError(3, "--key-file %s: the first line is longer than %zu bytes; it is not a key",
                        path.c_str(), kMaxKeyFileBytes);
    return text;
}

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
        keyOption = command->add_option("--key", key,
                                        "the data-file key (line 3 of the version block); other users can see it "
                                        "in the process list, so prefer --key-file");
        keyFileOption = command->add_option("--key-file", keyFile,
                                            "read the data-file key from the first line of FILE, or of standard "
                                            "input with --key-file -");
        config->excludes(keyOption);
        config->excludes(keyFileOption);
        keyOption->excludes(keyFileOption);
    }
    bool Given() const { return configKey || keyOption->count() > 0 || keyFileOption->count() > 0; }
    std::string Key() const
    {
        if (configKey)
            return kConfigFileKey;
        return keyFileOption->count() > 0 ? ReadKeyFile(keyFile) : key;
    }
};

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
            throw CLI::RequiredError("--config-key, --key or --key-file");
        exitCode = Report(encipher ? KitEncipher(paths->first, paths->second, keys->Key())
                                   : KitDecipher(paths->first, paths->second, keys->Key(), *raw));
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
        const std::string key = keys->Key();
        exitCode = Report(KitSrec(files->first, keys->Given() ? &key : nullptr, files->second));
    });
}
