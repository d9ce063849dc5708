// tessarin codeplug: the blocks, fields and checksums of a codeplug in an image file or a radio.
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/KeyFile.h"
#include "cli/PortOptions.h"

#include "authoring/CodeplugBuilder.h"
#include "authoring/CodeplugImageFile.h"
#include "authoring/CodeplugInspector.h"
#include "codeplug/CodeplugFactory.h"
#include "errors/Error.h"
#include "files/SRecord.h"
#include "link/LinkFlags.h"
#include "platform/InputFile.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>

namespace {

// The longest field read-field reads: a whole codeplug.
constexpr unsigned kMaxFieldBytes = 0x10000;

struct SourceOptions {
    std::string image;
    bool configKey = false;
    std::string key;      // --key: refused
    std::string keyFile;  // --key-file FILE or -
    PortOptions port;
    int type = 1;
    int productLine = -1;
    std::string code;
    int variant = 0;
};

struct FieldOptions {
    std::string block;
    unsigned list = 0;
    unsigned entry = 0;
    unsigned offset = 0;
    unsigned length = 0;
    std::string bytes;
    std::string output;
};

void AddSourceOptions(CLI::App* command, SourceOptions& o)
{
    command->add_option("--image", o.image, "Codeplug image file: S-record text, plain or enciphered");
    auto* configKey = command->add_flag("--config-key", o.configKey,
                                        "Decipher the image with the data-file key of the kit's patcher.dat beside it");
    AddRefusedKeyOption(*command, o.key);
    auto* keyFile = command->add_option("--key-file", o.keyFile,
                                        "Decipher the image with the data-file key on the first line of FILE, or of "
                                        "standard input with --key-file -");
    configKey->excludes(keyFile);
    AddPortOptions(*command, o.port);
    command->add_option("--type", o.type, "Structure type: 1 block model (default), 2 pointer table, 3 fixed address")
        ->check(CLI::Range(0, 3));
    command->add_option("--product-line", o.productLine,
                        "Product line number (type 3: lines 11 and 12, the default, place block 139 by the "
                        "codeplug's first two bytes)")
        ->check(CLI::Range(0, 13));
    command->add_option("--code", o.code, "Radio code (type 3: its second character with --variant 1 selects "
                                          "the short block 139)");
    command->add_option("--variant", o.variant, "Variant flag of block 139 (type 3)")->check(CLI::Range(0, 1));
}

// A codeplug opened on an image file or on a radio for one command.
class CodeplugSession {
public:
    explicit CodeplugSession(const SourceOptions& o) : m_options(o)
    {
        bool onRadio = !o.port.device.empty() || o.port.port != 0;
        if (onRadio == !o.image.empty())
            throw CUsageError("give either --image FILE or --device PATH / --port N");
        if (!onRadio && (o.port.trace || o.port.baud || !o.port.echo.empty()))
            throw CUsageError("--echo, --baud and --trace belong to --device or --port");
        if (onRadio && (o.configKey || !o.keyFile.empty()))
            throw CUsageError("--key-file and --config-key belong to --image");
        SetProductLineNumber(o.productLine >= 0 ? o.productLine : (o.type == 3 ? 11 : 13));
        m_codeplug = CreateCodeplug(o.type);
        if (onRadio) {
            try {
                m_link = std::make_unique<CRadioLink>(m_codeplug->GetBroker(), o.port);
            } catch (const CError& e) {
                const std::string& cause = m_codeplug->GetBroker().Comm().OpenFailureCause();
                if (cause.empty())
                    throw;
                throw CGenError(3, "%s: %s", e.GetText(), cause.c_str());
            }
            m_codeplug->GetBroker().Comm().SetReplyTimeout(500);
            m_codeplug->GetBroker().Comm().SetPause(15);
            m_codeplug->SetSource(CCodeplug::kRadio);
            m_codeplug->SetImageText(nullptr, o.code.c_str());
            m_codeplug->SetVariantFlag(o.variant);
            m_codeplug->InitRdkPtrs();
            return;
        }
        std::string key = o.configKey ? KitDataFileKey(o.image) : o.keyFile.empty() ? "" : ReadKeyFile(o.keyFile);
        m_file = ReadCodeplugImageFile(o.image, key);
        m_codeplug->SetImageText(m_file.text.c_str(), o.code.c_str());
        m_codeplug->SetVariantFlag(o.variant);
        m_codeplug->SetSource(CCodeplug::kImage);
        SRecord reader;
        reader.AttachText(m_file.text.c_str());
        m_codeplug->ReadCpFile(reader);
        reader.Detach();
        if (!m_codeplug->IsFormatDetermined())
            m_codeplug->InitRdkPtrs();
    }

    CCodeplug& Codeplug() { return *m_codeplug; }
    bool OnImage() const { return m_link == nullptr; }
    // The image as a new S-record file: the original records with the changed bytes.
    void SaveImage(const std::string& path)
    {
        const ImageBuffer& image = m_codeplug->GetImage();
        std::string text = RewriteSRecords(m_file.text, image.data, m_codeplug->GetDataLength());
        WriteCodeplugImageFile(path, text, m_file.key);
    }

private:
    SourceOptions m_options;
    CodeplugImageText m_file;
    std::unique_ptr<CCodeplug> m_codeplug;
    std::unique_ptr<CRadioLink> m_link;
};

int Run(const char* name, const std::function<void()>& body)
{
    try {
        body();
        // A stop that came after the last request still says what became of the radio.
        return ReportRadioStop(stderr, 0);
    } catch (const CUsageError& e) {
        std::fprintf(stderr, "tessarin codeplug %s: %s\n", name, e.what());
        return 2;
    } catch (const CError& e) {
        std::fprintf(stderr, "%s\n", e.GetText());
        return ReportRadioStop(stderr, 1);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}

uint16_t ParseBlockId(const std::string& text)
{
    return static_cast<uint16_t>(ParseNumber(text, 0, 0xFFFF, "--block"));
}

void PrintBytes(const uint8_t* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        std::printf("%s%02X", i ? " " : "", bytes[i]);
}

void PrintAdk(CCodeplug& cp)
{
    RdkPtrs p{};
    if (!cp.GetRdkPtrs(p)) {
        std::printf("ADK values: not determined\n");
        return;
    }
    std::printf("ADK values: region end 0x%04X, vector table 0x%04X, block count %u, word at P2+4 0x%04X, "
                "word at 9 0x%04X, P2 0x%04X, P1 0x%04X, L2 0x%04X, L1 0x%04X, P1 0x%04X, region flag %u\n",
                p.regionEnd, p.vectorTable, p.blockCount, p.wordAtP2Plus4, p.wordAt9, p.p2, p.p1, p.l2, p.l1,
                p.p1Copy, p.regionFlag);
}

void RunBlocks(const SourceOptions& o)
{
    CodeplugSession session(o);
    CCodeplug& cp = session.Codeplug();
    PrintAdk(cp);
    for (const CpBlockLine& line : ListCodeplugBlocks(cp)) {
        std::printf("block %s address 0x%04X", FormatBlockId(line.id).c_str(), line.address);
        if (line.problem.empty())
            std::printf(" size %u %s\n", line.size, line.detail.c_str());
        else
            std::printf(" %s\n", line.problem.c_str());
    }
}

// A variant block: read whole, the field at a plain offset.
struct VariantBlock {
    std::vector<uint8_t> bytes;
    ImageBuffer buffer{};
    uint32_t address = 0;
};

VariantBlock ReadVariantBlock(CCodeplug& cp, uint16_t id)
{
    VariantBlock b;
    b.bytes.resize(0x10000 + 8);
    b.buffer = ImageBuffer{b.bytes.data(), static_cast<int32_t>(b.bytes.size())};
    if (cp.ReadCpBlock(b.buffer, id) != 0)
        throw CGenError(3, "Unable to find codeplug block id = %d", id);
    b.address = cp.GetBlockVector(id);
    return b;
}

void RunReadField(const SourceOptions& o, const FieldOptions& f)
{
    uint16_t id = ParseBlockId(f.block);
    if (f.length == 0)
        throw CUsageError("--length must be at least 1");
    // Checked before the bytes are taken: no field is longer than a whole codeplug.
    if (f.length > kMaxFieldBytes)
        throw CUsageError("--length must be at most " + std::to_string(kMaxFieldBytes) +
                          " (a codeplug holds at most 64 KB), not " + std::to_string(f.length));
    CodeplugSession session(o);
    CCodeplug& cp = session.Codeplug();
    std::vector<uint8_t> value(f.length);
    uint32_t address;
    if (IsVariantBlock(cp, id)) {
        VariantBlock b = ReadVariantBlock(cp, id);
        cp.ReadCpField(value.data(), b.buffer, f.list, f.entry, f.offset, f.length);
        address = b.address + f.offset;
    } else {
        address = cp.LocateField(id, f.list, f.entry, f.offset, f.length, nullptr);
        cp.ReadCpMemory(value.data(), address, f.length);
    }
    std::printf("block %s field address 0x%04X length %u: ", FormatBlockId(id).c_str(), address, f.length);
    PrintBytes(value.data(), value.size());
    std::printf("\n");
}

void RunWriteField(const SourceOptions& o, const FieldOptions& f)
{
    uint16_t id = ParseBlockId(f.block);
    std::vector<uint8_t> value = ParseHexBytes(f.bytes);
    if (value.empty())
        throw CUsageError("--bytes holds no bytes to write");
    if (!o.image.empty() && f.output.empty())
        throw CUsageError("a field written in an image goes to a new file: give --output FILE");
    if (o.image.empty() && !f.output.empty())
        throw CUsageError("--output belongs to --image");
    CodeplugSession session(o);
    CCodeplug& cp = session.Codeplug();
    uint32_t length = static_cast<uint32_t>(value.size());
    std::vector<uint8_t> old(length);
    uint32_t address;
    uint32_t checksum;
    uint32_t checksumBytes = 1;
    if (IsVariantBlock(cp, id)) {
        VariantBlock b = ReadVariantBlock(cp, id);
        cp.ReadCpField(old.data(), b.buffer, f.list, f.entry, f.offset, length);
        cp.WriteCpField(value.data(), b.buffer, f.list, f.entry, f.offset, length);
        cp.WriteCpBlock(b.buffer, id);
        address = b.address + f.offset;
        checksumBytes = VariantChecksumBytes(cp, id);
        checksum = b.address + static_cast<uint32_t>(b.buffer.size) - checksumBytes;
    } else {
        address = cp.LocateField(id, f.list, f.entry, f.offset, length, &checksum);
        cp.ReadCpMemory(old.data(), address, length);
        cp.WriteCpField(value.data(), id, f.list, f.entry, f.offset, length);
    }
    std::vector<uint8_t> sum(checksumBytes);
    cp.ReadCpMemory(sum.data(), checksum, checksumBytes);
    if (session.OnImage())
        session.SaveImage(f.output);
    std::printf("block %s field address 0x%04X length %u: ", FormatBlockId(id).c_str(), address, length);
    PrintBytes(old.data(), old.size());
    std::printf(" -> ");
    PrintBytes(value.data(), value.size());
    std::printf("\nchecksum address 0x%04X: ", checksum);
    PrintBytes(sum.data(), sum.size());
    std::printf("\n");
    if (session.OnImage())
        std::printf("written to %s\n", f.output.c_str());
}

bool RunCheck(const SourceOptions& o, const std::string& sumText)
{
    std::optional<uint8_t> sum;
    if (!sumText.empty())
        sum = static_cast<uint8_t>(ParseNumber(sumText, 0, 0xFF, "--sum"));
    CodeplugSession session(o);
    CCodeplug& cp = session.Codeplug();
    PrintAdk(cp);
    int failures = 0;
    uint8_t used = 0;
    std::vector<CpCheckLine> lines = CheckCodeplug(cp, sum, &used);
    if (cp.GetStructure() != 2)
        std::printf("checksummed ranges sum to 0x%02X%s\n", used,
                    cp.GetStructure() == 3 ? "" : (sum ? " (as given)" : " (as most of them do)"));
    for (const CpCheckLine& line : lines) {
        std::printf("%s %s at 0x%04X: %s\n", line.ok ? "ok    " : "FAILED", line.what.c_str(), line.location,
                    line.detail.c_str());
        failures += line.ok ? 0 : 1;
    }
    if (cp.GetStructure() != 2 && cp.GetStructure() != 3 && !cp.IsFormatDetermined()) {
        std::printf("FAILED the ADK structure could not be decoded: its regions and blocks are unknown\n");
        ++failures;
    }
    std::printf("%zu checksums, %d failed\n", lines.size(), failures);
    return failures == 0;
}

void RunBuild(const std::string& description, const std::string& output, const std::string& key)
{
    const std::string text =
        ReadInputFile(description, InputFileRules{InputLimit::kCodeplugDescription, "codeplug description"});
    std::vector<uint8_t> image;
    try {
        image = CCodeplugBuilder().Build(text);
    } catch (const std::runtime_error& e) {
        throw CGenError(3, "%s: %s", description.c_str(), e.what());
    }
    WriteCodeplugImageFile(output, ImageToSRecords(image), key);
    std::printf("%s: %zu bytes\n", output.c_str(), image.size());
}

}  // namespace

void AddCodeplugCommands(CLI::App& app, int& exitCode)
{
    CLI::App* group = AddCommand(app, "codeplug", "Look inside a codeplug, in an image file or a radio",
                                 "tessarin codeplug --image cp.s19 blocks");
    group->require_subcommand(1);
    // Where the codeplug is read from belongs to the group: accepted before and after the
    // subcommand.
    auto source = std::make_shared<SourceOptions>();
    AddSourceOptions(group, *source);
    auto field = std::make_shared<FieldOptions>();

    CLI::App* blocks = AddCommand(*group, "blocks", "The ADK values and one line per block",
                                  "tessarin codeplug blocks --image kit/cp_demo --config-key");
    blocks->callback([=, &exitCode] { exitCode = Run("blocks", [=] { RunBlocks(*source); }); });

    auto addField = [&](CLI::App* command, bool write) {
        command->add_option("--block", field->block, "Block id (decimal or 0x hexadecimal)")->required();
        command->add_option("--list", field->list, "List number (block model)");
        command->add_option("--entry", field->entry, "Entry number (block model)");
        command->add_option("--offset", field->offset, "Field offset in the entry (in the block for types 2 and 3)");
        if (write) {
            command->add_option("--bytes", field->bytes, "The new bytes, hexadecimal")->required();
            command->add_option("--output", field->output, "The new image file (image only)");
        } else {
            command->add_option("--length", field->length, "Field length in bytes")->required();
        }
    };
    CLI::App* read = AddCommand(*group, "read-field", "Read a field",
                                "tessarin codeplug read-field --image cp.s19 --block 5 --entry 1 --length 4");
    addField(read, false);
    read->callback([=, &exitCode] { exitCode = Run("read-field", [=] { RunReadField(*source, *field); }); });
    CLI::App* write = AddCommand(*group, "write-field", "Write a field, keeping its checksum right",
                                 "tessarin codeplug write-field --image cp.s19 --block 5 --entry 1 --bytes 0102 "
                                 "--output new.s19");
    addField(write, true);
    write->callback([=, &exitCode] { exitCode = Run("write-field", [=] { RunWriteField(*source, *field); }); });

    CLI::App* check = AddCommand(*group, "check", "Verify every checksum the layout defines",
                                 "tessarin codeplug check --device /dev/ttyUSB0");
    auto sum = std::make_shared<std::string>();
    check->add_option("--sum", *sum,
                      "The sum every checksummed range of the block model makes (default: the one most make)");
    check->callback([=, &exitCode] {
        bool ok = true;
        exitCode = Run("check", [&] { ok = RunCheck(*source, *sum); });
        if (exitCode == 0 && !ok)
            exitCode = 1;
    });

    auto build = std::make_shared<std::array<std::string, 3>>();
    CLI::App* make = AddCommand(*group, "build", "Lay out an image from a readable description",
                                "tessarin codeplug build kits/layouts/adk.cpd --output adk.s19");
    make->add_option("description", (*build)[0], "Description file")->required();
    make->add_option("--output", (*build)[1], "The S-record file to write")->required();
    AddRefusedKeyOption(*make, (*build)[2]);
    make->add_option("--key-file", (*build)[2],
                     "Encipher the file with the data-file key on the first line of FILE, or of standard input with "
                     "--key-file -");
    make->callback([=, &exitCode] {
        exitCode = Run("build", [=] {
            // The group's --key-file given before "build" is the key of the new file as well.
            const SourceOptions& o = *source;
            if (!o.image.empty() || o.configKey || !o.port.device.empty() || o.port.port != 0)
                throw CUsageError("--image, --config-key, --device and --port select a codeplug to look at; "
                                  "build reads only its description");
            const std::string& keyFile = (*build)[2].empty() ? o.keyFile : (*build)[2];
            RunBuild((*build)[0], (*build)[1], keyFile.empty() ? std::string() : ReadKeyFile(keyFile));
        });
    });
}
