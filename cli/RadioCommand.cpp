#include "cli/RadioCommand.h"

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "errors/Error.h"
#include "link/VeskBroker.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr unsigned long kMaxAddress = 0xFFFFFF;
constexpr unsigned kStatusBufferSize = 256;

void PrintHex(std::FILE* out, const uint8_t* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        std::fprintf(out, "%02X%c", bytes[i], (i % 16 == 15 || i + 1 == count) ? '\n' : ' ');
}

// Runs `body` on a broker whose link the options open; turns what goes wrong into the exit
// status and a message.
int RunOnRadio(const PortOptions& options, RadioStreams io, const std::function<void(CVeskBroker&)>& body)
{
    CVeskBroker broker;
    try {
        CRadioLink link(broker, options, io.err);
        body(broker);
        return 0;
    } catch (const CUsageError& e) {
        std::fprintf(io.err, "tessarin radio: %s\n", e.what());
        return 2;
    } catch (const CError& e) {
        std::fprintf(io.err, "%s\n", e.GetText());
        const std::string& cause = broker.Comm().OpenFailureCause();
        if (!cause.empty())
            std::fprintf(io.err, "%s\n", cause.c_str());
        return ReportRadioStop(io.err, 1);
    }
}

// Checks the command line before anything is opened.
int Usage(RadioStreams io, const std::function<void()>& check)
{
    try {
        check();
        return 0;
    } catch (const CUsageError& e) {
        std::fprintf(io.err, "tessarin radio: %s\n", e.what());
        return 2;
    }
}

} // namespace

int RunRadioStatus(const PortOptions& options, const std::string& selectorText, RadioStreams io)
{
    unsigned long selector = 0;
    if (int status = Usage(io, [&] { selector = ParseNumber(selectorText, 0, 255, "SELECTOR"); }))
        return status;
    return RunOnRadio(options, io, [&](CVeskBroker& broker) {
        char text[kStatusBufferSize];
        unsigned length = broker.RadioStatusRequest(static_cast<uint8_t>(selector), text, sizeof text);
        const auto* bytes = reinterpret_cast<const uint8_t*>(text);
        bool printable = true;
        for (unsigned i = 0; i < length; ++i)
            printable = printable && std::isprint(bytes[i]);
        if (printable) {
            std::fprintf(io.out, "%.*s\n", static_cast<int>(length), text);
            return;
        }
        for (unsigned i = 0; i < length; ++i)
            std::fputc(std::isprint(bytes[i]) ? bytes[i] : '.', io.out);
        std::fputc('\n', io.out);
        PrintHex(io.out, bytes, length);
    });
}

int RunRadioRead(const PortOptions& options, const std::string& addressText, const std::string& countText,
                 RadioStreams io)
{
    unsigned long address = 0;
    unsigned long count = 0;
    if (int status = Usage(io, [&] {
            address = ParseNumber(addressText, 0, kMaxAddress, "ADDRESS");
            count = ParseNumber(countText, 1, 255, "COUNT");
        }))
        return status;
    return RunOnRadio(options, io, [&](CVeskBroker& broker) {
        std::vector<uint8_t> bytes(count);
        unsigned got = broker.ReadRequest(static_cast<uint32_t>(address), static_cast<uint8_t>(count), bytes.data());
        PrintHex(io.out, bytes.data(), got);
        if (got < count)
            throw CGenError(3, "The radio returned %u of the %lu bytes asked for", got, count);
    });
}

int RunRadioWrite(const PortOptions& options, const std::string& addressText, const std::string& hexBytes,
                  RadioStreams io)
{
    unsigned long address = 0;
    std::vector<uint8_t> bytes;
    if (int status = Usage(io, [&] {
            address = ParseNumber(addressText, 0, kMaxAddress, "ADDRESS");
            bytes = ParseHexBytes(hexBytes);
            if (bytes.empty())
                throw CUsageError("HEXBYTES holds no bytes to write");
            if (bytes.size() > CVeskBroker::kMaxWriteLength)
                throw CUsageError("a write carries at most 251 bytes, not " + std::to_string(bytes.size()) +
                                  "; split it into several writes");
        }))
        return status;
    return RunOnRadio(options, io, [&](CVeskBroker& broker) {
        broker.WriteRequest(static_cast<uint32_t>(address), static_cast<unsigned>(bytes.size()), bytes.data());
        std::fprintf(io.out, "wrote %zu byte%s at 0x%06lX\n", bytes.size(), bytes.size() == 1 ? "" : "s", address);
    });
}

int RunRadioErase(const PortOptions& options, RadioStreams io)
{
    return RunOnRadio(options, io, [&](CVeskBroker& broker) {
        broker.EraseFlashRequest();
        std::fprintf(io.out, "flash erased\n");
    });
}

int RunRadioReset(const PortOptions& options, RadioStreams io)
{
    return RunOnRadio(options, io, [&](CVeskBroker& broker) {
        broker.ResetRadioRequest();
        std::fprintf(io.out, "reset sent\n");
    });
}

void AddRadioCommands(CLI::App& app, int& exitCode)
{
    auto* radio = AddCommand(app, "radio", "Send one request to a radio over a serial device",
                             "tessarin radio --device /dev/ttyUSB0 status 0");
    radio->require_subcommand(1);
    // The port options belong to the group: accepted before and after the subcommand.
    auto options = std::make_shared<PortOptions>();
    AddPortOptions(*radio, *options);
    struct Arguments {
        std::string first;
        std::string second;
    };
    auto args = std::make_shared<Arguments>();

    auto* status = AddCommand(*radio, "status", "Ask for a status text", "tessarin radio status 0 --port 1");
    status->add_option("SELECTOR", args->first, "Status selector, 0 to 255")->required();
    auto* read = AddCommand(*radio, "read", "Read radio memory and print it in hex",
                            "tessarin radio read 0x000100 16 --device /dev/ttyUSB0");
    read->add_option("ADDRESS", args->first, "Address (24 bits), decimal or 0x-hex")->required();
    read->add_option("COUNT", args->second, "Bytes to read, 1 to 255")->required();
    auto* write = AddCommand(*radio, "write", "Write bytes to radio memory",
                             "tessarin radio write 0x000100 \"0A FF 00\" --device /dev/ttyUSB0");
    write->add_option("ADDRESS", args->first, "Address (24 bits), decimal or 0x-hex")->required();
    write->add_option("HEXBYTES", args->second, "Bytes in hex, e.g. 0AFF00 or \"0A FF 00\" (at most 251)")->required();
    auto* erase = AddCommand(*radio, "erase", "Erase the radio's flash (the radio must run its boot code)",
                             "tessarin radio erase --device /dev/ttyUSB0 --baud 115200");
    auto* reset = AddCommand(*radio, "reset", "Reset the radio", "tessarin radio reset --port 1");

    status->callback([=, &exitCode] { exitCode = RunRadioStatus(*options, args->first); });
    read->callback([=, &exitCode] { exitCode = RunRadioRead(*options, args->first, args->second); });
    write->callback([=, &exitCode] { exitCode = RunRadioWrite(*options, args->first, args->second); });
    erase->callback([=, &exitCode] { exitCode = RunRadioErase(*options); });
    reset->callback([=, &exitCode] { exitCode = RunRadioReset(*options); });
}
