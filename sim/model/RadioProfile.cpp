#include "sim/model/RadioProfile.h"

#include "errors/Error.h"
#include "platform/InputFile.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <set>
#include <sstream>

using nlohmann::json;

namespace {

// Reads one JSON object of the profile, naming the file and the key path in every complaint
// and refusing keys it does not know (a misspelt key would otherwise be silently ignored).
class ProfileObject {
public:
    ProfileObject(const json& value, std::string file, std::string path)
        : m_value(value), m_file(std::move(file)), m_path(std::move(path))
    {
        if (!m_value.is_object())
            Fail(m_path, "must be an object");
    }

    [[noreturn]] void Fail(const std::string& key, const std::string& what) const
    {
        throw CGenError(3, "Simulator profile %s: key \"%s\" %s", m_file.c_str(), key.c_str(), what.c_str());
    }

    std::string Path(const std::string& key) const { return m_path.empty() ? key : m_path + "." + key; }
    bool Has(const std::string& key) { m_known.insert(key); return m_value.contains(key); }
    const json& At(const std::string& key) { m_known.insert(key); return m_value.at(key); }

    // An unsigned number, given as a JSON number or as text ("0x3FF0", "255").
    uint64_t Number(const std::string& key, uint64_t max)
    {
        return ToNumber(At(key), Path(key), max);
    }
    uint64_t Number(const std::string& key, uint64_t max, uint64_t otherwise)
    {
        return Has(key) ? Number(key, max) : otherwise;
    }
    double Seconds(const std::string& key, double scale, double max, double otherwise)
    {
        if (!Has(key))
            return otherwise;
        const json& v = At(key);
        if (!v.is_number() || v.get<double>() < 0 || v.get<double>() > max)
            Fail(Path(key), "must be a number from 0 to " + std::to_string(max));
        return v.get<double>() * scale;
    }
    std::string Text(const std::string& key, const std::string& otherwise)
    {
        if (!Has(key))
            return otherwise;
        const json& v = At(key);
        if (!v.is_string())
            Fail(Path(key), "must be a text");
        return v.get<std::string>();
    }
    bool Flag(const std::string& key, bool otherwise)
    {
        if (!Has(key))
            return otherwise;
        const json& v = At(key);
        if (!v.is_boolean())
            Fail(Path(key), "must be true or false");
        return v.get<bool>();
    }
    ProfileObject Object(const std::string& key) { return ProfileObject(At(key), m_file, Path(key)); }

    uint64_t ToNumber(const json& v, const std::string& path, uint64_t max) const
    {
        uint64_t n = 0;
        if (v.is_number_unsigned()) {
            n = v.get<uint64_t>();
        } else if (v.is_string()) {
            const std::string s = v.get<std::string>();
            std::size_t used = 0;
            try {
                n = std::stoull(s, &used, 0);
            } catch (const std::exception&) {
                used = 0;
            }
            if (s.empty() || used != s.size())
                Fail(path, "must be a number (decimal or 0x hexadecimal), not \"" + s + "\"");
        } else {
            Fail(path, "must be a whole number from 0 to " + std::to_string(max));
        }
        if (n > max)
            Fail(path, "must be at most " + std::to_string(max));
        return n;
    }

    // Bytes given as {"text": "..."} or {"hex": "0A0B..."}.
    std::vector<uint8_t> Bytes(const json& v, const std::string& path) const
    {
        ProfileObject o(v, m_file, path);
        std::vector<uint8_t> bytes;
        if (o.Has("text")) {
            std::string t = o.Text("text", "");
            bytes.assign(t.begin(), t.end());
        } else if (o.Has("hex")) {
            std::string h = o.Text("hex", "");
            std::string digits;
            for (char c : h)
                if (c != ' ')
                    digits += c;
            if (digits.size() % 2 != 0 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                o.Fail(o.Path("hex"), "must hold pairs of hexadecimal digits");
            for (std::size_t i = 0; i < digits.size(); i += 2)
                bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
        } else {
            o.Fail(path, "must hold \"text\" or \"hex\"");
        }
        o.CheckKnown();
        return bytes;
    }

    void CheckKnown() const
    {
        for (auto it = m_value.begin(); it != m_value.end(); ++it)
            if (!m_known.count(it.key()))
                Fail(Path(it.key()), "is not a profile key (misspelt?)");
    }

    std::string Resolve(const std::string& relative) const
    {
        if (relative.empty())
            return relative;
        std::filesystem::path p(relative);
        if (p.is_absolute() || m_file.empty())
            return p.string();
        return (std::filesystem::path(m_file).parent_path() / p).string();
    }

private:
    const json& m_value;
    std::string m_file;
    std::string m_path;
    std::set<std::string> m_known;
};

void ReadStatus(ProfileObject& top, RadioProfile& p)
{
    if (!top.Has("status"))
        return;
    ProfileObject status = top.Object("status");
    for (auto& [key, value] : top.At("status").items()) {
        uint64_t selector = status.ToNumber(json(key), status.Path(key), 255);
        status.Has(key);
        p.status[static_cast<uint8_t>(selector)] = status.Bytes(value, status.Path(key));
    }
    status.CheckKnown();
    if (top.Has("unsupportedSelectors")) {
        const json& list = top.At("unsupportedSelectors");
        if (!list.is_array())
            top.Fail("unsupportedSelectors", "must be a list of selectors");
        for (const json& s : list)
            p.unsupportedSelectors.push_back(static_cast<uint8_t>(top.ToNumber(s, "unsupportedSelectors", 255)));
    }
}

void ReadCodeplug(ProfileObject& top, RadioProfile& p)
{
    if (!top.Has("codeplug"))
        return;
    ProfileObject cp = top.Object("codeplug");
    p.codeplugFill = static_cast<uint8_t>(cp.Number("fill", 255, 0xFF));
    p.codeplugImage = cp.Resolve(cp.Text("image", ""));
    if (cp.Has("bytes")) {
        const json& list = cp.At("bytes");
        if (!list.is_array())
            cp.Fail(cp.Path("bytes"), "must be a list of {\"address\", \"text\" or \"hex\"}");
        int i = 0;
        for (const json& item : list) {
            std::string path = cp.Path("bytes[" + std::to_string(i++) + "]");
            if (!item.is_object() || !item.contains("address"))
                cp.Fail(path, "must hold an \"address\"");
            uint64_t address = cp.ToNumber(item.at("address"), path + ".address", 0xFFFF);
            json rest = item;
            rest.erase("address");
            std::vector<uint8_t> bytes = cp.Bytes(rest, path);
            if (address + bytes.size() > 0x10000)
                cp.Fail(path, "runs past the end of the 64 KB codeplug");
            p.codeplugBytes.emplace_back(static_cast<uint32_t>(address), std::move(bytes));
        }
    }
    cp.CheckKnown();
}

void ReadFlash(ProfileObject& top, RadioProfile& p)
{
    if (!top.Has("flash"))
        return;
    ProfileObject f = top.Object("flash");
    p.flashSizeKB = static_cast<uint32_t>(f.Number("sizeKB", 512, 256));
    if (p.flashSizeKB != 128 && p.flashSizeKB != 256 && p.flashSizeKB != 512)
        f.Fail(f.Path("sizeKB"), "must be 128, 256 or 512");
    std::string initial = f.Text("initial", "programmed");
    if (initial != "programmed" && initial != "erased")
        f.Fail(f.Path("initial"), "must be \"programmed\" or \"erased\"");
    p.flashInitiallyProgrammed = initial == "programmed";
    p.flashImage = f.Resolve(f.Text("image", ""));
    if (f.Has("applicationMarks")) {
        const json& list = f.At("applicationMarks");
        if (!list.is_array() || list.empty())
            f.Fail(f.Path("applicationMarks"), "must be a non-empty list of flash addresses");
        p.applicationMarks.clear();
        for (const json& a : list) {
            uint64_t address = f.ToNumber(a, f.Path("applicationMarks"), 0xFFFFFF);
            if (address < 0x400000 || address >= 0x400000u + p.FlashSize())
                f.Fail(f.Path("applicationMarks"), "holds an address outside the flash");
            p.applicationMarks.push_back(static_cast<uint32_t>(address));
        }
    }
    f.CheckKnown();
}

void ReadBootstrap(ProfileObject& top, RadioProfile& p)
{
    if (!top.Has("bootstrap"))
        return;
    ProfileObject b = top.Object("bootstrap");
    std::string loader = b.Text("loader", "FL0");
    if (loader != "FL0" && loader != "K4")
        b.Fail(b.Path("loader"), "must be \"FL0\" or \"K4\"");
    p.loader = loader == "FL0" ? LoaderKind::FL0 : LoaderKind::K4;
    p.bootstrapBaud = static_cast<int>(b.Number("baud", 4800, 2400));
    static const std::set<int> syncRates{553, 1800, 2400, 3600, 4430, 4800};
    if (!syncRates.count(p.bootstrapBaud))
        b.Fail(b.Path("baud"), "must be one of 553, 1800, 2400, 3600, 4430, 4800");
    p.pulseByte = static_cast<uint8_t>(b.Number("pulseByte", 255, p.pulseByte));
    static const std::set<int> pulses{0xC0, 0xE0, 0xF8, 0xFC, 0xFE};
    if (!pulses.count(p.pulseByte))
        b.Fail(b.Path("pulseByte"), "must be one of 0xC0, 0xE0, 0xF8, 0xFC, 0xFE");
    p.pulsePeriod = b.Seconds("pulsePeriodMs", 0.001, 1000, p.pulsePeriod);
    p.breakLength = b.Seconds("breakMs", 0.001, 14, p.breakLength);
    if (p.breakLength <= 0 || p.breakLength + 0.020 > p.pulsePeriod)
        b.Fail(b.Path("breakMs"), "must be above 0 and leave at least 20 ms to pulsePeriodMs");
    p.blockAnswerBytes = static_cast<int>(b.Number("blockAnswerBytes", 16, 0));
    if (p.blockAnswerBytes != 0 && p.blockAnswerBytes != 8 && p.blockAnswerBytes != 16)
        b.Fail(b.Path("blockAnswerBytes"), "must be 8 or 16");
    p.codeStartQuiet = b.Seconds("codeStartQuietMs", 0.001, 600, p.codeStartQuiet);
    p.bootCodeHello = static_cast<uint8_t>(b.Number("bootCodeHello", 255, p.bootCodeHello));
    b.CheckKnown();
}

void ReadTiming(ProfileObject& top, RadioProfile& p)
{
    if (!top.Has("timing"))
        return;
    ProfileObject t = top.Object("timing");
    p.ackLatency = t.Seconds("ackLatencyMs", 0.001, 10000, p.ackLatency);
    p.replyLatency = t.Seconds("replyLatencyMs", 0.001, 10000, p.replyLatency);
    p.eraseTime = t.Seconds("eraseSeconds", 1, 19.5, p.eraseTime);
    p.flashWritePerByte = t.Seconds("flashWriteUsPerByte", 1e-6, 10000, p.flashWritePerByte);
    p.eepromWritePer32 = t.Seconds("eepromWriteMsPer32Bytes", 0.001, 1000, p.eepromWritePer32);
    p.frameGap = t.Seconds("frameGapMs", 0.001, 10000, p.frameGap);
    p.powerUpTime = t.Seconds("powerUpMs", 0.001, 10000, p.powerUpTime);
    t.CheckKnown();
}

}  // namespace

RadioProfile ParseRadioProfile(const std::string& text, const std::string& file)
{
    json doc;
    try {
        doc = json::parse(text);
    } catch (const json::parse_error& e) {
        throw CGenError(3, "Simulator profile %s is not valid JSON (byte %zu): fix the syntax", file.c_str(), e.byte);
    }
    RadioProfile p;
    p.file = file;
    ProfileObject top(doc, file, "");
    p.name = top.Text("name", std::filesystem::path(file).stem().string());
    if (!top.Has("productLine"))
        top.Fail("productLine", "is missing (the product line number, 0 to 13)");
    p.productLine = static_cast<int>(top.Number("productLine", 13));
    p.ackByte = static_cast<uint8_t>(top.Number("ackByte", 255, p.ackByte));
    if (p.ackByte == 0x60)
        top.Fail("ackByte", "must not be 0x60 (that is the negative acknowledgement)");
    p.appBaud = static_cast<int>(top.Number("baud", 1000000, 9600));
    p.echo = top.Flag("echo", true);
    top.Text("comment", "");
    ReadStatus(top, p);
    ReadCodeplug(top, p);
    ReadFlash(top, p);
    ReadBootstrap(top, p);
    ReadTiming(top, p);
    top.CheckKnown();
    return p;
}

RadioProfile LoadRadioProfile(const std::string& path)
{
    return ParseRadioProfile(ReadInputFile(path, InputFileRules{InputLimit::kSimProfile, "simulator profile"}), path);
}
