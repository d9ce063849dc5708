#pragma once

#include "files/Kit.h"

#include <string>

// `tessarin kit inspect`: reads an installed kit as the application will and states every
// problem with the file and line it is in; every codeplug image is decoded with the codeplug
// model of the kit's structure type.
KitOutcome KitInspect(const std::string& kitDir);
