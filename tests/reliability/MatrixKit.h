#pragma once

#include "sim/model/RadioProfile.h"
#include "tests/reliability/UpgradeBench.h"
#include "tests/support/ScratchDirectory.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

// The demo kit with short firmware images, and what a whole upgrade with it must leave in a
// demo radio: the flash as the kit's firmware records write it, and the codeplug laid out from
// the kit's codeplug image and the radio's own codeplug by the rules of the demo radio
// (tests/support/ExpectedCodeplug.h), never by a run of the engine.
class CMatrixKit {
public:
    CMatrixKit();

    const std::filesystem::path& Path() const { return m_kit; }
    // "" when the run left the radio as expected (the identity mark aside), else where not.
    std::string Differences(const BenchRun& run) const;

private:
    CScratchDirectory m_scratch{"tessarin-matrix-kit"};
    std::filesystem::path m_kit;
    std::map<uint32_t, std::string> m_firmware;  // the short firmware text by flash size in KB
    std::vector<uint8_t> m_codeplugImage;
};

// The demo radio, with the K4 boot ROM or the FL0 one, and with a flash of `flashKB` (the
// firmware file the kit sends follows from it).
RadioProfile DemoRadio(bool k4, uint32_t flashKB = 128);
