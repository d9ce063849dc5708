#include "platform/SerialTermios2.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <errno.h>
#include <string.h>
#include <sys/ioctl.h>

_Static_assert(sizeof(struct termios2) <= sizeof(((struct TessarinSavedTermios*)0)->bytes),
               "saved termios buffer too small");

static int Get(int fd, struct termios2* tio)
{
    return ioctl(fd, TCGETS2, tio) == 0 ? 0 : errno;
}

int TessarinSaveTermios(int fd, struct TessarinSavedTermios* saved)
{
    struct termios2 tio;
    int error = Get(fd, &tio);
    if (error == 0)
        memcpy(saved->bytes, &tio, sizeof tio);
    return error;
}

int TessarinRestoreTermios(int fd, const struct TessarinSavedTermios* saved)
{
    struct termios2 tio;
    memcpy(&tio, saved->bytes, sizeof tio);
    return ioctl(fd, TCSETS2, &tio) == 0 ? 0 : errno;
}

static int CharSizeFlag(int charSize, tcflag_t* flag)
{
    switch (charSize) {
    case 5: *flag = CS5; return 0;
    case 6: *flag = CS6; return 0;
    case 7: *flag = CS7; return 0;
    case 8: *flag = CS8; return 0;
    default: return EINVAL;
    }
}

int TessarinApplyRawLine(int fd, unsigned baud, int parity, int stopBits, int charSize)
{
    tcflag_t size = 0;
    if (baud == 0 || parity < 0 || parity > 2 || stopBits < 0 || stopBits > 2 ||
        CharSizeFlag(charSize, &size) != 0 || (stopBits == 1 && charSize != 5))
        return EINVAL;

    struct termios2 tio;
    int error = Get(fd, &tio);
    if (error != 0)
        return error;
    tio.c_iflag &= ~(tcflag_t)(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                               IXANY | IGNPAR | INPCK | IUCLC | IMAXBEL);
    /* A received break is not queued as a 0x00 data byte; the driver still counts it, and the
       error polls report it from that count. */
    tio.c_iflag |= IGNBRK;
    if (parity != 0)
        tio.c_iflag |= INPCK;
    tio.c_oflag &= ~(tcflag_t)OPOST;
    tio.c_lflag &= ~(tcflag_t)(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(tcflag_t)(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= size | CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT);
    if (parity != 0)
        tio.c_cflag |= PARENB;
    if (parity == 1)
        tio.c_cflag |= PARODD;
    if (stopBits != 0)
        tio.c_cflag |= CSTOPB;
    tio.c_ispeed = baud;
    tio.c_ospeed = baud;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return ioctl(fd, TCSETS2, &tio) == 0 ? 0 : errno;
}

int TessarinReadLineRate(int fd, unsigned* baud)
{
    struct termios2 tio;
    int error = Get(fd, &tio);
    if (error == 0)
        *baud = tio.c_ospeed;
    return error;
}
