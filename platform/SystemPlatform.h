#pragma once

#include "platform/Platform.h"

#include <memory>

// The platform of the system the program was built for (CPosixPlatform, CWinPlatform).
std::unique_ptr<CPlatform> MakeSystemPlatform();
