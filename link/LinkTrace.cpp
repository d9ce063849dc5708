#include "link/LinkTrace.h"

#include <chrono>
#include <utility>

namespace {
CLinkTraceSink* g_sink = nullptr;

LinkTraceClock& Clock()
{
    static LinkTraceClock clock;
    return clock;
}

double MonotonicSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

CLinkTraceSink* SetLinkTraceSink(CLinkTraceSink* sink) { return std::exchange(g_sink, sink); }

CLinkTraceSink* GetLinkTraceSink() { return g_sink; }

LinkTraceClock SetLinkTraceClock(LinkTraceClock clock) { return std::exchange(Clock(), std::move(clock)); }

void TraceLinkEvent(LinkTraceEvent event, const uint8_t* bytes, std::size_t count)
{
    if (g_sink == nullptr)
        return;
    const LinkTraceClock& clock = Clock();
    g_sink->OnLinkEvent(event, clock ? clock() : MonotonicSeconds(), bytes, count);
}
