#include "platform/Platform.h"

#include "platform/SystemPlatform.h"

namespace {
std::unique_ptr<CPlatform>& Instance()
{
    static std::unique_ptr<CPlatform> instance;
    return instance;
}
} // namespace

CPlatform* GetPlatform()
{
    auto& instance = Instance();
    if (!instance)
        instance = MakeSystemPlatform();
    return instance.get();
}

std::unique_ptr<CPlatform> InstallPlatform(std::unique_ptr<CPlatform> platform)
{
    auto previous = std::move(Instance());
    Instance() = std::move(platform);
    return previous;
}
