#include "cli/PortOptions.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "errors/Log.h"
#include "link/VeskBroker.h"
#include "platform/PortTable.h"
#include "platform/Serial.h"
#include "platform/SettingsStore.h"
#include "platform/UserFolders.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <filesystem>
#include <cerrno>
#include <cstdlib>

namespace {
constexpr const char kEchoTypeKey[] = "ORX Echo Type";
} // namespace

void AddPortOptions(CLI::App& command, PortOptions& options)
{
    auto* device = command.add_option("--device", options.device, "Serial device of the interface box (e.g. /dev/ttyUSB0)");
    auto* port = command.add_option("--port", options.port, "Port number N (COMN) from the port table")
                     ->check(CLI::Range(1, static_cast<int>(CPortTable::kMaxNumber)));
    device->excludes(port);
    command.add_option("--echo", options.echo, "Whether the interface box echoes what is sent (default: the saved setting, else on)")
        ->check(CLI::IsMember({"on", "off"}));
    command.add_option("--baud", options.baud, "Line rate after opening at 9600 Bd")
        ->check(CLI::Range(50, 4000000));
    command.add_flag("--trace", options.trace, "Print every frame sent and received on stderr");
    AddLogOption(command, options.log, " (without --log no log file is written)");
}

namespace {
constexpr const char kLogFileName[] = "tsErrlog.txt";
} // namespace

void AddLogOption(CLI::App& command, std::string& target, const std::string& more)
{
    const std::string folder = DefaultLogFolder();
    const std::string file = folder.empty() ? std::string(kLogFileName)
                                            : (std::filesystem::path(folder) / kLogFileName).string();
    command.add_option("--log", target,
                       "Write the error log: to " + std::string(kLogFileName) + " in " +
                           (folder.empty() ? std::string("the current directory") : folder) +
                           ", or with --log=FILE to FILE" + more)
        ->expected(0, 1)
        ->default_str(file);
}

int SavedEchoType()
{
    int echoType = 1;
    if (std::string unreadable = Settings().Unreadable(); !unreadable.empty()) {
        // Never silently: the saved echo is not known.
        std::fprintf(stderr, "tessarin: %s; the interface box echo is taken as on. Give --echo on or --echo off to "
                             "say it.\n",
                     unreadable.c_str());
        return echoType;
    }
    Settings().ReadDword(SettingsSection::kCommunication, kEchoTypeKey, echoType);
    return echoType;
}

ResolvedPort ResolvePort(const PortOptions& options)
{
    bool hasDevice = !options.device.empty();
    bool hasPort = options.port != 0;
    if (hasDevice == hasPort)
        throw CUsageError("give the serial device with exactly one of --device PATH or --port N");
    ResolvedPort resolved;
    if (hasPort) {
        if (options.port < 1 || options.port > static_cast<int>(CPortTable::kMaxNumber))
            throw CUsageError("--port must be between 1 and 99");
        resolved.number = static_cast<unsigned>(options.port);
    } else {
        if (options.device[0] != '/')
            throw CUsageError("give --device as an absolute path (/dev/ttyUSB0 or /dev/serial/by-id/...), not " +
                              options.device);
        resolved.number = PortTable().AssignPath(options.device);
        if (resolved.number == 0)
            throw CUsageError("no free port number is left for " + options.device +
                              "; forget a saved port or use --port N");
    }
    if (options.echo == "on")
        resolved.echoMode = 1;
    else if (options.echo == "off")
        resolved.echoMode = 0;
    else if (options.echo.empty())
        resolved.echoMode = SavedEchoType() == 1 ? 1 : 0;
    else
        throw CUsageError("--echo must be on or off, not " + options.echo);
    return resolved;
}

void CTracePrinter::OnLinkEvent(LinkTraceEvent event, double seconds, const uint8_t* bytes, std::size_t count)
{
    const char* direction = "<";
    const char* label = "";
    switch (event) {
    case LinkTraceEvent::Request:
        direction = ">";
        label = "request";
        break;
    case LinkTraceEvent::Ack:
        label = "ack";
        break;
    case LinkTraceEvent::Reply:
        label = "reply";
        break;
    case LinkTraceEvent::PartialReply:
        label = "reply (incomplete)";
        break;
    case LinkTraceEvent::ResyncRequest:
        direction = ">";
        label = "resync";
        break;
    case LinkTraceEvent::ResyncAnswer:
        label = "resync answer";
        break;
    case LinkTraceEvent::AttemptFailed:
        break;
    }
    double delta = m_last < 0 ? 0.0 : seconds - m_last;
    m_last = seconds;
    if (event == LinkTraceEvent::AttemptFailed) {
        std::fprintf(m_out, "+%9.3f ms  !  %.*s\n", delta * 1000.0, static_cast<int>(count),
                     reinterpret_cast<const char*>(bytes));
        std::fflush(m_out);
        return;
    }
    std::fprintf(m_out, "+%9.3f ms  %s ", delta * 1000.0, direction);
    for (std::size_t i = 0; i < count; ++i)
        std::fprintf(m_out, " %02X", bytes[i]);
    std::fprintf(m_out, "  %s\n", label);
    std::fflush(m_out);
}

CRadioLink::CRadioLink(CVeskBroker& broker, const PortOptions& options, std::FILE* traceOut)
    : m_broker(broker)
{
    ResolvedPort port = ResolvePort(options);
    if (options.trace) {
        m_trace = std::make_unique<CTracePrinter>(traceOut);
        m_previousTrace = SetLinkTraceSink(m_trace.get());
    }
    if (!options.log.empty()) {
        CwFileLog::SetFilePath(options.log);
        CwFileLog::SetFileWanted(true);
        ErrorLog().DropSinks();  // the next line opens the file asked for
        ErrorLog().EnableFileLog(1);
        m_logSwitched = true;
    }
    try {
        m_broker.OpenLink(static_cast<int>(port.number), port.echoMode);
        if (options.baud != 0 && options.baud != 9600)
            m_broker.Comm().GetSerial()->SetBaud(options.baud);
    } catch (...) {
        Restore();
        throw;
    }
}

CRadioLink::~CRadioLink() { Restore(); }

void CRadioLink::Restore()
{
    if (m_broker.IsLinkOpen())
        m_broker.CloseLink();
    if (m_trace) {
        SetLinkTraceSink(m_previousTrace);
        m_trace.reset();
    }
    if (m_logSwitched) {
        ErrorLog().EnableFileLog(0);
        m_logSwitched = false;
    }
}

int ReportRadioStop(std::FILE* err, int otherwise)
{
    if (!StopRequested())
        return otherwise;
    std::fprintf(err,
                 "tessarin: stopped on %s between two requests. The port was closed with its line settings "
                 "restored and its hold released. The radio holds what every completed request wrote and is "
                 "otherwise unchanged; no request was cut off.\n",
                 StopSignalName());
    return StopExitStatus(otherwise);
}

unsigned long ParseNumber(const std::string& text, unsigned long min, unsigned long max, const char* what)
{
    const char* digits = text.c_str();
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        digits += 2;
        base = 16;
    }
    bool valid = *digits != '\0';
    for (const char* p = digits; *p != '\0'; ++p)
        valid = valid && (base == 16 ? std::isxdigit(static_cast<unsigned char>(*p)) : std::isdigit(static_cast<unsigned char>(*p)));
    errno = 0;
    unsigned long value = valid ? std::strtoul(digits, nullptr, base) : 0;
    if (!valid || errno == ERANGE || value < min || value > max) {
        char range[96];
        std::snprintf(range, sizeof range, "%lu to %lu (0x%lX)", min, max, max);
        throw CUsageError(std::string(what) + " must be a number from " + range +
                          ", decimal or 0x-hexadecimal, not \"" + text + "\"");
    }
    return value;
}

std::vector<uint8_t> ParseHexBytes(const std::string& text)
{
    std::vector<uint8_t> bytes;
    std::string digits;
    for (char c : text) {
        if (c == ' ' || c == ':' || c == ',')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            throw CUsageError(std::string("HEXBYTES holds '") + c +
                              "', which is not a hexadecimal digit (write bytes as pairs: 0A FF 00)");
        digits += c;
    }
    if (digits.size() % 2 != 0)
        throw CUsageError("HEXBYTES has an odd number of hexadecimal digits; write each byte as two digits");
    for (std::size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}
