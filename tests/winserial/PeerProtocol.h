#pragma once

#include <cstdint>

// What the far end of the Windows serial tests (PtyPeer, on Linux) does with the bytes it
// receives: every byte is echoed, except these two.
namespace peer {
// Answers the line rate the port set, as decimal digits and a line feed ("115200\n").
constexpr uint8_t kAskRate = 0xFE;
// Hangs up: both ends of the pseudo-terminal are closed (the device vanishes under the open
// port) and a fresh pair takes the published name, for the next opening.
constexpr uint8_t kHangUp = 0xFF;
} // namespace peer
