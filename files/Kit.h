#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The kit tools behind `tessarin kit`: enciphering and deciphering data files, packing plain
// kit sources into an installable kit, and summarising an S-record file (kit inspection,
// which needs the codeplug model, is in authoring/). Each returns its exit status (0 success, 1
// failure) with what it has to say; files are written atomically (platform/AtomicFile.h),
// plaintext with mode 0600.
struct KitOutcome {
    int status = 0;
    std::string out;  // the report
    std::string err;  // each problem, saying which file and what to do
    int problems = 0;
    void Problem(const std::string& text);
};

KitOutcome KitEncipher(const std::string& in, const std::string& out, std::string_view key);
// Writes the plaintext up to its first NUL (the text the application reads), or with `raw`
// every deciphered byte.
KitOutcome KitDecipher(const std::string& in, const std::string& out, std::string_view key,
                       bool raw = false);
// SRC_DIR holds patcher.txt and the plain S-record files; OUT_DIR receives patcher.dat
// (configuration key) and every other file under its own name (data-file key from line 3 of
// the version block).
KitOutcome KitPack(const std::string& srcDir, const std::string& outDir);
// FILE is plain S-record text, or enciphered when `key` is given. With `outBin`, the data
// bytes as LoadData packs them are written there.
KitOutcome KitSrec(const std::string& file, const std::string* key, const std::string& outBin);

// What one pass over an S-record text finds.
struct SRecordSummary {
    bool firstChecks = false;
    uint32_t records = 0;     // CountRecords
    uint32_t endAddress = 0;  // GetEndAddress
    uint32_t dataBytes = 0;   // what LoadData writes
    uint32_t badChecksums = 0;
    uint32_t otherTypes = 0;  // records other than S1/S2 before the end
    uint32_t longestRecord = 0;
    uint32_t lowestAddress = 0;
    uint32_t highestEnd = 0;  // one past the highest data byte, by record address
    bool malformed = false;   // records back to back
    bool terminated = false;  // ends with an S9 record
};
SRecordSummary SummarizeSRecords(const char* text);
std::string DescribeSRecords(const SRecordSummary& summary);
