#pragma once

#include <cstdint>

// The published initial values of the cipher: 18 words of the P-array (72 bytes) and the four
// S-boxes of 256 words each, S-box 0 first (4,096 bytes).
extern const uint32_t kBlowfishInitP[18];
extern const uint32_t kBlowfishInitS[1024];
