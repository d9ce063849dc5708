#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Which boot ROM the radio has: FL0 marks bootstrap mode on the line and answers, K4 listens.
enum class LoaderKind { FL0, K4 };

// Everything that describes one simulated radio: what it answers, what its memory holds at
// power-on, how its boot ROM behaves and how long things take. Loaded from a JSON profile
// (see sim/README.md for the format).
struct RadioProfile {
    std::string file;  // where it was loaded from ("" when built in code)
    std::string name;
    int productLine = 0;

    // Status replies by selector (the bytes after the selector byte). Selectors in
    // `unsupportedSelectors`, and any selector not listed at all, are answered 0x86.
    std::map<uint8_t, std::vector<uint8_t>> status;
    std::vector<uint8_t> unsupportedSelectors;
    uint8_t ackByte = 0x06;
    int appBaud = 9600;

    // Codeplug EEPROM (64 KB): filled, then the image file, then the single byte patches.
    uint8_t codeplugFill = 0xFF;
    std::string codeplugImage;  // plaintext S-record file, absolute or relative to the profile
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> codeplugBytes;

    // Flash at 0x400000.
    uint32_t flashSizeKB = 256;
    bool flashInitiallyProgrammed = true;
    std::string flashImage;  // plaintext S-record file loaded over erased flash, if given
    // The boot ROM starts the application only when none of these flash bytes is erased.
    std::vector<uint32_t> applicationMarks{0x400000};

    // Boot ROM.
    LoaderKind loader = LoaderKind::FL0;
    int bootstrapBaud = 2400;
    uint8_t pulseByte = 0xF8;    // how the FL0 bootstrap pulse reads at 300 Bd
    double pulsePeriod = 0.040;  // seconds between bootstrap pulses
    double breakLength = 0.008;  // how long each pulse holds the line low (a break at 2400 Bd)
    int blockAnswerBytes = 0;    // bytes the FL0 ROM returns per 8-byte block (0: 8 with echo, 16 without)
    double codeStartQuiet = 0.150;  // silence after the last code byte before the code runs
    uint8_t bootCodeHello = 0x06;   // the byte the boot code sends at its rate when it starts

    bool echo = true;  // the interface box echoes every byte the PC sends

    // Timing, seconds.
    double ackLatency = 0.002;
    double replyLatency = 0.004;
    double eraseTime = 2.5;
    double flashWritePerByte = 20e-6;
    double eepromWritePer32 = 0.004;
    double frameGap = 0.050;  // a frame whose bytes pause longer than this is dropped
    double powerUpTime = 0.050;

    uint32_t FlashSize() const { return flashSizeKB * 1024u; }
    // The FL0 block answer length for this profile.
    int BlockAnswerBytes() const { return blockAnswerBytes > 0 ? blockAnswerBytes : (echo ? 8 : 16); }
};

// Loads a profile; raises CGenError code 3 naming the file and the key for anything wrong.
RadioProfile LoadRadioProfile(const std::string& path);
// Parses a profile from JSON text; `file` names it in messages and anchors relative paths.
RadioProfile ParseRadioProfile(const std::string& text, const std::string& file);
