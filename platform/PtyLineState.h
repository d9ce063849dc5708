#pragma once

#include <cstdint>

// A pseudo-terminal carries bytes and the baud setting but no line state: no breaks, no
// framing errors, no error counters. The simulated radio host carries that state beside the
// data in the pty's window-size record, which it sets on its side (TIOCSWINSZ) and the port
// reads on the program's side (TIOCGWINSZ) when the driver has no error counters. The record
// is updated before data written after it arrives.
//
//   ws_row    kPtyLineStateMagic when the record holds line state (anything else: ignore it)
//   ws_col    1 while the line is held in the break state, else 0
//   ws_xpixel number of breaks begun so far (wraps at 65536)
//   ws_ypixel number of framing errors so far (wraps at 65536)
//
// The port reports CE_BREAK when ws_xpixel changed since its previous poll (once per break, as a
// UART's counters do; a break already held when the record is first seen counts as begun then),
// and CE_FRAME when ws_ypixel changed.
constexpr uint16_t kPtyLineStateMagic = 0x5453;

struct PtyLineState {
    bool breakHeld = false;
    uint16_t breakCount = 0;
    uint16_t frameErrorCount = 0;
};
