#include "codeplug/CodeplugFactory.h"

#include "codeplug/RideCodeplug.h"
#include "codeplug/VORNEcodeplug.h"

std::unique_ptr<CCodeplug> CreateCodeplug(int structureType)
{
    std::unique_ptr<CCodeplug> codeplug;
    if (structureType == 2)
        codeplug = std::make_unique<CRideCodeplug>();
    else if (structureType == 3)
        codeplug = std::make_unique<CVORNEcodeplug>();
    else
        codeplug = std::make_unique<CCodeplug>();
    codeplug->SetStructure(structureType, 0);
    return codeplug;
}
