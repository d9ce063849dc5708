#pragma once

#include "codeplug/Codeplug.h"

#include <memory>

// The codeplug object for a structure type: 2 the pointer-table layout, 3 the fixed-address
// layout, any other value the block model; SetStructure(type, 0) already applied.
std::unique_ptr<CCodeplug> CreateCodeplug(int structureType);
