#include "platform/Terminal.h"

#include <unistd.h>

bool IsTerminal(StdStream stream)
{
    int fd = stream == StdStream::In ? STDIN_FILENO : stream == StdStream::Out ? STDOUT_FILENO : STDERR_FILENO;
    return ::isatty(fd) != 0;
}
