#include "link/LinkTrace.h"

#include "platform/Platform.h"

#include <utility>

namespace {
CLinkTraceSink* g_sink = nullptr;
} // namespace

CLinkTraceSink* SetLinkTraceSink(CLinkTraceSink* sink) { return std::exchange(g_sink, sink); }

CLinkTraceSink* GetLinkTraceSink() { return g_sink; }

void TraceLinkEvent(LinkTraceEvent event, const uint8_t* bytes, std::size_t count)
{
    if (g_sink == nullptr)
        return;
    g_sink->OnLinkEvent(event, GetPlatform()->MonotonicTime(), bytes, count);
}
