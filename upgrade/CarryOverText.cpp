// The carry-over record as text: written by this program, read back as untrusted input (every
// name known, every value within its range).
#include "upgrade/CarryOver.h"

#include "errors/Error.h"
#include "files/FileManager.h"
#include "files/HexText.h"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <sstream>

namespace {

constexpr int kFormat = 2;
constexpr uint32_t kMaxAddress = 0x10000;
constexpr int kMaxTableIndex = 4096;
// An item holds at most a whole block.
constexpr std::size_t kMaxItemBytes = 0x10000;

const char* const kItemNames[] = {"entry0-serial", "entry0-regional", "tuning-entry", "moved-146",   "moved-12F",
                                  "block48-serial", "block20-tuning", "block20-457", "block20-459", "block16",
                                  "old-marker",     "bytes-2D3",      "byte-2A9",    "header-h3",   "header-h8",
                                  "byte-N",         "block139"};

const std::pair<PressStage, const char*> kStageNames[] = {
    {PressStage::Started, "started"},
    {PressStage::FlashErased, "flash-erased"},
    {PressStage::FirmwareWritten, "firmware-written"},
    {PressStage::CodeplugSaved, "codeplug-saved"},
    {PressStage::CodeplugWritten, "codeplug-written"},
    {PressStage::Patching, "patching"},
};

std::string Trim(const std::string& s)
{
    std::size_t from = s.find_first_not_of(" \t\r");
    if (from == std::string::npos)
        return "";
    std::size_t to = s.find_last_not_of(" \t\r");
    return s.substr(from, to - from + 1);
}

std::string Printable(const std::vector<uint8_t>& bytes)
{
    std::string out;
    for (uint8_t b : bytes)
        out += (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
    return out;
}

bool KnownItem(const std::string& name)
{
    for (const char* known : kItemNames)
        if (name == known)
            return true;
    return false;
}

// A text value is one line of printable characters (no control characters).
bool PrintableText(const std::string& value)
{
    for (char c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    return true;
}

class CRecordParser {
public:
    CRecordParser(const std::string& file) : m_file(file) {}

    [[noreturn]] void Bad(const std::string& why) const
    {
        throw CGenError(3, "Carry-over record %s, line %d: %s", m_file.c_str(), m_line, why.c_str());
    }
    long Number(const std::string& value, long low, long high, int base = 10) const
    {
        if (value.empty() || value.size() > 20)
            Bad("not a number");
        errno = 0;
        char* end = nullptr;
        long long n = std::strtoll(value.c_str(), &end, base);
        if (*end != 0 || errno == ERANGE || value[0] == '+' || value[0] == ' ')
            Bad("\"" + value + "\" is not a number");
        if (n < low || n > high)
            Bad("\"" + value + "\" is out of range (" + std::to_string(low) + " to " + std::to_string(high) + ")");
        return static_cast<long>(n);
    }
    std::vector<uint8_t> Bytes(const std::string& value) const
    {
        if (value.size() % 2 != 0 || value.size() / 2 > kMaxItemBytes)
            Bad("an item holds an even number of hexadecimal digits, at most " + std::to_string(kMaxItemBytes) +
                " bytes");
        std::vector<uint8_t> bytes;
        bytes.reserve(value.size() / 2);
        for (std::size_t i = 0; i < value.size(); i += 2) {
            int hi = HexDigitValue(value[i]), lo = HexDigitValue(value[i + 1]);
            if (hi < 0 || lo < 0)
                Bad("not a hexadecimal digit");
            bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
        }
        return bytes;
    }
    std::string Text(const std::string& value, std::size_t limit) const
    {
        if (value.size() > limit || !PrintableText(value))
            Bad("a text of at most " + std::to_string(limit) + " printable characters is expected");
        return value;
    }
    void Next() { ++m_line; }
    void AtEnd() { m_line = 0; }

private:
    std::string m_file;
    int m_line = 0;
};

}  // namespace

const char* PressStageName(PressStage stage)
{
    for (const auto& [value, name] : kStageNames)
        if (value == stage)
            return name;
    return "started";
}

bool ParsePressStage(const std::string& name, PressStage& stage)
{
    for (const auto& [value, text] : kStageNames)
        if (name == text) {
            stage = value;
            return true;
        }
    return false;
}

std::string RadioIdentity::Text() const
{
    auto shown = [](const std::string& s) { return s.empty() ? std::string("?") : s; };
    return "model " + shown(modelText) + ", serial " + shown(serial) + ", radio code " + shown(radioCode);
}

const std::vector<uint8_t>& CarryOverRecord::Item(const std::string& name) const
{
    auto it = items.find(name);
    if (it == items.end())
        throw CGenError(3, "The carry-over record %s holds no \"%s\"", file.empty() ? "in memory" : file.c_str(),
                        name.c_str());
    return it->second;
}

std::string CarryOverRecord::RadioText() const
{
    if (radio.Known())
        return radio.Text();
    std::string text = "radio code " + (radioCode.empty() ? std::string("?") : radioCode);
    static const std::pair<const char*, std::pair<std::size_t, std::size_t>> serials[] = {
        {"entry0-serial", {0, 11}}, {"block48-serial", {0, 10}}, {"block139", {4, 10}}};
    for (const auto& [name, range] : serials) {
        if (!Has(name))
            continue;
        const std::vector<uint8_t>& bytes = items.at(name);
        if (bytes.size() < range.first + range.second)
            continue;
        text += ", serial " + Printable(std::vector<uint8_t>(bytes.begin() + static_cast<long>(range.first),
                                                             bytes.begin() + static_cast<long>(range.first + range.second)));
        break;
    }
    return text;
}

std::string FormatCarryOver(const CarryOverRecord& r)
{
    std::ostringstream out;
    out << "# Tessarin carry-over record: an upgrade under way, and once read the radio's own tuning\n"
           "# and serial-number data, saved before its codeplug was reprogrammed. While this file exists\n"
           "# the upgrade of this radio is not finished. Finish it by pressing Program on the same radio\n"
           "# with the same kit; give the data back alone with: tessarin carryover restore <this file> --port N\n"
           "# Items are the saved bytes as hexadecimal pairs.\n";
    out << "format = " << kFormat << "\n";
    out << "created = " << r.created << "\n";
    out << "radio = " << r.RadioText() << "\n";
    out << "stage = " << PressStageName(r.stage) << "\n";
    out << "model = " << r.radio.modelText << "\n";
    out << "serial = " << r.radio.serial << "\n";
    out << "kit = " << r.kit << "\n";
    out << "codeplug-file = " << r.codeplugFile << "\n";
    out << "group = " << r.group << "\n";
    out << "entry = " << r.entry << "\n";
    out << "flash-firmware = " << r.flashFirmware << "\n";
    out << "apply-patches = " << r.applyPatches << "\n";
    out << "layout = " << r.layout << "\n";
    out << "product-line = " << r.productLine << "\n";
    out << "codeplug-mode = " << r.codeplugMode << "\n";
    out << "radio-code = " << r.radioCode << "\n";
    out << "identity-mark = " << static_cast<int>(r.identityMark) << "\n";
    out << "model-tag = " << r.modelTag << "\n";
    out << "image-length = " << r.imageLength << "\n";
    out << "region = " << std::hex << std::uppercase << r.regionStart << "-" << r.regionEnd << std::dec << "\n";
    out << "fingerprint = " << r.fingerprint << "\n";
    for (const auto& [name, bytes] : r.items)
        out << "item " << name << " = " << BytesToHex(bytes.data(), bytes.size()) << "\n";
    return out.str();
}

CarryOverRecord ParseCarryOver(const std::string& text, const std::string& file)
{
    CarryOverRecord r;
    r.file = file;
    std::istringstream in(text);
    std::string line;
    CRecordParser p(file);
    int format = 0;
    bool sawLayout = false;
    while (std::getline(in, line)) {
        p.Next();
        line = Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            p.Bad("expected \"name = value\"");
        std::string key = Trim(line.substr(0, eq));
        std::string value = Trim(line.substr(eq + 1));
        if (key.rfind("item ", 0) == 0) {
            std::string name = Trim(key.substr(5));
            if (!KnownItem(name))
                p.Bad("unknown item \"" + p.Text(name, 32) + "\"");
            if (r.items.count(name))
                p.Bad("the item \"" + name + "\" is given twice");
            r.items[name] = p.Bytes(value);
        } else if (key == "format") {
            format = static_cast<int>(p.Number(value, 1, kFormat));
        } else if (key == "created") {
            r.created = p.Text(value, 32);
        } else if (key == "radio") {
            p.Text(value, 256);  // for people only
        } else if (key == "stage") {
            if (!ParsePressStage(value, r.stage))
                p.Bad("unknown stage \"" + p.Text(value, 32) + "\"");
        } else if (key == "model") {
            r.radio.modelText = p.Text(value, 64);
        } else if (key == "serial") {
            r.radio.serial = p.Text(value, 64);
        } else if (key == "kit") {
            r.kit = p.Text(value, 4096);
        } else if (key == "codeplug-file") {
            r.codeplugFile = p.Text(value, 255);
        } else if (key == "group") {
            r.group = static_cast<int>(p.Number(value, 1, kMaxTableIndex));
        } else if (key == "entry") {
            r.entry = static_cast<int>(p.Number(value, 0, kMaxTableIndex));
        } else if (key == "flash-firmware") {
            r.flashFirmware = static_cast<int>(p.Number(value, 0, 1));
        } else if (key == "apply-patches") {
            r.applyPatches = static_cast<int>(p.Number(value, 0, 1));
        } else if (key == "layout") {
            r.layout = static_cast<int>(p.Number(value, 0, 3));
            sawLayout = true;
        } else if (key == "product-line") {
            r.productLine = static_cast<int>(p.Number(value, 0, 13));
        } else if (key == "codeplug-mode") {
            r.codeplugMode = static_cast<int>(p.Number(value, 0, 3));
        } else if (key == "radio-code") {
            r.radioCode = p.Text(value, 2);
            r.radio.radioCode = r.radioCode;
        } else if (key == "identity-mark") {
            r.identityMark = static_cast<uint8_t>(p.Number(value, 0, 99));
        } else if (key == "image-length") {
            r.imageLength = static_cast<uint32_t>(p.Number(value, 0, kMaxAddress));
        } else if (key == "model-tag") {
            r.modelTag = p.Text(value, 64);
        } else if (key == "region") {
            std::size_t dash = value.find('-');
            if (dash == std::string::npos)
                p.Bad("the region is \"start-end\" in hexadecimal");
            r.regionStart = static_cast<uint32_t>(p.Number(value.substr(0, dash), 0, kMaxAddress, 16));
            r.regionEnd = static_cast<uint32_t>(p.Number(value.substr(dash + 1), 0, kMaxAddress, 16));
            if (r.regionEnd < r.regionStart)
                p.Bad("the region ends before it starts");
        } else if (key == "fingerprint") {
            if (!value.empty() && (value.size() != 16 || !IsHexText(value)))
                p.Bad("a fingerprint is 16 hexadecimal digits");
            r.fingerprint = value;
        } else {
            p.Bad("unknown name \"" + p.Text(key, 64) + "\"");
        }
    }
    p.AtEnd();
    if (format == 0 || !sawLayout)
        p.Bad("not a carry-over record (no format or layout line)");
    if (r.codeplugMode != 0 && r.layout == 0)
        p.Bad("a record that programs the codeplug names its layout (1, 2 or 3)");
    if (format == 1) {
        // Written before records knew their stage: it was saved once the radio's data was read.
        r.stage = PressStage::CodeplugSaved;
    }
    r.valid = !r.items.empty();
    return r;
}
