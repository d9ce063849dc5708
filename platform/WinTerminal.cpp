#include "platform/Terminal.h"

#include <io.h>
#include <stdio.h>

bool IsTerminal(StdStream stream)
{
    int fd = stream == StdStream::In ? 0 : stream == StdStream::Out ? 1 : 2;
    return _isatty(fd) != 0;
}
