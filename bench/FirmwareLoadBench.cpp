// Loading "fw_512k" as the upgrade engine does (decipher in place, then the S-records one by
// one), and nettle's cipher deciphering the same bytes in the same run. The counter that
// matters is the ratio of the two.
#include "files/Blowfish.h"
#include "files/DataFile.h"
#include "files/SRecord.h"

#include <benchmark/benchmark.h>
#include <nettle/blowfish.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string kFirmware = std::string(DEMO_KIT_DIR) + "/fw_512k";
const std::string kDataKey = "DemoKitDataKey-2026-R0205";

const std::vector<char>& EncipheredFirmware()
{
    static const std::vector<char> bytes = [] {
        std::ifstream in(kFirmware, std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(in), {});
    }();
    return bytes;
}

// The engine's way: a buffer of size + 10 zero bytes, deciphered in place.
std::vector<char> EngineDecipher(const std::vector<char>& file)
{
    std::vector<char> buffer(file.size() + 10, '\0');
    std::memcpy(buffer.data(), file.data(), file.size());
    CBlowfish cipher;
    cipher.Initialize(reinterpret_cast<const uint8_t*>(kDataKey.data()), kDataKey.size());
    cipher.DecipherBuffer(reinterpret_cast<uint8_t*>(buffer.data()), file.size());
    return buffer;
}

// What the engine does with the text: check, count, then every record in turn.
uint64_t EngineReadRecords(const char* text)
{
    SRecord reader;
    reader.AttachText(text);
    uint64_t bytes = 0;
    if (!reader.CheckFirstRecord())
        return 0;
    benchmark::DoNotOptimize(reader.CountRecords());
    uint8_t data[256];
    SRecordData record{data, 0, 0};
    for (;;) {
        reader.ReadNextRecord(record);
        if (record.length == 0 && data[0] == 0)
            break;
        bytes += uint64_t(record.length);
    }
    reader.Detach();
    return bytes;
}

// nettle follows the published byte order: each 32-bit half is swapped around it.
std::vector<char> NettleDecipher(const std::vector<char>& file)
{
    std::vector<char> buffer(file.size() + 10, '\0');
    std::memcpy(buffer.data(), file.data(), file.size());
    uint8_t* bytes = reinterpret_cast<uint8_t*>(buffer.data());
    auto swap = [&] {
        for (std::size_t at = 0; at < file.size(); at += 4) {
            std::swap(bytes[at], bytes[at + 3]);
            std::swap(bytes[at + 1], bytes[at + 2]);
        }
    };
    struct blowfish_ctx ctx;
    blowfish_set_key(&ctx, kDataKey.size(), reinterpret_cast<const uint8_t*>(kDataKey.data()));
    swap();
    blowfish_decrypt(&ctx, file.size(), bytes, bytes);
    swap();
    return buffer;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BM_EngineVersusNettle(benchmark::State& state)
{
    const std::vector<char>& file = EncipheredFirmware();
    if (file.empty()) {
        state.SkipWithError("fw_512k of the demo kit is missing; build the demo_kit target");
        return;
    }
    double decipher = 0, records = 0, nettle = 0;
    uint64_t dataBytes = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        std::vector<char> text = EngineDecipher(file);
        auto t1 = std::chrono::steady_clock::now();
        dataBytes = EngineReadRecords(text.data());
        auto t2 = std::chrono::steady_clock::now();
        std::vector<char> reference = NettleDecipher(file);
        auto t3 = std::chrono::steady_clock::now();
        if (reference != text)
            state.SkipWithError("nettle and the engine decipher differently");
        decipher += Seconds(t1 - t0);
        records += Seconds(t2 - t1);
        nettle += Seconds(t3 - t2);
    }
    const double n = double(state.iterations());
    state.counters["engine_decipher_ms"] = 1000 * decipher / n;
    state.counters["engine_records_ms"] = 1000 * records / n;
    state.counters["nettle_decipher_ms"] = 1000 * nettle / n;
    state.counters["decipher_ratio"] = nettle > 0 ? decipher / nettle : 0;
    state.counters["load_ratio"] = nettle > 0 ? (decipher + records) / nettle : 0;
    state.counters["data_bytes"] = double(dataBytes);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}
BENCHMARK(BM_EngineVersusNettle)->Unit(benchmark::kMillisecond);

// The whole reader procedure from the file on disk, then the records.
void BM_EngineLoadFromFile(benchmark::State& state)
{
    for (auto _ : state) {
        DataFileText file = ReadDataFile(kFirmware, kDataKey);
        if (!file.Ok()) {
            state.SkipWithError("fw_512k of the demo kit cannot be read");
            return;
        }
        benchmark::DoNotOptimize(EngineReadRecords(file.Text()));
    }
}
BENCHMARK(BM_EngineLoadFromFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
