// Builds the seed corpora of the fuzz targets from the kits and layout images in kits/:
//   tessarin-fuzz-seeds SOURCE_ROOT OUT_DIR
// writes OUT_DIR/<target>/<name>, one input a file.
#include "files/HexText.h"
#include "files/SRecord.h"
#include "fuzz/KitArchive.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot read " + path.string());
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void Write(const fs::path& dir, const std::string& name, const std::string& bytes)
{
    fs::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary | std::ios::trunc) << bytes;
}

// The data bytes of S-record text, packed as the reader loads them.
std::string Packed(const std::string& text)
{
    SRecord reader;
    reader.AttachText(text);
    std::vector<uint8_t> bytes(reader.CountDataBytes());
    ImageBuffer image{bytes.data(), 0};
    reader.LoadData(image, uint32_t(bytes.size()));
    return std::string(bytes.begin(), bytes.begin() + image.size);
}

// A small firmware image at the flash base, so that the firmware checks of kit inspect run.
std::string SmallFirmware(uint8_t fill)
{
    std::vector<uint8_t> bytes(96);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(fill + i * 7);
    return FormatSRecordImage(bytes.data(), bytes.size(), 0x400000, 32);
}

// The demo configuration with another codeplug type (line 5 of the file).
std::string WithCodeplugType(std::string config, const char* type)
{
    std::size_t at = 0;
    for (int line = 1; line < 5 && at != std::string::npos; ++line)
        at = config.find('\n', at) + 1;
    if (at != std::string::npos && at + 2 <= config.size())
        config.replace(at, 2, type);
    return config;
}

std::string LinkSeed(std::initializer_list<uint8_t> head, const std::vector<uint8_t>& frame)
{
    std::string seed(head.begin(), head.end());
    seed.append(frame.begin(), frame.end());
    return seed;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE_ROOT OUT_DIR\n", argv[0]);
        return 2;
    }
    try {
        const fs::path kits = fs::path(argv[1]) / "kits";
        const fs::path out = argv[2];
        const fs::path demo = kits / "demo";
        const fs::path layouts = kits / "layouts";
        struct Layout {
            const char* name;
            char type;
        };
        const Layout kLayouts[] = {{"adk", 1}, {"ride", 2}, {"fixed-extended", 3}, {"fixed-basic", 3}};

        // S-record reader: every image text, and a few short ones.
        for (const char* name : {"bc19200", "cp_demo"})
            Write(out / "srecord", name, Read(demo / name));
        for (const Layout& layout : kLayouts)
            Write(out / "srecord", layout.name, Read(layouts / (std::string(layout.name) + ".s19")));
        Write(out / "srecord", "s2-records", SmallFirmware(3));
        Write(out / "srecord", "end-only", "S9030000FC\r\n");

        // Configuration file: the demo kit's.
        const std::string config = Read(demo / "patcher.txt");
        Write(out / "config", "demo", config);

        // Codeplug images: each layout as text and as bytes, with its structure type; the
        // fixed layout also by marker (product line 11) and as the basic variant.
        for (const Layout& layout : kLayouts) {
            const std::string text = Read(layouts / (std::string(layout.name) + ".s19"));
            char selector = layout.type;
            if (std::string(layout.name) == "fixed-basic")
                selector |= 0x08 | 0x20;
            Write(out / "codeplug", std::string(layout.name) + "-text", std::string(1, selector) + text);
            Write(out / "codeplug", std::string(layout.name) + "-bytes", std::string(1, char(selector | 4)) + Packed(text));
            if (layout.type == 3)
                Write(out / "codeplug", std::string(layout.name) + "-marker", std::string(1, char(selector | 0x10)) + text);
        }
        Write(out / "codeplug", "demo-text", std::string(1, char(1)) + Read(demo / "cp_demo"));

        // Kits: the demo kit with small firmware, and kits carrying each layout image.
        using kitarchive::File;
        std::vector<File> kit = {{"patcher.dat", config}};
        for (const char* name : {"bc19200", "bc38400", "bc115200", "cp_demo"})
            kit.emplace_back(name, Read(demo / name));
        for (const char* name : {"fw_128k", "fw_256k", "fw_512k"})
            kit.emplace_back(name, SmallFirmware(uint8_t(name[3])));
        Write(out / "kit", "demo", kitarchive::Join(kit));
        for (const Layout& layout : kLayouts) {
            std::vector<File> variant = {{"patcher.dat", WithCodeplugType(config, layout.type == 1 ? "01"
                                                                               : layout.type == 2 ? "02"
                                                                                                  : "03")},
                                         {"bc19200", Read(demo / "bc19200")},
                                         {"cp_demo", Read(layouts / (std::string(layout.name) + ".s19"))}};
            Write(out / "kit", std::string("layout-") + layout.name, kitarchive::Join(variant));
        }

        // Exchanges: a status request answered (echo on, then off), a read answered in the long
        // form, a write refused with a negative acknowledgement, the line resynchronised and the
        // write answered.
        Write(out / "link", "status-echo",
              LinkSeed({0x31, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0x04, 0x04, 0x40, 0x02, 0x06, 0x8B, 0x00, 0x02}, {'P', '5'}));
        Write(out / "link", "status-plain",
              LinkSeed({0x30, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0x04, 0x01, 0x20, 0x02, 0x06, 0x8B, 0x00, 0x06},
                       {'R', '0', '1', '.', '0', '0'}));
        std::vector<uint8_t> readData(35, 0x11);
        Write(out / "link", "read-long",
              LinkSeed({0x11, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x00, 0x01, 0x00, 0x20, 0x06, 0x06, 0x80, 0x00, 35},
                       readData));
        Write(out / "link", "write-nack",
              LinkSeed({0x13, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x10, 0x00, 0x60, 0x00, 0x00, 0x00, 0x50, 0x00, 0x00,
                        0x02, 0x06, 0x84, 0x00, 0x00},
                       {}));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tessarin-fuzz-seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
