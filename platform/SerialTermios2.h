#pragma once

// Line settings through the kernel's termios2 interface, which carries any baud rate
// (BOTHER). Kept in C of its own: the kernel's termios headers clash with <termios.h>.

#ifdef __cplusplus
extern "C" {
#endif

// A terminal's complete settings, saved on open and put back on close.
struct TessarinSavedTermios {
    unsigned char bytes[128];
};

// Each returns 0 on success, else an errno value.
int TessarinSaveTermios(int fd, struct TessarinSavedTermios* saved);
int TessarinRestoreTermios(int fd, const struct TessarinSavedTermios* saved);

// Puts the line in raw mode (no echo, no line editing, no translation, no flow control,
// reads return at once with what is queued) with these settings: parity 0 none / 1 odd /
// 2 even, stopBits 0 one / 1 one and a half (five data bits only) / 2 two, charSize 5..8.
// EINVAL for settings the interface cannot express.
int TessarinApplyRawLine(int fd, unsigned baud, int parity, int stopBits, int charSize);

// The output rate the driver reports for the line (on a pseudo-terminal master: the rate set
// on its slave).
int TessarinReadLineRate(int fd, unsigned* baud);

#ifdef __cplusplus
}
#endif
