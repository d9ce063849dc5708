#include "authoring/CodeplugBuilder.h"

#include "authoring/CodeplugBuilderParts.h"
#include "codeplug/RideLayout.h"
#include "files/HexText.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>

namespace cpbuild {
namespace {

uint32_t ParseNumber(const std::string& text, int line)
{
    std::size_t used = 0;
    unsigned long value = 0;
    try {
        value = std::stoul(text, &used, 0);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty() || value > 0xFFFFFFFFul)
        throw LineError(line, "\"" + text + "\" is not a number");
    return static_cast<uint32_t>(value);
}

Bytes ParseHex(const std::vector<std::string>& tokens, std::size_t from, int line)
{
    Bytes out;
    for (std::size_t t = from; t < tokens.size(); ++t) {
        const std::string& tok = tokens[t];
        if (tok.size() % 2 != 0)
            throw LineError(line, "\"" + tok + "\" is not a list of hexadecimal byte pairs");
        for (std::size_t i = 0; i < tok.size(); i += 2) {
            std::string pair = tok.substr(i, 2);
            if (!std::isxdigit(static_cast<unsigned char>(pair[0])) ||
                !std::isxdigit(static_cast<unsigned char>(pair[1])))
                throw LineError(line, "\"" + tok + "\" is not a list of hexadecimal byte pairs");
            out.push_back(static_cast<uint8_t>(std::stoul(pair, nullptr, 16)));
        }
    }
    return out;
}

// key=value options after the fixed arguments of a directive.
std::map<std::string, std::string> ParseOptions(const std::vector<std::string>& tokens, std::size_t from,
                                                int line, std::size_t* firstPlain = nullptr)
{
    std::map<std::string, std::string> options;
    std::size_t t = from;
    for (; t < tokens.size(); ++t) {
        std::size_t eq = tokens[t].find('=');
        if (eq == std::string::npos)
            break;
        options[tokens[t].substr(0, eq)] = tokens[t].substr(eq + 1);
    }
    if (firstPlain)
        *firstPlain = t;
    else if (t != tokens.size())
        throw LineError(line, "unexpected \"" + tokens[t] + "\"");
    return options;
}

uint32_t Option(const std::map<std::string, std::string>& options, const std::string& key, int line,
                std::optional<uint32_t> fallback = std::nullopt)
{
    auto it = options.find(key);
    if (it == options.end()) {
        if (!fallback)
            throw LineError(line, "missing " + key + "=");
        return *fallback;
    }
    return ParseNumber(it->second, line);
}

uint32_t ParseAt(const std::string& token, int line)
{
    if (token.empty() || token[0] != '@')
        throw LineError(line, "expected @ADDRESS, found \"" + token + "\"");
    return ParseNumber(token.substr(1), line);
}

}  // namespace

void Builder::Directive(const std::vector<std::string>& t, const std::string& raw, int line)
{
    const std::string& d = t[0];
    auto need = [&](std::size_t n) {
        if (t.size() < n)
            throw LineError(line, "\"" + d + "\" needs " + std::to_string(n - 1) + " argument(s)");
    };
    if (m_open && d != "entry" && d != "list" && d != "data" && d != "end")
        throw LineError(line, "block of line " + std::to_string(m_open->line) + " has no \"end\"");
    if (d == "size") {
        need(2);
        uint32_t n = ParseNumber(t[1], line);
        if (n == 0 || n > 0x10000)
            throw LineError(line, "an image holds 1 to 65536 bytes");
        m_image.assign(n, m_fill);
        m_owner.assign(n, 0);
    } else if (d == "fill") {
        need(2);
        m_fill = ParseHex(t, 1, line).at(0);
        std::fill(m_image.begin(), m_image.end(), m_fill);
    } else if (d == "sum") {
        need(2);
        m_sum = ParseHex(t, 1, line).at(0);
    } else if (d == "bytes") {
        need(3);
        Put(ParseNumber(t[1], line), ParseHex(t, 2, line), line);
    } else if (d == "word") {
        need(3);
        PutWord(ParseNumber(t[1], line), ParseNumber(t[2], line), line);
    } else if (d == "text") {
        need(3);
        std::size_t open = raw.find('"');
        std::size_t close = raw.rfind('"');
        if (open == std::string::npos || close == open)
            throw LineError(line, "text needs a quoted string");
        std::string s = raw.substr(open + 1, close - open - 1);
        Put(ParseNumber(t[1], line), Bytes(s.begin(), s.end()), line);
    } else if (d == "checksum") {
        need(3);
        uint32_t from = ParseNumber(t[1], line), to = ParseNumber(t[2], line);
        RequireImage(line);
        if (from > to || to >= m_image.size())
            throw LineError(line, "checksum range outside the image");
        m_regions.push_back({from, to, m_sum});
    } else if (d == "adk") {
        auto o = ParseOptions(t, 1, line);
        Adk a;
        a.line = line;
        a.p1 = Option(o, "p1", line);
        a.p2 = Option(o, "p2", line);
        a.l2 = Option(o, "l2", line);
        a.p3 = Option(o, "p3", line);
        a.flag = Option(o, "flag", line, 1);
        a.word9 = Option(o, "word9", line, 0);
        a.word4 = Option(o, "word4", line, 0);
        if (o.count("count"))
            a.count = Option(o, "count", line);
        m_adk = a;
    } else if (d == "block") {
        need(3);
        AdkBlock b;
        b.line = line;
        b.id = static_cast<uint16_t>(ParseNumber(t[1], line));
        b.address = ParseAt(t[2], line);
        auto o = ParseOptions(t, 3, line);
        b.entrySize = Option(o, "esize", line);
        b.flags = static_cast<uint8_t>(Option(o, "flags", line, 0));
        b.entryFlags = static_cast<uint8_t>(Option(o, "eflags", line, 0));
        if (o.count("qty"))
            b.quantity = Option(o, "qty", line);
        if (o.count("lists")) {
            const std::string& kind = o["lists"];
            if (kind == "fixed")
                b.lists = AdkBlock::Fixed;
            else if (kind == "varying")
                b.lists = AdkBlock::Varying;
            else
                throw LineError(line, "lists= is fixed or varying");
        }
        m_open = b;
    } else if (d == "entry") {
        if (!m_open)
            throw LineError(line, "entry outside a block");
        m_open->entries.back().push_back(ParseHex(t, 1, line));
    } else if (d == "list") {
        if (!m_open || m_open->lists == AdkBlock::None)
            throw LineError(line, "list outside a list block");
        if (!(m_open->entries.size() == 1 && m_open->entries[0].empty() && !m_open->data))
            m_open->entries.emplace_back();
    } else if (d == "data") {
        if (!m_open)
            throw LineError(line, "data outside a block");
        m_open->data = ParseHex(t, 1, line);
    } else if (d == "end") {
        if (!m_open)
            throw LineError(line, "end without a block");
        AdkBlock b = *m_open;
        m_open.reset();
        LayOut(b);
        if (b.id >= 0x8000 && b.id <= 0x8004)
            PutWord(11 + 2u * (b.id - 0x8000u), b.address, line);
    } else if (d == "ride") {
        need(3);
        RideBlock b;
        b.line = line;
        b.id = static_cast<uint16_t>(ParseNumber(t[1], line));
        b.address = ParseAt(t[2], line);
        std::size_t plain = 0;
        auto o = ParseOptions(t, 3, line, &plain);
        b.size = Option(o, "data", line);
        LayOutRide(b, ParseHex(t, plain, line), line);
    } else {
        throw LineError(line, "unknown directive \"" + d + "\"");
    }
}

Bytes Builder::Run(const std::string& description)
{
    std::istringstream in(description);
    std::string raw;
    int line = 0;
    while (std::getline(in, raw)) {
        ++line;
        std::string text = raw;
        bool quoted = false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '"')
                quoted = !quoted;
            if (text[i] == '#' && !quoted) {
                text.resize(i);
                break;
            }
        }
        std::istringstream words(text);
        std::vector<std::string> tokens;
        for (std::string w; words >> w;)
            tokens.push_back(w);
        if (!tokens.empty())
            Directive(tokens, text, line);
    }
    if (m_open)
        throw LineError(m_open->line, "block has no \"end\"");
    if (m_image.empty())
        throw LineError(line, "no \"size\"");
    FillPointers();
    if (m_adk)
        FillAdk();
    for (const Range& r : m_inner)
        SetSum(r.from, r.to);
    for (const RideBlock& b : m_ride)
        ride::FixChecksum(b.id, m_image.data() + b.address, b.size);
    for (const Range& r : m_regions)
        SetSum(r.from, r.to, r.sum);
    CheckWithModel();
    if (m_adk) {
        const Adk& a = *m_adk;
        SetSum(0, a.p1 - 1);
        SetSum(a.p1, a.p2 - 1);
        if (a.flag)
            SetSum(a.p2, a.p2 + a.l2);
    }
    return m_image;
}

}  // namespace cpbuild

std::vector<uint8_t> CCodeplugBuilder::Build(const std::string& description)
{
    cpbuild::Builder builder;
    return builder.Run(description);
}

std::string ImageToSRecords(const std::vector<uint8_t>& image)
{
    return FormatSRecordImage(image.data(), image.size(), 0, 32);
}
