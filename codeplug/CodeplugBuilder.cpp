#include "codeplug/CodeplugBuilder.h"
#include "codeplug/RideLayout.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>

namespace {

using Bytes = std::vector<uint8_t>;

struct LineError : std::runtime_error {
    LineError(int line, const std::string& what)
        : std::runtime_error("line " + std::to_string(line) + ": " + what)
    {
    }
};

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

struct AdkBlock {
    int line = 0;
    uint16_t id = 0;
    uint32_t address = 0;
    uint8_t flags = 0;
    uint8_t entryFlags = 0;
    uint32_t entrySize = 0;
    std::optional<uint32_t> quantity;
    enum { None, Fixed, Varying } lists = None;
    std::vector<std::vector<Bytes>> entries{1};
    std::optional<Bytes> data;
};

struct RideBlock {
    int line = 0;
    uint16_t id = 0;
    uint32_t address = 0;
    uint32_t size = 0;
};

struct Range {
    uint32_t from;
    uint32_t to;  // the checksum byte, the last of the range
    std::optional<uint8_t> sum;  // the sum this range makes, when not the image's
};

struct Adk {
    int line = 0;
    uint32_t p1 = 0, p2 = 0, l2 = 0, p3 = 0, flag = 0, word9 = 0, word4 = 0;
    std::optional<uint32_t> count;
};

class Builder {
public:
    Bytes Run(const std::string& description);

private:
    void Directive(const std::vector<std::string>& tokens, const std::string& raw, int line);
    void Put(uint32_t address, const Bytes& bytes, int line);
    void PutWord(uint32_t address, uint32_t value, int line);
    void Claim(uint32_t from, uint32_t size, int line, const std::string& what);
    void LayOut(const AdkBlock& block);
    void LayOutRide(RideBlock& block, const Bytes& data, int line);
    void FillPointers();
    void FillAdk();
    void SetSum(uint32_t from, uint32_t to, std::optional<uint8_t> target = std::nullopt);
    void RequireImage(int line) const
    {
        if (m_image.empty())
            throw LineError(line, "\"size\" must come first");
    }

    Bytes m_image;
    uint8_t m_fill = 0;
    uint8_t m_sum = 0x00;
    std::vector<uint32_t> m_owner;  // the line that laid out each byte, 0 when free
    std::vector<Range> m_inner;     // entry, list and block checksums, innermost first
    std::vector<Range> m_regions;   // explicit checksum ranges
    std::vector<RideBlock> m_ride;
    std::map<uint16_t, uint32_t> m_adkBlocks;
    std::optional<Adk> m_adk;
    std::optional<AdkBlock> m_open;
};

void Builder::Put(uint32_t address, const Bytes& bytes, int line)
{
    RequireImage(line);
    if (address > m_image.size() || bytes.size() > m_image.size() - address)
        throw LineError(line, "bytes at " + std::to_string(address) + " run past the image end");
    std::copy(bytes.begin(), bytes.end(), m_image.begin() + address);
}

void Builder::PutWord(uint32_t address, uint32_t value, int line)
{
    Put(address, Bytes{static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)}, line);
}

void Builder::Claim(uint32_t from, uint32_t size, int line, const std::string& what)
{
    RequireImage(line);
    if (from > m_image.size() || size > m_image.size() - from)
        throw LineError(line, what + " runs past the image end");
    for (uint32_t a = from; a < from + size; ++a) {
        if (m_owner[a] != 0)
            throw LineError(line, what + " overlaps what line " + std::to_string(m_owner[a]) + " laid out");
        m_owner[a] = static_cast<uint32_t>(line);
    }
}

void Builder::SetSum(uint32_t from, uint32_t to, std::optional<uint8_t> target)
{
    uint8_t sum = 0;
    for (uint32_t a = from; a < to; ++a)
        sum = static_cast<uint8_t>(sum + m_image[a]);
    m_image[to] = static_cast<uint8_t>(target.value_or(m_sum) - sum);
}

void Builder::LayOut(const AdkBlock& b)
{
    int line = b.line;
    uint32_t s = b.entrySize;
    uint32_t A = b.address;
    bool bits = b.flags & 0x02;
    bool blockCk = b.flags & 0x80;
    std::vector<Range> inner;
    if (b.lists == AdkBlock::None) {
        bool wide = b.flags & 0x01;
        bool entryCk = b.flags & 0x40;
        uint32_t header = wide ? 4 : 3;
        uint32_t q = b.quantity ? *b.quantity : static_cast<uint32_t>(b.entries[0].size());
        if (q > 255 || (!wide && s > 255) || s > 0xFFFF)
            throw LineError(line, "entry size or quantity too large for the header");
        uint32_t dataSize = bits ? (q * s + 7) / 8 : q * (s + entryCk);
        uint32_t size = header + dataSize + blockCk;
        Claim(A, size, line, "block " + std::to_string(b.id));
        m_image[A] = b.flags;
        if (wide) {
            PutWord(A + 1, s, line);
            m_image[A + 3] = static_cast<uint8_t>(q);
        } else {
            m_image[A + 1] = static_cast<uint8_t>(s);
            m_image[A + 2] = static_cast<uint8_t>(q);
        }
        if (b.data) {
            if (b.data->size() > dataSize)
                throw LineError(line, "data longer than the block's entries");
            Put(A + header, *b.data, line);
        } else {
            if (bits)
                throw LineError(line, "entries whose sizes count bits are given as data");
            for (uint32_t e = 0; e < q; ++e) {
                uint32_t at = A + header + e * (s + entryCk);
                if (e < b.entries[0].size()) {
                    Bytes entry = b.entries[0][e];
                    if (entry.size() > s)
                        throw LineError(line, "entry " + std::to_string(e) + " longer than the entry size");
                    entry.resize(s, 0);
                    Put(at, entry, line);
                }
                if (entryCk)
                    inner.push_back({at, at + s, std::nullopt});
            }
        }
        if (blockCk)
            inner.push_back({A, A + size - 1, std::nullopt});
    } else {
        if (b.flags & 0x01 || b.entryFlags & 0x01)
            throw LineError(line, "list blocks with 16-bit sizes are not laid out by the builder");
        if (bits || b.data)
            throw LineError(line, "list blocks are given as entries");
        bool entryCk = b.entryFlags & 0x40;
        bool listCk = b.flags & 0x40;
        uint32_t n = static_cast<uint32_t>(b.entries.size());
        uint32_t q0 = static_cast<uint32_t>(b.entries[0].size());
        uint32_t stride = s + entryCk;
        uint32_t L = b.lists == AdkBlock::Fixed ? q0 * stride : 0;
        if (n > 255 || q0 > 255 || s > 255 || L > 255)
            throw LineError(line, "list size, list count, entry size or quantity too large for the header");
        uint32_t size;
        if (b.lists == AdkBlock::Fixed) {
            for (const auto& list : b.entries)
                if (list.size() != q0)
                    throw LineError(line, "lists of fixed size must hold the same number of entries");
            size = n * L + 6 + (entryCk ? q0 : 0) + (listCk ? n : 0) + blockCk;
        } else {
            size = 5 + blockCk;
            for (const auto& list : b.entries)
                size += 1 + static_cast<uint32_t>(list.size()) * stride + listCk;
        }
        Claim(A, size, line, "block " + std::to_string(b.id));
        Put(A, Bytes{static_cast<uint8_t>(b.flags | 0x04), static_cast<uint8_t>(L), static_cast<uint8_t>(n),
                     b.entryFlags, static_cast<uint8_t>(s), static_cast<uint8_t>(q0)},
            line);
        uint32_t position = A + 6;
        for (uint32_t l = 0; l < n; ++l) {
            const auto& list = b.entries[l];
            if (list.size() > 255)
                throw LineError(line, "a list holds more than 255 entries");
            uint32_t listStart = position;
            if (b.lists == AdkBlock::Varying && l > 0) {
                m_image[position - 1] = static_cast<uint8_t>(list.size());
                listStart = position - 1;
            }
            for (const Bytes& e : list) {
                Bytes entry = e;
                if (entry.size() > s)
                    throw LineError(line, "an entry is longer than the entry size");
                entry.resize(s, 0);
                Put(position, entry, line);
                if (entryCk)
                    inner.push_back({position, position + s, std::nullopt});
                position += stride;
            }
            if (listCk) {
                inner.push_back({l == 0 ? A + 6 : listStart, position, std::nullopt});
                position += 1;
            }
            if (b.lists == AdkBlock::Varying)
                position += 1;  // the next list's quantity byte
        }
        if (blockCk)
            inner.push_back({A, A + size - 1, std::nullopt});
    }
    m_inner.insert(m_inner.end(), inner.begin(), inner.end());
    m_adkBlocks[b.id] = A;
}

void Builder::LayOutRide(RideBlock& b, const Bytes& given, int line)
{
    ride::BlockClass cls = ride::ClassOf(b.id);
    uint32_t fields = ride::FieldBytes(cls);
    uint32_t size = fields + b.size + ride::ChecksumBytes(cls);
    if (size < ride::SizeOverhead(cls))
        throw LineError(line, "a block of this class needs at least 2 data bytes");
    uint32_t length = size - ride::SizeOverhead(cls);
    if (length > (cls == ride::BlockClass::W ? 0xFFFFu : 0xFFu))
        throw LineError(line, "the block is too long for its length field");
    if (given.size() > b.size)
        throw LineError(line, "more bytes than data=");
    Claim(b.address, size, line, "block " + std::to_string(b.id));
    if (cls == ride::BlockClass::W)
        Put(b.address, Bytes{static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), static_cast<uint8_t>(b.id)}, line);
    else
        Put(b.address, Bytes{static_cast<uint8_t>(length), static_cast<uint8_t>(b.id)}, line);
    Bytes data = given;
    data.resize(b.size, 0);
    Put(b.address + fields, data, line);
    b.size = size;
    m_ride.push_back(b);
}

void Builder::FillPointers()
{
    std::map<uint16_t, uint32_t> placed;
    for (const RideBlock& b : m_ride)
        placed[b.id] = b.address;
    std::map<uint32_t, uint32_t> written;  // pointer location -> address
    for (const RideBlock& b : m_ride) {
        if (b.id == ride::kHeaderBlockId) {
            if (b.address != ride::kHeaderBlockAddress)
                throw LineError(b.line, "block 48 lies at 768");
            continue;
        }
        const ride::PointerLocation* p = ride::FindPointer(b.id);
        if (!p)
            throw LineError(b.line, "the layout has no pointer for block " + std::to_string(b.id));
        uint32_t location = p->offset;
        if (p->baseId != 0) {
            auto base = placed.find(p->baseId);
            if (base == placed.end())
                throw LineError(b.line, "block " + std::to_string(b.id) + " is found through block " +
                                            std::to_string(p->baseId) + ", which is not laid out");
            location += base->second;
        }
        auto prior = written.find(location);
        if (prior != written.end() && prior->second != b.address)
            throw LineError(b.line, "another block's pointer is kept at the same place");
        written[location] = b.address;
        PutWord(location, b.address, b.line);
    }
}

void Builder::FillAdk()
{
    const Adk& a = *m_adk;
    if (!(a.p1 > 0 && a.p1 < a.p2 && a.p2 + 8 <= m_image.size() && a.p2 + a.l2 < m_image.size() &&
          a.p3 + 2 <= m_image.size()))
        throw LineError(a.line, "the ADK pointers do not fit the image (0 < p1 < p2, p2 + l2 inside)");
    PutWord(0, a.p1, a.line);
    PutWord(9, a.word9, a.line);
    PutWord(a.p1, a.p2 - a.p1, a.line);
    Put(a.p2, Bytes{static_cast<uint8_t>(a.flag ? 0x04 : 0x00), 0}, a.line);
    PutWord(a.p2 + 2, a.l2, a.line);
    PutWord(a.p2 + 4, a.word4, a.line);
    PutWord(a.p2 + 6, a.p3, a.line);
    uint32_t count = 0;
    for (const auto& [id, address] : m_adkBlocks)
        if (id < 0x8000)
            count = std::max<uint32_t>(count, id + 1u);
    count = a.count.value_or(count);
    PutWord(a.p3, count, a.line);
    for (uint32_t id = 0; id < count; ++id) {
        auto it = m_adkBlocks.find(static_cast<uint16_t>(id));
        PutWord(a.p3 + 2 + 2 * id, it == m_adkBlocks.end() ? 0 : it->second, a.line);
    }
}

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
    if (m_adk) {
        const Adk& a = *m_adk;
        SetSum(0, a.p1 - 1);
        SetSum(a.p1, a.p2 - 1);
        if (a.flag)
            SetSum(a.p2, a.p2 + a.l2);
    }
    return m_image;
}

}  // namespace

std::vector<uint8_t> CCodeplugBuilder::Build(const std::string& description)
{
    Builder builder;
    return builder.Run(description);
}

std::string ImageToSRecords(const std::vector<uint8_t>& image)
{
    std::string out;
    char buf[16];
    for (std::size_t at = 0; at < image.size(); at += 32) {
        std::size_t n = std::min<std::size_t>(32, image.size() - at);
        unsigned sum = static_cast<unsigned>(n + 3) + ((at >> 8) & 0xFF) + (at & 0xFF);
        std::snprintf(buf, sizeof buf, "S1%02X%04X", static_cast<unsigned>(n + 3), static_cast<unsigned>(at));
        out += buf;
        for (std::size_t i = 0; i < n; ++i) {
            std::snprintf(buf, sizeof buf, "%02X", image[at + i]);
            out += buf;
            sum += image[at + i];
        }
        std::snprintf(buf, sizeof buf, "%02X\r\n", 0xFF - (sum & 0xFF));
        out += buf;
    }
    out += "S9030000FC\r\n";
    return out;
}
