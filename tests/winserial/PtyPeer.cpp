// The far end of the Windows serial tests: a pseudo-terminal pair whose slave path is
// published as the symbolic link LINK (Wine maps a COM port to it), answering by the rules of
// PeerProtocol.h until it is stopped by a signal.
// Usage: winserial_peer LINK
#include "tests/winserial/PeerProtocol.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct PtyPair {
    int master = -1;
    int slave = -1;
};

unsigned RateOf(speed_t speed)
{
    static const struct {
        speed_t code;
        unsigned rate;
    } rates[] = {{B1200, 1200},   {B2400, 2400},   {B4800, 4800},   {B9600, 9600},
                 {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    for (const auto& r : rates)
        if (r.code == speed)
            return r.rate;
    return 0;
}

// A raw pair, its slave published at `link` (made beside it, then renamed over it).
bool Publish(PtyPair& pair, const std::string& link)
{
    char name[128] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&pair.master, &pair.slave, name, &raw, nullptr) != 0) {
        std::fprintf(stderr, "winserial_peer: openpty: %s\n", std::strerror(errno));
        return false;
    }
    const std::string fresh = link + ".new";
    ::unlink(fresh.c_str());
    if (::symlink(name, fresh.c_str()) != 0 || ::rename(fresh.c_str(), link.c_str()) != 0) {
        std::fprintf(stderr, "winserial_peer: cannot publish %s at %s: %s\n", name, link.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

void HangUp(const PtyPair& pair)
{
    ::close(pair.master);
    ::close(pair.slave);
}

bool WriteAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// One batch of received bytes: echoes, rate answers, a hang-up (the rest of the batch goes
// with the old pair). False when the peer cannot go on.
bool Answer(PtyPair& pair, const std::string& link, const uint8_t* bytes, std::size_t count)
{
    std::string reply;
    for (std::size_t i = 0; i < count; ++i) {
        if (bytes[i] == peer::kHangUp) {
            // The fresh pair takes the name before the old one goes, so that the port's next
            // opening finds it however soon it comes.
            if (!WriteAll(pair.master, reply))
                return false;
            PtyPair fresh;
            if (!Publish(fresh, link))
                return false;
            HangUp(pair);
            pair = fresh;
            return true;
        }
        if (bytes[i] == peer::kAskRate) {
            termios line{};
            if (tcgetattr(pair.slave, &line) != 0)
                return false;
            reply += std::to_string(RateOf(cfgetospeed(&line))) + "\n";
        } else {
            reply += static_cast<char>(bytes[i]);
        }
    }
    return WriteAll(pair.master, reply);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: winserial_peer LINK\n");
        return 2;
    }
    const std::string link = argv[1];
    PtyPair pair;
    if (!Publish(pair, link))
        return 1;
    for (;;) {
        pollfd ready{pair.master, POLLIN, 0};
        if (::poll(&ready, 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            return 1;
        }
        uint8_t buffer[512];
        ssize_t n = ::read(pair.master, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            std::fprintf(stderr, "winserial_peer: read: %s\n", n < 0 ? std::strerror(errno) : "end of input");
            return 1;
        }
        if (!Answer(pair, link, buffer, static_cast<std::size_t>(n)))
            return 1;
    }
}
