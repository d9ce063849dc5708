#include "platform/Environment.h"

#include <cstdlib>

void SetEnvironmentValue(const std::string& name, const std::string& value, bool replace)
{
    ::setenv(name.c_str(), value.c_str(), replace ? 1 : 0);
}
